// Chunk streams: a run of chunks, each a 4-byte header (expanded length,
// stored length; 16-bit little-endian) and its data, stored raw when the two
// lengths are equal and as one DCL implode stream otherwise.  ExpandStream
// turns a whole stream into a file's bytes and reports through the
// installer's error record.
#pragma once
#include <cstdint>

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
// Decodes one compressed chunk into dest (room for 65536 bytes); returns the
// number of bytes produced, 0 when the decoder failed.
std::uint32_t ExpandChunk(const std::uint8_t* data, std::uint16_t storedLength, std::uint8_t* dest);
// The decoder's callbacks while ExpandChunk runs; their caller value is
// ExpandChunk's cursors for that run.
std::uint32_t ChunkRead(std::uint8_t* buffer, std::uint32_t* size, void* callerValue);
void ChunkWrite(std::uint8_t* buffer, std::uint32_t* size, void* callerValue);
