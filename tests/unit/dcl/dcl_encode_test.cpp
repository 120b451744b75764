// The DCL implode encoder: round trips through the decoder for every
// setting, a walk of the produced streams by the step-by-step reference
// decoder (no match may reach before the first byte), exact optimality
// against a brute-force parse on small inputs, and a cross-check of
// binary-literal streams with the system's `dynamite` decoder when present.
#include "dcl/dcl_codes.h"
#include "dcl/dcl_decode.h"
#include "dcl/dcl_encode.h"
#include "tests/unit/dcl/dcl_bit_writer.h"
#include "tests/unit/dcl/dcl_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

typedef std::vector<std::uint8_t> Bytes;

// ---- test data ---------------------------------------------------------

Bytes Text(std::size_t size, std::uint32_t seed) {
    static const char* words[] = {"the",     "program", "is",   "free",    "software", "you",
                                  "can",     "of",      "and",  "license", "GNU",      "General",
                                  "Public",  "version", "copy", "modify",  "\n",       "terms",
                                  "without", "any",     "to",   "or",      "work,",    "under"};
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < size) {
        const char* w = words[rng() % (sizeof words / sizeof *words)];
        out.insert(out.end(), w, w + std::strlen(w));
        out.push_back(rng() % 11 == 0 ? '.' : ' ');
    }
    out.resize(size);
    return out;
}

Bytes Random(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out(size);
    for (auto& b : out)
        b = std::uint8_t(rng());
    return out;
}

// Code-like data: records with small fields, repeated opcodes, zero padding
// and pointers that drift, as in an executable image.
Bytes Executable(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out;
    std::uint32_t address = 0x401000;
    while (out.size() < size) {
        switch (rng() % 5) {
        case 0: // call rel32
            out.push_back(0xE8);
            for (int i = 0; i < 4; ++i)
                out.push_back(std::uint8_t((address >> (8 * i)) & 0xFF));
            address += rng() % 64;
            break;
        case 1: // push ebp; mov ebp, esp; sub esp, imm8
            out.insert(out.end(), {0x55, 0x8B, 0xEC, 0x83, 0xEC, std::uint8_t(rng() % 64)});
            break;
        case 2:
            out.insert(out.end(), rng() % 40, 0x00);
            break;
        case 3:
            out.push_back(std::uint8_t(rng()));
            break;
        default: // mov eax, [ebp+disp8]
            out.insert(out.end(), {0x8B, 0x45, std::uint8_t(rng() % 32)});
            break;
        }
    }
    out.resize(size);
    return out;
}

Bytes Runs(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < size)
        out.insert(out.end(), 1 + rng() % 2000, std::uint8_t(rng() % 3));
    out.resize(size);
    return out;
}

Bytes Zeros(std::size_t size, std::uint32_t) {
    return Bytes(size, 0);
}

// A period just above the largest dictionary: only the 4096 window reaches.
Bytes FarRepeat(std::size_t size, std::uint32_t seed) {
    const Bytes unit = Random(4090, seed);
    Bytes out;
    while (out.size() < size)
        out.insert(out.end(), unit.begin(), unit.end());
    out.resize(size);
    return out;
}

struct DataKind {
    const char* name;
    Bytes (*make)(std::size_t, std::uint32_t);
};
const DataKind kKinds[] = {{"text", Text}, {"random", Random}, {"executable", Executable},
                           {"runs", Runs}, {"zeros", Zeros},   {"far-repeat", FarRepeat}};

// ---- decoding through the decoder ----------------------------------------

// Twice through the decoder: once to count the output, once to keep it.
std::uint32_t Decode(const Bytes& stream, Bytes* out) {
    static DclState state;
    std::uint32_t produced = 0;
    DclDecodeBuffer(stream.data(), std::uint32_t(stream.size()), nullptr, 0, &state, &produced);
    out->resize(produced);
    return DclDecodeBuffer(stream.data(), std::uint32_t(stream.size()), out->data(), produced,
                           &state, &produced);
}

// ---- a walk of a stream by the reference decoder ------------------------

