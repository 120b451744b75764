// bqpack info, list, verify and extract on setup images built by the test
// (inspect_image.h): what was packaged comes back out, and every kind of
// damage gives its own message and status 2.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "digest/md5.h"
#include "package/message_text.h"
#include "package/pe_image.h"
#include "run_command.h"
#include "tests/unit/bqpack/damage.h"
#include "tests/unit/package/inspect_image.h"
#include "tests/unit/test_file.h"
#include "tools/bqpack/json_text.h"

namespace fs = std::filesystem;

namespace {

std::string Hex32(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
}

std::string Text(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
    return ReadTestFile(path.string());
}

struct Result {
    int status;
    std::string out;
    std::string err;
};

using Command = CommandFunction;

Result Invoke(Command command, const std::vector<std::string>& args) {
    Result r;
    r.status = RunCaptured(command, args, &r.out, &r.err);
    return r;
}

// One kind of damage: what is done to a standard image, and the message
// verify must give (computed from the damaged image).
struct Damage {
    const char* what;
    std::function<void(InspectImage*)> damage;
    std::function<std::string(const InspectImage&)> message;
};

std::size_t TableWord(const InspectImage& image, std::size_t index) {
    return image.tableOffset + 4 * index;
}

// The verify line of the image's seal, once Save has sealed it.
std::string SealLine(const InspectImage& image) {
    InspectImage sealed = image;
    SealImageAgain(&sealed.bytes);
    return "Seal: ok (sealed " + DigestHex(&sealed.bytes[sealed.sealOffset]) + ")\n";
}

// Files of two bytes with the names given, and the configuration file's
// name: what the tests of names that extract refuses package.
InspectPackage NamedFiles(const std::vector<std::string>& names, const std::string& configName) {
    InspectPackage package;
    for (const std::string& name : names)
        package.files.push_back(PlainFile(name, {'a', 'b'}));
    package.settings.configFileName = configName;
    return package;
}

class Inspect : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) /
               (std::string("bqpack_inspect_") + info->test_suite_name() + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Writes the image, sealed again, so that what a test damaged is what
    // the reader finds (and not the seal first).
    std::string Save(const InspectImage& image, const std::string& name = "setup.exe") {
        InspectImage sealed = image;
        SealImageAgain(&sealed.bytes);
        const fs::path path = dir_ / name;
        WriteTestFile(path.string(), sealed.bytes);
        return path.string();
    }

    fs::path dir_;
};

TEST_F(Inspect, InfoShowsTheSettings) {
    InspectPackage package = StandardPackage();
    package.settings.askForFolder = 0;
    package.settings.passSetupPath = 7;
    const InspectImage image = BuildInspectImage(package);
    const std::string setup = Save(image);
    const Result r = Invoke(CmdInfo, {setup});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Default folder:     C:\\Program Files\\Bramblequist\n"
                     "Ask for folder:     no\n"
                     "Pass setup path:    yes (7)\n"
                     "Verify digests:     yes\n"
                     "Engine program:     Bramblequist.exe\n"
                     "Init verb:          INITIALIZE\n"
                     "Init verb (/R):     INITIALIZEDR\n"
                     "Init verb (/G):     INITIALIZEAUTOUP\n"
                     "Scheduler class:    ScheduleWClassV2\n"
                     "Scheduler command:  13201\n"
                     "Shell class:        ClientShellWClassV2\n"
                     "Shell message:      13210\n"
                     "Engine class:       BackupRestoreEngineWClassV2\n"
                     "Configuration file: Bramblequist.inz (33 bytes)\n"
                     "Build folder:       c:\\ReleaseBuild\\\n"
                     "File count:         3\n"
                     "Architecture:       x86 (PE32)\n"
                     "Package found by:   the stub's anchor\n"
                     "Seal:               sealed\n"
                     "Signature:          none\n"
                     "Checksum:           " +
                         Hex32(PeChecksum(image.bytes.data(), image.bytes.size(), 0xD8)) +
                         ", correct\n"
                         "Hardening:          dynamic base no, DEP no, terminal-server aware no, "
                         "relocations no, writable and executable sections none, manifest none\n");
}

// MD5 of bytes, as md5sum shows it.
std::string Md5Hex(const std::vector<std::uint8_t>& bytes) {
    std::uint8_t digest[16];
    Md5Digest(bytes.data(), static_cast<std::uint32_t>(bytes.size()), digest);
    return DigestHex(digest);
}

