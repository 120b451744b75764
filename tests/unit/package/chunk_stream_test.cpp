// Chunk stream expansion: raw and compressed chunks, refusals at line 48,
// and the expansion a window at a time.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "errors/error_codes.h"
#include "errors/error_record.h"
#include "package/chunk_stream.h"
#include "tests/unit/dcl/dcl_bit_writer.h"

namespace {

void AppendChunk(std::vector<std::uint8_t>* stream, std::uint32_t expanded,
                 const std::vector<std::uint8_t>& data) {
    stream->push_back(static_cast<std::uint8_t>(expanded));
    stream->push_back(static_cast<std::uint8_t>(expanded >> 8));
    stream->push_back(static_cast<std::uint8_t>(data.size()));
    stream->push_back(static_cast<std::uint8_t>(data.size() >> 8));
    stream->insert(stream->end(), data.begin(), data.end());
}

// A compressed chunk of `literals` literal bytes followed by `repeats`
// matches of 518 bytes, distance 1.
DclBitWriter Compressed(const char* literals, int repeats = 0) {
    DclBitWriter w(1, 6);
    for (const char* p = literals; *p != 0; ++p) {
        w.Literal(static_cast<std::uint8_t>(*p));
    }
    for (int i = 0; i < repeats; ++i) {
        w.Match(518, 1);
    }
    w.End();
    return w;
}

std::vector<std::uint8_t> Text(const char* s) {
    return std::vector<std::uint8_t>(s, s + std::strlen(s));
}

struct Expansion {
    std::uint32_t result;
    ErrorRecord record;
    std::vector<std::uint8_t> out;
};

// Expands into a buffer of `size` bytes filled with 0xEE, of which
// `capacity` are offered.
Expansion Expand(const std::vector<std::uint8_t>& stream, std::size_t size, std::int32_t capacity,
                 std::int32_t storedLength = -1) {
    Expansion r;
    r.out.assign(size, 0xEE);
    if (storedLength < 0) {
        storedLength = static_cast<std::int32_t>(stream.size());
    }
    r.result = ExpandStream(&r.record, stream.data(), storedLength, r.out.data(), capacity);
    return r;
}

void ExpectRefused(const Expansion& r) {
    EXPECT_EQ(r.result, ERR_EXPAND);
    EXPECT_EQ(r.record.code, ERR_EXPAND);
    EXPECT_EQ(r.record.hresult, 0xA0071037u);
    EXPECT_EQ(r.record.module, 16002u);
    EXPECT_EQ(r.record.line, 48u);
    ASSERT_EQ(r.record.trailCount, 1);
    EXPECT_EQ(r.record.trail[0].module, 16002u);
    EXPECT_EQ(r.record.trail[0].line, 63u);
}

TEST(ExpandStream, EmptyStreamSucceedsAndClearsAnEarlierError) {
    Expansion r;
    SetError(&r.record, 16002, 48, ERR_EXPAND);
    SetParamText(&r.record, 1, "earlier");
    std::uint8_t out[4] = {1, 2, 3, 4};
    EXPECT_EQ(ExpandStream(&r.record, nullptr, 0, out, 4), 0u);
    EXPECT_EQ(r.record.code, 0u);
    EXPECT_EQ(r.record.hresult, 0u);
    EXPECT_STREQ(r.record.param1, "earlier"); // only code and result are cleared
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(ExpandStream(&r.record, nullptr, -5, out, -1), 0u); // no chunk, no room needed
}

TEST(ExpandStream, RawAndCompressedChunksInSequence) {
    const DclBitWriter a = Compressed("compressed first; ", 2);
    // A raw chunk whose bytes are themselves a valid stream is still copied.
    const DclBitWriter b = Compressed("looks compressed");
    std::vector<std::uint8_t> stream;
    AppendChunk(&stream, static_cast<std::uint32_t>(a.expected.size()), a.bytes);
    AppendChunk(&stream, static_cast<std::uint32_t>(b.bytes.size()), b.bytes);
    AppendChunk(&stream, 0, {}); // an empty raw chunk
    AppendChunk(&stream, 5, Text("tail!"));

    std::vector<std::uint8_t> expected = a.expected;
    expected.insert(expected.end(), b.bytes.begin(), b.bytes.end());
    expected.insert(expected.end(), {'t', 'a', 'i', 'l', '!'});
    const Expansion r =
        Expand(stream, expected.size() + 10, static_cast<std::int32_t>(expected.size() + 10));
    EXPECT_EQ(r.result, 0u);
    EXPECT_EQ(r.record.code, 0u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), r.out.begin()));
    for (std::size_t i = expected.size(); i < r.out.size(); ++i) {
        EXPECT_EQ(r.out[i], 0xEE); // the rest of out is left as it was
    }

    // Exactly the room needed is enough.
    const Expansion exact =
        Expand(stream, expected.size(), static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(exact.result, 0u);
    EXPECT_EQ(exact.out, expected);
}

