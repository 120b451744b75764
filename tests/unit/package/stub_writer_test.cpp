// The stub writer on test stubs of both architectures (stub_image.h): the
// package reads back through the anchor as the installer reads it, the
// relocations of the table's pointers are kept where they hold an address
// and off where they are null, the headers are brought up to date, the
// installer written in steps is the one written at once; stubs that are not
// ours or are damaged, and packages beyond the limits, are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "package/image_reader.h"
#include "package/little_endian.h"
#include "package/package_check.h"
#include "package/package_layout.h"
#include "package/pe_image.h"
#include "package/stub_writer.h"
#include "tests/unit/package/inspect_image.h"
#include "tests/unit/package/stub_image.h"

namespace {

TestPackage TwoFiles() {
    return MakeTestPackage(
        {{"Bramblequist.exe", TextLikeContent(1500, 1)}, {"bqt.dlx", NoiseContent(300, 2)}});
}

std::vector<std::uint8_t> Write(const StubImage& stub, const Package& package) {
    std::vector<std::uint8_t> image;
    std::string error;
    EXPECT_TRUE(WritePackageIntoStub(stub.bytes.data(), stub.bytes.size(), package, &image, &error))
        << error;
    return image;
}

TEST(StubWriter, PackageReadsBackThroughTheAnchor) {
    for (std::uint32_t width : {4u, 8u}) {
        SCOPED_TRACE(width == 8 ? "x64" : "x86");
        const StubImage stub = BuildStubImage(width);
        std::string arch, error;
        ASSERT_TRUE(CheckStub(stub.bytes.data(), stub.bytes.size(), &arch, &error)) << error;
        EXPECT_EQ(arch, width == 8 ? "x64" : "x86");
        const TestPackage t = TwoFiles();
        const std::vector<std::uint8_t> image = Write(stub, t.package);
        EXPECT_EQ(Write(stub, t.package), image); // the same bytes every time

        InstallerImage p;
        ASSERT_TRUE(ReadInstallerImage(image.data(), image.size(), &p, &error)) << error;
        EXPECT_EQ(p.pe.sections.size(), 5u);
        EXPECT_EQ(p.pe.sections.back().name, kBlobSection);
        const Package& read = p.package;
        EXPECT_EQ(read.settings.defaultFolder, "D:\\Client");
        EXPECT_EQ(read.settings.schedulerCommand, 4242u);
        EXPECT_EQ(read.settings.engineProgram, "Bramblequist.exe");
        EXPECT_EQ(read.configSourceName, "Bkp1.inz");
        EXPECT_EQ(p.configLength, t.package.configText.size());
        EXPECT_EQ(read.configText, t.package.configText);
        ASSERT_EQ(read.files.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            FileCheck check;
            std::vector<std::uint8_t> expanded;
            EXPECT_TRUE(CheckPackageFile(read, read.files[i], &check, &expanded)) << check.problem;
            EXPECT_EQ(expanded, t.contents[i]);
        }
        std::uint8_t seal[16];
        EXPECT_EQ(CheckSeal(p, seal), SealCheck::Intact);

        // The headers: the checksum as the loader computes it, the image's
        // size covering the new section, the flags as the stub had them.
        EXPECT_EQ(Read32(&image[p.pe.checksumOffset]),
                  PeChecksum(image.data(), image.size(), p.pe.checksumOffset));
        const ImageSection& added = p.pe.sections.back();
        EXPECT_EQ(Read32(&image[p.pe.optionalOffset + 56]),
                  (added.virtualAddress + added.virtualSize + 0xFFF) / 0x1000 * 0x1000);
        EXPECT_EQ(Read16(&image[p.pe.optionalOffset + 70]), 0x0140);

        // Every pointer field keeps its relocation where it holds an address.
        std::vector<BaseRelocation> relocations;
        ASSERT_TRUE(ReadBaseRelocations(p.pe, &relocations, &error)) << error;
        const TableLayout& layout = MakeTableLayout(width);
        const std::uint32_t tableRva = static_cast<std::uint32_t>(p.tableVa - p.pe.imageBase);
        // The entry of a field (a turned-off one keeps its offset).
        auto typeAt = [&](TableField field, std::uint32_t i) {
            for (const BaseRelocation& r : relocations)
                if (r.rva == tableRva + layout.At(field, i))
                    return int(r.type);
            return -1;
        };
        const int address = width == 8 ? kPeRelocDir64 : kPeRelocHighLow;
        for (std::uint32_t i = 0; i < 6; ++i) {
            const int expected = i < 2 ? address : int(kPeRelocAbsolute);
            EXPECT_EQ(typeAt(kFieldFileNames, i), expected) << "FileNames " << i;
            EXPECT_EQ(typeAt(kFieldFileData, i), expected) << "FileData " << i;
        }
        EXPECT_EQ(typeAt(kFieldDefaultFolder, 0), address);
        EXPECT_EQ(typeAt(kFieldBuildFolder, 0), address);
    }
}

// With files, the blob section starts on a page of the file, so that a
// loader can map it; without, the installer stays as small as the stub
// allows.
TEST(StubWriter, BlobSectionStartsOnAPageWhenThereAreFiles) {
    for (std::uint32_t width : {4u, 8u}) {
        SCOPED_TRACE(width == 8 ? "x64" : "x86");
        const StubImage stub = BuildStubImage(width);
        ASSERT_NE(stub.bytes.size() % 4096, 0u);
        for (const TestPackage& t : {TwoFiles(), MakeTestPackage({})}) {
            const std::vector<std::uint8_t> image = Write(stub, t.package);
            PeImage pe;
            std::string why;
            ASSERT_TRUE(ParsePeImage(image.data(), image.size(), &pe, &why)) << why;
            const ImageSection& added = pe.sections.back();
            ASSERT_EQ(added.name, kBlobSection);
            if (t.package.files.empty()) {
                EXPECT_EQ(added.rawOffset, (stub.bytes.size() + 511) / 512 * 512);
            } else {
                EXPECT_EQ(added.rawOffset % 4096, 0u);
                EXPECT_LT(added.rawOffset - stub.bytes.size(), 4096u);
            }
            EXPECT_EQ(image.size(), added.rawOffset + added.rawSize);
        }
    }
}

// The installer written in three steps, its region in pieces of odd sizes
// at odd offsets and read back for the seal, is the one-piece installer.
TEST(StubWriter, WrittenInStepsIsTheSameInstaller) {
    for (std::uint32_t width : {4u, 8u}) {
        SCOPED_TRACE(width == 8 ? "x64" : "x86");
        const StubImage stub = BuildStubImage(width);
        const TestPackage t = TwoFiles();
        const std::vector<std::uint8_t> whole = Write(stub, t.package);

        InstallerHead head;
        std::string error;
        ASSERT_TRUE(StartInstaller(stub.bytes.data(), stub.bytes.size(), true, &head, &error));
        std::uint64_t sum = 0;
        for (std::size_t at = 0; at < t.region.size(); at += 333) {
            const std::size_t n = std::min<std::size_t>(333, t.region.size() - at);
            sum = AddToPeChecksum(sum, t.region.data() + at, n, head.bytes.size() + at);
        }
        std::uint64_t next = 0; // the region is read back once, in order, for the seal
        auto read = [&](std::uint64_t at, std::uint8_t* buffer, std::size_t n) {
            EXPECT_EQ(at, next);
            next = at + n;
            std::memcpy(buffer, t.region.data() + at, n);
            return true;
        };
        Package package = t.package;
        package.region = nullptr;
        std::vector<std::uint8_t> tail;
        ASSERT_TRUE(FinishInstaller(&head, package, sum, read, &tail, &error)) << error;
        EXPECT_EQ(next, t.region.size());
        std::vector<std::uint8_t> image = head.bytes;
        image.insert(image.end(), t.region.begin(), t.region.end());
        image.insert(image.end(), tail.begin(), tail.end());
        EXPECT_EQ(image, whole);

        // A region that cannot be read back fails the installer.
        ASSERT_TRUE(StartInstaller(stub.bytes.data(), stub.bytes.size(), true, &head, &error));
        auto fail = [](std::uint64_t, std::uint8_t*, std::size_t) { return false; };
        EXPECT_FALSE(FinishInstaller(&head, package, sum, fail, &tail, &error));
    }
}

TEST(StubWriter, RefusesStubsItDoesNotKnow) {
    const StubImage good = BuildStubImage(4);
    const TestPackage t = TwoFiles();
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>*)> damage;
        const char* message;
    };
    const std::vector<std::uint8_t> built = Write(good, t.package);
    const Case cases[] = {
        {"no package section",
         [&](std::vector<std::uint8_t>* b) {
             // The section header's name: ".bqpkg" becomes ".bqpkx".
             for (std::size_t i = 0; i + 6 < 0x400; ++i)
                 if (std::memcmp(&(*b)[i], ".bqpkg", 6) == 0)
                     (*b)[i + 5] = 'x';
         },
         "not an installer stub: no package section \".bqpkg\""},
        {"no anchor", [&](std::vector<std::uint8_t>* b) { (*b)[good.anchorOffset] = 'Q'; },
         "not an installer stub: its package section does not begin with the anchor"},
        {"another version",
         [&](std::vector<std::uint8_t>* b) { Write32(&(*b)[good.anchorOffset + 12], 2); },
         "an installer stub of format version 2; this bqpack writes version 1"},
        {"a table pointer without its relocation",
         [&](std::vector<std::uint8_t>* b) {
             // The last entry of the block (the table's last pointer) turned off.
             const std::uint32_t size = Read32(&(*b)[good.relocOffset + 4]);
             std::size_t at = good.relocOffset + size - 2;
             while (Read16(&(*b)[at]) == 0)
                 at -= 2;
             Write16(&(*b)[at], Read16(&(*b)[at]) & 0x0FFF);
         },
         "not an installer stub: the table's DefaultFolder has no base relocation"},
        {"bytes after the sections", [&](std::vector<std::uint8_t>* b) { b->push_back(0); },
         "damaged installer stub: 1 bytes follow its sections"},
        {"a built installer", [&](std::vector<std::uint8_t>* b) { *b = built; },
         "not an installer stub: it already holds a package (it is a built installer)"},
        {"cut short", [&](std::vector<std::uint8_t>* b) { b->resize(b->size() / 2); },
         "not an installer stub: truncated"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> stub = good.bytes;
        c.damage(&stub);
        std::vector<std::uint8_t> image;
        std::string error;
        EXPECT_FALSE(WritePackageIntoStub(stub.data(), stub.size(), t.package, &image, &error));
        EXPECT_EQ(error.compare(0, std::strlen(c.message), c.message), 0) << error;
    }
}

