// The package that `bqpack build` generates, read back by info, list,
// verify and extract: its blob region file is placed as it stands into a
// test image (inspect_image.h) whose table is filled from the manifest, so
// what comes out must be the manifest's settings and the input files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "run_command.h"
#include "tests/unit/bqpack/inspect_image.h"
#include "tools/bqpack/generate.h"
#include "tools/bqpack/manifest.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string FlagText(std::int32_t value) {
    return value ? "yes" : "no";
}

TEST(InspectGenerated, ShowsTheManifestAndGivesBackItsFiles) {
    const fs::path dir = fs::path(::testing::TempDir()) / "bqpack_inspect_generated";
    fs::remove_all(dir);
    fs::create_directories(dir / "sources");

    Manifest manifest;
    std::string error;
    ASSERT_TRUE(ReadManifest(std::string(BQ_INSPECT_DATA) + "/full.bqm", ManifestOptions(),
                             &manifest, &error))
        << error;
    GenerateOptions options;
    options.writer.chunkSize = 4096;
    std::vector<std::string> inputs;
    PackageLayout layout;
    ASSERT_TRUE(
        GenerateSources(manifest, options, (dir / "sources").string(), &inputs, &layout, &error))
        << error;
    const std::vector<std::uint8_t> region = ReadBytes(dir / "sources" / kGeneratedBlobData);

    // Walk the region by its documented layout: marker, digest, a chunk
    // stream whose headers add up to the file's size, zeros to 4 bytes.
    InspectPackage package;
    package.blobRegion = region;
    std::size_t at = 0;
    for (const ManifestFile& f : manifest.files) {
        package.files.push_back(PlainFile(f.name, ReadBytes(f.source)));
        const std::string marker = "XXX" + f.name + "XXX" + '\0';
        ASSERT_LE(at + marker.size() + 16, region.size());
        ASSERT_EQ(std::string(region.begin() + at, region.begin() + at + marker.size()), marker);
        at += marker.size();
        package.regionDataOffsets.push_back(static_cast<std::uint32_t>(at));
        std::size_t stream = at + 16, expanded = 0;
        while (expanded < package.files.back().content.size()) {
            ASSERT_LE(stream + 4, region.size());
            expanded += region[stream] | region[stream + 1] << 8;
            stream += 4 + (region[stream + 2] | region[stream + 3] << 8);
        }
        package.regionStoredSizes.push_back(static_cast<std::uint32_t>(stream - at - 16));
        at = (stream + 3) / 4 * 4;
        for (std::size_t pad = stream; pad < at; ++pad)
            EXPECT_EQ(region.at(pad), 0);
    }
    EXPECT_EQ(at, region.size());
    // The builder's own account of the layout agrees.
    ASSERT_EQ(layout.files.size(), manifest.files.size());
    for (std::size_t i = 0; i < layout.files.size(); ++i) {
        EXPECT_EQ(layout.files[i].dataOffset, package.regionDataOffsets[i]);
        EXPECT_EQ(layout.files[i].storedSize, package.regionStoredSizes[i]);
        EXPECT_EQ(layout.files[i].expandedSize, package.files[i].content.size());
    }

    package.settings = manifest.settings;
    package.configSourceName = manifest.configSourceName;
    ASSERT_TRUE(ReadConfigText(manifest, &package.configText, &error)) << error;

    const InspectImage image = BuildInspectImage(package);
    const std::string setup = (dir / "setup.exe").string();
    std::ofstream(setup, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.bytes.data()),
               static_cast<std::streamsize>(image.bytes.size()));

    std::string out, err;
    ASSERT_EQ(RunCaptured(CmdInfo, {setup}, &out, &err), 0) << err;
    // Up to the checksum, which the test image leaves at 0.
    EXPECT_EQ(out.substr(0, out.find("Checksum:           none (the image's is 0x")),
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
                  std::to_string(package.configText.size()) +
                  " bytes)\nBuild folder:       " + manifest.settings.buildFolder +
                  "\nFile count:         " + std::to_string(manifest.files.size()) +
                  "\nArchitecture:       x86 (PE32)"
                  "\nPackage found by:   searching the image (an installer linked the old way)"
                  "\nSeal:               not sealed\nSignature:          none\n");

    out.clear();
    ASSERT_EQ(RunCaptured(CmdList, {setup}, &out, &err), 0) << err;
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        const std::string size = std::to_string(package.files[i].content.size());
        const std::string stored = std::to_string(package.regionStoredSizes[i]);
        EXPECT_NE(out.find("\n" + manifest.files[i].name), std::string::npos) << out;
        EXPECT_NE(out.find(" " + size + "  "), std::string::npos) << out;
        EXPECT_NE(out.find(" " + stored + "  "), std::string::npos) << out;
    }

    ASSERT_EQ(RunCaptured(CmdVerify, {setup}, &out, &err), 0) << err << out;
    const fs::path extracted = dir / "out";
    ASSERT_EQ(RunCaptured(CmdExtract, {setup, "-d", extracted.string(), "--config"}, &out, &err), 0)
        << err;
    for (const InspectFile& f : package.files)
        EXPECT_EQ(ReadBytes(extracted / f.name), f.content) << f.name;
    const std::vector<std::uint8_t> config =
        ReadBytes(extracted / manifest.settings.configFileName);
    EXPECT_EQ(std::string(config.begin(), config.end()), package.configText);
    fs::remove_all(dir);
}

} // namespace
