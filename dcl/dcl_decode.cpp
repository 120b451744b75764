// Decoder of the DCL implode format.
//
// The stream is read through a 64-bit bit buffer that is refilled a whole
// word at a time while the input buffer holds at least 8 more bytes, so every
// item is decoded with a few table look-ups and no per-bit work.  In mode 1
// one look-up at the next 12 bits resolves most items whole: one or two
// literals, or a match's length; the rest go through 8-bit look-ups per code.
// The format's look-ahead rule is kept exactly: an item is accepted only when
// at least 8 stream bits follow it, except the end code, which is accepted as
// soon as its own 16 bits are present.  That is what a decoder holding 8
// look-ahead bits and refilling a byte at a time would do, so streams that
// end early are refused at the same item with the same output.
#include "dcl/dcl_decode.h"

#include <cstring>

#include "dcl/dcl_codes.h"
#include "dcl/decoder_start.h"

namespace {

enum : std::uint32_t {
    kHistorySize = 4096,   // window positions 0..4095 hold the history
    kFlushPosition = 8192, // at this output position a full block is written
    kEndCodeLength = 519,  // length code 15 with extra value 255: 262 + 255 + 2
    kLookAheadBits = 8,    // bits that must follow every accepted item
    kRefillBelow = 56,     // the buffer is topped up to 56..63 valid bits (never 64)
};

// The code lookups: constants of the decoder, worked out from the shared
// code tables while compiling, so a run builds nothing and every run reads
// the same tables.  For the next 8 stream bits: the length code's bits,
// extra bits and (base + 2), and the distance code's bits and index.  Mode
// 1's literal codes of more than 8 bits are split: literal1 marks them with
// 0xFF, and the rest of the code is resolved after dropping 4, 6 or 8 bits,
// with its bit count (literalBits) lowered to match.  asciiItems holds mode
// 1's items at the next 12 bits, flag bit first (see kItemBits).
enum : std::uint32_t {
    kItemKeyBits = 12,
    kItemKeys = 1u << kItemKeyBits,
};
struct Lookups {
    std::uint32_t lengthDecode[256];
    std::uint16_t distanceDecode[256];
    std::uint8_t literal1[256];
    std::uint8_t literal2[256];
    std::uint8_t literal3[128];
    std::uint8_t literal4[256];
    std::uint8_t literalBits[256];
    std::uint32_t asciiItems[kItemKeys];
};

// An asciiItems entry: the stream bits its items take, flags, and in the
// upper half the literal values (first in bits 16..23) or the match length.
// A match entry stops after the length's extra bits; its distance is read
// as usual.  Long literal codes, matches whose flag, length code and extra
// bits take more than 12 bits, and the end code are kItemSlow: the per-code
// look-ups decode them.
enum : std::uint32_t {
    kItemBits = 0xFF,
    kItemMatch = 0x100,
    kItemSlow = 0x200,
    kItemPair = 0x400, // two literals
};

// Stores value at index, index + 2^bits, index + 2 * 2^bits, ... below limit.
constexpr void Spread(std::uint8_t* table, std::uint32_t limit, std::uint32_t index,
                      std::uint32_t bits, std::uint8_t value) {
    for (std::uint32_t i = index; i < limit; i += 1u << bits) {
        table[i] = value;
    }
}

// The mode 1 literal at the start of key, flag bit first, read with the
// per-code look-ups already in t: its stream bits, flag included, or 0 when
// key starts with a match or the literal takes more than room bits.  Bits
// of key past room may be anything: a prefix code read within room bits is
// the same whatever follows.
constexpr std::uint32_t AsciiLiteralAt(const Lookups& t, std::uint32_t key, std::uint32_t room,
                                       std::uint32_t* value) {
    if (key & 1) {
        return 0;
    }
    const std::uint32_t code = key >> 1;
    std::uint32_t used = 1;
    std::uint32_t v = t.literal1[code & 0xFF];
    if ((code & 0xFF) == 0) {
        used += 8;
        v = t.literal4[(code >> 8) & 0xFF];
    } else if (v == 0xFF) {
        used += (code & 0x3F) != 0 ? 4 : 6;
        v = (code & 0x3F) != 0 ? t.literal2[(code >> 4) & 0xFF] : t.literal3[(code >> 6) & 0x7F];
    }
    used += t.literalBits[v];
    if (used > room) {
        return 0;
    }
    *value = v;
    return used;
}

constexpr Lookups MakeLookups() {
    Lookups t{};
    // Code index for each 8-bit key; lower indexes are stored last and so
    // win any overlap.
    std::uint8_t length[256] = {};
    for (std::uint32_t i = 16; i-- > 0;) {
        Spread(length, 256, kDclLengthCodes[i].code, kDclLengthCodes[i].bits,
               static_cast<std::uint8_t>(i));
    }
    std::uint8_t distance[256] = {};
    for (std::uint32_t i = 64; i-- > 0;) {
        Spread(distance, 256, kDclDistanceCodes[i], kDclDistanceBits[i],
               static_cast<std::uint8_t>(i));
    }
    // Codes without extra bits have base = index, so base + 2 is their
    // length; the end code is the only one reaching 519.
    for (std::uint32_t k = 0; k < 256; ++k) {
        const DclLengthCode& c = kDclLengthCodes[length[k]];
        t.lengthDecode[k] =
            c.bits | std::uint32_t{c.extraBits} << 8 | (std::uint32_t{c.base} + 2) << 16;
        const std::uint32_t j = distance[k];
        t.distanceDecode[k] = static_cast<std::uint16_t>(kDclDistanceBits[j] | j << 8);
    }
    for (std::uint32_t s = 256; s-- > 0;) {
        const std::uint8_t value = static_cast<std::uint8_t>(s);
        const std::uint32_t code = kDclAsciiCodes[s];
        std::uint32_t bits = kDclAsciiBits[s];
        if (bits <= 8) {
            Spread(t.literal1, 256, code, bits, value);
        } else if ((code & 0xFF) != 0) {
            t.literal1[code & 0xFF] = 0xFF;
            if ((code & 0x3F) != 0) {
                bits -= 4;
                Spread(t.literal2, 256, code >> 4, bits, value);
            } else {
                bits -= 6;
                Spread(t.literal3, 128, code >> 6, bits, value);
            }
        } else {
            bits -= 8;
            Spread(t.literal4, 256, code >> 8, bits, value);
        }
        t.literalBits[s] = static_cast<std::uint8_t>(bits);
    }
    for (std::uint32_t key = 0; key < kItemKeys; ++key) {
        std::uint32_t value = 0;
        std::uint32_t first = 0;
        if (key & 1) {
            const std::uint32_t code = t.lengthDecode[(key >> 1) & 0xFF];
            first = 1 + (code & 0xFF) + ((code >> 8) & 0xFF);
            value =
                (code >> 16) + ((key >> (1 + (code & 0xFF))) & ((1u << ((code >> 8) & 0xFF)) - 1));
            t.asciiItems[key] =
                first <= kItemKeyBits ? first | kItemMatch | value << 16 : kItemSlow;
            continue;
        }
        first = AsciiLiteralAt(t, key, kItemKeyBits, &value);
        if (first == 0) {
            t.asciiItems[key] = kItemSlow;
            continue;
        }
        std::uint32_t second = 0;
        const std::uint32_t next = AsciiLiteralAt(t, key >> first, kItemKeyBits - first, &second);
        t.asciiItems[key] = next == 0 ? first | value << 16
                                      : (first + next) | kItemPair | value << 16 | second << 24;
    }
    return t;
}

constexpr Lookups kLookups = MakeLookups();

inline std::uint64_t LoadLittle64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(p[0]) | static_cast<std::uint64_t>(p[1]) << 8 |
           static_cast<std::uint64_t>(p[2]) << 16 | static_cast<std::uint64_t>(p[3]) << 24 |
           static_cast<std::uint64_t>(p[4]) << 32 | static_cast<std::uint64_t>(p[5]) << 40 |
           static_cast<std::uint64_t>(p[6]) << 48 | static_cast<std::uint64_t>(p[7]) << 56;
}

