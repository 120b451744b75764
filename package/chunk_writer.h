// Writes files as chunk streams: splits the input into chunks and stores
// each as the smallest of the six literal-mode / dictionary combinations, or
// raw when nothing is smaller.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct ChunkWriterOptions {
    std::uint32_t chunkSize = 32768; // 1 to 65535
    unsigned threads = 0;            // 0: one per core
};

// Returns the chunk stream of in[0..size); an empty input gives an empty stream.
std::vector<std::uint8_t> WriteChunkStream(const std::uint8_t* in, std::size_t size,
                                           const ChunkWriterOptions& options);
