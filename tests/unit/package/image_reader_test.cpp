// The image reader on setup images built by the test (inspect_image.h):
// what was packaged comes back out, and the same package in a PE32 image
// for x86 (32-bit table fields) and in a PE32+ image for x64 (8-byte
// pointer slots, a base above 4 GiB) reads back alike.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "package/image_reader.h"
#include "package/package_check.h"
#include "package/package_layout.h"
#include "tests/unit/package/inspect_image.h"

namespace {

TEST(Inspect, ReaderFindsWhatWasPackaged) {
    const InspectPackage package = StandardPackage();
    const InspectImage image = BuildInspectImage(package);
    InstallerImage p;
    std::string error;
    ASSERT_TRUE(ReadInstallerImage(image.bytes.data(), image.bytes.size(), &p, &error)) << error;
    EXPECT_EQ(p.tableVa, image.tableVa);
    ASSERT_EQ(p.fileCount, 3);
    const Package& read = p.package;
    ASSERT_EQ(read.files.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(package.files[i].name);
        EXPECT_EQ(read.files[i].name, package.files[i].name);
        EXPECT_EQ(read.files[i].expandedSize, package.files[i].content.size());
        EXPECT_EQ(read.files[i].storedSize, image.storedSizes[i]);
        EXPECT_EQ(p.dataVas[i], image.dataVas[i]);
        // A read package's region is the image: dataOffset is the digest's
        // file offset, and the digest is the one stored there.
        EXPECT_EQ(read.files[i].dataOffset, image.digestOffsets[i]);
        EXPECT_EQ(std::memcmp(read.files[i].digest, &image.bytes[image.digestOffsets[i]], 16), 0);
        FileCheck check;
        std::vector<std::uint8_t> expanded;
        EXPECT_TRUE(CheckPackageFile(read, read.files[i], &check, &expanded)) << check.problem;
        EXPECT_EQ(expanded, package.files[i].content);
        EXPECT_EQ(check.chunkCount, (package.files[i].content.size() + 999) / 1000);
    }
    EXPECT_EQ(read.settings.defaultFolder, package.settings.defaultFolder);
    EXPECT_EQ(read.settings.buildFolder, package.settings.buildFolder);
    EXPECT_EQ(read.settings.engineClass, package.settings.engineClass);
    EXPECT_EQ(read.settings.configFileName, "Bramblequist.inz");
    EXPECT_EQ(p.configLength, package.configText.size());
    EXPECT_EQ(read.configSourceName, "Bkp1.inz");
    EXPECT_EQ(p.configOffset, image.configOffset);
    EXPECT_EQ(read.configText, package.configText);
}

TEST(Inspect, CompressedChunksAreSmallerAndRawOnesEqual) {
    // Guards the test data itself: file 0 must exercise the decoder.
    const InspectImage image = BuildInspectImage(StandardPackage());
    for (std::size_t i = 0; i < 5; ++i) {
        const Chunk c = ChunkOf(image, 0, i);
        EXPECT_EQ(c.expanded, 1000u);
        EXPECT_LT(c.stored, 1000u);
    }
    EXPECT_LT(ChunkOf(image, 0, 0).stored, 50u);
    EXPECT_EQ(image.storedSizes[1], 2500u + 3 * 4);
    EXPECT_EQ(image.storedSizes[2], 0u);
}

InspectPackage TwoFiles(std::uint32_t pointerBytes) {
    InspectPackage package;
    package.pointerBytes = pointerBytes;
    package.files.push_back(PlainFile("Bramblequist.exe", TextLikeContent(2500, 1)));
    package.files.push_back(PlainFile("bqt.dlx", NoiseContent(1200, 2)));
    package.settings.schedulerCommand = 4242;
    package.settings.askForFolder = 0;
    package.settings.defaultFolder = "D:\\Client";
    return package;
}

TEST(InspectWidths, BothArchitecturesReadBackAlike) {
    for (std::uint32_t width : {4u, 8u}) {
        SCOPED_TRACE(width == 8 ? "PE32+" : "PE32");
        const InspectPackage package = TwoFiles(width);
        const InspectImage image = BuildInspectImage(package);
        InstallerImage p;
        std::string error;
        ASSERT_TRUE(ReadInstallerImage(image.bytes.data(), image.bytes.size(), &p, &error))
            << error;
        const Package& read = p.package;
        EXPECT_EQ(p.pe.pointerBytes, width);
        EXPECT_EQ(p.pe.machine, width == 8 ? 0x8664 : 0x14C);
        EXPECT_EQ(p.pe.imageBase, image.imageBase);
        EXPECT_EQ(p.tableVa, image.tableVa);
        EXPECT_EQ(read.settings.schedulerCommand, 4242u);
        EXPECT_EQ(read.settings.askForFolder, 0);
        EXPECT_EQ(read.settings.defaultFolder, "D:\\Client");
        EXPECT_EQ(read.settings.engineClass, package.settings.engineClass);
        ASSERT_EQ(read.files.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(read.files[i].name, package.files[i].name);
            EXPECT_EQ(p.dataVas[i], image.dataVas[i]);
            FileCheck check;
            std::vector<std::uint8_t> expanded;
            EXPECT_TRUE(CheckPackageFile(read, read.files[i], &check, &expanded)) << check.problem;
            EXPECT_EQ(expanded, package.files[i].content);
        }
    }
}

// In a PE32+ image every pointer is 64 bits: a high half that is not the
// image's leads outside it, and the reader says so rather than reading the
// low half as an address.
TEST(InspectWidths, PointersAboveTheImageAreRefused) {
    InspectImage image = BuildInspectImage(TwoFiles(8));
    const std::size_t slot = image.tableOffset + kTableLayout64.At(kFieldEngineProgram);
    Put32(&image.bytes, slot + 4, Get32(image.bytes, slot + 4) + 1);
    InstallerImage p;
    std::string error;
    EXPECT_FALSE(ReadInstallerImage(image.bytes.data(), image.bytes.size(), &p, &error));
    EXPECT_NE(error.find("EngineProgram pointer 0x24"), std::string::npos) << error;
    EXPECT_NE(error.find("points outside the image's data"), std::string::npos) << error;
}

} // namespace