// The stream expands to `in` by the step-by-step decoder, no match reaches
// before the first byte, and nothing follows the end code but zero bits
// that fill its last byte.
void ExpectSoundStream(const Bytes& stream, const Bytes& in) {
    Bytes out(in.size());
    DclBuffers b = {stream.data(), std::uint32_t(stream.size()), out.data(),
                    std::uint32_t(out.size()), 0};
    ReferenceWalk walk;
    ASSERT_EQ(ReferenceDecode(DclBufferRead, DclBufferWrite, &b, &walk), DCL_OK);
    EXPECT_EQ(b.produced, in.size());
    EXPECT_TRUE(out == in);
    EXPECT_FALSE(walk.reachedBeforeStart);
    const std::uint64_t end = 16 + walk.bits, total = stream.size() * 8;
    ASSERT_LE(end, total);
    EXPECT_LT(total - end, 8u) << "bytes after the end code";
    for (std::uint64_t bit = end; bit < total; ++bit)
        EXPECT_EQ((stream[bit / 8] >> (bit % 8)) & 1, 0) << "bit " << bit << " after the end code";
}

// ---- brute-force optimum -------------------------------------------------

std::uint32_t LengthItemBits(std::uint32_t len) {
    for (const DclLengthCode& c : kDclLengthCodes)
        if (len >= c.base + 2u && len < c.base + 2u + (1u << c.extraBits))
            return 1 + c.bits + c.extraBits;
    return 0;
}

// Smallest stream size in bytes for one setting, trying every distance and
// every length at every position.
std::size_t OptimalSize(const Bytes& in, std::uint32_t mode, std::uint32_t dictBits) {
    const std::size_t n = in.size();
    const std::size_t reach = std::size_t(1) << (dictBits + 6);
    std::uint32_t lengthBits[519];
    for (std::uint32_t len = 2; len <= 518; ++len)
        lengthBits[len] = LengthItemBits(len);
    std::vector<std::uint64_t> best(n + 1, ~std::uint64_t(0) >> 1);
    best[n] = 0;
    // Common lengths of position i (this row) and i + 1 (next) with the
    // bytes d back.
    std::vector<std::size_t> row(n + 1, 0), next(n + 1, 0);
    for (std::size_t i = n; i-- > 0;) {
        best[i] = 1 + (mode ? kDclAsciiBits[in[i]] : 8u) + best[i + 1];
        for (std::size_t d = 1; d <= i; ++d)
            row[d] = in[i] == in[i - d] ? std::min<std::size_t>(518, 1 + next[d]) : 0;
        row.swap(next);
        for (std::size_t d = 1; d <= std::min(i, reach); ++d) {
            const std::size_t common = next[d];
            for (std::size_t len = 2; len <= common; ++len) {
                if (len == 2 && d > 256)
                    continue;
                const std::uint32_t low = len == 2 ? 2 : dictBits;
                const std::uint64_t cost =
                    lengthBits[len] + kDclDistanceBits[(d - 1) >> low] + low + best[i + len];
                best[i] = std::min(best[i], cost);
            }
        }
    }
    return 2 + std::size_t((best[0] + 16 + 7) / 8);
}

// ---- tests ---------------------------------------------------------------

// The walk the stream checks rely on: it counts the items' bits and sees a
// match that reaches before the first byte.
TEST(ReferenceWalk, CountsBitsAndSeesMatchesBeforeTheStart) {
    for (int early = 0; early <= 1; ++early) {
        DclBitWriter w(1, 5);
        w.Literal('a');
        w.Match(4, early ? 2 : 1);
        w.Literal('b');
        w.End();
        Bytes out(16);
        DclBuffers b = {w.bytes.data(), std::uint32_t(w.bytes.size()), out.data(),
                        std::uint32_t(out.size()), 0};
        ReferenceWalk walk;
        ASSERT_EQ(ReferenceDecode(DclBufferRead, DclBufferWrite, &b, &walk), DCL_OK);
        EXPECT_EQ(walk.bits, w.bitCount);
        EXPECT_EQ(walk.matches, 1u);
        EXPECT_EQ(walk.reachedBeforeStart, early == 1);
        out.resize(b.produced);
        EXPECT_TRUE(out == w.expected);
    }
}

// Every setting, every kind of data, sizes around the window and output
// block boundaries: the decoder gives back the input, and the walk finds
// only matches inside the stream.
TEST(DclEncode, RoundTripsEverySetting) {
    const std::size_t sizes[] = {1, 2, 3, 1024, 4095, 4096, 4097, 8192, 32768};
    for (const DataKind& kind : kKinds) {
        for (std::size_t size : sizes) {
            const Bytes in = kind.make(size, std::uint32_t(size));
            for (std::uint32_t mode = 0; mode <= 1; ++mode) {
                for (std::uint32_t bits = 4; bits <= 6; ++bits) {
                    SCOPED_TRACE(std::string(kind.name) + " size " + std::to_string(size) +
                                 " mode " + std::to_string(mode) + " bits " + std::to_string(bits));
                    Bytes stream;
                    const std::size_t n = DclEncode(in.data(), in.size(), mode, bits, &stream);
                    ASSERT_EQ(n, stream.size());
                    ASSERT_GE(stream.size(), 5u);
                    EXPECT_EQ(stream[0], mode);
                    EXPECT_EQ(stream[1], bits);
                    Bytes out;
                    ASSERT_EQ(Decode(stream, &out), DCL_OK);
                    EXPECT_TRUE(out == in);
                    ExpectSoundStream(stream, in);
                }
            }
        }
    }
}

