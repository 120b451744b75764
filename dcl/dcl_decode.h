// The DCL implode codec (this folder, dcl/): the decoder, its compact form
// that the installer carries, the encoder (dcl_encode.h) and the format's
// code tables (dcl_codes.h).  It uses nothing of the tree's other folders;
// the package format, the message catalogue and the package tool use it.
//
// The decoder: a two-byte header (literal mode, dictionary bits) and a bit
// stream of literals and back-references with fixed prefix codes.  Input
// arrives through a read callback, output leaves through a write callback;
// the state of a run lives in a caller-supplied work area, so the decoder
// never allocates and runs may go on side by side with separate work areas.
// The native build's code lookups are constants; the compact decoder (the
// installer's) builds its own in the work area at each start, from code
// tables a tenth of their size.  For a stream held whole in memory, the
// buffer pair below and DclDecodeBuffer stand in for callbacks of one's own.
#pragma once
#include <cstdint>

enum : std::uint32_t {
    DCL_OK = 0,             // the end code was reached
    DCL_BAD_DICTIONARY = 1, // header byte 1 is not 4, 5 or 6
    DCL_BAD_MODE = 2,       // header byte 0 is not 0 or 1
    DCL_SHORT_INPUT = 3,    // the first read delivered 4 bytes or fewer
    DCL_ABORT = 4,          // input ended before the end code
};

// Reads up to *size bytes (the decoder asks for 2048) into buffer; returns
// how many it delivered, 0 when no input is left (the decoder then asks no
// more).  A count above 2048 is taken as 2048.
typedef std::uint32_t (*DclReadFn)(std::uint8_t* buffer, std::uint32_t* size, void* callerValue);
// Takes *size bytes of output: 4096 per full block, then one final block of
// 0 to 4095 bytes (the final call is made even when empty).
typedef void (*DclWriteFn)(std::uint8_t* buffer, std::uint32_t* size, void* callerValue);

enum : std::uint32_t {
    kDclWindowSize = 8709, // 4096 history + 4096 new output + room for one 518-byte match
    kDclInputSize = 2048,
    kDclOutputBlock = 4096,
    kDclLiteralKeyBits = 10, // the compact decoder's literal lookup: codes up to 10 bits
};

struct DclState {
    std::uint32_t literalMode;
    std::uint32_t outputPosition;
    std::uint32_t dictionaryBits;
    std::uint32_t dictionaryMask;
    std::uint32_t bitBuffer;
    std::uint32_t extraBitCount;
    std::uint32_t inputPosition;
    std::uint32_t inputCount;
    void* callerValue;
    DclReadFn read;
    DclWriteFn write;
    std::uint8_t window[kDclWindowSize];
    std::uint8_t input[kDclInputSize];
    // The compact decoder's code lookups, built at each start: for the next
    // stream bits, the code's symbol (bits 8..15) and bit count (bits 0..7;
    // 0 for a literal code longer than the key).  Unused by the native build.
    std::uint16_t lengthLookup[256];
    std::uint16_t distanceLookup[256];
    std::uint16_t literalLookup[1u << kDclLiteralKeyBits];
};

// Expands one stream.  Every field of work is set afresh, and the history
// before the first byte reads as zeros, so a distance reaching before the
// start yields zeros, never bytes of an earlier stream.  An item counts only
// when at least 8 more stream bits follow it (the end code excepted), so a
// stream cut short ends with DCL_ABORT after writing what came before.
std::uint32_t DclDecode(DclReadFn read, DclWriteFn write, DclState* work, void* callerValue);

// A stream held whole in memory and a bounded area for its output: the
// decoder's caller value for DclBufferRead and DclBufferWrite.  What does
// not fit the area is counted in produced but not kept.
struct DclBuffers {
    const std::uint8_t* input; // next byte to hand to the decoder
    std::uint32_t inputLeft;   // bytes of input not handed over yet
    std::uint8_t* output;      // next free byte of the area
    std::uint32_t outputRoom;  // bytes the area can still take
    std::uint32_t produced;    // bytes written, kept or not (held at 0xFFFFFFFF)
};
std::uint32_t DclBufferRead(std::uint8_t* buffer, std::uint32_t* size, void* callerValue);
void DclBufferWrite(std::uint8_t* buffer, std::uint32_t* size, void* callerValue);

// Decodes the stream in[0..size) into out[0..capacity) through the buffer
// pair; *produced gets the number of bytes the stream expanded to, kept or
// not.  Returns DclDecode's result.
std::uint32_t DclDecodeBuffer(const std::uint8_t* in, std::uint32_t size, std::uint8_t* out,
                              std::uint32_t capacity, DclState* work, std::uint32_t* produced);
