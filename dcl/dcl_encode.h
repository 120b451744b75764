// Encoder of the DCL implode format (tool side only; the installer links
// just the decoder).  It finds the smallest stream the fixed codes allow by
// an optimal parse over the match candidates.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

enum : std::uint32_t {
    kDclLiteralsBinary = 0,
    kDclLiteralsAscii = 1,
};

// Appends one complete DCL stream (header, items, end code) that expands to
// in[0..size) to out.  literalMode is 0 or 1, dictionaryBits 4, 5 or 6.
// Returns the number of bytes appended (0, appending nothing, for a mode or
// dictionary outside those values or an input of 4 GiB or more).  An empty
// input gives header, end code and one zero byte: the decoder refuses
// streams of 4 bytes or fewer, and the byte after the end code is not read.
// Told how far an encoding has come after each block of 1 MiB: bytes
// done of the bytes to do (six passes over the input for the smallest of a
// large input).
typedef std::function<void(std::uint64_t done, std::uint64_t total)> DclEncodeProgress;

std::size_t DclEncode(const std::uint8_t* in, std::size_t size, std::uint32_t literalMode,
                      std::uint32_t dictionaryBits, std::vector<std::uint8_t>* out,
                      const DclEncodeProgress& progress = nullptr);

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
                              std::uint32_t* dictionaryBits, DclEncoderWork* work = nullptr,
                              const DclEncodeProgress& progress = nullptr);
