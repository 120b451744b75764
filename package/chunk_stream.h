// Chunk streams: a run of chunks, each a 4-byte header (expanded length,
// stored length; 16-bit little-endian) and its data, stored raw when the two
// lengths are equal and as one DCL implode stream otherwise.  ExpandStream
// turns a whole stream into a file's bytes and reports through the
// installer's error record; ExpandStreamThrough hands them on a window at a
// time, so a file of any size takes no more memory than the window.
#pragma once
#include <cstdint>

#include "dcl/dcl_decode.h"

struct ErrorRecord;

// One chunk's header, as every reader and writer of chunk streams sees it.
// ExpandStream takes signed 32-bit lengths: no stream, and no file it
// expands to, may be longer than kMaxStreamLength bytes.
enum : std::uint32_t { kChunkHeaderBytes = 4, kMaxStreamLength = 0x7FFFFFFF };
struct ChunkHeader {
    std::uint16_t expanded; // bytes the chunk expands to
    std::uint16_t stored;   // bytes of data after the header; equal lengths: raw
};
inline ChunkHeader ReadChunkHeader(const std::uint8_t* p) {
    return {static_cast<std::uint16_t>(p[0] | p[1] << 8),
            static_cast<std::uint16_t>(p[2] | p[3] << 8)};
}

// Expands the stream of storedLength bytes into out, which holds capacity
// bytes.  Returns 0, or ERR_EXPAND (module 16002, line 48, trail 16002/63).
std::uint32_t ExpandStream(ErrorRecord* record, const std::uint8_t* stream,
                           std::int32_t storedLength, std::uint8_t* out, std::int32_t capacity);

// Takes the expanded bytes as they come: returns 0 to go on; anything else
// stops the expansion, the sink having recorded why.
typedef int (*ExpandedSink)(const std::uint8_t* bytes, std::uint32_t count, void* sinkValue);

// Expands the stream as ExpandStream does, into capacity bytes in all, but a
// window at a time: whole chunks fill window (windowSize bytes, at least
// 65535), which goes to sink whenever the next chunk would not fit, and at
// the end.  A stream that produces fewer than capacity bytes is made up with
// zeros, so sink always gets capacity bytes.  Returns 0, ERR_EXPAND as
// ExpandStream does, or the code the sink recorded (with no trail added).
std::uint32_t ExpandStreamThrough(ErrorRecord* record, const std::uint8_t* stream,
                                  std::int32_t storedLength, std::int32_t capacity,
                                  std::uint8_t* window, std::uint32_t windowSize, ExpandedSink sink,
                                  void* sinkValue);
// Decodes one compressed chunk into dest (room for 65536 bytes); returns the
// number of bytes produced, 0 when the decoder failed.
std::uint32_t ExpandChunk(const std::uint8_t* data, std::uint16_t storedLength, std::uint8_t* dest);
// The decoder's callbacks while ExpandChunk runs: the codec's buffer pair,
// whose caller value (DclBuffers) is ExpandChunk's cursors for that run: the
// chunk's data in, the 64 KiB area out, every byte counted.
constexpr DclReadFn ChunkRead = DclBufferRead;
constexpr DclWriteFn ChunkWrite = DclBufferWrite;
