// The chunk stream writer: streams expand through ExpandStream to the input,
// each chunk is raw or the smallest imploded form, a chunk that would not
// shrink is raw (also when it would come out exactly as long), and the
// result does not depend on the number of threads.
#include "dcl/dcl_encode.h"
#include "errors/error_record.h"
#include "package/chunk_stream.h"
#include "package/chunk_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::uint8_t> Bytes;

// Text-like halves and random halves, so that some chunks shrink and some
// do not.
Bytes Mixed(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) {
        const bool noise = (i / 20000) % 2 == 1;
        out[i] = noise ? std::uint8_t(rng()) : std::uint8_t("abcde fghij\n"[rng() % 12]);
    }
    return out;
}

struct Chunk {
    std::size_t expanded, stored;
    Bytes data;
};

std::vector<Chunk> SplitChunks(const Bytes& stream) {
    std::vector<Chunk> chunks;
    std::size_t at = 0;
    while (at + 4 <= stream.size()) {
        Chunk c;
        c.expanded = stream[at] | std::size_t(stream[at + 1]) << 8;
        c.stored = stream[at + 2] | std::size_t(stream[at + 3]) << 8;
        at += 4;
        if (at + c.stored > stream.size())
            break;
        c.data.assign(stream.begin() + std::ptrdiff_t(at),
                      stream.begin() + std::ptrdiff_t(at + c.stored));
        at += c.stored;
        chunks.push_back(c);
    }
    EXPECT_EQ(at, stream.size()) << "stream does not end with a whole chunk";
    return chunks;
}

Bytes Expand(const Bytes& stream, std::size_t size) {
    ErrorRecord record;
    Bytes out(size + 1, 0xEE);
    EXPECT_EQ(ExpandStream(&record, stream.data(), std::int32_t(stream.size()), out.data(),
                           std::int32_t(size)),
              0u);
    EXPECT_EQ(out[size], 0xEE) << "wrote past the expanded size";
    out.resize(size);
    return out;
}

TEST(ChunkWriter, RoundTripsThroughExpandStream) {
    struct Case {
        std::size_t size;
        std::uint32_t chunkSize;
    };
    const Case cases[] = {{1, 32768},      {32767, 32768}, {32768, 32768}, {32769, 32768},
                          {100000, 32768}, {70000, 65535}, {65535, 65535}, {5000, 1000},
                          {777, 1},        {3000, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size) + " chunk " + std::to_string(c.chunkSize));
        const Bytes in = Mixed(c.size, std::uint32_t(c.size));
        ChunkWriterOptions options;
        options.chunkSize = c.chunkSize;
        const Bytes stream = WriteChunkStream(in.data(), in.size(), options);
        const std::vector<Chunk> chunks = SplitChunks(stream);
        ASSERT_EQ(chunks.size(), (c.size + c.chunkSize - 1) / c.chunkSize);
        std::size_t at = 0;
        for (const Chunk& k : chunks) {
            EXPECT_EQ(k.expanded, std::min<std::size_t>(c.chunkSize, c.size - at));
            EXPECT_LE(k.stored, k.expanded);
            if (k.stored == k.expanded) {
                EXPECT_TRUE(
                    std::equal(k.data.begin(), k.data.end(), in.begin() + std::ptrdiff_t(at)));
            }
            at += k.expanded;
        }
        EXPECT_TRUE(Expand(stream, in.size()) == in);
    }
}

TEST(ChunkWriter, EachChunkIsTheSmallestFormOrRaw) {
    // Text, random bytes, text: the middle chunk cannot shrink.
    Bytes in = Mixed(20000, 4);
    in.resize(32768, 'a');
    std::mt19937 rng(4);
    for (int i = 0; i < 32768; ++i)
        in.push_back(std::uint8_t(rng()));
    const Bytes tail = Mixed(20000, 5);
    in.insert(in.end(), tail.begin(), tail.end());
    ChunkWriterOptions options;
    const std::vector<Chunk> chunks = SplitChunks(WriteChunkStream(in.data(), in.size(), options));
    ASSERT_EQ(chunks.size(), 3u);
    bool sawRaw = false, sawPacked = false;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const std::uint8_t* part = in.data() + i * 32768;
        Bytes best;
        DclEncodeSmallest(part, chunks[i].expanded, &best, nullptr, nullptr);
        if (best.size() < chunks[i].expanded) {
            EXPECT_TRUE(chunks[i].data == best) << i;
            sawPacked = true;
        } else {
            EXPECT_EQ(chunks[i].stored, chunks[i].expanded) << i;
            sawRaw = true;
        }
    }
    EXPECT_TRUE(sawRaw && sawPacked);
}

TEST(ChunkWriter, ChunkThatWouldNotShrinkIsRaw) {
    // Find a chunk whose smallest imploded form is exactly as long as the
    // chunk: random bytes followed by a run, the run's length tuned.
    std::mt19937 rng(1);
    Bytes in;
    bool found = false;
    for (std::size_t noise = 40; noise < 120 && !found; ++noise) {
        for (std::size_t run = 0; run < 40 && !found; ++run) {
            in.assign(noise, 0);
            for (auto& b : in)
                b = std::uint8_t(rng());
            in.insert(in.end(), run, 'x');
            Bytes packed;
            found = DclEncodeSmallest(in.data(), in.size(), &packed, nullptr, nullptr) == in.size();
        }
    }
    ASSERT_TRUE(found);
    ChunkWriterOptions options;
    const Bytes stream = WriteChunkStream(in.data(), in.size(), options);
    ASSERT_EQ(stream.size(), in.size() + 4);
    EXPECT_EQ(stream[0] | stream[1] << 8, int(in.size()));
    EXPECT_EQ(stream[2] | stream[3] << 8, int(in.size()));
    EXPECT_TRUE(Bytes(stream.begin() + 4, stream.end()) == in);
}

TEST(ChunkWriter, EmptyInputGivesEmptyStream) {
    ChunkWriterOptions options;
    EXPECT_TRUE(WriteChunkStream(nullptr, 0, options).empty());
}

TEST(ChunkWriter, SameOutputForAnyNumberOfThreads) {
    const Bytes in = Mixed(200000, 9);
    ChunkWriterOptions one;
    one.chunkSize = 10000;
    one.threads = 1;
    const Bytes reference = WriteChunkStream(in.data(), in.size(), one);
    for (unsigned threads : {2u, 3u, 8u, 0u}) {
        ChunkWriterOptions many = one;
        many.threads = threads;
        EXPECT_TRUE(WriteChunkStream(in.data(), in.size(), many) == reference) << threads;
    }
}

} // namespace
