// DCL implode decoder: hand-built streams from the code tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dcl/dcl_codes.h"
#include "dcl/dcl_decode.h"
#include "tests/unit/dcl/dcl_bit_writer.h"

namespace {

// Feeds a byte vector to the decoder in pieces whose sizes follow a pattern
// (its last entry repeats; 0 means "as much as asked"), and records every
// write.
struct Harness {
    std::vector<std::uint8_t> input;
    std::size_t inputPos = 0;
    std::vector<std::uint32_t> pieces{0};
    std::size_t readCalls = 0;
    std::size_t dataReads = 0; // reads that delivered bytes
    std::uint32_t overclaim = 0;
    std::vector<std::uint8_t> output;
    std::vector<std::uint32_t> writeSizes;
};

std::uint32_t HarnessRead(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    Harness* h = static_cast<Harness*>(callerValue);
    EXPECT_EQ(*size, 2048u);
    std::uint32_t want = h->pieces[std::min(h->readCalls, h->pieces.size() - 1)];
    ++h->readCalls;
    if (want == 0 || want > *size) {
        want = *size;
    }
    const std::size_t left = h->input.size() - h->inputPos;
    const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(want, left));
    if (n > 0) {
        std::memcpy(buffer, h->input.data() + h->inputPos, n);
        h->inputPos += n;
        ++h->dataReads;
    }
    return n == 0 ? 0 : n + h->overclaim;
}

void HarnessWrite(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    Harness* h = static_cast<Harness*>(callerValue);
    h->writeSizes.push_back(*size);
    EXPECT_LE(*size, 4096u);
    h->output.insert(h->output.end(), buffer, buffer + *size);
}

struct Decoded {
    std::uint32_t result;
    std::vector<std::uint8_t> output;
    std::vector<std::uint32_t> writeSizes;
    std::size_t dataReads;
};

Decoded Decode(const std::vector<std::uint8_t>& stream, std::vector<std::uint32_t> pieces = {0},
               std::uint32_t overclaim = 0) {
    static DclState work; // one work area reused, as the installer does
    Harness h;
    h.input = stream;
    h.pieces = pieces;
    h.overclaim = overclaim;
    const std::uint32_t result = DclDecode(HarnessRead, HarnessWrite, &work, &h);
    return {result, h.output, h.writeSizes, h.dataReads};
}

// Every write is a full 4096-byte block except the last, which is 0..4095.
void ExpectBlocks(const Decoded& d) {
    ASSERT_FALSE(d.writeSizes.empty());
    for (std::size_t i = 0; i + 1 < d.writeSizes.size(); ++i) {
        EXPECT_EQ(d.writeSizes[i], 4096u);
    }
    EXPECT_LT(d.writeSizes.back(), 4096u);
}

void ExpectDecodes(const DclBitWriter& w, std::vector<std::uint32_t> pieces = {0}) {
    const Decoded d = Decode(w.bytes, pieces);
    EXPECT_EQ(d.result, DCL_OK);
    EXPECT_EQ(d.output, w.expected);
    ExpectBlocks(d);
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<std::uint8_t> v;
    for (int b : list) {
        v.push_back(static_cast<std::uint8_t>(b));
    }
    return v;
}

// The code tables: each is a complete prefix code (every bit pattern starts
// exactly one code), which a wrongly copied bit count or code value breaks.
template <typename BitsAt, typename CodeAt>
void ExpectCompletePrefixCode(std::uint32_t n, BitsAt bitsAt, CodeAt codeAt) {
    double kraft = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        kraft += 1.0 / static_cast<double>(1u << bitsAt(i));
        EXPECT_LT(codeAt(i), 1u << bitsAt(i)) << i;
        for (std::uint32_t k = 0; k < n; ++k) {
            if (k != i && bitsAt(i) <= bitsAt(k)) {
                EXPECT_NE(codeAt(k) & ((1u << bitsAt(i)) - 1), codeAt(i)) << i << " prefixes " << k;
            }
        }
    }
    EXPECT_EQ(kraft, 1.0);
}

TEST(DclCodes, TablesAreCompletePrefixCodes) {
    ExpectCompletePrefixCode(
        16, [](std::uint32_t i) { return std::uint32_t{kDclLengthCodes[i].bits}; },
        [](std::uint32_t i) { return std::uint32_t{kDclLengthCodes[i].code}; });
    ExpectCompletePrefixCode(
        64, [](std::uint32_t i) { return std::uint32_t{kDclDistanceBits[i]}; },
        [](std::uint32_t i) { return std::uint32_t{kDclDistanceCodes[i]}; });
    ExpectCompletePrefixCode(
        256, [](std::uint32_t i) { return std::uint32_t{kDclAsciiBits[i]}; },
        [](std::uint32_t i) { return std::uint32_t{kDclAsciiCodes[i]}; });
}

