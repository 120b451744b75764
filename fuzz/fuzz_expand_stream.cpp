// Fuzzes ExpandStream with arbitrary streams and capacities, and checks it
// against a model built from the step-by-step decoder: same result, same
// bytes in the output buffer, nothing written outside it.
//
// Input: 4 bytes of capacity (signed, little-endian, folded into a small
// range), then the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "errors/error_codes.h"
#include "errors/error_record.h"
#include "package/chunk_stream.h"
#include "tests/unit/dcl/dcl_reference.h"

namespace {

// What the stream must give: 0 and the expanded bytes, or ERR_EXPAND with
// the bytes of the chunks before the refused one.
std::uint32_t Model(const std::uint8_t* stream, std::int32_t length, std::uint8_t* out,
                    std::int32_t capacity) {
    std::int64_t remaining = length;
    std::int64_t room = capacity;
    while (remaining > 0) {
        if (remaining < 4) {
            return ERR_EXPAND;
        }
        const std::uint32_t e = stream[0] | stream[1] << 8;
        const std::uint32_t s = stream[2] | stream[3] << 8;
        stream += 4;
        remaining -= 4;
        if (s > remaining) {
            return ERR_EXPAND;
        }
        if (e == s) {
            if (e > room) {
                return ERR_EXPAND;
            }
            std::memcpy(out, stream, e);
        } else {
            std::vector<std::uint8_t> area(65536);
            DclBuffers c = {stream, s, area.data(), std::uint32_t(area.size()), 0};
            if (ReferenceDecode(DclBufferRead, DclBufferWrite, &c) != DCL_OK || c.produced == 0 ||
                c.produced != e || static_cast<std::int64_t>(e) > room) {
                return ERR_EXPAND;
            }
            std::memcpy(out, area.data(), e);
        }
        out += e;
        room -= e;
        stream += s;
        remaining -= s;
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4 || size - 4 > 0x7FFFFFFF) {
        return 0;
    }
    std::int32_t capacity = static_cast<std::int32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                                      std::uint32_t{data[3]} << 24);
    // Keep the buffer small; negative capacities stay possible.
    capacity %= 300000;
    // Exactly sized copies, so that any access outside them is caught.
    std::vector<std::uint8_t> stream(data + 4, data + size);
    const std::size_t outSize = capacity > 0 ? static_cast<std::size_t>(capacity) : 0;
    std::uint8_t* out = static_cast<std::uint8_t*>(std::malloc(outSize + 1));
    std::uint8_t* expected = static_cast<std::uint8_t*>(std::malloc(outSize + 1));
    std::memset(out, 0xA5, outSize);
    std::memset(expected, 0xA5, outSize);
    const std::int32_t length = static_cast<std::int32_t>(stream.size());

    ErrorRecord record;
    const std::uint32_t result = ExpandStream(&record, stream.data(), length, out, capacity);
    const std::uint32_t want = Model(stream.data(), length, expected, capacity);
    if (result != want || record.code != want || std::memcmp(out, expected, outSize) != 0) {
        std::abort();
    }
    if (result != 0 && (record.module != MODULE_FILE_UNPACK || record.line != 48 ||
                        record.trailCount != 1 || record.trail[0].line != 63)) {
        std::abort();
    }
    std::free(out);
    std::free(expected);
    return 0;
}
