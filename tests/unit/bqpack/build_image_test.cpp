// Installers built from the test manifests into a test stub, through the
// build command (test_installer.h): the package read back as the installer
// reads it (the table's fields, each blob's marker, digest and stream, the
// template's bytes) and by info, list, verify and extract, for both pointer
// widths.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "digest/md5.h"
#include "errors/error_record.h"
#include "package/chunk_stream.h"
#include "package/image_reader.h"
#include "package/little_endian.h"
#include "package/message_text.h"
#include "package/package_layout.h"
#include "tests/unit/bqpack/damage.h"
#include "tests/unit/bqpack/run_command.h"
#include "tests/unit/bqpack/setting_texts.h"
#include "tests/unit/bqpack/test_installer.h"
#include "tests/unit/test_file.h"
#include "tools/bqpack/manifest.h"

namespace fs = std::filesystem;

namespace {

struct Built {
    Manifest manifest;
    std::string setup;
    std::vector<std::uint8_t> bytes;
    InstallerImage installer;
};

// Builds a test manifest into a test stub of the width and reads it back.
void Build(const char* manifestName, std::uint32_t pointerBytes, Built* b) {
    // A folder of each test's own: ctest runs them side by side.
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("bqpack_image_" + std::string(test->name()) + "_" +
                                          manifestName + std::to_string(pointerBytes));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string manifest = std::string(BQ_INSPECT_DATA) + "/" + manifestName;
    std::string error;
    ASSERT_TRUE(ReadManifest(manifest, ManifestOptions(), &b->manifest, &error)) << error;
    ASSERT_EQ(BuildTestInstaller(manifest, dir.string(), pointerBytes, {"--chunk-size", "4096"},
                                 &b->setup),
              0);
    b->bytes = ReadTestFile(b->setup);
    ASSERT_TRUE(ReadInstallerImage(b->bytes.data(), b->bytes.size(), &b->installer, &error))
        << error;
}

TEST(BqpackImage, FilesAsTheInstallerReadsThem) {
    for (const char* manifest : {"full.bqm", "empty.bqm"}) {
        for (std::uint32_t width : {4u, 8u}) {
            SCOPED_TRACE(std::string(manifest) + " " + std::to_string(width));
            Built b;
            Build(manifest, width, &b);
            const InstallerImage& p = b.installer;
            const std::size_t count = b.manifest.files.size();
            ASSERT_EQ(p.fileCount, std::int32_t(count));
            ASSERT_EQ(p.package.files.size(), count);
            for (std::size_t i = 0; i < count; ++i) {
                const ManifestFile& f = b.manifest.files[i];
                const PackageFile& e = p.package.files[i];
                SCOPED_TRACE(f.name);
                EXPECT_EQ(e.name, f.name);
                const std::vector<std::uint8_t> content = ReadTestFile(f.source);
                EXPECT_EQ(e.expandedSize, content.size());
                // The marker lies just before the digest and starts on a
                // 4-byte boundary (the sections are aligned alike in the
                // file and in memory).
                const std::string marker = BlobMarker(f.name);
                const std::size_t start = e.dataOffset - marker.size();
                EXPECT_EQ(std::memcmp(&b.bytes[start], marker.data(), marker.size()), 0);
                EXPECT_EQ(start % 4, 0u);
                // The digest covers exactly the stored stream.
                const std::uint8_t* blob = &b.bytes[e.dataOffset];
                std::uint8_t digest[16];
                Md5Digest(blob + 16, e.storedSize, digest);
                EXPECT_EQ(DigestsEqual(digest, blob), 1);
                // The stream expands to the file's bytes.
                std::vector<std::uint8_t> out(e.expandedSize + 1);
                ErrorRecord record;
                ASSERT_EQ(ExpandStream(&record, blob + 16, std::int32_t(e.storedSize), out.data(),
                                       std::int32_t(e.expandedSize)),
                          0u);
                out.resize(e.expandedSize);
                EXPECT_EQ(out, content);
                // Padding after the stream up to the next marker is zero.
                std::size_t end = e.dataOffset + 16 + e.storedSize;
                for (; end % 4; ++end)
                    EXPECT_EQ(b.bytes[end], 0);
                if (i + 1 < count) {
                    EXPECT_EQ(std::memcmp(&b.bytes[end], "XXX", 3), 0);
                }
            }
            // The unused slots are null and zero.
            const TableLayout& layout = *TableLayoutFor(kLayoutVersion, width);
            std::size_t table = 0;
            ASSERT_TRUE(MapVirtualRange(p.pe, p.tableVa, layout.size, &table));
            for (std::uint32_t i = std::uint32_t(count); i < kMaxPackageFiles; ++i) {
                EXPECT_EQ(ReadPointer(p.pe, &b.bytes[table + layout.At(kFieldFileNames, i)]), 0u);
                EXPECT_EQ(Read32(&b.bytes[table + layout.At(kFieldExpandedSizes, i)]), 0u);
                EXPECT_EQ(Read32(&b.bytes[table + layout.At(kFieldStoredSizes, i)]), 0u);
                EXPECT_EQ(ReadPointer(p.pe, &b.bytes[table + layout.At(kFieldFileData, i)]), 0u);
            }
        }
    }
}

TEST(BqpackImage, Settings) {
    Built b;
    Build("full.bqm", 4, &b);
    EXPECT_EQ(SettingTexts(b.installer.package.settings),
              (std::vector<std::string>{"C:\\Test Folder\\Sub", "0", "0", "0", "Eng.exe", "V1",
                                        "V2", "V3", "SchedW", "77", "ShellW", "4294967295",
                                        "EngineW", "Client.inz", "d:\\build\\\"x\"\\"}));

    // Without settings in the manifest, the release's (which the manifest
    // tests spell out), in the 64-bit layout too.
    Built e;
    Build("empty.bqm", 8, &e);
    EXPECT_EQ(SettingTexts(e.installer.package.settings), SettingTexts(PackageSettings()));
}

TEST(BqpackImage, ConfigurationTemplate) {
    const struct {
        const char* manifest;
        const char* config;
        const char* sourceName;
    } cases[] = {{"full.bqm", "full.inz", "Source Name.inz"},
                 {"empty.bqm", "short.inz", "short.inz"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.manifest);
        Built b;
        Build(c.manifest, 4, &b);
        const std::uint8_t* bytes = &b.bytes[b.installer.configOffset];
        EXPECT_EQ(std::memcmp(bytes, "YYYinzYYY\0", 10), 0);
        const std::vector<std::uint8_t> text =
            ReadTestFile(std::string(BQ_INSPECT_DATA) + "/" + c.config);
        const std::uint32_t length = Read32(bytes + 10);
        ASSERT_EQ(length, text.size());
        const std::string sourceName(c.sourceName);
        EXPECT_EQ(std::memcmp(bytes + 14, sourceName.c_str(), sourceName.size()), 0);
        for (std::size_t i = sourceName.size(); i < 260; ++i)
            ASSERT_EQ(bytes[14 + i], 0) << "source name byte " << i;
        EXPECT_EQ(std::memcmp(bytes + 274, text.data(), length), 0);
        for (std::size_t i = length; i < 4096; ++i)
            ASSERT_EQ(bytes[274 + i], 0) << "text byte " << i;
    }
}

std::string FlagText(std::int32_t value) {
    return value ? "yes" : "no";
}

// What info, list, verify and extract make of it: the manifest's settings
// and the input files.
TEST(BqpackImage, CommandsShowTheManifestAndGiveBackItsFiles) {
    Built b;
    Build("full.bqm", 4, &b);
    const Manifest& manifest = b.manifest;
    const std::vector<std::uint8_t> configText = ReadTestFile(manifest.config);
    std::string out, err;
    ASSERT_EQ(RunCaptured(CmdInfo, {b.setup}, &out, &err), 0) << err;
    EXPECT_EQ(out.substr(0, out.find("Checksum:")),
              "Default folder:     " + manifest.settings.defaultFolder +
                  "\nAsk for folder:     " + FlagText(manifest.settings.askForFolder) +
                  "\nPass setup path:    " + FlagText(manifest.settings.passSetupPath) +
                  "\nVerify digests:     " + FlagText(manifest.settings.verifyDigests) +
                  "\nEngine program:     " + manifest.settings.engineProgram +
                  "\nInit verb:          " + manifest.settings.initVerb +
                  "\nInit verb (/R):     " + manifest.settings.initVerbDR +
                  "\nInit verb (/G):     " + manifest.settings.initVerbAutoUp +
                  "\nScheduler class:    " + manifest.settings.schedulerClass +
                  "\nScheduler command:  " + std::to_string(manifest.settings.schedulerCommand) +
                  "\nShell class:        " + manifest.settings.shellClass +
                  "\nShell message:      " + std::to_string(manifest.settings.shellMessage) +
                  "\nEngine class:       " + manifest.settings.engineClass +
                  "\nConfiguration file: " + manifest.settings.configFileName + " (" +
                  std::to_string(configText.size()) +
                  " bytes)\nBuild folder:       " + manifest.settings.buildFolder +
                  "\nFile count:         " + std::to_string(manifest.files.size()) +
                  "\nArchitecture:       x86 (PE32)"
                  "\nPackage found by:   the stub's anchor"
                  "\nSeal:               sealed\nSignature:          none\n");

    out.clear();
    ASSERT_EQ(RunCaptured(CmdList, {b.setup}, &out, &err), 0) << err;
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        const PackageFile& f = b.installer.package.files[i];
        EXPECT_NE(out.find("\n" + manifest.files[i].name), std::string::npos) << out;
        EXPECT_NE(out.find(" " + std::to_string(f.expandedSize) + "  "), std::string::npos) << out;
        EXPECT_NE(out.find(" " + std::to_string(f.storedSize) + "  "), std::string::npos) << out;
    }