TEST(ExpandStream, CompressedChunkOfAnotherLengthStopsTheStream) {
    const DclBitWriter c = Compressed("twelve bytes");
    for (std::uint32_t stated : {11u, 13u}) {
        std::vector<std::uint8_t> stream;
        AppendChunk(&stream, 3, Text("raw"));
        AppendChunk(&stream, stated, c.bytes);
        AppendChunk(&stream, 4, Text("more"));
        const Expansion r = Expand(stream, 64, 64);
        ExpectRefused(r);
        EXPECT_EQ(std::string(r.out.begin(), r.out.begin() + 3), "raw"); // earlier chunk stays
        EXPECT_EQ(r.out[3], 0xEE); // nothing of the failing chunk or later ones
    }
}

TEST(ExpandStream, CompressedChunkRefusals) {
    DclBitWriter empty(0, 4);
    empty.End();
    empty.Bits(0, 8);
    DclBitWriter unfinished(0, 4); // the right bytes, but no end code
    for (const char* p = "abcdef"; *p != 0; ++p) {
        unfinished.Literal(static_cast<std::uint8_t>(*p));
    }
    unfinished.Literal(0);
    unfinished.Bits(0, 8);
    const DclBitWriter big = Compressed("x", 200); // more than 64 KiB

    struct Case {
        const char* name;
        std::uint32_t expanded;
        std::vector<std::uint8_t> data;
    } cases[] = {
        {"decodes to nothing", 0, empty.bytes},
        {"ends before the end code", 7, unfinished.bytes},
        {"not a stream", 9, {0x02, 0x07, 0x00, 0x00, 0x00}},
        {"decodes past 64 KiB", 65535, big.bytes},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> stream;
        AppendChunk(&stream, c.expanded, c.data);
        const Expansion r = Expand(stream, 65536, 65536);
        SCOPED_TRACE(c.name);
        ExpectRefused(r);
        EXPECT_EQ(r.out[0], 0xEE);
    }
}

TEST(ExpandStream, ChunkLargerThanTheRoomLeftIsNotCopied) {
    const DclBitWriter c = Compressed("0123456789");
    std::vector<std::uint8_t> compressed;
    AppendChunk(&compressed, 10, c.bytes);
    std::vector<std::uint8_t> raw;
    AppendChunk(&raw, 10, Text("abcdefghij"));
    for (const std::vector<std::uint8_t>* stream : {&compressed, &raw}) {
        for (std::int32_t capacity : {9, 0, -1, -2147483647 - 1}) {
            const Expansion r = Expand(*stream, 16, capacity);
            ExpectRefused(r);
            EXPECT_EQ(r.out, std::vector<std::uint8_t>(16, 0xEE));
        }
    }
}