TEST_F(Inspect, ListShowsSizesAndBothDigests) {
    const InspectPackage package = StandardPackage();
    const InspectImage image = BuildInspectImage(package);
    const std::string setup = Save(image);
    auto stream = [&](std::size_t i) { return DigestHex(&image.bytes[image.digestOffsets[i]]); };
    auto file = [&](std::size_t i) { return Md5Hex(package.files[i].content); };
    char ratio[16];
    std::snprintf(ratio, sizeof ratio, "%.1f%%", 100.0 * image.storedSizes[0] / 5000);
    const std::string stored0 = std::to_string(image.storedSizes[0]);
    Result r = Invoke(CmdList, {setup});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Name                Expanded      Stored   Ratio  File MD5                  "
                     "        Stored stream MD5\n"
                     "Bramblequist.exe        5000  " +
                         std::string(10 - stored0.size(), ' ') + stored0 + "  " +
                         std::string(6 - std::string(ratio).size(), ' ') + ratio + "  " + file(0) +
                         "  " + stream(0) + "\nbqt.dlx                 2500        2512  100.5%  " +
                         file(1) + "  " + stream(1) +
                         "\nempty.dat                  0           0       -  " + file(2) + "  " +
                         stream(2) + "\nConfiguration file Bramblequist.inz: 33 bytes\n");
    // The file's MD5 is not the stored stream's (chunk headers and
    // compression lie between them), except for an empty file, whose stream
    // is empty too.
    EXPECT_NE(file(0), stream(0));
    EXPECT_NE(file(1), stream(1));
    EXPECT_EQ(stream(2), "d41d8cd98f00b204e9800998ecf8427e");

    r = Invoke(CmdList, {"--json", setup});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "{\"files\": [\n"
                     "  {\"name\": {\"text\": \"Bramblequist.exe\", \"hex\": "
                     "\"4272616d626c6571756973742e657865\"}, \"expandedSize\": 5000, "
                     "\"storedSize\": " +
                         stored0 + ", \"fileMd5\": \"" + file(0) + "\", \"storedStreamMd5\": \"" +
                         stream(0) +
                         "\"},\n"
                         "  {\"name\": {\"text\": \"bqt.dlx\", \"hex\": \"6271742e646c78\"}, "
                         "\"expandedSize\": 2500, \"storedSize\": 2512, \"fileMd5\": \"" +
                         file(1) + "\", \"storedStreamMd5\": \"" + stream(1) +
                         "\"},\n"
                         "  {\"name\": {\"text\": \"empty.dat\", \"hex\": \"656d7074792e646174\"}, "
                         "\"expandedSize\": 0, \"storedSize\": 0, \"fileMd5\": \"" +
                         file(2) + "\", \"storedStreamMd5\": \"" + stream(2) +
                         "\"}\n"
                         "],\n"
                         " \"configFileName\": {\"text\": \"Bramblequist.inz\", \"hex\": "
                         "\"4272616d626c6571756973742e696e7a\"},\n"
                         " \"configLength\": 33}\n");

    // A file that does not expand is listed without a file MD5, and said so.
    InspectImage damaged = image;
    damaged.bytes[ChunkOf(damaged, 0, 0).at + 4 + 1] = 7;
    const std::string bad = Save(damaged, "bad.exe");
    r = Invoke(CmdList, {bad});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("  22.4%  -                                 " + stream(0)),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "bqpack: " + bad +
                         ": Bramblequist.exe: does not expand, so it has no file MD5 (see bqpack "
                         "verify)\n");
    r = Invoke(CmdList, {"--json", bad});
    EXPECT_NE(r.out.find("\"fileMd5\": null, \"storedStreamMd5\": \"" + stream(0)),
              std::string::npos)
        << r.out;
}

