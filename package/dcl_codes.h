// The fixed prefix codes of the DCL implode format, shared by the decoder
// and the encoder.  A code matches when the next `bits` stream bits, first
// bit in bit 0, equal `code`.
#pragma once
#include <cstdint>

struct DclLengthCode {
    std::uint8_t bits;
    std::uint8_t code;
    std::uint8_t extraBits;
    std::uint16_t base;
};

extern const DclLengthCode kDclLengthCodes[16];
extern const std::uint8_t kDclDistanceBits[64];
extern const std::uint8_t kDclDistanceCodes[64];
extern const std::uint8_t kDclAsciiBits[256];
extern const std::uint16_t kDclAsciiCodes[256];
