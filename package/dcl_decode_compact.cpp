// Decoder of the DCL implode format, built for size: the Windows build's
// decoder, which the installer carries.  Same interface, results, reads and
// writes as the table-driven decoder of the native build (dcl_decode.cpp).
//
// Each of the format's three prefix codes is canonical once its bits are
// reversed and inverted: ordered by bit count and then by symbol, each
// code is one more than the one before (shifted left where the count
// grows).  So a code is read a bit at a time against nothing but the
// number of codes of each length and the symbols in that order, tables
// derived here from the shared code tables while compiling.  Stream bits
// are taken a byte at a time, so the format's look-ahead rule is the plain
// one: an item counts only when 8 more stream bits can be read after it,
// except the end code, which counts as soon as its own bits are there.
#include <cstring>

#include "package/dcl_codes.h"
#include "package/dcl_decode.h"

namespace {

enum : std::uint32_t {
    kHistorySize = 4096,   // window positions 0..4095 hold the history
    kFlushPosition = 8192, // at this output position a full block is written
    kLookAheadBits = 8,    // bits that must follow every accepted item
    kEndLength = 519,      // length code 15 with extra value 255
    kMaxCodeBits = 13,     // the longest code of the three
};

// A canonical prefix code: how many codes have each bit count, and the
// symbols ordered by bit count, then by value.
template <std::uint32_t N> struct CanonicalCode {
    std::uint8_t count[kMaxCodeBits + 1];
    std::uint8_t symbol[N];
};

template <std::uint32_t N, typename BitsOf>
constexpr CanonicalCode<N> MakeCanonicalCode(BitsOf bitsOf) {
    CanonicalCode<N> c{};
    std::uint32_t next = 0;
    for (std::uint32_t bits = 1; bits <= kMaxCodeBits; ++bits) {
        for (std::uint32_t s = 0; s < N; ++s) {
            if (bitsOf(s) == bits) {
                ++c.count[bits];
                c.symbol[next++] = static_cast<std::uint8_t>(s);
            }
        }
    }
    return c;
}

// Bit counts and codes of the three prefix codes, by symbol.
constexpr std::uint32_t LengthBits(std::uint32_t s) {
    return kDclLengthCodes[s].bits;
}
constexpr std::uint32_t LengthCode(std::uint32_t s) {
    return kDclLengthCodes[s].code;
}
constexpr std::uint32_t DistanceBits(std::uint32_t s) {
    return kDclDistanceBits[s];
}
constexpr std::uint32_t DistanceCode(std::uint32_t s) {
    return kDclDistanceCodes[s];
}
constexpr std::uint32_t LiteralBits(std::uint32_t s) {
    return kDclAsciiBits[s];
}
constexpr std::uint32_t LiteralCode(std::uint32_t s) {
    return kDclAsciiCodes[s];
}

constexpr CanonicalCode<16> kLengths = MakeCanonicalCode<16>(LengthBits);
constexpr CanonicalCode<64> kDistances = MakeCanonicalCode<64>(DistanceBits);
constexpr CanonicalCode<256> kLiterals = MakeCanonicalCode<256>(LiteralBits);

// The canonical codes give back the shared tables' codes: bit-reversed and
// inverted, each is its predecessor plus one, shifted where the count grows.
template <std::uint32_t N, typename BitsOf, typename CodeOf>
constexpr bool GivesTheTableCodes(const CanonicalCode<N>& c, BitsOf bitsOf, CodeOf codeOf) {
    std::uint32_t code = 0;
    std::uint32_t index = 0;
    for (std::uint32_t bits = 1; bits <= kMaxCodeBits; ++bits) {
        for (std::uint32_t k = 0; k < c.count[bits]; ++k, ++code, ++index) {
            const std::uint32_t s = c.symbol[index];
            std::uint32_t reversed = 0;
            for (std::uint32_t b = 0; b < bits; ++b) {
                reversed |= ((codeOf(s) >> b) & 1) << (bits - 1 - b);
            }
            if (bitsOf(s) != bits || (reversed ^ ((1u << bits) - 1)) != code) {
                return false;
            }
        }
        code <<= 1;
    }
    return index == N;
}
static_assert(GivesTheTableCodes(kLengths, LengthBits, LengthCode),
              "length codes are not canonical");
static_assert(GivesTheTableCodes(kDistances, DistanceBits, DistanceCode),
              "distance codes are not canonical");
static_assert(GivesTheTableCodes(kLiterals, LiteralBits, LiteralCode),
              "literal codes are not canonical");

// Length codes 8 to 15 carry 1 to 8 extra bits; their bases follow from that.
constexpr bool LengthsFollowTheRule() {
    for (std::uint32_t s = 0; s < 16; ++s) {
        const DclLengthCode& c = kDclLengthCodes[s];
        if (c.extraBits != (s < 8 ? 0 : s - 7) || c.base != (s < 8 ? s : (1u << (s - 7)) + 6)) {
            return false;
        }
    }
    return true;
}
static_assert(LengthsFollowTheRule(), "length codes with an unexpected base or extra bits");

// The stream as bits, next bit in bit 0 of buffer.
struct BitReader {
    DclState* w;
    std::uint32_t buffer;
    std::uint32_t avail;
    std::uint32_t pos;
    std::uint32_t count;
    bool ended; // a read returned 0: no input is left, and none is asked for
};

// Reads the next chunk of input: 2048 bytes asked, a larger claim held to
// that; false when none is left.
bool ReadInput(BitReader* r) {
    if (r->ended) {
        return false;
    }
    std::uint32_t size = DCL_INPUT_SIZE;
    std::uint32_t got = r->w->read(r->w->input, &size, r->w->callerValue);
    if (got > DCL_INPUT_SIZE) {
        got = DCL_INPUT_SIZE;
    }
    r->ended = got == 0;
    r->count = got;
    r->pos = 0;
    return got != 0;
}

// Makes n bits (at most 25) available; false when the stream ends first.
bool Have(BitReader* r, std::uint32_t n) {
    while (r->avail < n) {
        if (r->pos == r->count && !ReadInput(r)) {
            return false;
        }
        r->buffer |= std::uint32_t{r->w->input[r->pos++]} << r->avail;
        r->avail += 8;
    }
    return true;
}

// Takes n bits (at most 25) as a number, first bit lowest; -1 when the
// stream ends first.
std::int32_t Take(BitReader* r, std::uint32_t n) {
    if (!Have(r, n)) {
        return -1;
    }
    const std::uint32_t value = r->buffer & ((1u << n) - 1);
    r->buffer >>= n;
    r->avail -= n;
    return static_cast<std::int32_t>(value);
}

// Reads one symbol of a canonical code; -1 when the stream ends first.
template <std::uint32_t N> std::int32_t TakeSymbol(BitReader* r, const CanonicalCode<N>& c) {
    std::int32_t code = 0;  // the bits so far, inverted, first bit highest
    std::int32_t first = 0; // the first code of this bit count
    std::int32_t index = 0; // of that code's symbol
    for (std::uint32_t bits = 1; bits <= kMaxCodeBits; ++bits) {
        const std::int32_t bit = Take(r, 1);
        if (bit < 0) {
            return -1;
        }
        code |= bit ^ 1;
        const std::int32_t n = c.count[bits];
        if (code - first < n) {
            return c.symbol[index + code - first];
        }
        index += n;
        first = (first + n) << 1;
        code <<= 1;
    }
    return -1; // not reached: every code is complete
}

// Appends one byte to the window, writing a full block when one is made.
void Put(DclState* w, std::uint8_t byte) {
    w->window[w->outputPosition++] = byte;
    if (w->outputPosition == kFlushPosition) {
        std::uint32_t size = DCL_OUTPUT_BLOCK;
        w->write(w->window + kHistorySize, &size, w->callerValue);
        std::memcpy(w->window, w->window + kHistorySize, kHistorySize);
        w->outputPosition = kHistorySize;
    }
}

// Decodes items until the end code or until the input runs out.
std::uint32_t DecodeItems(BitReader* r) {
    DclState* w = r->w;
    for (;;) {
        const std::int32_t kind = Take(r, 1);
        if (kind < 0) {
            return DCL_ABORT;
        }
        if (kind == 0) {
            const std::int32_t value = w->literalMode == 0 ? Take(r, 8) : TakeSymbol(r, kLiterals);
            if (value < 0 || !Have(r, kLookAheadBits)) {
                return DCL_ABORT;
            }
            Put(w, static_cast<std::uint8_t>(value));
            continue;
        }
        const std::int32_t code = TakeSymbol(r, kLengths);
        if (code < 0) {
            return DCL_ABORT;
        }
        std::uint32_t length = static_cast<std::uint32_t>(code) + 2;
        if (code >= 8) {
            const std::int32_t extra = Take(r, static_cast<std::uint32_t>(code) - 7);
            if (extra < 0) {
                return DCL_ABORT;
            }
            length = (1u << (code - 7)) + 8 + static_cast<std::uint32_t>(extra);
        }
        if (length == kEndLength) {
            return DCL_OK; // counts without look-ahead bits after it
        }
        const std::int32_t high = TakeSymbol(r, kDistances);
        const std::uint32_t lowBits = length == 2 ? 2 : w->dictionaryBits;
        const std::int32_t low = high < 0 ? -1 : Take(r, lowBits);
        if (low < 0 || !Have(r, kLookAheadBits)) {
            return DCL_ABORT;
        }
        // Byte by byte: a distance shorter than the length repeats the last
        // bytes.  At most 4096 back, never before the window's start.
        const std::uint32_t distance =
            (static_cast<std::uint32_t>(high) << lowBits) + static_cast<std::uint32_t>(low) + 1;
        for (; length != 0; --length) {
            Put(w, w->window[w->outputPosition - distance]);
        }
    }
}

} // namespace

std::uint32_t DclDecode(DclReadFn read, DclWriteFn write, DclState* work, void* callerValue) {
    work->read = read;
    work->write = write;
    work->callerValue = callerValue;
    BitReader r = {work, 0, 0, 0, 0, false};
    ReadInput(&r);
    if (r.count <= 4) {
        return DCL_SHORT_INPUT;
    }
    work->literalMode = work->input[0];
    work->dictionaryBits = work->input[1];
    r.pos = 2;
    if (work->dictionaryBits < 4 || work->dictionaryBits > 6) {
        return DCL_BAD_DICTIONARY;
    }
    if (work->literalMode > 1) {
        return DCL_BAD_MODE;
    }
    // The history before the first byte reads as zeros, so a distance that
    // reaches before the start never brings out stale bytes.
    std::memset(work->window, 0, kHistorySize);
    work->outputPosition = kHistorySize;

    const std::uint32_t result = DecodeItems(&r);
    std::uint32_t size = work->outputPosition - kHistorySize;
    write(work->window + kHistorySize, &size, callerValue);
    return result;
}