TEST(DclCodes, LengthRangesFollowOneAnother) {
    std::uint32_t next = 0;
    for (const DclLengthCode& c : kDclLengthCodes) {
        EXPECT_EQ(c.base, next);
        next = c.base + (1u << c.extraBits);
    }
    EXPECT_EQ(next, 518u); // lengths 2..518 and the end code (extra value 255 of code 15)
}

// Streams worked out by hand from the format, independent of the writer.
TEST(DclDecode, HandWorkedStreams) {
    struct Case {
        std::vector<std::uint8_t> stream;
        const char* text;
    } cases[] = {
        {Bytes({0x00, 0x04, 0x82, 0x02, 0xFE, 0x01}), "A"},          // literal, end
        {Bytes({0x01, 0x04, 0x4E, 0xC0, 0x3F}), "a"},                // 5-bit literal, end
        {Bytes({0x00, 0x04, 0x82, 0x3E, 0x04, 0xFC, 0x03}), "AAAA"}, // A, match 3 back 1
    };
    for (const Case& c : cases) {
        const Decoded d = Decode(c.stream);
        EXPECT_EQ(d.result, DCL_OK);
        EXPECT_EQ(std::string(d.output.begin(), d.output.end()), c.text);
    }
}

TEST(DclDecode, ResultCodesBeforeAnyOutput) {
    struct Case {
        std::vector<std::uint8_t> stream;
        std::uint32_t result;
    } cases[] = {
        {{}, DCL_SHORT_INPUT},
        {Bytes({0x00, 0x04, 0x80, 0x7F}), DCL_SHORT_INPUT}, // a whole empty stream in 4 bytes
        {Bytes({0x02, 0x07, 0x00, 0x00, 0x00}), DCL_BAD_DICTIONARY}, // dictionary tested first
        {Bytes({0x00, 0x03, 0x00, 0x00, 0x00}), DCL_BAD_DICTIONARY},
        {Bytes({0x01, 0x07, 0x00, 0x00, 0x00}), DCL_BAD_DICTIONARY},
        {Bytes({0x02, 0x04, 0x00, 0x00, 0x00}), DCL_BAD_MODE},
        {Bytes({0xFF, 0x06, 0x00, 0x00, 0x00}), DCL_BAD_MODE},
    };
    for (const Case& c : cases) {
        const Decoded d = Decode(c.stream);
        EXPECT_EQ(d.result, c.result);
        EXPECT_TRUE(d.writeSizes.empty()); // not even the final call
    }
}

TEST(DclDecode, EmptyStreamOfFiveBytes) {
    DclBitWriter w(0, 4);
    w.End();
    w.Bits(0, 8); // one byte past the end code: 5 bytes in all
    ASSERT_EQ(w.bytes.size(), 5u);
    const Decoded d = Decode(w.bytes);
    EXPECT_EQ(d.result, DCL_OK);
    EXPECT_TRUE(d.output.empty());
    EXPECT_EQ(d.writeSizes, std::vector<std::uint32_t>{0});
}

TEST(DclDecode, EveryMatchLength) {
    for (std::uint32_t dict = 4; dict <= 6; ++dict) {
        DclBitWriter w(0, dict);
        for (int i = 0; i < 40; ++i) {
            w.Literal(static_cast<std::uint8_t>('a' + i % 26));
        }
        for (std::uint32_t len = 2; len <= 518; ++len) {
            w.Match(len, 1 + len % 37);
            w.Literal(static_cast<std::uint8_t>(len));
        }
        w.End();
        ExpectDecodes(w);
    }
}

TEST(DclDecode, EveryDistanceCodeWithLowestAndHighestLowBits) {
    std::mt19937 rng(7);
    for (std::uint32_t dict = 4; dict <= 6; ++dict) {
        for (std::uint32_t len : {2u, 3u, 17u}) {
            DclBitWriter w(0, dict);
            for (int i = 0; i < 4200; ++i) { // history to reach into
                w.Literal(static_cast<std::uint8_t>(rng()));
            }
            const std::uint32_t lowBits = len == 2 ? 2 : dict;
            for (std::uint32_t j = 0; j < 64; ++j) {
                w.Match(len, (j << lowBits) + 1);
                w.Match(len, (j << lowBits) + (1u << lowBits));
                w.Literal(static_cast<std::uint8_t>(rng()));
            }
            w.End();
            ExpectDecodes(w);
        }
    }
}

