// Chunk stream expansion: raw chunks are copied, compressed chunks run
// through the DCL decoder into a 64 KiB area and are accepted only when they
// produce exactly their stated length and fit the room left in the output.
#include "package/chunk_stream.h"

#include <cstring>

#include "dcl/dcl_decode.h"
#include "errors/error_codes.h"
#include "errors/error_places.h"
#include "errors/error_record.h"

namespace {

enum : std::uint32_t {
    kChunkAreaSize = 65536, // one expanded chunk; a 16-bit length always fits
};

// Static rather than on the stack: together about 150 KiB, far beyond the
// page that a frame of the installer may take without stack probes.  The
// installer expands one chunk at a time on one thread.
std::uint8_t OutputArea[kChunkAreaSize];
DclState DecoderWork;
std::uint8_t Scratch[kChunkAreaSize];

} // namespace

std::uint32_t ExpandChunk(const std::uint8_t* data, std::uint16_t storedLength,
                          std::uint8_t* dest) {
    DclBuffers cursors = {data, storedLength, OutputArea, kChunkAreaSize, 0};
    if (DclDecode(ChunkRead, ChunkWrite, &DecoderWork, &cursors) != DCL_OK) {
        return 0;
    }
    // A run that produced more than the area holds was counted but not kept;
    // its total matches no 16-bit expanded length, so the caller refuses it.
    if (cursors.produced <= kChunkAreaSize) {
        std::memcpy(dest, OutputArea, cursors.produced);
    }
    return cursors.produced;
}

std::uint32_t ExpandStream(ErrorRecord* record, const std::uint8_t* stream,
                           std::int32_t storedLength, std::uint8_t* out, std::int32_t capacity) {
    // The whole output is the window: it never fills before the stream ends.
    return ExpandStreamThrough(record, stream, storedLength, capacity, out,
                               static_cast<std::uint32_t>(capacity), nullptr, nullptr);
}

std::uint32_t ExpandStreamThrough(ErrorRecord* record, const std::uint8_t* stream,
                                  std::int32_t storedLength, std::int32_t capacity,
                                  std::uint8_t* window, std::uint32_t windowSize, ExpandedSink sink,
                                  void* sinkValue) {
    record->code = 0;
    record->hresult = 0;

    const std::uint8_t* chunk = stream;
    std::int32_t remaining = storedLength;
    std::uint32_t filled = 0; // bytes of the window not yet handed on
    int stopped = 0;          // the sink refused a window
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
        // Data past the end of the stream, or a chunk beyond the room left
        // (refused whole, before anything of it is written).
        if (static_cast<std::int32_t>(stored) > remaining ||
            static_cast<std::int32_t>(expanded) > capacity) {
            SetError(record, MODULE_FILE_UNPACK, kLineExpand, ERR_EXPAND);
            break;
        }
        if (sink != nullptr && filled + expanded > windowSize) {
            if (sink(window, filled, sinkValue) != 0) {
                stopped = 1;
                break;
            }
            filled = 0;
        }
        if (expanded == stored) {
            if (expanded > 0) {
                std::memcpy(window + filled, chunk, expanded);
            }
        } else {
            const std::uint32_t n = ExpandChunk(chunk, static_cast<std::uint16_t>(stored), Scratch);
            if (n == 0 || n != expanded) {
                SetError(record, MODULE_FILE_UNPACK, kLineExpand, ERR_EXPAND);
                break;
            }
            std::memcpy(window + filled, Scratch, n);
        }
        filled += expanded;
        capacity -= static_cast<std::int32_t>(expanded);
        chunk += stored;
        remaining -= static_cast<std::int32_t>(stored);
    }

    // The last window, made up with zeros to the full length.
    while (sink != nullptr && record->code == 0) {
        const std::uint32_t room = windowSize - filled;
        const std::uint32_t zeros = static_cast<std::uint32_t>(capacity) < room
                                        ? static_cast<std::uint32_t>(capacity)
                                        : room;
        std::memset(window + filled, 0, zeros);
        filled += zeros;
        capacity -= static_cast<std::int32_t>(zeros);
        if (filled == 0) {
            break;
        }
        if (sink(window, filled, sinkValue) != 0) {
            stopped = 1;
            break;
        }
        filled = 0;
        if (capacity == 0) {
            break;
        }
    }

    if (record->code != 0 && !stopped) {
        PushTrail(record, MODULE_FILE_UNPACK, kLineExpandExit);
    }
    return record->code;
}
