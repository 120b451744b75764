// Step-by-step DCL implode decoder; see dcl_reference.h.
#include "tests/unit/dcl/dcl_reference.h"

#include <cstdlib>
#include <cstring>

#include "dcl/dcl_codes.h"

namespace {

enum : std::uint32_t { kFail = 774, kEnd = 773 };

struct Ref {
    DclReadFn read;
    DclWriteFn write;
    void* callerValue;
    std::uint32_t mode;
    std::uint32_t dictBits;
    std::uint32_t bitBuffer; // 8 + extra valid bits, next bit in bit 0
    std::uint32_t extra;
    std::uint32_t inPos;
    std::uint32_t inCount;
    std::uint64_t produced; // bytes decoded so far
    ReferenceWalk walk;
    std::uint8_t input[kDclInputSize];
    std::uint8_t window[kDclWindowSize];
};

// Drops n bits (1..8); false when a needed byte is not there.
bool Drop(Ref* r, std::uint32_t n) {
    r->walk.bits += n;
    if (r->extra >= n) {
        r->bitBuffer >>= n;
        r->extra -= n;
        return true;
    }
    r->bitBuffer >>= r->extra;
    if (r->inPos == r->inCount) {
        r->inPos = kDclInputSize;
        std::uint32_t got = r->read(r->input, &r->inPos, r->callerValue);
        if (got > kDclInputSize) {
            got = kDclInputSize;
        }
        if (got == 0) {
            return false;
        }
        r->inCount = got;
        r->inPos = 0;
    }
    r->bitBuffer |= static_cast<std::uint32_t>(r->input[r->inPos++]) << 8;
    r->bitBuffer >>= n - r->extra;
    r->extra = r->extra - n + 8;
    return true;
}

// Matches a prefix code directly, one bit at a time: after each bit, is
// there a code of that many bits with that value?  The answer comes from a
// map per bit count, filled once per code table.
struct CodeMap {
    const std::uint8_t* bits; // identifies the table the map was built for
    std::int16_t index[14][1 << 13];
};

bool MatchCode(Ref* r, CodeMap* map, std::uint32_t count, const std::uint8_t* bits,
               const std::uint16_t* codes, std::uint32_t* index) {
    if (map->bits != bits) {
        std::memset(map->index, 0xFF, sizeof map->index);
        for (std::uint32_t i = 0; i < count; ++i) {
            map->index[bits[i]][codes[i]] = static_cast<std::int16_t>(i);
        }
        map->bits = bits;
    }
    std::uint32_t seen = 0;
    std::uint32_t value = 0;
    for (;;) {
        value |= (r->bitBuffer & 1) << seen;
        ++seen;
        if (!Drop(r, 1)) {
            return false;
        }
        if (seen > 13) {
            std::abort(); // every code table here is complete
        }
        if (map->index[seen][value] >= 0) {
            *index = static_cast<std::uint32_t>(map->index[seen][value]);
            return true;
        }
    }
}

CodeMap LengthMap;
CodeMap DistanceMap;
CodeMap AsciiMap;
std::uint8_t LengthCodeBits[16];
std::uint16_t LengthCodeValues[16];
std::uint16_t DistanceCodeValues[64];

std::uint32_t DecodeItem(Ref* r) {
    const std::uint32_t flag = r->bitBuffer & 1;
    if (!Drop(r, 1)) {
        return kFail;
    }
    if (flag) {
        for (int k = 0; k < 16; ++k) {
            LengthCodeBits[k] = kDclLengthCodes[k].bits;
            LengthCodeValues[k] = kDclLengthCodes[k].code;
        }
        std::uint32_t i;
        if (!MatchCode(r, &LengthMap, 16, LengthCodeBits, LengthCodeValues, &i)) {
            return kFail;
        }
        const std::uint32_t x = kDclLengthCodes[i].extraBits;
        if (x == 0) {
            return 256 + i;
        }
        const std::uint32_t e = r->bitBuffer & ((1u << x) - 1);
        if (!Drop(r, x) && i + e != 270) {
            return kFail;
        }
        return 256 + kDclLengthCodes[i].base + e;
    }
    if (r->mode == 0) {
        const std::uint32_t value = r->bitBuffer & 0xFF;
        return Drop(r, 8) ? value : kFail;
    }
    std::uint32_t s;
    return MatchCode(r, &AsciiMap, 256, kDclAsciiBits, kDclAsciiCodes, &s) ? s : kFail;
}

std::uint32_t DecodeDistance(Ref* r, std::uint32_t len) {
    for (int k = 0; k < 64; ++k) {
        DistanceCodeValues[k] = kDclDistanceCodes[k];
    }
    std::uint32_t j;
    if (!MatchCode(r, &DistanceMap, 64, kDclDistanceBits, DistanceCodeValues, &j)) {
        return 0;
    }
    const std::uint32_t low = len == 2 ? 2 : r->dictBits;
    const std::uint32_t d = j << low | (r->bitBuffer & ((1u << low) - 1));
    return Drop(r, low) ? d + 1 : 0;
}

} // namespace

std::uint32_t ReferenceDecode(DclReadFn read, DclWriteFn write, void* callerValue,
                              ReferenceWalk* walk) {
    static Ref ref;
    Ref* r = &ref;
    r->walk = ReferenceWalk();
    r->produced = 0;
    r->read = read;
    r->write = write;
    r->callerValue = callerValue;
    r->inPos = kDclInputSize;
    std::uint32_t count = read(r->input, &r->inPos, callerValue);
    if (count > kDclInputSize) {
        count = kDclInputSize;
    }
    r->inCount = count;
    if (count <= 4) {
        return DCL_SHORT_INPUT;
    }
    r->mode = r->input[0];
    r->dictBits = r->input[1];
    r->bitBuffer = r->input[2];
    r->extra = 0;
    r->inPos = 3;
    if (r->dictBits < 4 || r->dictBits > 6) {
        return DCL_BAD_DICTIONARY;
    }
    if (r->mode > 1) {
        return DCL_BAD_MODE;
    }
    std::memset(r->window, 0, 4096);
    std::uint32_t out = 4096;
    std::uint32_t value;
    for (;;) {
        value = DecodeItem(r);
        if (value >= kEnd) {
            break;
        }
        if (value < 256) {
            r->window[out++] = static_cast<std::uint8_t>(value);
            ++r->produced;
        } else {
            const std::uint32_t len = value - 254;
            const std::uint32_t distance = DecodeDistance(r, len);
            if (distance == 0) {
                value = kFail;
                break;
            }
            ++r->walk.matches;
            r->walk.reachedBeforeStart |= distance > r->produced;
            r->produced += len;
            for (std::uint32_t k = 0; k < len; ++k, ++out) {
                r->window[out] = r->window[out - distance];
            }
        }
        if (out >= 8192) {
            std::uint32_t size = 4096;
            write(r->window + 4096, &size, callerValue);
            std::memmove(r->window, r->window + 4096, out - 4096);
            out -= 4096;
        }
    }
    std::uint32_t size = out - 4096;
    write(r->window + 4096, &size, callerValue);
    if (walk != nullptr) {
        *walk = r->walk;
    }
    return value == kEnd ? DCL_OK : DCL_ABORT;
}
