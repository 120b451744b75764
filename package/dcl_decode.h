// Decoder of the DCL implode format: a two-byte header (literal mode,
// dictionary bits) and a bit stream of literals and back-references with
// fixed prefix codes.  Input arrives through a read callback, output leaves
// through a write callback; all state lives in a caller-supplied work area,
// so the decoder never allocates.
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
    DCL_WINDOW_SIZE = 8709, // 4096 history + 4096 new output + room for one 518-byte match
    DCL_INPUT_SIZE = 2048,
    DCL_OUTPUT_BLOCK = 4096,
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
    std::uint8_t window[DCL_WINDOW_SIZE];
    std::uint8_t input[DCL_INPUT_SIZE];
    std::uint8_t distanceLookup[256];
    std::uint8_t lengthLookup[256];
    std::uint8_t asciiLookup1[256];
    std::uint8_t asciiLookup2[256];
    std::uint8_t asciiLookup3[128];
    std::uint8_t asciiLookup4[256];
    std::uint8_t asciiBits[256];
    std::uint8_t distanceBits[64];
    std::uint8_t lengthBits[16];
    std::uint8_t lengthExtraBits[16];
    std::uint16_t lengthBase[16];
    // Derived at each start from the lookups above, so that each code is
    // resolved with one load: for the next 8 stream bits, the length code's
    // bits, extra bits and (base + 2); the distance code's bits and index.
    std::uint32_t lengthDecode[256];
    std::uint16_t distanceDecode[256];
};

// Expands one stream.  Every field of work is set afresh, and the history
// before the first byte reads as zeros, so a distance reaching before the
// start yields zeros, never bytes of an earlier stream.  An item counts only
// when at least 8 more stream bits follow it (the end code excepted), so a
// stream cut short ends with DCL_ABORT after writing what came before.
std::uint32_t DclDecode(DclReadFn read, DclWriteFn write, DclState* work, void* callerValue);