TEST(DclDecode, EveryAsciiLiteral) {
    std::vector<std::uint8_t> order(256);
    for (int i = 0; i < 256; ++i) {
        order[i] = static_cast<std::uint8_t>(i);
    }
    std::mt19937 rng(3);
    for (int round = 0; round < 4; ++round) {
        DclBitWriter w(1, 5);
        for (std::uint8_t b : order) {
            w.Literal(b);
        }
        w.Match(5, 200);
        w.End();
        ExpectDecodes(w);
        std::shuffle(order.begin(), order.end(), rng);
    }
}

// Every ordered pair of mode 1 literals, each pair after a match, so that a
// decoder reading two literals at once meets every pair at its start.
TEST(DclDecode, EveryPairOfAsciiLiterals) {
    DclBitWriter w(1, 4);
    w.Literal(0);
    for (std::uint32_t first = 0; first < 256; ++first) {
        for (std::uint32_t second = 0; second < 256; ++second) {
            w.Match(2, 1);
            w.Literal(static_cast<std::uint8_t>(first));
            w.Literal(static_cast<std::uint8_t>(second));
        }
    }
    w.End();
    ExpectDecodes(w);
}

// Whatever a work area holds from before (another stream's lookups, or
// anything at all), a run sets up all it uses.
TEST(DclDecode, WorkAreaHoldsNothingOverFromBefore) {
    DclBitWriter text(1, 6);
    DclBitWriter bytes(0, 4);
    for (int i = 0; i < 256; ++i) {
        text.Literal(static_cast<std::uint8_t>(255 - i));
        bytes.Literal(static_cast<std::uint8_t>(i));
        text.Match(3 + i % 40, 1 + i);
        bytes.Match(2 + i % 9, 1 + i % 16);
    }
    text.End();
    bytes.End();
    std::unique_ptr<DclState> work(new DclState);
    for (int fill : {0x00, 0xFF, 0xA5}) {
        std::memset(work.get(), fill, sizeof *work);
        for (const DclBitWriter* w : {&text, &bytes, &text}) {
            Harness h;
            h.input = w->bytes;
            EXPECT_EQ(DclDecode(HarnessRead, HarnessWrite, work.get(), &h), DCL_OK) << fill;
            EXPECT_EQ(h.output, w->expected) << fill;
        }
    }
}

TEST(DclDecode, MatchesThatOverlapTheirOutput) {
    DclBitWriter w(0, 6);
    const char* seed = "0123456789abcdef";
    for (const char* p = seed; *p != 0; ++p) {
        w.Literal(static_cast<std::uint8_t>(*p));
    }
    for (std::uint32_t distance = 1; distance <= 16; ++distance) {
        for (std::uint32_t len : {2u, 7u, 8u, 9u, 10u, 15u, 16u, 17u, 100u, 518u}) {
            w.Match(len, distance);
        }
    }
    w.End();
    ExpectDecodes(w);
    // Distance 1, length 10 repeats the previous byte ten times.
    DclBitWriter r(0, 4);
    r.Literal('x');
    r.Match(10, 1);
    r.End();
    const Decoded d = Decode(r.bytes);
    EXPECT_EQ(std::string(d.output.begin(), d.output.end()), "xxxxxxxxxxx");
}

TEST(DclDecode, HistoryBeforeTheStartReadsAsZeros) {
    // First fill the reused work area's window with other bytes.
    DclBitWriter junk(0, 6);
    for (int i = 0; i < 9000; ++i) {
        junk.Literal(0xAA);
    }
    junk.End();
    ExpectDecodes(junk);

    DclBitWriter w(0, 6);
    w.Match(518, 4096);
    w.Literal('z');
    w.Match(2, 256);
    w.End();
    const Decoded d = Decode(w.bytes);
    EXPECT_EQ(d.result, DCL_OK);
    std::vector<std::uint8_t> expected(518, 0);
    expected.push_back('z');
    expected.push_back(0);
    expected.push_back(0);
    EXPECT_EQ(d.output, expected);
}

TEST(DclDecode, LongestMatchAtTheLastPositionOfTheWindow) {
    DclBitWriter w(0, 6);
    for (int i = 0; i < 4095; ++i) {
        w.Literal(static_cast<std::uint8_t>(i * 7));
    }
    w.Match(518, 300); // starts at window position 8191
    w.Match(518, 9);   // and one more across the block boundary
    w.End();
    const Decoded d = Decode(w.bytes);
    EXPECT_EQ(d.result, DCL_OK);
    EXPECT_EQ(d.output, w.expected);
    EXPECT_EQ(d.writeSizes, (std::vector<std::uint32_t>{4096, 4095 + 518 + 518 - 4096}));
}