    ASSERT_EQ(RunCaptured(CmdVerify, {b.setup}, &out, &err), 0) << err << out;
    const fs::path extracted = fs::path(b.setup).parent_path() / "out";
    ASSERT_EQ(RunCaptured(CmdExtract, {b.setup, "-d", extracted.string(), "--config"}, &out, &err),
              0)
        << err;
    for (const ManifestFile& f : manifest.files)
        EXPECT_EQ(ReadTestFile((extracted / f.name).string()), ReadTestFile(f.source)) << f.name;
    EXPECT_EQ(ReadTestFile((extracted / manifest.settings.configFileName).string()), configText);
}

// The damage the tests make in a built installer (damage.h) is what verify
// finds, and nothing else: the image is sealed again.
TEST(BqpackImage, DamagedAfterTheBuildIsWhatVerifyFinds) {
    Built b;
    Build("full.bqm", 4, &b);
    const std::pair<const char*, const char*> cases[] = {
        {"digest=Mixed.bin", "Mixed.bin: DAMAGED: digest mismatch"},
        {"chunk=Mixed.bin", ") fails to expand: the decoder stops with an error"},
        {"config-length=4097", "configuration length 4097 is outside 1 to 4096"},
        {"file-count=1", "Client.inz: ok"},
    };
    for (const auto& [change, problem] : cases) {
        SCOPED_TRACE(change);
        std::vector<std::uint8_t> image = b.bytes;
        std::string error;
        ASSERT_TRUE(DamageInstaller(&image, change, &error)) << error;
        const std::string damaged = b.setup + ".damaged.exe";
        WriteTestFile(damaged, image);
        std::string out, err;
        RunCaptured(CmdVerify, {damaged}, &out, &err);
        EXPECT_NE(out.find(problem), std::string::npos) << out;
        EXPECT_NE(out.find("Seal: ok"), std::string::npos) << out;
        EXPECT_EQ(out.find("Checksum: DAMAGED"), std::string::npos) << out;
    }
    std::vector<std::uint8_t> image = b.bytes;
    std::string error;
    EXPECT_FALSE(DamageInstaller(&image, "chunk=One Byte.bin", &error));
    EXPECT_EQ(error, "One Byte.bin has no compressed chunk to damage");
    EXPECT_FALSE(DamageInstaller(&image, "digest=Missing", &error));
    EXPECT_EQ(image, b.bytes);
}

} // namespace