// A package beyond the limits (package_rules.h) is refused with the
// writer's own words, before anything is written; an empty template too,
// which the installer would refuse at install time.
TEST(StubWriter, RefusesPackagesBeyondTheLimits) {
    const StubImage stub = BuildStubImage(4);
    struct Case {
        const char* what;
        std::function<void(Package*)> change;
        const char* message;
    };
    const Case cases[] = {
        {"seven files", [](Package* p) { p->files.resize(7, p->files[0]); }, "more than 6 files"},
        {"a name of 260 bytes", [](Package* p) { p->files[1].name = std::string(260, 'n'); },
         "file name \"nnn"},
        {"an empty template", [](Package* p) { p->configText.clear(); },
         "the configuration text is empty"},
        {"a template of 4097 bytes", [](Package* p) { p->configText = std::string(4097, 'c'); },
         "the configuration text is longer than 4096 bytes"},
        {"a source name of 260 bytes",
         [](Package* p) { p->configSourceName = std::string(260, 's'); },
         "the template's source name is longer than 259 bytes or holds a NUL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestPackage t = TwoFiles();
        c.change(&t.package);
        std::vector<std::uint8_t> image;
        std::string error;
        EXPECT_FALSE(
            WritePackageIntoStub(stub.bytes.data(), stub.bytes.size(), t.package, &image, &error));
        EXPECT_EQ(error.compare(0, std::strlen(c.message), c.message), 0) << error;
    }
}

} // namespace