TEST(ExpandStream, MalformedStreamsAreRefusedBeforeCopying) {
    std::vector<std::uint8_t> good;
    AppendChunk(&good, 4, Text("good"));
    struct Case {
        const char* name;
        std::vector<std::uint8_t> tail;
    } cases[] = {
        {"header of 1 byte", {0x05}},
        {"header of 3 bytes", {0x05, 0x00, 0x05}},
        {"raw data past the end", {0x05, 0x00, 0x05, 0x00, 'a', 'b'}},
        {"compressed data past the end", {0x40, 0x00, 0x08, 0x00, 0x00, 0x04, 0x82}},
        {"stored length 65535", {0x00, 0x01, 0xFF, 0xFF, 0x00}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> stream = good;
        stream.insert(stream.end(), c.tail.begin(), c.tail.end());
        // Only the stream's own bytes are readable.
        const Expansion r = Expand(stream, 300, 300);
        SCOPED_TRACE(c.name);
        ExpectRefused(r);
        EXPECT_EQ(std::string(r.out.begin(), r.out.begin() + 4), "good");
        EXPECT_EQ(r.out[4], 0xEE);
    }
    // A stored length shorter than the bytes present stops at that length.
    std::vector<std::uint8_t> stream = good;
    stream.push_back('!');
    const Expansion r = Expand(stream, 8, 8, 8);
    EXPECT_EQ(r.result, 0u);
}

// What a sink was handed, window by window; it refuses window number
// `refuse` (counting from 1) after recording a write failure.
struct Windows {
    std::vector<std::vector<std::uint8_t>> seen;
    ErrorRecord* record = nullptr;
    std::size_t refuse = 0;
};

int Keep(const std::uint8_t* bytes, std::uint32_t count, void* sinkValue) {
    Windows* w = static_cast<Windows*>(sinkValue);
    w->seen.emplace_back(bytes, bytes + count);
    if (w->seen.size() == w->refuse) {
        SetError(w->record, 16002, 222, ERR_WRITE_FILE);
        return 1;
    }
    return 0;
}

std::vector<std::uint8_t> Joined(const Windows& w) {
    std::vector<std::uint8_t> all;
    for (const std::vector<std::uint8_t>& piece : w.seen) {
        all.insert(all.end(), piece.begin(), piece.end());
    }
    return all;
}

// Five chunks of 30,000 bytes (raw and compressed by turns) and a short one.
std::vector<std::uint8_t> LongStream(std::vector<std::uint8_t>* expected) {
    std::vector<std::uint8_t> stream;
    for (int i = 0; i < 5; ++i) {
        std::vector<std::uint8_t> bytes(30000);
        for (std::size_t k = 0; k < bytes.size(); ++k) {
            bytes[k] = static_cast<std::uint8_t>(k * 13 + i);
        }
        if (i % 2 == 0) {
            AppendChunk(&stream, 30000, bytes);
        } else {
            bytes.assign(30000, static_cast<std::uint8_t>('a' + i));
            DclBitWriter w(0, 4);
            w.Literal(bytes[0]);
            for (int m = 0; m < 57; ++m) {
                w.Match(518, 1);
            }
            w.Match(30000 - 1 - 57 * 518, 1);
            w.End();
            EXPECT_EQ(w.expected, bytes);
            AppendChunk(&stream, 30000, w.bytes);
        }
        expected->insert(expected->end(), bytes.begin(), bytes.end());
    }
    AppendChunk(&stream, 5, Text("tail!"));
    expected->insert(expected->end(), {'t', 'a', 'i', 'l', '!'});
    return stream;
}

TEST(ExpandStreamThrough, WindowsOfWholeChunksGiveWhatExpandStreamGives) {
    std::vector<std::uint8_t> expected;
    const std::vector<std::uint8_t> stream = LongStream(&expected);
    const Expansion whole =
        Expand(stream, expected.size(), static_cast<std::int32_t>(expected.size()));
    ASSERT_EQ(whole.result, 0u);
    ASSERT_EQ(whole.out, expected);

    ErrorRecord record;
    Windows w;
    std::vector<std::uint8_t> window(70000, 0xEE);
    EXPECT_EQ(ExpandStreamThrough(&record, stream.data(), static_cast<std::int32_t>(stream.size()),
                                  static_cast<std::int32_t>(expected.size()), window.data(),
                                  static_cast<std::uint32_t>(window.size()), Keep, &w),
              0u);
    EXPECT_EQ(record.code, 0u);
    // A window goes on when the next chunk would not fit in it: two chunks
    // each, then the last one with the tail.
    ASSERT_EQ(w.seen.size(), 3u);
    EXPECT_EQ(w.seen[0].size(), 60000u);
    EXPECT_EQ(w.seen[1].size(), 60000u);
    EXPECT_EQ(w.seen[2].size(), 30005u);
    EXPECT_EQ(Joined(w), expected);

    // A window of exactly one chunk's length.
    Windows one;
    EXPECT_EQ(ExpandStreamThrough(&record, stream.data(), static_cast<std::int32_t>(stream.size()),
                                  static_cast<std::int32_t>(expected.size()), window.data(), 65535,
                                  Keep, &one),
              0u);
    EXPECT_EQ(one.seen.size(), 3u);
    EXPECT_EQ(Joined(one), expected);
}

TEST(ExpandStreamThrough, ShortStreamIsMadeUpWithZerosAndEmptyOneHandsOnNothing) {
    std::vector<std::uint8_t> expected;
    const std::vector<std::uint8_t> stream = LongStream(&expected);
    ErrorRecord record;
    Windows w;
    std::vector<std::uint8_t> window(65536, 0xEE);
    const std::int32_t capacity = 300000; // the file's length: 149,995 more than the stream gives
    EXPECT_EQ(ExpandStreamThrough(&record, stream.data(), static_cast<std::int32_t>(stream.size()),
                                  capacity, window.data(), 65536, Keep, &w),
              0u);
    expected.resize(static_cast<std::size_t>(capacity), 0);
    EXPECT_EQ(Joined(w), expected);
    for (const std::vector<std::uint8_t>& piece : w.seen) {
        EXPECT_LE(piece.size(), 65536u);
    }

    Windows none;
    EXPECT_EQ(ExpandStreamThrough(&record, nullptr, 0, 0, window.data(), 65536, Keep, &none), 0u);
    EXPECT_TRUE(none.seen.empty());
    Windows zeros;
    EXPECT_EQ(ExpandStreamThrough(&record, nullptr, 0, 3, window.data(), 65536, Keep, &zeros), 0u);
    EXPECT_EQ(Joined(zeros), std::vector<std::uint8_t>(3, 0));
}

TEST(ExpandStreamThrough, RefusalsStopTheStream) {
    std::vector<std::uint8_t> expected;
    const std::vector<std::uint8_t> stream = LongStream(&expected);
    std::vector<std::uint8_t> window(65535);
    // A sink that refuses: its record stands, without the expansion's trail,
    // and nothing more is handed on.
    for (std::size_t refuse : {1u, 3u}) {
        ErrorRecord record;
        Windows w;
        w.record = &record;
        w.refuse = refuse;
        EXPECT_EQ(ExpandStreamThrough(&record, stream.data(),
                                      static_cast<std::int32_t>(stream.size()), 400000,
                                      window.data(), 65535, Keep, &w),
                  ERR_WRITE_FILE);
        EXPECT_EQ(record.line, 222u);
        EXPECT_EQ(record.trailCount, 0);
        EXPECT_EQ(w.seen.size(), refuse);
    }
    // A chunk beyond the file's length is refused as ExpandStream refuses it,
    // and only the windows before it are handed on.
    Expansion r;
    Windows w;
    EXPECT_EQ(ExpandStreamThrough(&r.record, stream.data(),
                                  static_cast<std::int32_t>(stream.size()), 150000, window.data(),
                                  65535, Keep, &w),
              ERR_EXPAND);
    r.result = ERR_EXPAND;
    ExpectRefused(r);
    EXPECT_EQ(Joined(w), std::vector<std::uint8_t>(expected.begin(), expected.begin() + 120000));
}

TEST(ExpandChunk, PiecesOf2048AndOneMoreByte) {
    for (std::size_t size : {2047u, 2048u, 2049u, 4097u}) {
        // A 9-bit literal, then 8-bit matches so the end code's last bit lies
        // in the chunk's last byte: that byte must reach the decoder.
        DclBitWriter w(0, 6);
        w.Literal('m');
        for (std::size_t i = 0; i + 6 < size; ++i) {
            w.Match(2, 1);
        }
        w.End();
        ASSERT_EQ(w.bytes.size(), size);
        std::vector<std::uint8_t> dest(65536, 0xEE);
        const std::uint32_t n =
            ExpandChunk(w.bytes.data(), static_cast<std::uint16_t>(size), dest.data());
        EXPECT_EQ(n, w.expected.size());
        EXPECT_TRUE(std::equal(w.expected.begin(), w.expected.end(), dest.begin()));
        // One byte short, the end code is lost.
        EXPECT_EQ(ExpandChunk(w.bytes.data(), static_cast<std::uint16_t>(size - 1), dest.data()),
                  0u);
    }
}

TEST(ExpandChunk, OutputBeyond64KiBIsCountedButNotStored) {
    const DclBitWriter w = Compressed("y", 200);
    std::vector<std::uint8_t> dest(65536, 0xEE);
    const std::uint32_t n =
        ExpandChunk(w.bytes.data(), static_cast<std::uint16_t>(w.bytes.size()), dest.data());
    EXPECT_EQ(n, 1u + 200u * 518u);
    EXPECT_EQ(dest[0], 0xEE);

    // Exactly 65536 bytes fit the area and reach dest.
    DclBitWriter full(0, 6);
    full.Literal('z');
    for (int i = 0; i < 126; ++i) {
        full.Match(518, 1);
    }
    full.Match(65536 - 1 - 126 * 518, 1);
    full.End();
    ASSERT_EQ(full.expected.size(), 65536u);
    EXPECT_EQ(
        ExpandChunk(full.bytes.data(), static_cast<std::uint16_t>(full.bytes.size()), dest.data()),
        65536u);
    EXPECT_EQ(dest, full.expected);
}

} // namespace
