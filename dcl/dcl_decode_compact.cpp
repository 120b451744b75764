// Decoder of the DCL implode format, built for size: the Windows build's
// decoder, which the installer carries.  Same interface, results, reads and
// writes as the table-driven decoder of the native build (dcl_decode.cpp).
//
// Each of the format's three prefix codes is canonical once its bits are
// reversed and inverted: ordered by bit count and then by symbol, each
// code is one more than the one before (shifted left where the count
// grows).  So the image carries nothing of a code but the number of codes
// of each length and the symbols in that order (derived here from the
// shared code tables while compiling), and each start builds from them the
// lookups in the work area: for the next 8 stream bits, the length and the
// distance code; for the next 10, a literal code of mode 1 (the few longer
// ones are read a bit at a time).  Stream bits are kept in a machine word,
// refilled a word at a time, and matches are copied a word at a time where
// they do not overlap within a word.  The format's look-ahead rule is the
// plain one: an item counts only when 8 more stream bits can be read after
// it, except the end code, which counts as soon as its own bits are there.
#include <cstring>

#include "dcl/dcl_codes.h"
#include "dcl/dcl_decode.h"
#include "dcl/decoder_start.h"

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

// Stream bits are held in a machine word: 64 bits in the 64-bit build, 32
// in the 32-bit one (and natively with BQ_DCL_NARROW_WORD, which the tests
// use to run the 32-bit installer's way).  Either holds a whole item's part
// and its look-ahead after a refill (at least kWordBits - 8 bits, unless the
// input has ended): a literal takes at most 14 bits, a match's flag, length
// code and extra bits 16, its distance code and low bits 14, and the
// look-ahead 8.  The 64-bit word holds a whole match too.
#if defined(BQ_DCL_NARROW_WORD)
typedef std::uint32_t Word;
#else
typedef std::size_t Word;
#endif
enum : std::uint32_t {
    kWordBytes = sizeof(Word),
    kWordBits = 8 * kWordBytes,
    kRefillTo = kWordBits - 8, // a refill leaves at least this many bits
    kMatchInOneRefill = kWordBits >= 1 + 7 + 8 + 8 + 6 + kLookAheadBits,
};

// Reads the next piece of input into the work area's input buffer: 2048
// bytes asked, a larger claim held to that.  Returns the count, 0 when no
// input is left.
std::uint32_t ReadInput(DclState* w) {
    w->inputPosition = kDclInputSize; // the size slot of the read
    const std::uint32_t got = w->read(w->input, &w->inputPosition, w->callerValue);
    return got > kDclInputSize ? kDclInputSize : got;
}

// Builds a code's lookup for keys of keyBits stream bits: at every key that
// starts with one of the code's codes of at most keyBits bits, its symbol
// and bit count; 0 at the keys of longer codes.  The codes are taken in
// canonical order, each as its stream bits (first bit lowest): one more
// canonically is one less inverted, which in stream order flips bits from
// the last stream bit down until a 1 is cleared; one bit longer appends a 1.
void BuildLookup(std::uint16_t* lookup, std::uint32_t keyBits, const std::uint8_t* count,
                 const std::uint8_t* symbol) {
    const std::uint32_t keys = 1u << keyBits;
    std::memset(lookup, 0, keys * sizeof *lookup);
    std::uint32_t code = 1; // the first code of one bit, as stream bits
    for (std::uint32_t bits = 1; bits <= keyBits; ++bits) {
        for (std::uint32_t n = count[bits]; n != 0; --n) {
            for (std::uint32_t key = code; key < keys; key += 1u << bits) {
                lookup[key] = static_cast<std::uint16_t>(*symbol << 8 | bits);
            }
            ++symbol;
            std::uint32_t bit = 1u << (bits - 1);
            for (; bit != 0 && (code & bit) == 0; bit >>= 1) {
                code |= bit;
            }
            code ^= bit;
        }
        code |= 1u << bits;
    }
}

// Reads the literal code at the start of bits a bit at a time; its bit
// count goes to *used.  For the codes longer than the lookup's key.
template <std::uint32_t N>
std::uint32_t WalkCode(Word bits, const CanonicalCode<N>& c, std::uint32_t* used) {
    std::uint32_t code = 0;  // the bits so far, inverted, first bit highest
    std::uint32_t first = 0; // the first code of this bit count
    std::uint32_t index = 0; // of that code's symbol
    std::uint32_t n = 1;
    for (;; ++n, bits >>= 1) {
        code |= (static_cast<std::uint32_t>(bits) & 1) ^ 1;
        if (code - first < c.count[n]) {
            break; // every code is complete: reached within kMaxCodeBits
        }
        index += c.count[n];
        first = (first + c.count[n]) << 1;
        code <<= 1;
    }
    *used = n;
    return c.symbol[index + code - first];
}

// Copies a match of length bytes from distance back, to the output
// position out, with the result of a byte-by-byte copy: a distance shorter
// than the length repeats the last bytes.  A word at a time from lag bytes
// back, lag being the first multiple of the distance that spans a word:
// the match repeats every distance bytes, so every lag bytes too.  The last
// word may write up to a word's bytes past the match, which later output
// overwrites before anything reads them; only near the window's end, which
// the longest match may reach exactly, the copy goes a byte at a time.
void CopyMatch(std::uint8_t* window, std::uint32_t out, std::uint32_t distance,
               std::uint32_t length) {
    std::uint8_t* const dst = window + out;
    std::uint32_t lag = distance;
    while (lag < kWordBytes) {
        lag += distance;
    }
    const std::uint8_t* src = dst - distance;
    std::uint32_t n = 0;
    for (; n < length && n < lag - distance; ++n) {
        dst[n] = src[n];
    }
    src = dst - lag;
    if (out + length + kWordBytes <= kDclWindowSize) {
        for (; n < length; n += kWordBytes) {
            std::memcpy(dst + n, src + n, kWordBytes);
        }
    }
    for (; n < length; ++n) {
        dst[n] = src[n];
    }
}