// Bit reader state, kept in locals by the main loop.  Bits above `avail`
// are either zero or the true next stream bits.
struct Reader {
    std::uint64_t buffer; // next stream bit in bit 0
    std::uint32_t avail;  // valid bits in buffer
    std::uint32_t pos;    // next unread byte of the input buffer
    std::uint32_t count;  // bytes the last read delivered
    bool ended;           // a read returned 0: no input is left
};

// Tops the buffer up a byte at a time, reading more input when the input
// buffer is used up.  A read is asked for 2048 bytes; a callback that claims
// more is held to that.
Reader RefillSlow(DclState* w, Reader r) {
    while (r.avail < kRefillBelow) {
        if (r.pos >= r.count) {
            if (r.ended) {
                break;
            }
            w->inputPosition = kDclInputSize; // the size slot of the read
            std::uint32_t got = w->read(w->input, &w->inputPosition, w->callerValue);
            if (got > kDclInputSize) {
                got = kDclInputSize;
            }
            if (got == 0) {
                r.ended = true;
                break;
            }
            r.count = got;
            r.pos = 0;
        }
        r.buffer |= static_cast<std::uint64_t>(w->input[r.pos++]) << r.avail;
        r.avail += 8;
    }
    return r;
}

// Copies a match of len bytes from distance back, with the result of a
// byte-by-byte copy (a distance shorter than the length repeats the last
// bytes).  The window has room for a 518-byte match begun at position 8191.
inline void CopyMatch(std::uint8_t* window, std::uint32_t out, std::uint32_t distance,
                      std::uint32_t len) {
    std::uint8_t* dst = window + out;
    const std::uint8_t* src = dst - distance;
    if (distance >= 8) {
        // 8-byte steps read only bytes already in place, since the source
        // lags by at least 8.  A step may write past the match; later output
        // overwrites those bytes before anything reads them.  The first two
        // steps always fit (out is at most 8191) and cover most matches
        // without a loop.
        std::memcpy(dst, src, 8);
        std::memcpy(dst + 8, src + 8, 8);
        if (len > 16) {
            if (out + len + 7 <= kDclWindowSize) {
                for (std::uint32_t n = 16; n < len; n += 8) {
                    std::memcpy(dst + n, src + n, 8);
                }
            } else {
                for (std::uint32_t n = 16; n < len; ++n) {
                    dst[n] = src[n];
                }
            }
        }
    } else if (distance == 1 && len > 16) {
        std::memset(dst, *src, len);
    } else {
        for (std::uint32_t i = 0; i < len; ++i) {
            dst[i] = src[i];
        }
    }
}

