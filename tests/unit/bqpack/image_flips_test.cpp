// Every single-byte change of a small installer written into a test stub
// (stub_image.h) is either caught by `bqpack verify` or changes nothing
// that `extract` writes or `info` prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "package/image_reader.h"
#include "package/little_endian.h"
#include "package/package_check.h"
#include "package/package_rules.h"
#include "package/pe_image.h"
#include "package/stub_writer.h"
#include "run_command.h"
#include "tests/unit/package/inspect_image.h"
#include "tests/unit/package/stub_image.h"
#include "tests/unit/test_file.h"

namespace fs = std::filesystem;

namespace {

// What an installer gives a user: what `info` prints of its package and the
// files and the configuration text `extract --config` writes.
std::string Observable(const std::string& path, const std::vector<std::uint8_t>& image) {
    std::string info, ignored;
    if (RunCaptured(CmdInfo, {path}, &info, &ignored) != kExitOk)
        return "info fails";
    InstallerImage installer;
    std::string error;
    if (!ReadInstallerImage(image.data(), image.size(), &installer, &error))
        return "unreadable";
    const Package& p = installer.package;
    // The header checksum line speaks of the image's bytes, which every
    // change changes; the package is the rest.
    std::string seen = info.substr(0, info.find("Checksum:"));
    for (const PackageFile& f : p.files) {
        FileCheck check;
        std::vector<std::uint8_t> data;
        if (!CheckPackageFile(p, f, &check, &data))
            return "does not expand";
        seen += f.name + ":" + std::string(data.begin(), data.end());
    }
    if (!ConfigLengthFits(installer.configLength))
        return "bad template";
    seen += p.settings.configFileName + ":" + p.configText.substr(0, installer.configLength);
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
        WriteTestFile(path.string(), bytes);
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
        const TestPackage t = MakeTestPackage({{"a.txt", TextLikeContent(300, 3)}, {"b", {'x'}}});
        std::vector<std::uint8_t> installer;
        std::string error;
        ASSERT_TRUE(WritePackageIntoStub(stub.bytes.data(), stub.bytes.size(), t.package,
                                         &installer, &error))
            << error;
        FlipEveryByte(installer, width == 8 ? "an x64 installer" : "an x86 installer");
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
    const TestPackage t = MakeTestPackage({{"a.txt", TextLikeContent(300, 3)}});
    std::vector<std::uint8_t> installer;
    std::string error;
    ASSERT_TRUE(
        WritePackageIntoStub(stub.bytes.data(), stub.bytes.size(), t.package, &installer, &error))
        << error;
    const std::vector<std::uint8_t> image = WithCertificateTable(installer);
    // The table's header is checked; the signed data after it is the
    // signature's own, so the flips stop there.
    FlipEveryByte(image, "a signed x86 installer", image.size() - 64 + 8);
}

} // namespace
