// Test-only writer of DCL implode streams, item by item, straight from the
// code tables.  Alongside the stream it keeps the bytes the stream must
// expand to (the history before the first byte reads as zeros) and the bit
// position at which each item ends, so tests can predict what a cut-short
// stream yields.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "dcl/dcl_codes.h"

struct DclBitWriter {
    std::vector<std::uint8_t> bytes;    // header and bit stream
    std::uint32_t bitCount = 0;         // bits written after the header
    std::uint32_t mode;                 // literal mode
    std::uint32_t dictionaryBits;       //
    std::vector<std::uint8_t> expected; // what the stream expands to
    // For each item: the bit position after it and the output size after it.
    struct ItemEnd {
        std::uint32_t bit;
        std::size_t outputSize;
        bool endCode;
    };
    std::vector<ItemEnd> items;

    DclBitWriter(std::uint32_t literalMode, std::uint32_t dictBits)
        : mode(literalMode), dictionaryBits(dictBits) {
        bytes.push_back(static_cast<std::uint8_t>(literalMode));
        bytes.push_back(static_cast<std::uint8_t>(dictBits));
    }

    // Appends count bits of value, bit 0 first.
    void Bits(std::uint32_t value, std::uint32_t count) {
        for (std::uint32_t i = 0; i < count; ++i) {
            if (bitCount % 8 == 0) {
                bytes.push_back(0);
            }
            if ((value >> i) & 1) {
                bytes.back() = static_cast<std::uint8_t>(bytes.back() | 1u << (bitCount % 8));
            }
            ++bitCount;
        }
    }

    void Literal(std::uint8_t byte) {
        Bits(0, 1);
        if (mode == 0) {
            Bits(byte, 8);
        } else {
            Bits(kDclAsciiCodes[byte], kDclAsciiBits[byte]);
        }
        expected.push_back(byte);
        items.push_back({bitCount, expected.size(), false});
    }

    // A match with the given low bits of the distance forced (for testing
    // the bit counts); distance is 1-based as in the format.
    void Match(std::uint32_t length, std::uint32_t distance) {
        if (length < 2 || length > 518 || distance < 1) {
            throw std::invalid_argument("match out of range");
        }
        const std::uint32_t lowBits = length == 2 ? 2 : dictionaryBits;
        if (((distance - 1) >> lowBits) > 63) {
            throw std::invalid_argument("distance out of range");
        }
        Bits(1, 1);
        LengthCode(length - 2);
        const std::uint32_t j = (distance - 1) >> lowBits;
        Bits(kDclDistanceCodes[j], kDclDistanceBits[j]);
        Bits((distance - 1) & ((1u << lowBits) - 1), lowBits);
        for (std::uint32_t i = 0; i < length; ++i) {
            const std::size_t size = expected.size();
            expected.push_back(size >= distance ? expected[size - distance] : 0);
        }
        items.push_back({bitCount, expected.size(), false});
    }

    void End() {
        Bits(1, 1);
        LengthCode(262 + 255);
        items.push_back({bitCount, expected.size(), true});
    }

    // The length code and extra bits for (length - 2), the end code being 517.
    void LengthCode(std::uint32_t value) {
        for (std::uint32_t i = 16; i-- > 0;) {
            const DclLengthCode& c = kDclLengthCodes[i];
            if (value >= c.base) {
                Bits(c.code, c.bits);
                Bits(value - c.base, c.extraBits);
                return;
            }
        }
    }
};