TEST(DclEncode, LargestChunkAndLongInputs) {
    // 65535 bytes (the largest chunk) and an input of several parse blocks,
    // whose matches reach back across the block boundary.
    for (std::size_t size : {std::size_t(65535), (std::size_t(1) << 20) + 70000}) {
        Bytes in = Text(size, 7);
        const Bytes tail = Executable(size / 3, 8);
        std::copy(tail.begin(), tail.end(), in.begin() + std::ptrdiff_t(size / 3));
        Bytes stream;
        DclEncode(in.data(), in.size(), kDclLiteralsAscii, 6, &stream);
        Bytes out;
        ASSERT_EQ(Decode(stream, &out), DCL_OK);
        EXPECT_TRUE(out == in) << size;
        ExpectSoundStream(stream, in);
    }
}

TEST(DclEncode, CompressesRedundantData) {
    // A long run costs a few bits per 518 bytes; text shrinks well below its
    // size; random data costs at most one flag bit per byte extra.
    const Bytes zeros(65535, 0);
    Bytes z;
    DclEncode(zeros.data(), zeros.size(), kDclLiteralsBinary, 4, &z);
    EXPECT_LT(z.size(), 65535u / 518 * 4);
    const Bytes text = Text(32768, 3);
    Bytes t;
    DclEncode(text.data(), text.size(), kDclLiteralsAscii, 6, &t);
    EXPECT_LT(t.size(), text.size() / 3);
    const Bytes noise = Random(32768, 3);
    Bytes r;
    DclEncode(noise.data(), noise.size(), kDclLiteralsBinary, 6, &r);
    EXPECT_LE(r.size(), 2 + (noise.size() * 9 + 16 + 7) / 8);
}

// Random bytes, the first half of them again (matches of the longest
// length whose start and end costs lie thousands of bits apart) and text:
// the costs of every setting pass 2^16 bits, where the parse's 16-bit
// cost lanes wrap around.
Bytes CostlyThenRepeated() {
    Bytes in = Random(6000, 16);
    in.insert(in.end(), in.begin(), in.begin() + 3000);
    const Bytes text = Text(2000, 17);
    in.insert(in.end(), text.begin(), text.end());
    return in;
}

// Runs of one byte of every length up to past the longest match, each
// followed by a byte of a few values, some runs and their followers copied
// from before: many positions share long prefixes, and matches longer than
// a run need the run of exactly that length.
Bytes RunsOfEveryLength(std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes in;
    while (in.size() < 2000) {
        if (rng() % 4 == 0 && in.size() > 600) {
            const std::size_t from = in.size() - 1 - rng() % 600, length = 5 + rng() % 60;
            for (std::size_t k = 0; k < length; ++k)
                in.push_back(in[from + k]);
        } else {
            in.insert(in.end(), rng() % 10 == 0 ? 520 + rng() % 60 : 1 + rng() % 40,
                      std::uint8_t(rng() % 2 ? 0 : 0xFF));
            in.push_back(std::uint8_t(1 + rng() % 3));
        }
    }
    return in;
}

TEST(DclEncode, MatchesBruteForceOptimum) {
    // The parse is exact wherever the match search finds every nearest
    // distance; it bounds its steps per position, which could miss one in
    // data with many similar suffixes, and searches runs of one byte (where
    // that happens most) apart.  The runs are checked with the 1024-byte
    // dictionary only, for the brute force's sake.
    struct Case {
        Bytes in;
        std::uint32_t lastBits;
    };
    const Case cases[] = {{Text(1500, 11), 6},       {Runs(700, 13), 6},
                          {FarRepeat(1200, 14), 6},  {Random(300, 15), 6},
                          {Executable(1500, 12), 6}, {CostlyThenRepeated(), 6},
                          {RunsOfEveryLength(18), 4}};
    for (const Case& c : cases) {
        for (std::uint32_t mode = 0; mode <= 1; ++mode) {
            for (std::uint32_t bits = 4; bits <= c.lastBits; ++bits) {
                Bytes stream;
                DclEncode(c.in.data(), c.in.size(), mode, bits, &stream);
                EXPECT_EQ(stream.size(), OptimalSize(c.in, mode, bits))
                    << "case " << (&c - cases) << " mode " << mode << " bits " << bits;
            }
        }
    }
}

