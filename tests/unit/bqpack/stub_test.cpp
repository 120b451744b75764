// The stub writer on test stubs of both architectures: the package reads
// back through the anchor as the installer reads it, the relocations of the
// table's pointers are kept where they hold an address and off where they
// are null, the headers are brought up to date; stubs that are not ours or
// are damaged are refused; and every single-byte change of a small
// installer's package is either caught by `bqpack verify` or changes
// nothing that `extract` writes or `info` prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "package/image_reader.h"
#include "package/little_endian.h"
#include "package/package_check.h"
#include "package/package_layout.h"
#include "package/pe_image.h"
#include "package/stub_writer.h"
#include "run_command.h"
#include "tests/unit/bqpack/inspect_image.h"
#include "tests/unit/bqpack/stub_image.h"

namespace fs = std::filesystem;

namespace {

// A package of the files, with a blob region made as bqpack build makes it.
struct TestPackage {
    std::vector<std::uint8_t> region;
    Package package;
    std::vector<std::vector<std::uint8_t>> contents;
};

TestPackage
MakePackage(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& files) {
    TestPackage t;
    for (const auto& f : files) {
        const std::vector<std::uint8_t> stream = InspectChunkStream(f.second, 700);
        const std::size_t digestAt = AppendBlob(&t.region, f.first, stream);
        PackageFile file;
        file.name = f.first;
        file.expandedSize = static_cast<std::uint32_t>(f.second.size());
        file.storedSize = static_cast<std::uint32_t>(stream.size());
        file.dataOffset = digestAt;
        t.package.files.push_back(file);
        t.contents.push_back(f.second);
    }
    t.package.region = t.region.data();
    t.package.regionSize = t.region.size();
    t.package.configText = "[Subdirectories]\r\nRestoreSets=.\r\n";
    t.package.configSourceName = "Bkp1.inz";
    t.package.settings.defaultFolder = "D:\\Client";
    t.package.settings.schedulerCommand = 4242;
    return t;
}

TestPackage TwoFiles() {
    return MakePackage(
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

        PackageImage p;
        ASSERT_TRUE(ReadPackageImage(image.data(), image.size(), &p, &error)) << error;
        EXPECT_EQ(p.pe.sections.size(), 5u);
        EXPECT_EQ(p.pe.sections.back().name, kBlobSection);
        EXPECT_EQ(p.settings.defaultFolder, "D:\\Client");
        EXPECT_EQ(p.settings.schedulerCommand, 4242u);
        EXPECT_EQ(p.settings.engineProgram, "Bramblequist.exe");
        EXPECT_EQ(p.configSourceName, "Bkp1.inz");
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(ConfigText(p)), p.configLength),
                  t.package.configText);
        ASSERT_EQ(p.files.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            FileCheck check;
            std::vector<std::uint8_t> expanded;
            EXPECT_TRUE(CheckPackageFile(p, p.files[i], &check, &expanded)) << check.problem;
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
        for (const TestPackage& t : {TwoFiles(), MakePackage({})}) {
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

// What an installer gives a user: what `info` prints of its package and the
// files and the configuration text `extract --config` writes.
std::string Observable(const std::string& path, const std::vector<std::uint8_t>& image) {
    std::string info, ignored;
    if (RunCaptured(CmdInfo, {path}, &info, &ignored) != kExitOk)
        return "info fails";
    PackageImage p;
    std::string error;
    if (!ReadPackageImage(image.data(), image.size(), &p, &error))
        return "unreadable";
    // The header checksum line speaks of the image's bytes, which every
    // change changes; the package is the rest.
    std::string seen = info.substr(0, info.find("Checksum:"));
    for (const PackageFileEntry& f : p.files) {
        FileCheck check;
        std::vector<std::uint8_t> data;
        if (!CheckPackageFile(p, f, &check, &data))
            return "does not expand";
        seen += f.name + ":" + std::string(data.begin(), data.end());
    }
    if (!CheckConfigLength(p, &error))
        return "bad template";
    seen += p.settings.configFileName + ":" +
            std::string(reinterpret_cast<const char*>(ConfigText(p)), p.configLength);
    return seen;
}

// Every single-byte change of a small installer, over the whole file (the
// headers, the program, the package): verify fails, or nothing that `info`
// prints or `extract` writes changes.  The same for a copy with a
// certificate table appended as a signature appends it.
// Flips the bytes before end (all of them by default).
void FlipEveryByte(const std::vector<std::uint8_t>& image, const char* what,
                   std::size_t end = SIZE_MAX) {
    end = std::min(end, image.size());
    // A name of this process's own: test runs may share the temporary folder.
    const fs::path path =
        fs::path(::testing::TempDir()) / ("bqpack_flip_setup-" + std::to_string(getpid()) + ".exe");
    auto save = [&path](const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    };
    save(image);
    const std::string baseline = Observable(path.string(), image);
    std::string out, err;
    ASSERT_EQ(RunCaptured(CmdVerify, {path.string()}, &out, &err), kExitOk) << err;

    std::size_t caught = 0, harmless = 0, missed = 0;
    for (std::size_t at = 0; at < end; ++at) {
        std::vector<std::uint8_t> flipped = image;
        flipped[at] ^= 0xFF;
        save(flipped);
        out.clear();
        err.clear();
        const int status = RunCaptured(CmdVerify, {path.string()}, &out, &err);
        if (status == kExitInput) {
            ++caught;
        } else if (Observable(path.string(), flipped) == baseline) {
            ++harmless;
        } else {
            ++missed;
            ADD_FAILURE() << what << ": a change at file offset " << at << " passes verify (status "
                          << status << ")";
        }
    }
    fs::remove(path);
    std::printf("flips of %zu bytes of %s: %zu caught, %zu harmless, %zu missed\n", end, what,
                caught, harmless, missed);
    EXPECT_EQ(missed, 0u);
    EXPECT_EQ(caught, end); // nothing is harmless: the seal covers it all
}

TEST(ImageFlips, EveryByteOfAnInstallerIsCaught) {
    for (std::uint32_t width : {4u, 8u}) {
        const StubImage stub = BuildStubImage(width);
        const TestPackage t = MakePackage({{"a.txt", TextLikeContent(300, 3)}, {"b", {'x'}}});
        FlipEveryByte(Write(stub, t.package), width == 8 ? "an x64 installer" : "an x86 installer");
    }
}

// A certificate table as signing appends one: its directory entry filled,
// the table on an 8-byte boundary after the sections, the header checksum
// made again.  (The signature's own bytes are the signer's to check.)
std::vector<std::uint8_t> WithCertificateTable(std::vector<std::uint8_t> image) {
    PeImage pe;
    std::string error;
    EXPECT_TRUE(ParsePeImage(image.data(), image.size(), &pe, &error)) << error;
    image.resize((image.size() + 7) / 8 * 8, 0);
    const std::size_t at = image.size();
    image.resize(at + 64, 0x5A);
    Write32(&image[at], 64);         // dwLength
    Write16(&image[at + 4], 0x0200); // wRevision
    Write16(&image[at + 6], 0x0002); // WIN_CERT_TYPE_PKCS_SIGNED_DATA
    Write32(&image[pe.certEntryOffset], static_cast<std::uint32_t>(at));
    Write32(&image[pe.certEntryOffset + 4], 64);
    Write32(&image[pe.checksumOffset], PeChecksum(image.data(), image.size(), pe.checksumOffset));
    return image;
}

TEST(ImageFlips, EveryByteOfASignedInstallerOutsideItsSignatureIsCaught) {
    const StubImage stub = BuildStubImage(4);
    const TestPackage t = MakePackage({{"a.txt", TextLikeContent(300, 3)}});
    const std::vector<std::uint8_t> image = WithCertificateTable(Write(stub, t.package));
    // The table's header is checked; the signed data after it is the
    // signature's own, so the flips stop there.
    FlipEveryByte(image, "a signed x86 installer", image.size() - 64 + 8);
}

} // namespace
