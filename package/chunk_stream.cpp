// Chunk stream expansion: raw chunks are copied, compressed chunks run
// through the DCL decoder into a 64 KiB area and are accepted only when they
// produce exactly their stated length and fit the room left in the output.
#include "package/chunk_stream.h"

#include <cstring>

#include "errors/error_codes.h"
#include "errors/error_record.h"
#include "package/dcl_decode.h"

namespace {

enum : std::uint32_t {
    kChunkAreaSize = 65536, // one expanded chunk; a 16-bit length always fits
    kLineExpand = 48,       // a chunk that cannot be expanded into its place
    kLineTrail = 63,        // ExpandStream's exit on failure
};

// Cursors shared by ExpandChunk and its callbacks for one decoder run.
const std::uint8_t* gInputPosition;
std::uint32_t gInputRemaining;
std::uint8_t* gOutputPosition;
std::uint32_t gOutputTotal;

// Static rather than on the stack: together about 150 KiB, too much for the
// stack of a 32-bit Windows program.  The installer expands one chunk at a
// time on one thread, and the cursors above are process-wide anyway.
std::uint8_t gOutputArea[kChunkAreaSize];
DclState gWork;
std::uint8_t gScratch[kChunkAreaSize];

} // namespace

std::uint32_t ChunkRead(std::uint8_t* buffer, std::uint32_t* size, void* /*callerValue*/) {
    const std::uint32_t count = *size < gInputRemaining ? *size : gInputRemaining;
    if (count > 0) {
        std::memcpy(buffer, gInputPosition, count);
        gInputPosition += count;
        gInputRemaining -= count;
    }
    return count;
}

std::uint32_t ExpandChunk(const std::uint8_t* data, std::uint16_t storedLength,
                          std::uint8_t* dest) {
    gInputPosition = data;
    gInputRemaining = storedLength;
    gOutputPosition = gOutputArea;
    gOutputTotal = 0;
    if (DclDecode(ChunkRead, ChunkWrite, &gWork, nullptr) != DCL_OK) {
        return 0;
    }
    // A run that produced more than the area holds was counted but not kept;
    // its total matches no 16-bit expanded length, so the caller refuses it.
    if (gOutputTotal <= kChunkAreaSize) {
        std::memcpy(dest, gOutputArea, gOutputTotal);
    }
    return gOutputTotal;
}

void ChunkWrite(std::uint8_t* buffer, std::uint32_t* size, void* /*callerValue*/) {
    const std::uint32_t count = *size;
    if (count == 0) {
        return;
    }
    const std::uint32_t room =
        static_cast<std::uint32_t>(gOutputArea + kChunkAreaSize - gOutputPosition);
    const std::uint32_t stored = count < room ? count : room;
    if (stored > 0) {
        std::memcpy(gOutputPosition, buffer, stored);
        gOutputPosition += stored;
    }
    // Keep counting past the end of the area (saturating, so it never wraps
    // back to a plausible length).
    gOutputTotal = gOutputTotal > 0xFFFFFFFFu - count ? 0xFFFFFFFFu : gOutputTotal + count;
}

std::uint32_t ExpandStream(ErrorRecord* record, const std::uint8_t* stream,
                           std::int32_t storedLength, std::uint8_t* out, std::int32_t capacity) {
    record->code = 0;
    record->hresult = 0;

    const std::uint8_t* chunk = stream;
    std::int32_t remaining = storedLength;
    while (remaining > 0) {
        // A header cut short, or data running past the end of the stream.
        if (remaining < static_cast<std::int32_t>(kChunkHeaderBytes)) {
            SetError(record, MODULE_FILE_UNPACK, kLineExpand, ERR_EXPAND);
            break;
        }
        const ChunkHeader header = ReadChunkHeader(chunk);
        const std::uint32_t expanded = header.expanded;
        const std::uint32_t stored = header.stored;
        chunk += kChunkHeaderBytes;
        remaining -= kChunkHeaderBytes;
        if (static_cast<std::int32_t>(stored) > remaining) {
            SetError(record, MODULE_FILE_UNPACK, kLineExpand, ERR_EXPAND);
            break;
        }

        if (expanded == stored) {
            // Raw chunk: refused whole when it does not fit.
            if (static_cast<std::int32_t>(expanded) > capacity) {
                SetError(record, MODULE_FILE_UNPACK, kLineExpand, ERR_EXPAND);
                break;
            }
            if (expanded > 0) {
                std::memcpy(out, chunk, expanded);
            }
        } else {
            const std::uint32_t n =
                ExpandChunk(chunk, static_cast<std::uint16_t>(stored), gScratch);
            if (n == 0 || n != expanded || static_cast<std::int32_t>(n) > capacity) {
                SetError(record, MODULE_FILE_UNPACK, kLineExpand, ERR_EXPAND);
                break;
            }
            std::memcpy(out, gScratch, n);
        }
        out += expanded;
        capacity -= static_cast<std::int32_t>(expanded);
        chunk += stored;
        remaining -= static_cast<std::int32_t>(stored);
    }

    if (record->code != 0) {
        PushTrail(record, MODULE_FILE_UNPACK, kLineTrail);
    }
    return record->code;
}