TEST_F(Inspect, JsonGivesTextsAsBytesAndAsWindows1252) {
    // 0x80 is the euro sign in Windows-1252 (not U+0080 as in Latin-1);
    // 0xE9 is e acute; 0x81 has no character there, so only the bytes are
    // given.
    InspectPackage package;
    package.files.push_back(PlainFile("caf\xe9 \x80.txt", {1, 2, 3}));
    package.files.push_back(PlainFile("odd\x81.txt", {4}));
    package.settings.defaultFolder = "C:\\Programme\\B\xfc"
                                     "ro";
    const std::string setup = Save(BuildInspectImage(package));
    Result r = Invoke(CmdList, {"--json", setup});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("{\"name\": {\"text\": \"caf\\u00e9 \\u20ac.txt\", \"hex\": "
                         "\"636166e920802e747874\"}"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("{\"name\": {\"text\": null, \"hex\": \"6f6464812e747874\"}"),
              std::string::npos)
        << r.out;

    r = Invoke(CmdInfo, {setup, "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"defaultFolder\": {\"text\": \"C:\\\\Programme\\\\B\\u00fcro\", "
                          "\"hex\": \"433a5c50726f6772616d6d655c42fc726f\"},\n",
                          0),
              0u)
        << r.out;
    for (const char* field :
         {"\n \"askForFolder\": 1,", "\n \"schedulerCommand\": 13201,",
          "\n \"shellMessage\": 13210,", "\n \"configLength\": 33,", "\n \"fileCount\": 2,",
          "\n \"architecture\": \"x86\",\n \"foundBy\": \"anchor\",\n \"seal\": \"intact\",\n "
          "\"signed\": false,\n \"checksum\": {\"stored\": ",
          "\n \"engineClass\": {\"text\": \"BackupRestoreEngineWClassV2\", \"hex\": ",
          "\n \"hardening\": {\"dynamicBase\": false, \"dep\": false, \"highEntropyAslr\": null, "
          "\"terminalServerAware\": false, \"relocations\": false, "
          "\"writableExecutableSections\": [], \"manifest\": false, \"executionLevel\": null}}\n"})
        EXPECT_NE(r.out.find(field), std::string::npos) << field << " in " << r.out;

    for (unsigned byte : {0x81u, 0x8Du, 0x8Fu, 0x90u, 0x9Du})
        EXPECT_EQ(Windows1252(static_cast<unsigned char>(byte)), 0u) << byte;
    EXPECT_EQ(Windows1252(0x9F), 0x178u);
    EXPECT_EQ(Windows1252(0xA0), 0xA0u);
}

TEST_F(Inspect, NamesFromTheImageAreShownEscaped) {
    InspectPackage package;
    package.files.push_back(PlainFile("a\x1b[2J\"b\xe9", {1, 2, 3}));
    const std::string setup = Save(BuildInspectImage(package));
    Result r = Invoke(CmdList, {setup});
    EXPECT_EQ(r.status, 0);
    // Listed as UTF-8 (the name's Windows-1252 characters), controls escaped.
    EXPECT_NE(r.out.find("a\\x1b[2J\"b\xc3\xa9  "), std::string::npos) << r.out;
    r = Invoke(CmdList, {"--json", setup});
    EXPECT_NE(r.out.find("\"name\": {\"text\": \"a\\u001b[2J\\\"b\\u00e9\", \"hex\": "
                         "\"611b5b324a2262e9\"}"),
              std::string::npos)
        << r.out;

    // Also in messages about the file.
    InspectImage image = BuildInspectImage(package);
    Put32(&image.bytes, TableWord(image, 19), image.dataVas[0] + 4);
    const std::string damaged = Save(image, "damaged.exe");
    r = Invoke(CmdInfo, {damaged});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "bqpack: " + damaged + ": file \"a\\x1b[2J\"b\\xe9\" (slot 0): FileData " +
                         Hex32(image.dataVas[0] + 4) +
                         " does not follow its marker \"XXXa\\x1b[2J\"b\\xe9XXX\"\n");
}

