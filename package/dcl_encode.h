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
// Returns the number of bytes appended (0, appending nothing, for a mode or
// dictionary outside those values or an input of 4 GiB or more).  An empty
// input gives header, end code and one zero byte: the decoder refuses
// streams of 4 bytes or fewer, and the byte after the end code is not read.
std::size_t DclEncode(const std::uint8_t* in, std::size_t size, std::uint32_t literalMode,
                      std::uint32_t dictionaryBits, std::vector<std::uint8_t>* out);

// Buffers the encoder can keep from one call to the next (several MiB for
// a 32 KiB input); one per thread.
struct DclEncoderWork;
DclEncoderWork* DclNewEncoderWork();
void DclDeleteEncoderWork(DclEncoderWork* work);

// Appends the smallest of the six streams (two literal modes times three
// dictionary sizes) to out; the match search is shared by all six.  The
// chosen setting goes to *literalMode and *dictionaryBits when those are not
// null.  work may be null (buffers for this call only).  Returns the number
// of bytes appended.
std::size_t DclEncodeSmallest(const std::uint8_t* in, std::size_t size,
                              std::vector<std::uint8_t>* out, std::uint32_t* literalMode,
                              std::uint32_t* dictionaryBits, DclEncoderWork* work = nullptr);
