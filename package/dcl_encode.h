// Encoder of the DCL implode format (tool side only; the installer links
// just the decoder).  It finds the smallest stream the fixed codes allow by
// an optimal parse over the match candidates.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

enum : std::uint32_t {
    DCL_LITERALS_BINARY = 0,
    DCL_LITERALS_ASCII = 1,
};

// Appends one complete DCL stream (header, items, end code) that expands to
// in[0..size) to out.  literalMode is 0 or 1, dictionaryBits 4, 5 or 6.
// Returns the number of bytes appended.
std::size_t DclEncode(const std::uint8_t* in, std::size_t size, std::uint32_t literalMode,
                      std::uint32_t dictionaryBits, std::vector<std::uint8_t>* out);
