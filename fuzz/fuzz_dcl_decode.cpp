// Fuzzes DclDecode with arbitrary streams and read sizes, and checks it
// against the step-by-step decoder: same result, same output, same writes.
//
// Input: byte 0 = number of read sizes (low 3 bits) and whether full reads
// claim more than they deliver (bit 3); then the read sizes, 2 bytes each,
// little-endian (the last one repeats; 0 delivers nothing, which ends the
// input); then the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dcl/dcl_decode.h"
#include "tests/unit/dcl/dcl_reference.h"

namespace {

struct Source {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
    const std::uint16_t* pieces;
    std::size_t pieceCount;
    std::size_t calls;
    bool overclaim;
    std::vector<std::uint8_t> output;
    std::vector<std::uint32_t> writes;
};

std::uint32_t Read(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    Source* s = static_cast<Source*>(callerValue);
    if (*size != kDclInputSize) {
        std::abort();
    }
    std::uint32_t want = *size;
    if (s->pieceCount > 0) {
        const std::size_t k = s->calls < s->pieceCount ? s->calls : s->pieceCount - 1;
        want = s->pieces[k] % (kDclInputSize + 1);
    }
    ++s->calls;
    const std::size_t left = s->size - s->pos;
    const std::uint32_t n = want < left ? want : static_cast<std::uint32_t>(left);
    if (n > 0) {
        std::memcpy(buffer, s->data + s->pos, n);
        s->pos += n;
    }
    // A full read may claim more than the buffer holds; the decoder must
    // hold it to 2048.
    return s->overclaim && n == kDclInputSize ? n + 0x10000 : n;
}

void Write(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    Source* s = static_cast<Source*>(callerValue);
    s->writes.push_back(*size);
    s->output.insert(s->output.end(), buffer, buffer + *size);
}

DclState DecoderWork;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::size_t pieceCount = data[0] & 7;
    const bool overclaim = (data[0] & 8) != 0;
    if (size < 1 + 2 * pieceCount) {
        return 0;
    }
    std::uint16_t pieces[7];
    for (std::size_t i = 0; i < pieceCount; ++i) {
        pieces[i] = static_cast<std::uint16_t>(data[1 + 2 * i] | data[2 + 2 * i] << 8);
    }
    const std::uint8_t* stream = data + 1 + 2 * pieceCount;
    const std::size_t streamSize = size - 1 - 2 * pieceCount;

    Source fast{stream, streamSize, 0, pieces, pieceCount, 0, overclaim, {}, {}};
    Source ref = fast;
    const std::uint32_t fastResult = DclDecode(Read, Write, &DecoderWork, &fast);
    const std::uint32_t refResult = ReferenceDecode(Read, Write, &ref);

    if (fastResult != refResult || fast.output != ref.output || fast.writes != ref.writes) {
        std::abort();
    }
    if (fastResult > DCL_ABORT) {
        std::abort();
    }
    // Full blocks of 4096, then one final block of 0..4095 (none after an
    // early refusal).
    if (fastResult >= DCL_BAD_DICTIONARY && fastResult <= DCL_SHORT_INPUT) {
        if (!fast.writes.empty()) {
            std::abort();
        }
    } else {
        if (fast.writes.empty() || fast.writes.back() >= kDclOutputBlock) {
            std::abort();
        }
        for (std::size_t i = 0; i + 1 < fast.writes.size(); ++i) {
            if (fast.writes[i] != kDclOutputBlock) {
                std::abort();
            }
        }
    }
    return 0;
}