TEST_F(Inspect, EmptyPackageIsReadAndVerified) {
    InspectPackage package;
    package.configText = std::string(4096, 'x');
    const InspectImage empty = BuildInspectImage(package);
    const std::string setup = Save(empty);
    Result r = Invoke(CmdInfo, {setup});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("File count:         0\n"), std::string::npos);
    r = Invoke(CmdVerify, {setup});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Bramblequist.inz: ok (4096 bytes of configuration text)\n" + SealLine(empty) +
                         setup + ": ok\n");

    // The build folder, which the installer never reads, may be null.
    InspectImage image = BuildInspectImage(package);
    Put32(&image.bytes, TableWord(image, 18), 0);
    r = Invoke(CmdInfo, {Save(image, "nobuildfolder.exe")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Build folder:       \nFile count:         0\n"), std::string::npos);
}

TEST_F(Inspect, VerifyReportsEveryFile) {
    const InspectPackage package = StandardPackage();
    const InspectImage image = BuildInspectImage(package);
    const std::string setup = Save(image);
    Result r = Invoke(CmdVerify, {setup});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    auto stream = [&](std::size_t i) { return DigestHex(&image.bytes[image.digestOffsets[i]]); };
    auto file = [&](std::size_t i) { return Md5Hex(package.files[i].content); };
    EXPECT_EQ(r.out, "Bramblequist.exe: ok (5000 bytes from " +
                         std::to_string(image.storedSizes[0]) + " in 5 chunks, stream MD5 " +
                         stream(0) + ", file MD5 " + file(0) +
                         ")\n"
                         "bqt.dlx: ok (2500 bytes from 2512 in 3 chunks, stream MD5 " +
                         stream(1) + ", file MD5 " + file(1) +
                         ")\n"
                         "empty.dat: ok (0 bytes from 0 in 0 chunks, stream MD5 "
                         "d41d8cd98f00b204e9800998ecf8427e, file MD5 "
                         "d41d8cd98f00b204e9800998ecf8427e)\n"
                         "Bramblequist.inz: ok (33 bytes of configuration text)\n" +
                         SealLine(image) + setup + ": ok\n");

    r = Invoke(CmdVerify, {"--json", setup});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.compare(0, 72,
                            "{\"ok\": true,\n \"files\": [\n  {\"name\": {\"text\": "
                            "\"Bramblequist.exe\", \"hex\": "),
              0)
        << r.out;
    EXPECT_NE(r.out.find("\"ok\": true, \"expandedSize\": 2500, \"storedSize\": 2512, \"chunks\": "
                         "3, \"storedStreamMd5\": \"" +
                         stream(1) + "\", \"computedStreamMd5\": \"" + stream(1) +
                         "\", \"fileMd5\": \"" + file(1) + "\", \"problems\": []}"),
              std::string::npos)
        << r.out;
    EXPECT_NE(
        r.out.find("],\n \"config\": {\"name\": {\"text\": \"Bramblequist.inz\", \"hex\": "
                   "\"4272616d626c6571756973742e696e7a\"}, \"length\": 33, \"ok\": true, "
                   "\"problems\": []},\n \"seal\": \"intact\",\n \"checksum\": {\"stored\": "),
        std::string::npos)
        << r.out;

    // Damage: "ok" false, the problem per file and in the list, status 2.
    InspectImage damaged = image;
    damaged.bytes[damaged.digestOffsets[1] + 5] ^= 0x40;
    const std::string bad = Save(damaged, "bad.exe");
    r = Invoke(CmdVerify, {bad, "--json"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.compare(0, 13, "{\"ok\": false,"), 0) << r.out;
    EXPECT_NE(r.out.find("\"problems\": [\"digest mismatch (stored "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(",\n \"problems\": [\"bqt.dlx: digest mismatch (stored "),
              std::string::npos)
        << r.out;

    // An installer that cannot be read at all still gives a JSON answer,
    // the same error object from every command.
    const std::string missing = (dir_ / "missing.exe").string();
    for (auto run : {CmdVerify, CmdInfo, CmdList}) {
        r = Invoke(run, {"--json", missing});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "{\"ok\": false, \"error\": " +
                             JsonString(missing + ": cannot open: No such file or directory") +
                             "}\n");
    }
}

TEST_F(Inspect, VerifyRefusesWhatExtractRefuses) {
    // Names extract will not write, the configuration file's among them,
    // and a template whose length no longer matches its text: verify says
    // so with status 2, and extract refuses the same installer.
    struct Case {
        std::vector<std::string> names;
        std::string configName;
        int configLengthChange;
        std::string message;
    };
    const Case cases[] = {
        {{"good.txt", "../../evl"},
         "Bramblequist.inz",
         0,
         "../../evl: the name holds a path separator"},
        {{"..\\..\\evl"}, "Bramblequist.inz", 0, "..\\..\\evl: the name holds a path separator"},
        {{"/tmp/evil"}, "Bramblequist.inz", 0, "/tmp/evil: the name holds a path separator"},
        {{"C:evil.tx"}, "Bramblequist.inz", 0, "C:evil.tx: the name holds a drive or stream colon"},
        {{""}, "Bramblequist.inz", 0, ": the name is empty"},
        {{"nul.txt"}, "Bramblequist.inz", 0, "nul.txt: the name is a device name"},
        {{"readme."},
         "Bramblequist.inz",
         0,
         "readme.: the name ends with a dot or blank, which Windows drops"},
        {{"a.txt", "A.TXT"}, "Bramblequist.inz", 0, "A.TXT: the name is also that of \"a.txt\""},
        {{"a.txt"}, "CON", 0, "CON: the name is a device name"},
        {{"a.txt"}, "A.txt", 0, "A.txt: the name is also that of \"a.txt\""},
        {{"a.txt"},
         "Bramblequist.inz",
         -1,
         "Bramblequist.inz: configuration text: byte 32, beyond the length 32, is not zero "
         "(the length does not match the text)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const InspectPackage package = NamedFiles(c.names, c.configName);
        InspectImage image = BuildInspectImage(package);
        if (c.configLengthChange != 0)
            Put32(&image.bytes, image.configOffset + 10,
                  static_cast<std::uint32_t>(package.configText.size() + c.configLengthChange));
        const std::string setup = Save(image);
        Result r = Invoke(CmdVerify, {setup});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "bqpack: " + setup + ": damaged: " + c.message + "\n");
        EXPECT_NE(r.out.find(c.message.substr(0, c.message.find(": ")) + ": DAMAGED: "),
                  std::string::npos)
            << r.out;
        const fs::path out = dir_ / "out";
        r = Invoke(CmdExtract, {setup, "--config", "-d", out.string()});
        EXPECT_EQ(r.status, 2);
        EXPECT_FALSE(fs::exists(out) && !fs::is_empty(out));
        fs::remove_all(out);
    }
}

TEST_F(Inspect, ExtractGivesBackTheFilesAndConfiguration) {
    const InspectPackage package = StandardPackage();
    const std::string setup = Save(BuildInspectImage(package));
    const fs::path out = dir_ / "out" / "nested";
    Result r = Invoke(CmdExtract, {setup, "-d", out.string(), "--config"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const InspectFile& f : package.files)
        EXPECT_EQ(ReadFile(out / f.name), f.content) << f.name;
    EXPECT_EQ(Text(ReadFile(out / "Bramblequist.inz")), package.configText);
    EXPECT_NE(r.out.find("(5000 bytes)\n"), std::string::npos);

    // A second run refuses to overwrite and writes nothing.
    fs::remove(out / "bqt.dlx");
    r = Invoke(CmdExtract, {"--config", setup, "-d", out.string()});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "bqpack: " + (out / "Bramblequist.exe").string() +
                         ": exists (use --force to overwrite)\n");
    EXPECT_FALSE(fs::exists(out / "bqt.dlx"));

    // --force replaces them.
    std::ofstream(out / "empty.dat") << "old";
    r = Invoke(CmdExtract, {setup, "-d", out.string(), "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fs::file_size(out / "empty.dat"), 0u);
    EXPECT_EQ(ReadFile(out / "bqt.dlx"), package.files[1].content);
}

TEST_F(Inspect, ExtractReportsAFolderItCannotMake) {
    const std::string setup = Save(BuildInspectImage(StandardPackage()));
    std::ofstream(dir_ / "plain") << "a file, not a folder";
    const std::string out = (dir_ / "plain" / "sub").string();
    const Result r = Invoke(CmdExtract, {setup, "-d", out});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err.rfind("bqpack: " + out + ": cannot create the folder: ", 0), 0u) << r.err;
}

#ifndef _WIN32
TEST_F(Inspect, ExtractNeverWritesThroughALink) {
    const InspectPackage package = StandardPackage();
    const std::string setup = Save(BuildInspectImage(package));
    const fs::path out = dir_ / "out";
    fs::create_directories(out);
    std::ofstream(dir_ / "victim") << "keep";
    fs::create_symlink(dir_ / "victim", out / "bqt.dlx");
    Result r = Invoke(CmdExtract, {setup, "-d", out.string()});
    EXPECT_EQ(r.status, 3);
    r = Invoke(CmdExtract, {setup, "-d", out.string(), "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Text(ReadFile(dir_ / "victim")), "keep");
    EXPECT_FALSE(fs::is_symlink(out / "bqt.dlx"));
    EXPECT_EQ(ReadFile(out / "bqt.dlx"), package.files[1].content);
}
#endif

TEST_F(Inspect, ExtractRefusesUnsafeNamesAndWritesNothing) {
    struct Case {
        std::vector<std::string> names;
        std::string configName;
        std::string message;
    };
    const Case cases[] = {
        {{"good.txt", ".."}, "Bramblequist.inz", "refusing to write \"..\": the name is \"..\""},
        {{"good.txt", "sub\\evil.exe"},
         "Bramblequist.inz",
         "refusing to write \"sub\\evil.exe\": the name holds a path separator"},
        {{"good.txt", "Good.TXT"}, "Bramblequist.inz", "two files named \"Good.TXT\""},
        {{"good.txt"}, "aux.inz", "refusing to write \"aux.inz\": the name is a device name"},
        {{"good.txt"}, "GOOD.txt", "two files named \"GOOD.txt\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const InspectPackage package = NamedFiles(c.names, c.configName);
        const std::string setup = Save(BuildInspectImage(package));
        const fs::path out = dir_ / "out";
        const Result r = Invoke(CmdExtract, {setup, "--config", "-d", out.string()});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "bqpack: " + setup + ": " + c.message + "\n");
        EXPECT_FALSE(fs::exists(out / "good.txt"));
    }
}

TEST_F(Inspect, CommandLineMistakesAreUsageErrors) {
    struct Case {
        Command command;
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {CmdInfo, {}, "bqpack info: no installer given (see bqpack info --help)\n"},
        {CmdList,
         {"a.exe", "b.exe"},
         "bqpack list: more than one installer given (see bqpack list --help)\n"},
        {CmdVerify,
         {"--config", "a.exe"},
         "bqpack verify: unknown option --config (see bqpack verify --help)\n"},
        {CmdExtract,
         {"--frobnicate", "a.exe"},
         "bqpack extract: unknown option --frobnicate (see bqpack extract --help)\n"},
        {CmdExtract,
         {"a.exe", "-d", "one", "-d", "two"},
         "bqpack extract: -d given twice (see bqpack extract --help)\n"},
        {CmdExtract,
         {"a.exe", "-d"},
         "bqpack extract: -d needs a folder (see bqpack extract --help)\n"},
        {CmdInfo,
         {"--force", "a.exe"},
         "bqpack info: unknown option --force (see bqpack info --help)\n"},
        {CmdVerify, {""}, "bqpack verify: an empty installer name (see bqpack verify --help)\n"},
    };
    for (const Case& c : cases) {
        const Result r = Invoke(c.command, c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    for (Command command : {CmdInfo, CmdList, CmdVerify, CmdExtract}) {
        const Result r = Invoke(command, {"--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.compare(0, 13, "usage: bqpack"), 0) << r.out;
    }
    const std::string missing = (dir_ / "missing.exe").string();
    const Result r = Invoke(CmdInfo, {missing});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "bqpack: " + missing + ": cannot open: No such file or directory\n");
}

std::string Digests(const InspectImage& image, std::size_t file) {
    std::uint8_t computed[16];
    const std::size_t at = image.digestOffsets[file];
    Md5Digest(&image.bytes[at + 16], Get32(image.bytes, TableWord(image, 12 + file)), computed);
    return "digest mismatch (stored " + DigestHex(&image.bytes[at]) + ", computed " +
           DigestHex(computed) + ")";
}

std::string Table(const InspectImage& image) {
    return "package table at " + Hex32(image.tableVa) + ": ";
}

void SetChunkExpanded(InspectImage* image, std::size_t file, std::size_t index,
                      std::uint16_t value) {
    const Chunk c = ChunkOf(*image, file, index);
    image->bytes[c.at] = static_cast<std::uint8_t>(value);
    image->bytes[c.at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// What verify says of chunk `index` of file 0, of 1000 bytes, that does
// not expand.
std::string ExpandFailure(const InspectImage& image, std::size_t index) {
    const Chunk c = ChunkOf(image, 0, index);
    return "chunk " + std::to_string(index) + " at stream offset " + std::to_string(c.offset) +
           " (1000 bytes from " + std::to_string(c.stored) +
           ") fails to expand: the decoder stops with an error";
}

TEST_F(Inspect, EveryDamageHasItsMessageAndStatusTwo) {
    const InspectImage clean = BuildInspectImage(StandardPackage());
    const std::size_t rdataEnd = Get32(clean.bytes, clean.rdataHeaderOffset + 20) +
                                 Get32(clean.bytes, clean.rdataHeaderOffset + 16);
    const Damage cases[] = {
        {"cut to 40 bytes", [](InspectImage* i) { i->bytes.resize(40); },
         [](const InspectImage&) {
             return std::string("too short to be a Windows program (40 bytes)");
         }},
        {"cut in the optional header", [](InspectImage* i) { i->bytes.resize(0x100); },
         [](const InspectImage&) {
             return std::string("truncated: the optional header runs past the end (256 bytes)");
         }},
        {"cut in the section table", [](InspectImage* i) { i->bytes.resize(0x1F0); },
         [](const InspectImage&) {
             return std::string("truncated: the section table runs past the end (496 bytes)");
         }},
        {"cut in the blob region", [](InspectImage* i) { i->bytes.resize(i->bytes.size() - 600); },
         [rdataEnd](const InspectImage& i) {
             return "truncated: section .rdata needs " + std::to_string(rdataEnd) +
                    " bytes, the file has " + std::to_string(i.bytes.size());
         }},
        {"no MZ header", [](InspectImage* i) { i->bytes[1] = 'X'; },
         [](const InspectImage&) { return std::string("not a Windows program (no MZ header)"); }},
        {"x64 machine with a PE32 header",
         [](InspectImage* i) { Put32(&i->bytes, 0x84, 0x00048664); },
         [](const InspectImage&) {
             return std::string("not a PE32+ image (optional header magic 0x010b)");
         }},
        {"x86 machine with a PE32+ header", [](InspectImage* i) { i->bytes[0x98 + 1] = 0x02; },
         [](const InspectImage&) {
             return std::string("not a PE32 image (optional header magic 0x020b)");
         }},
        {"ARM machine", [](InspectImage* i) { Put32(&i->bytes, 0x84, 0x000401c4); },
         [](const InspectImage&) {
             return std::string("not an x86 or x64 program (machine 0x01c4)");
         }},
        {"flipped digest byte", [](InspectImage* i) { i->bytes[i->digestOffsets[0] + 5] ^= 0x40; },
         [](const InspectImage& i) { return "damaged: Bramblequist.exe: " + Digests(i, 0); }},
        {"chunk header: expanded length one less",
         [](InspectImage* i) {
             SetChunkExpanded(i, 0, 1, 999);
             RestoreDigest(i, 0);
         },
         [](const InspectImage&) {
             return std::string("damaged: Bramblequist.exe: sizes disagree: the table says 5000 "
                                "bytes, the chunks give 4999");
         }},
        {"chunk header: expanded length one less, table agrees",
         [](InspectImage* i) {
             SetChunkExpanded(i, 0, 1, 999);
             Put32(&i->bytes, TableWord(*i, 6), 4999);
             RestoreDigest(i, 0);
         },
         [](const InspectImage& i) {
             const Chunk c = ChunkOf(i, 0, 1);
             return "damaged: Bramblequist.exe: chunk 1 at stream offset " +
                    std::to_string(c.offset) + " (999 bytes from " + std::to_string(c.stored) +
                    ") expands to 1000 bytes";
         }},
        {"chunk header: stored length past the end",
         [](InspectImage* i) {
             const Chunk c = ChunkOf(*i, 1, 2);
             i->bytes[c.at + 3] = 0x10; // 500 + 4096
             RestoreDigest(i, 1);
         },
         [](const InspectImage& i) {
             const Chunk c = ChunkOf(i, 1, 2);
             return "damaged: bqt.dlx: chunk 2 at stream offset " + std::to_string(c.offset) +
                    ": stored length " + std::to_string(c.stored) +
                    " runs past the end of the stream (500 bytes left)";
         }},
        {"chunk header: more output than the data can give",
         [](InspectImage* i) {
             SetChunkExpanded(i, 0, 0, 65535);
             Put32(&i->bytes, TableWord(*i, 6), 65535 + 4000);
             RestoreDigest(i, 0);
         },
         [](const InspectImage& i) {
             const Chunk c = ChunkOf(i, 0, 0);
             if (std::uint64_t{c.stored} * 192 >= 65535)
                 return std::string("test data: chunk 0 too large");
             return "damaged: Bramblequist.exe: chunk 0 at stream offset 0: expanded length "
                    "65535 is more than " +
                    std::to_string(c.stored) + " stored bytes can give";
         }},
        {"chunk data: bad dictionary size",
         [](InspectImage* i) {
             i->bytes[ChunkOf(*i, 0, 0).at + 4 + 1] = 7;
             RestoreDigest(i, 0);
         },
         [](const InspectImage& i) { return "damaged: Bramblequist.exe: " + ExpandFailure(i, 0); }},
        {"chunk data damaged, digest left as it was",
         [](InspectImage* i) { i->bytes[ChunkOf(*i, 0, 2).at + 4 + 1] = 9; },
         [](const InspectImage& i) {
             return "damaged: Bramblequist.exe: " + Digests(i, 0) + "; " + ExpandFailure(i, 2);
         }},
        {"chunk data: end code cut off",
         [](InspectImage* i) {
             // The last chunk loses its last two bytes (part of the end code).
             const Chunk c = ChunkOf(*i, 0, 4);
             const std::uint16_t shorter = static_cast<std::uint16_t>(c.stored - 2);
             i->bytes[c.at + 2] = static_cast<std::uint8_t>(shorter);
             i->bytes[c.at + 3] = static_cast<std::uint8_t>(shorter >> 8);
             Put32(&i->bytes, TableWord(*i, 12), i->storedSizes[0] - 2);
             i->storedSizes[0] -= 2;
             RestoreDigest(i, 0);
         },
         [](const InspectImage& i) { return "damaged: Bramblequist.exe: " + ExpandFailure(i, 4); }},
        {"table: stored size one more",
         [](InspectImage* i) { Put32(&i->bytes, TableWord(*i, 12 + 1), 2513); },
         [](const InspectImage& i) {
             return "damaged: bqt.dlx: " + Digests(i, 1) +
                    "; chunk 3 at stream offset 2512: header cut short (1 of 4 bytes)";
         }},
        {"table: huge expanded size",
         [](InspectImage* i) { Put32(&i->bytes, TableWord(*i, 6 + 1), 0xFFFFFFF0u); },
         [](const InspectImage&) {
             return std::string("damaged: bqt.dlx: sizes disagree: the table says 4294967280 "
                                "bytes, the chunks give 2500");
         }},
        {"table: huge stored size",
         [](InspectImage* i) { Put32(&i->bytes, TableWord(*i, 12 + 1), 0x7FFFFFF0u); },
         [](const InspectImage& i) {
             return "file \"bqt.dlx\" (slot 1): digest and stored stream (2147483648 bytes at " +
                    Hex32(i.dataVas[1]) + ") run past the image's data";
         }},
        {"table: blob pointer moved",
         [](InspectImage* i) { Put32(&i->bytes, TableWord(*i, 19 + 1), i->dataVas[1] + 4); },
         [](const InspectImage& i) {
             return "file \"bqt.dlx\" (slot 1): FileData " + Hex32(i.dataVas[1] + 4) +
                    " does not follow its marker \"XXXbqt.dlxXXX\"";
         }},
        {"table: name pointer leads to another name",
         [](InspectImage* i) {
             Put32(&i->bytes, TableWord(*i, 0), Get32(i->bytes, TableWord(*i, 1)));
         },
         [](const InspectImage& i) {
             return "file \"bqt.dlx\" (slot 0): FileData " + Hex32(i.dataVas[0]) +
                    " does not follow its marker \"XXXbqt.dlxXXX\"";
         }},
        {"table: text pointer outside the image",
         [](InspectImage* i) { Put32(&i->bytes, TableWord(*i, 26), 0x10); },
         [](const InspectImage& i) {
             return Table(i) + "EngineProgram pointer 0x00000010 points outside the image's data";
         }},
        {"table: file count out of range",
         [](InspectImage* i) { Put32(&i->bytes, TableWord(*i, 25), 7); },
         [](const InspectImage& i) { return Table(i) + "FileCount 7 is outside 0 to 6"; }},
        {"table: gone",
         [](InspectImage* i) {
             std::fill_n(i->bytes.begin() + static_cast<std::ptrdiff_t>(i->tableOffset), 160, 0);
         },
         [](const InspectImage& i) {
             return Table(i) + "EngineProgram pointer 0x00000000 is null";
         }},
        {"blob marker missing", [](InspectImage* i) { i->bytes[i->markerOffsets[2]] = 'x'; },
         [](const InspectImage& i) {
             return "file \"empty.dat\" (slot 2): FileData " + Hex32(i.dataVas[2]) +
                    " does not follow its marker \"XXXempty.datXXX\"";
         }},
        {"configuration marker missing",
         [](InspectImage* i) { i->bytes[i->configOffset + 3] = 'i' ^ 0x20; },
         [](const InspectImage& i) {
             return "configuration template at " + Hex32(static_cast<std::uint32_t>(i.configVa)) +
                    " has no marker";
         }},
        {"no package section",
         [](InspectImage* i) {
             i->bytes[i->rdataHeaderOffset - 40 + 1] = 'x';
         }, // the header before

         [](const InspectImage&) {
             return std::string("no package: the image has no package section .bqpkg");
         }},
        {"configuration length 0",
         [](InspectImage* i) { Put32(&i->bytes, i->configOffset + 10, 0); },
         [](const InspectImage&) {
             return std::string(
                 "damaged: Bramblequist.inz: configuration length 0 is outside 1 to 4096");
         }},
        {"configuration length 4097",
         [](InspectImage* i) { Put32(&i->bytes, i->configOffset + 10, 4097); },
         [](const InspectImage&) {
             return std::string(
                 "damaged: Bramblequist.inz: configuration length 4097 is outside 1 to 4096");
         }},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.what);
        InspectImage image = clean;
        c.damage(&image);
        const std::string setup = Save(image);
        const Result r = Invoke(CmdVerify, {setup});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "bqpack: " + setup + ": " + c.message(image) + "\n");
        // Extract refuses the same image and writes nothing.
        const fs::path out = dir_ / "out";
        const Result e = Invoke(CmdExtract, {setup, "--config", "-d", out.string()});
        EXPECT_EQ(e.status, 2);
        EXPECT_FALSE(fs::exists(out) && !fs::is_empty(out));
        fs::remove_all(out);
    }
}

TEST_F(Inspect, ExpandFailureNamesTheChunkBeyondTheFirst) {
    // A stream whose digest is right but whose third chunk cannot expand:
    // verify names that chunk, as the installer would fail there too.
    InspectPackage package;
    std::vector<std::uint8_t> content = TextLikeContent(3000, 5);
    std::vector<std::uint8_t> stream = InspectChunkStream(content, 1000);
    InspectFile file = PlainFile("x.bin", content);
    file.explicitStream = true;
    file.stream = stream;
    file.expandedSize = 3000;
    package.files.push_back(file);
    InspectImage image = BuildInspectImage(package);
    const Chunk c = ChunkOf(image, 0, 2);
    ASSERT_NE(c.expanded, c.stored);
    image.bytes[c.at + 4] = 2; // literal mode 2 does not exist
    RestoreDigest(&image, 0);
    const std::string setup = Save(image);
    const Result r = Invoke(CmdVerify, {setup});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "x.bin: DAMAGED: " + ExpandFailure(image, 2));
}

} // namespace
