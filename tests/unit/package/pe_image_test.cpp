// PE images read by their headers (test_pe.h builds them): the fields of
// PE32 and PE32+ images at the places written here by hand, sections found
// by name and by address, what is no Windows program refused with a reason,
// and the loader's header checksum, whole and in pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "package/little_endian.h"
#include "package/pe_image.h"
#include "tests/unit/package/test_pe.h"

namespace {

struct Built {
    std::vector<std::uint8_t> bytes;
    PeImage pe;
};

// .text and .data with bytes in the file, .bss without.
Built Build(std::uint32_t pointerBytes) {
    TestSection text{".text", 0x1000, std::vector<std::uint8_t>(0x30, 0xC3), 0x60000020};
    TestSection data{".data", 0x2000, std::vector<std::uint8_t>(0x210, 0x5A), 0xC0000040};
    TestSection bss{".bss", 0x4000, {}, 0xC0000080, 0x100};
    TestPeHeaders h;
    h.pointerBytes = pointerBytes;
    h.imageBase = pointerBytes == 8 ? 0x140000000ull : 0x400000;
    h.entryRva = 0x1000;
    h.sizeOfImage = 0x5000;
    h.relocRva = 0x2000;
    h.relocSize = 0x10;
    h.checksum = true;
    Built b;
    b.bytes = WriteTestPe(h, {&text, &data, &bss});
    std::string error;
    EXPECT_TRUE(ParsePeImage(b.bytes.data(), b.bytes.size(), &b.pe, &error)) << error;
    return b;
}

TEST(PeImage, HeadersOfBothWidths) {
    for (std::uint32_t width : {4u, 8u}) {
        SCOPED_TRACE(width == 8 ? "PE32+" : "PE32");
        const Built b = Build(width);
        const PeImage& pe = b.pe;
        EXPECT_EQ(pe.machine, width == 8 ? 0x8664 : 0x14C);
        EXPECT_EQ(pe.pointerBytes, width);
        EXPECT_EQ(pe.imageBase, width == 8 ? 0x140000000ull : 0x400000u);
        EXPECT_EQ(pe.coffOffset, 0x84u);
        EXPECT_EQ(pe.optionalOffset, 0x98u);
        EXPECT_EQ(pe.optionalBytes, width == 8 ? 240 : 224);
        EXPECT_EQ(pe.checksumOffset, 0xD8u);
        EXPECT_EQ(pe.certEntryOffset, width == 8 ? 0x128u : 0x118u);
        EXPECT_EQ(pe.sectionAlignment, 0x1000u);
        EXPECT_EQ(pe.fileAlignment, 0x200u);
        EXPECT_EQ(pe.sizeOfHeaders, 0x400u);
        EXPECT_EQ(pe.relocRva, 0x2000u);
        EXPECT_EQ(pe.relocSize, 0x10u);
        EXPECT_EQ(pe.certOffset, 0u);
        EXPECT_EQ(pe.certSize, 0u);

        ASSERT_EQ(pe.sections.size(), 3u);
        EXPECT_EQ(pe.sections[0].name, ".text");
        EXPECT_EQ(pe.sections[0].rawOffset, 0x400u);
        EXPECT_EQ(pe.sections[0].rawSize, 0x200u);
        EXPECT_EQ(pe.sections[1].name, ".data");
        EXPECT_EQ(pe.sections[1].virtualAddress, 0x2000u);
        EXPECT_EQ(pe.sections[1].virtualSize, 0x210u);
        EXPECT_EQ(pe.sections[1].rawOffset, 0x600u);
        EXPECT_EQ(pe.sections[1].rawSize, 0x400u);
        EXPECT_EQ(pe.sections[1].characteristics, 0xC0000040u);
        EXPECT_EQ(pe.sections[2].name, ".bss");
        EXPECT_EQ(pe.sections[2].rawSize, 0u);
        EXPECT_EQ(pe.sections[2].virtualSize, 0x100u);
        EXPECT_EQ(EndOfSectionData(pe), 0xA00u);
        EXPECT_EQ(b.bytes.size(), 0xA00u);

        // Found by name and by address; mapped to the file where it has bytes.
        EXPECT_EQ(FindSectionNamed(pe, ".data"), &pe.sections[1]);
        EXPECT_EQ(FindSectionNamed(pe, ".rsrc"), nullptr);
        std::uint32_t inSection = 0;
        EXPECT_EQ(FindSectionAt(pe, pe.imageBase + 0x2010, &inSection), &pe.sections[1]);
        EXPECT_EQ(inSection, 0x10u);
        std::size_t offset = 0;
        ASSERT_TRUE(MapVirtualRange(pe, pe.imageBase + 0x2010, 0x200, &offset));
        EXPECT_EQ(offset, 0x610u);
        EXPECT_FALSE(MapVirtualRange(pe, pe.imageBase + 0x2010, 0x201, &offset));
        EXPECT_FALSE(MapVirtualRange(pe, pe.imageBase + 0x4000, 1, &offset));
    }
}

TEST(PeImage, WhatIsNoWindowsProgramIsRefusedWithItsReason) {
    const Built good = Build(4);
    struct Case {
        std::size_t size;    // of the bytes kept
        std::size_t at;      // of a 16-bit field changed,
        std::uint16_t value; // to this when not 0
        const char* error;
    };
    const Case cases[] = {
        {40, 0, 0, "too short to be a Windows program (40 bytes)"},
        {0xA00, 0, 0x584D, "not a Windows program (no MZ header)"}, // "MX"
        {0x100, 0, 0, "truncated: the optional header runs past the end (256 bytes)"},
        {0x1E0, 0, 0, "truncated: the section table runs past the end (480 bytes)"},
        {0xA00, 0x98, 0x020B, "not a PE32 image (optional header magic 0x020b)"},
        {0xA00, 0x84, 0x01C4, "not an x86 or x64 program (machine 0x01c4)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        std::vector<std::uint8_t> bytes(good.bytes.begin(),
                                        good.bytes.begin() + static_cast<std::ptrdiff_t>(c.size));
        if (c.value != 0)
            Write16(&bytes[c.at], c.value);
        PeImage pe;
        std::string error;
        EXPECT_FALSE(ParsePeImage(bytes.data(), bytes.size(), &pe, &error));
        EXPECT_EQ(error, c.error);
    }
}

// The loader's sum: 16-bit words with the carries folded back, the
// checksum field left out, the file's size added.
TEST(PeImage, ChecksumWholeAndInPieces) {
    const std::uint8_t small[] = {0xFF, 0xFF, 0x02, 0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0x03, 0x00, 0x00};
    // 0xFFFF + 0x0002 + 0x0003 + 0x0000 (the odd last byte) folds to 5.
    EXPECT_EQ(PeChecksum(small, sizeof small, 4), 5u + 11);

    const Built b = Build(8);
    const std::uint32_t whole = PeChecksum(b.bytes.data(), b.bytes.size(), b.pe.checksumOffset);
    // Pieces of odd sizes at odd offsets, added last piece first, around
    // the checksum field.
    const std::size_t field = b.pe.checksumOffset;
    std::uint64_t sum = 0;
    for (std::size_t end = b.bytes.size(); end > field + 4;) {
        const std::size_t at = std::max(field + 4, end > 333 ? end - 333 : 0);
        sum = AddToPeChecksum(sum, b.bytes.data() + at, end - at, at);
        end = at;
    }
    sum = AddToPeChecksum(sum, b.bytes.data() + 7, field - 7, 7);
    sum = AddToPeChecksum(sum, b.bytes.data(), 7, 0);
    EXPECT_EQ(FinishPeChecksum(sum, b.bytes.size()), whole);
}

} // namespace