// Decodes items until the end code or until the input runs out; the output
// position is left in the work area.  The reader's state is kept in locals,
// which no byte stored into the window can change: the bit buffer (next
// stream bit in bit 0; bits above avail are zeros or the true next stream
// bits), the next unread byte of the input buffer and the count of bytes
// the last read delivered there.
std::uint32_t DecodeItems(DclState* w, std::uint32_t pos, std::uint32_t count) {
    std::uint8_t* const window = w->window;
    const std::uint8_t* const input = w->input;
    const bool asciiLiterals = w->literalMode != 0;
    const std::uint32_t dictionaryBits = w->dictionaryBits;
    const std::uint32_t literalKeys = (1u << kDclLiteralKeyBits) - 1;
    Word buffer = 0;
    std::uint32_t avail = 0;
    bool ended = false;    // a read returned 0: no input is left, and none is asked for
    std::uint32_t out = kHistorySize;
    std::uint32_t pending = 0; // a match length whose distance comes next (32-bit word)
    std::uint32_t result = DCL_ABORT;
    for (;;) {
        // At least kRefillTo bits, a word at a time while the input buffer
        // holds one, else a byte at a time, reading more input when the input
        // buffer is used up; fewer only when the input has ended.
        if (count - pos >= kWordBytes) {
            Word word;
            std::memcpy(&word, input + pos, kWordBytes); // little-endian
            buffer |= word << avail;
            pos += (kWordBits - 1 - avail) >> 3;
            avail |= kRefillTo; // whole bytes taken: the bit count modulo 8 stays
        }
        while (avail < kRefillTo) {
            if (pos == count) {
                count = ended ? 0 : ReadInput(w);
                pos = 0;
                ended = count == 0;
                if (ended) {
                    break;
                }
            }
            buffer |= Word{input[pos++]} << avail;
            avail += 8;
        }
        const Word bits = buffer;
        std::uint32_t used = 0;
        std::uint32_t length = pending;
        pending = 0;
        if (length == 0 && (bits & 1) == 0) {
            std::uint32_t value = static_cast<std::uint32_t>(bits >> 1) & 0xFF;
            used = 9;
            if (asciiLiterals) {
                const std::uint32_t entry = w->literalLookup[(bits >> 1) & literalKeys];
                value = entry >> 8;
                used = 1 + (entry & 0xFF);
                if (used == 1) {
                    value = WalkCode(bits >> 1, kLiterals, &used);
                    ++used;
                }
            }
            if (used + kLookAheadBits > avail) {
                break;
            }
            window[out++] = static_cast<std::uint8_t>(value);
        } else {
            if (length == 0) {
                const std::uint32_t entry = w->lengthLookup[(bits >> 1) & 0xFF];
                const std::uint32_t code = entry >> 8;
                used = 1 + (entry & 0xFF);
                length = code + 2;
                if (code >= 8) {
                    const std::uint32_t extraBits = code - 7;
                    length = (1u << extraBits) + 8 +
                             (static_cast<std::uint32_t>(bits >> used) & ((1u << extraBits) - 1));
                    used += extraBits;
                }
                if (used > avail) {
                    break;
                }
                if (length == kEndLength) {
                    result = DCL_OK; // counts without look-ahead bits after it
                    break;
                }
                if (!kMatchInOneRefill) {
                    pending = length; // its distance after the next refill
                }
            }
            if (pending == 0) {
                const std::uint32_t entry = w->distanceLookup[(bits >> used) & 0xFF];
                used += entry & 0xFF;
                const std::uint32_t lowBits = length == 2 ? 2 : dictionaryBits;
                const std::uint32_t distance =
                    ((entry >> 8) << lowBits |
                     (static_cast<std::uint32_t>(bits >> used) & ((1u << lowBits) - 1))) +
                    1;
                used += lowBits;
                if (used + kLookAheadBits > avail) {
                    break;
                }
                // At most 4096 back, never before the window's start.
                CopyMatch(window, out, distance, length);
                out += length;
            }
        }
        buffer >>= used;
        avail -= used;
        if (out >= kFlushPosition) {
            std::uint32_t size = kDclOutputBlock;
            w->write(window + kHistorySize, &size, w->callerValue);
            out -= kHistorySize;
            std::memmove(window, window + kHistorySize, out);
        }
    }
    w->outputPosition = out;
    return result;
}

} // namespace

std::uint32_t DclDecode(DclReadFn read, DclWriteFn write, DclState* work, void* callerValue) {
    const std::uint32_t refused = DclStart(read, write, work, callerValue);
    if (refused != DCL_OK) {
        return refused;
    }
    const std::uint32_t count = work->inputCount;
    BuildLookup(work->lengthLookup, 8, kLengths.count, kLengths.symbol);
    BuildLookup(work->distanceLookup, 8, kDistances.count, kDistances.symbol);
    if (work->literalMode != 0) {
        BuildLookup(work->literalLookup, kDclLiteralKeyBits, kLiterals.count, kLiterals.symbol);
    }
    // The history before the first byte reads as zeros, so a distance that
    // reaches before the start never brings out stale bytes.
    std::memset(work->window, 0, kHistorySize);

    const std::uint32_t result = DecodeItems(work, 2, count);
    std::uint32_t size = work->outputPosition - kHistorySize;
    write(work->window + kHistorySize, &size, callerValue);
    return result;
}
