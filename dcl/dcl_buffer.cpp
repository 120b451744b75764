// The decoder's callbacks over two buffers in memory, and one decoder run
// with them: a whole stream in, its output into a bounded area.
#include <cstring>

#include "dcl/dcl_decode.h"

std::uint32_t DclBufferRead(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    DclBuffers* b = static_cast<DclBuffers*>(callerValue);
    const std::uint32_t count = *size < b->inputLeft ? *size : b->inputLeft;
    if (count > 0) {
        std::memcpy(buffer, b->input, count);
        b->input += count;
        b->inputLeft -= count;
    }
    return count;
}

void DclBufferWrite(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    DclBuffers* b = static_cast<DclBuffers*>(callerValue);
    const std::uint32_t count = *size;
    const std::uint32_t kept = count < b->outputRoom ? count : b->outputRoom;
    if (kept > 0) {
        std::memcpy(b->output, buffer, kept);
        b->output += kept;
        b->outputRoom -= kept;
    }
    // Counted past the room too, and held at the largest count rather than
    // wrapping round to a plausible one.
    b->produced = b->produced > 0xFFFFFFFFu - count ? 0xFFFFFFFFu : b->produced + count;
}

std::uint32_t DclDecodeBuffer(const std::uint8_t* in, std::uint32_t size, std::uint8_t* out,
                              std::uint32_t capacity, DclState* work, std::uint32_t* produced) {
    DclBuffers buffers = {in, size, out, capacity, 0};
    const std::uint32_t result = DclDecode(DclBufferRead, DclBufferWrite, work, &buffers);
    *produced = buffers.produced;
    return result;
}