TEST(DclEncode, SmallestPicksTheBestOfSix) {
    DclEncoderWork* work = DclNewEncoderWork();
    for (const DataKind& kind : kKinds) {
        for (std::size_t size : {std::size_t(1), std::size_t(300), std::size_t(20000)}) {
            const Bytes in = kind.make(size, 5);
            std::size_t best = ~std::size_t(0);
            for (std::uint32_t mode = 0; mode <= 1; ++mode) {
                for (std::uint32_t bits = 4; bits <= 6; ++bits) {
                    Bytes s;
                    best = std::min(best, DclEncode(in.data(), in.size(), mode, bits, &s));
                }
            }
            Bytes stream = {0xAA}; // appends after what is there
            std::uint32_t mode = 9, bits = 9;
            const std::size_t n = DclEncodeSmallest(in.data(), in.size(), &stream, &mode, &bits,
                                                    kind.make == Zeros ? nullptr : work);
            EXPECT_EQ(n, best) << kind.name << " " << size;
            ASSERT_EQ(stream.size(), n + 1);
            EXPECT_EQ(stream[1], mode);
            EXPECT_EQ(stream[2], bits);
            Bytes out;
            ASSERT_EQ(Decode(Bytes(stream.begin() + 1, stream.end()), &out), DCL_OK);
            EXPECT_TRUE(out == in);
        }
    }
    DclDeleteEncoderWork(work);
}

TEST(DclEncode, EmptyInputGivesADecodableStream) {
    for (std::uint32_t mode = 0; mode <= 1; ++mode) {
        Bytes stream;
        ASSERT_EQ(DclEncode(nullptr, 0, mode, 4, &stream), 5u);
        Bytes out;
        EXPECT_EQ(Decode(stream, &out), DCL_OK);
        EXPECT_TRUE(out.empty());
        // Header and end code fill four bytes exactly; the fifth is a zero
        // the decoder never reads.
        DclBuffers b = {stream.data(), std::uint32_t(stream.size()), nullptr, 0, 0};
        ReferenceWalk walk;
        EXPECT_EQ(ReferenceDecode(DclBufferRead, DclBufferWrite, &b, &walk), DCL_OK);
        EXPECT_EQ(walk.bits, 16u);
        EXPECT_EQ(stream[4], 0);
    }
}

TEST(DclEncode, RefusesBadSettings) {
    const Bytes in = Text(100, 1);
    Bytes out;
    EXPECT_EQ(DclEncode(in.data(), in.size(), 2, 6, &out), 0u);
    EXPECT_EQ(DclEncode(in.data(), in.size(), 0, 3, &out), 0u);
    EXPECT_EQ(DclEncode(in.data(), in.size(), 0, 7, &out), 0u);
    EXPECT_TRUE(out.empty());
}

// `dynamite` is an independent decoder of binary-literal streams.
TEST(DclEncode, DynamiteExpandsBinaryStreams) {
#ifdef _WIN32
    GTEST_SKIP() << "dynamite is a Linux program";
#else
    if (std::system("command -v dynamite >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "dynamite not installed";
    char dir[] = "/tmp/bq-dynamite-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string packed = std::string(dir) + "/packed", plain = std::string(dir) + "/plain";
    for (const DataKind& kind : kKinds) {
        for (std::uint32_t bits = 4; bits <= 6; ++bits) {
            const Bytes in = kind.make(20000, bits);
            Bytes stream;
            DclEncode(in.data(), in.size(), kDclLiteralsBinary, bits, &stream);
            FILE* f = std::fopen(packed.c_str(), "wb");
            ASSERT_NE(f, nullptr);
            std::fwrite(stream.data(), 1, stream.size(), f);
            std::fclose(f);
            std::remove(plain.c_str());
            const std::string cmd = "dynamite " + packed + " " + plain + " >/dev/null 2>&1";
            EXPECT_EQ(std::system(cmd.c_str()), 0) << kind.name << " " << bits;
            Bytes out(in.size() + 16);
            f = std::fopen(plain.c_str(), "rb");
            ASSERT_NE(f, nullptr) << kind.name << " " << bits;
            out.resize(std::fread(out.data(), 1, out.size(), f));
            std::fclose(f);
            EXPECT_TRUE(out == in) << kind.name << " " << bits;
        }
    }
    std::remove(packed.c_str());
    std::remove(plain.c_str());
    rmdir(dir);
#endif
}

} // namespace