// Reads the distance code and low bits that follow a match length at bit
// *used of bits, advancing *used past them; returns the distance.  A length
// of 2 carries 2 low bits, any other the dictionary's bits.
inline std::uint32_t ReadDistance(std::uint64_t bits, std::uint32_t* used, std::uint32_t len,
                                  std::uint32_t dictionaryBits) {
    const std::uint32_t dcode = kLookups.distanceDecode[(bits >> *used) & 0xFF];
    *used += dcode & 0xFF;
    const std::uint32_t lowBits = len == 2 ? 2 : dictionaryBits;
    const std::uint32_t low = static_cast<std::uint32_t>(bits >> *used) & ((1u << lowBits) - 1);
    *used += lowBits;
    return ((dcode >> 8) << lowBits | low) + 1;
}

// Decodes items until the end code or until the input runs out; returns
// DCL_OK or DCL_ABORT after writing all output produced.
template <bool kAsciiLiterals> std::uint32_t MainLoop(DclState* w) {
    std::uint8_t* const window = w->window;
    const std::uint8_t* const input = w->input;
    const std::uint32_t dictionaryBits = w->dictionaryBits;
    const Lookups& t = kLookups;

    Reader r;
    r.buffer = w->bitBuffer;
    r.avail = kLookAheadBits + w->extraBitCount;
    r.pos = w->inputPosition;
    r.count = w->inputCount;
    r.ended = false;

    std::uint32_t out = kHistorySize;
    std::uint32_t result = DCL_ABORT;
    for (;;) {
        if (r.count - r.pos >= 8) {
            r.buffer |= LoadLittle64(input + r.pos) << r.avail;
            r.pos += (63 - r.avail) >> 3;
            r.avail |= kRefillBelow;
        } else if (r.avail < kRefillBelow) {
            r = RefillSlow(w, r);
        }
        const std::uint64_t bits = r.buffer;
        std::uint32_t used; // stream bits this item takes
        const std::uint32_t item =
            kAsciiLiterals ? t.asciiItems[bits & (kItemKeys - 1)] : kItemSlow;
        // Resolved by one look-up: the entry's items are taken whole.
        const bool resolved =
            (item & kItemSlow) == 0 && (item & kItemBits) + kLookAheadBits <= r.avail;
        if (resolved && (item & kItemMatch) == 0) {
            // The window has room for the second byte even when unused.
            used = item & kItemBits;
            window[out] = static_cast<std::uint8_t>(item >> 16);
            window[out + 1] = static_cast<std::uint8_t>(item >> 24);
            out += item & kItemPair ? 2 : 1;
        } else if (bits & 1) {
            std::uint32_t len;
            if (resolved) {
                used = item & kItemBits;
                len = item >> 16;
            } else {
                const std::uint32_t code = t.lengthDecode[(bits >> 1) & 0xFF];
                used = 1 + (code & 0xFF);
                if (used + kLookAheadBits > r.avail) {
                    break;
                }
                const std::uint32_t x = (code >> 8) & 0xFF;
                len = (code >> 16) + (static_cast<std::uint32_t>(bits >> used) & ((1u << x) - 1));
                used += x;
                if (len == kEndCodeLength) {
                    // Accepted even when no look-ahead bits follow it.
                    r.buffer >>= used;
                    r.avail = r.avail > used ? r.avail - used : 0;
                    result = DCL_OK;
                    break;
                }
            }
            const std::uint32_t distance = ReadDistance(bits, &used, len, dictionaryBits);
            if (used + kLookAheadBits > r.avail) {
                break;
            }
            CopyMatch(window, out, distance, len);
            out += len;
        } else {
            std::uint32_t value;
            if (!kAsciiLiterals) {
                value = static_cast<std::uint32_t>(bits >> 1) & 0xFF;
                used = 9;
            } else {
                const std::uint32_t code = static_cast<std::uint32_t>(bits >> 1);
                used = 1;
                if ((code & 0xFF) != 0) {
                    value = t.literal1[code & 0xFF];
                    if (value == 0xFF) {
                        if ((code & 0x3F) != 0) {
                            used += 4;
                            value = t.literal2[(code >> 4) & 0xFF];
                        } else {
                            used += 6;
                            value = t.literal3[(code >> 6) & 0x7F];
                        }
                    }
                } else {
                    used += 8;
                    value = t.literal4[(code >> 8) & 0xFF];
                }
                used += t.literalBits[value];
            }
            if (used + kLookAheadBits > r.avail) {
                break;
            }
            window[out++] = static_cast<std::uint8_t>(value);
        }
        r.buffer >>= used;
        r.avail -= used;

        if (out >= kFlushPosition) {
            std::uint32_t size = kDclOutputBlock;
            w->write(window + kHistorySize, &size, w->callerValue);
            std::memmove(window, window + kHistorySize, out - kHistorySize);
            out -= kHistorySize;
        }
    }
    // Leave the fields as a byte-wise reader would describe them.
    w->outputPosition = out;
    w->bitBuffer = static_cast<std::uint32_t>(r.buffer);
    w->extraBitCount = r.avail > kLookAheadBits ? r.avail - kLookAheadBits : 0;
    w->inputPosition = r.pos;
    w->inputCount = r.count;

    std::uint32_t size = out - kHistorySize;
    w->write(window + kHistorySize, &size, w->callerValue);
    return result;
}

} // namespace

std::uint32_t DclDecode(DclReadFn read, DclWriteFn write, DclState* work, void* callerValue) {
    const std::uint32_t refused = DclStart(read, write, work, callerValue);
    if (refused != DCL_OK) {
        return refused;
    }
    work->bitBuffer = work->input[2];
    work->extraBitCount = 0;
    work->inputPosition = 3;
    work->dictionaryMask = 0xFFFFu >> (16 - work->dictionaryBits);

    // The history before the first byte reads as zeros, so a distance that
    // reaches before the start never brings out stale bytes.
    std::memset(work->window, 0, kHistorySize);
    work->outputPosition = kHistorySize;

    return work->literalMode == 1 ? MainLoop<true>(work) : MainLoop<false>(work);
}