TEST(DclDecode, OutputOfExactlyOneBlockEndsWithAnEmptyWrite) {
    DclBitWriter w(0, 4);
    w.Literal(1);
    for (int i = 0; i < 15; ++i) {
        w.Match(273, 1);
    }
    w.End();
    ASSERT_EQ(w.expected.size(), 4096u);
    const Decoded d = Decode(w.bytes);
    EXPECT_EQ(d.result, DCL_OK);
    EXPECT_EQ(d.output, w.expected);
    EXPECT_EQ(d.writeSizes, (std::vector<std::uint32_t>{4096, 0}));
}

TEST(DclDecode, StreamEndingExactlyAfterTheEndCode) {
    DclBitWriter w(0, 5);
    for (int i = 0; i < 8; ++i) { // 8 literals of 9 bits and the end code: 88 bits
        w.Literal(static_cast<std::uint8_t>('k' + i));
    }
    w.End();
    ASSERT_EQ(w.bitCount % 8, 0u);
    const Decoded d = Decode(w.bytes);
    EXPECT_EQ(d.result, DCL_OK);
    EXPECT_EQ(d.output, w.expected);
}

TEST(DclDecode, LiteralCutShortAbortsAfterWritingEarlierOutput) {
    for (std::uint32_t mode : {0u, 1u}) {
        DclBitWriter w(mode, 4);
        w.Literal('A');
        w.Literal('B');
        w.Literal('C');
        // No end code; 8 bits must follow an item for it to count.
        const Decoded d = Decode(w.bytes);
        EXPECT_EQ(d.result, DCL_ABORT);
        std::vector<std::uint8_t> expected;
        for (const DclBitWriter::ItemEnd& item : w.items) {
            if (item.bit + 8 <= (w.bytes.size() - 2) * 8) {
                expected.assign(w.expected.begin(), w.expected.begin() + item.outputSize);
            }
        }
        EXPECT_EQ(d.output, expected) << "mode " << mode;
        EXPECT_EQ(d.writeSizes.size(), 1u);
    }
}

// Builds a random stream of literals and matches over several blocks.
DclBitWriter RandomStream(std::uint32_t seed, std::uint32_t mode, std::uint32_t dict,
                          std::size_t items) {
    std::mt19937 rng(seed);
    DclBitWriter w(mode, dict);
    for (std::size_t i = 0; i < items; ++i) {
        if (rng() % 3 == 0) {
            w.Literal(static_cast<std::uint8_t>(rng()));
        } else {
            const std::uint32_t len = rng() % 4 == 0 ? 2 + rng() % 517 : 2 + rng() % 12;
            const std::uint32_t maxDistance = len == 2 ? 256 : 64u << dict;
            w.Match(len, 1 + rng() % (rng() % 2 ? maxDistance : 16));
        }
    }
    w.End();
    return w;
}

// A stream like text in mode 1: letters with short codes and short matches,
// most of them resolved by one look-up of several codes.
DclBitWriter TextStream(std::uint32_t seed, std::size_t items) {
    static const char kLetters[] = " etaoinshrdlu\n,.";
    std::mt19937 rng(seed);
    DclBitWriter w(1, 5);
    for (std::size_t i = 0; i < items; ++i) {
        if (i < 4 || rng() % 2 == 0) {
            w.Literal(static_cast<std::uint8_t>(kLetters[rng() % (sizeof kLetters - 1)]));
        } else {
            w.Match(2 + rng() % 20, 1 + rng() % 64);
        }
    }
    w.End();
    return w;
}

TEST(DclDecode, RandomStreamsWithEveryReadPattern) {
    const std::vector<std::vector<std::uint32_t>> patterns = {
        {0}, {5, 1}, {7, 3, 1, 2048}, {2047, 1}, {100, 9}, {5, 2000, 13, 700},
    };
    std::uint32_t seed = 1;
    for (std::uint32_t mode : {0u, 1u}) {
        for (std::uint32_t dict = 4; dict <= 6; ++dict) {
            const DclBitWriter w = RandomStream(seed++, mode, dict, 3000);
            for (const std::vector<std::uint32_t>& p : patterns) {
                ExpectDecodes(w, p);
            }
        }
    }
    const DclBitWriter text = TextStream(seed, 20000);
    for (const std::vector<std::uint32_t>& p : patterns) {
        ExpectDecodes(text, p);
    }
}

TEST(DclDecode, ReadsOfOneByteGiveTheSameOutputAsWholeReads) {
    const DclBitWriter w = RandomStream(99, 1, 6, 500);
    const Decoded whole = Decode(w.bytes);
    const Decoded bytewise = Decode(w.bytes, {6, 1});
    EXPECT_EQ(whole.result, DCL_OK);
    EXPECT_EQ(bytewise.result, DCL_OK);
    EXPECT_EQ(bytewise.output, whole.output);
    EXPECT_EQ(bytewise.writeSizes, whole.writeSizes);
    EXPECT_EQ(bytewise.dataReads, w.bytes.size() - 5);
}

TEST(DclDecode, ReadClaimingMoreThanAskedIsHeldToTheBuffer) {
    const DclBitWriter w = RandomStream(5, 0, 6, 4000);
    ASSERT_GT(w.bytes.size(), 4096u);
    for (std::uint32_t overclaim : {1u, 100u, 5000u, 0xFFFF0000u}) {
        // Full reads that claim more: only the 2048 bytes of the buffer count.
        Decoded d = Decode(w.bytes, {0}, overclaim);
        EXPECT_EQ(d.result, DCL_OK);
        EXPECT_EQ(d.output, w.expected);
        // Short reads that claim more: stale buffer bytes are decoded, but
        // nothing outside the work area is touched and blocks stay whole.
        d = Decode(w.bytes, {300, 2000}, overclaim);
        ExpectBlocks(d);
    }
}

// Every cut of a stream: what a decoder with 8 look-ahead bits yields.
TEST(DclDecode, EveryTruncationOfAStream) {
    for (std::uint32_t kind : {0u, 1u, 2u}) {
        const DclBitWriter w =
            kind == 2 ? TextStream(13, 150) : RandomStream(11 + kind, kind, 5, 60);
        for (std::size_t cut = 0; cut <= w.bytes.size(); ++cut) {
            const std::vector<std::uint8_t> stream(w.bytes.begin(), w.bytes.begin() + cut);
            for (const std::vector<std::uint32_t>& p :
                 {std::vector<std::uint32_t>{0}, std::vector<std::uint32_t>{5, 1}}) {
                const Decoded d = Decode(stream, p);
                if (cut <= 4) {
                    EXPECT_EQ(d.result, DCL_SHORT_INPUT);
                    continue;
                }
                const std::uint32_t available = static_cast<std::uint32_t>(cut - 2) * 8;
                std::size_t produced = 0;
                std::uint32_t result = DCL_ABORT;
                for (const DclBitWriter::ItemEnd& item : w.items) {
                    if (item.endCode ? item.bit <= available : item.bit + 8 <= available) {
                        produced = item.outputSize;
                        result = item.endCode ? DCL_OK : DCL_ABORT;
                    } else {
                        break;
                    }
                }
                EXPECT_EQ(d.result, result) << "cut " << cut;
                EXPECT_EQ(d.output.size(), produced) << "cut " << cut;
                EXPECT_TRUE(std::equal(d.output.begin(), d.output.end(), w.expected.begin()));
            }
        }
    }
}

TEST(DclDecode, EndCodeAcceptedWithoutLookAheadButNotCutShort) {
    DclBitWriter w(0, 4);
    w.Literal('Q');
    w.End(); // 25 bits: the end code's last bit is bit 0 of the fourth byte
    ASSERT_EQ(w.bytes.size(), 6u);
    Decoded d = Decode(w.bytes);
    EXPECT_EQ(d.result, DCL_OK);
    EXPECT_EQ(std::string(d.output.begin(), d.output.end()), "Q");
    // Without the byte holding its last extra bit the end code is not seen.
    std::vector<std::uint8_t> cut(w.bytes.begin(), w.bytes.end() - 1);
    d = Decode(cut);
    EXPECT_EQ(d.result, DCL_ABORT);
    EXPECT_EQ(std::string(d.output.begin(), d.output.end()), "Q");
}

TEST(DclDecode, ChunkOf2048BytesTakesOneDataRead) {
    for (std::uint32_t size : {2048u, 2049u}) {
        // One 9-bit literal, 8-bit matches (length 2, distance 1) and the end
        // code, so that the end code's last bit lies in the last byte.
        DclBitWriter w(0, 6);
        w.Literal('m');
        for (std::uint32_t i = 0; i + 4 < size - 2; ++i) {
            w.Match(2, 1);
        }
        w.End();
        ASSERT_EQ(w.bytes.size(), size);
        const Decoded d = Decode(w.bytes);
        EXPECT_EQ(d.result, DCL_OK);
        EXPECT_EQ(d.output, w.expected);
        EXPECT_EQ(d.dataReads, size == 2048 ? 1u : 2u);
    }
}

} // namespace
