// bqpack build: manifest parsing (defaults, every key, refusals with file
// and line) and packing (the blob region's layout, the template's rules,
// reproducibility, the default package).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "digest/md5.h"
#include "package/package_rules.h"
#include "tests/unit/bqpack/setting_texts.h"
#include "tests/unit/test_file.h"
#include "tools/bqpack/manifest.h"
#include "tools/bqpack/output_file.h"
#include "tools/bqpack/pack.h"

namespace fs = std::filesystem;

namespace {

bool Parse(const std::string& text, Manifest* m, std::string* error) {
    ManifestOptions options;
    options.useEnvironment = false;
    options.defines["DIR"] = "/in";
    return ParseManifest(text, "/pkg/test.bqm", options, m, error);
}

TEST(BqpackManifest, DefaultsAreTheShippedSettings) {
    Manifest m;
    std::string error;
    ASSERT_TRUE(Parse("config = c.inz\n", &m, &error)) << error;
    EXPECT_TRUE(m.files.empty());
    EXPECT_EQ(m.config, "/pkg/c.inz");
    EXPECT_EQ(m.configSourceName, "c.inz");
    EXPECT_EQ(
        SettingTexts(m.settings),
        (std::vector<std::string>{
            "C:\\Program Files\\Bramblequist", "1", "1", "1", "Bramblequist.exe", "INITIALIZE",
            "INITIALIZEDR", "INITIALIZEAUTOUP", "ScheduleWClassV2", "13201", "ClientShellWClassV2",
            "13210", "BackupRestoreEngineWClassV2", "Bramblequist.inz", "c:\\ReleaseBuild\\"}));
}

TEST(BqpackManifest, EveryKey) {
    const char* text = "# a comment\r\n"
                       "\n"
                       "  file = One.exe one.exe  \r\n"
                       "file = \"Two Words.dat\" \"${DIR}/two words.dat\"\n"
                       "file=Three /abs/three\n"
                       "config = ../conf/c.inz\n"
                       "config-source-name = Bkp1.inz\n"
                       "Build-Folder = d:\\b\\\n"
                       "engine-program = Eng.exe\n"
                       "init-verb = A\n"
                       "init-verb-dr = B\n"
                       "init-verb-autoup = C\n"
                       "scheduler-class = SchedClass\n"
                       "scheduler-command = 0x1234\n"
                       "shell-class = ShellClass\n"
                       "engine-class = EngineClass\n"
                       "shell-message = 4294967295\n"
                       "config-file-name = x.inz\n"
                       "pass-setup-path = 0\n"
                       "verify-digests = 0\n"
                       "default-folder = \"D:\\Spaced  \"\n"
                       "ask-for-folder = 0";
    Manifest m;
    std::string error;
    ASSERT_TRUE(Parse(text, &m, &error)) << error;
    ASSERT_EQ(m.files.size(), 3u);
    EXPECT_EQ(m.files[0].name, "One.exe");
    EXPECT_EQ(m.files[0].source, "/pkg/one.exe");
    EXPECT_EQ(m.files[0].line, 3);
    EXPECT_EQ(m.files[1].name, "Two Words.dat");
    EXPECT_EQ(m.files[1].source, "/in/two words.dat");
    EXPECT_EQ(m.files[2].source, "/abs/three");
    EXPECT_EQ(m.config, "/pkg/../conf/c.inz");
    EXPECT_EQ(m.configLine, 6);
    EXPECT_EQ(m.configSourceName, "Bkp1.inz");
    EXPECT_EQ(SettingTexts(m.settings),
              (std::vector<std::string>{"D:\\Spaced  ", "0", "0", "0", "Eng.exe", "A", "B", "C",
                                        "SchedClass", "4660", "ShellClass", "4294967295",
                                        "EngineClass", "x.inz", "d:\\b\\"}));
}

// Damaged installers for tests are made after the build (the tests'
// damage helper); the manifest knows no key that makes one.
TEST(BqpackManifest, NoKeyBuildsABrokenPackage) {
    for (const char* key :
         {"broken-file-count", "broken-config-length", "broken-digest", "broken-chunk"}) {
        Manifest m;
        std::string error;
        EXPECT_FALSE(
            Parse(std::string("config = c.inz\nfile = A a\n") + key + " = A\n", &m, &error));
        EXPECT_EQ(error, "/pkg/test.bqm:3: unknown key \"" + std::string(key) + "\"");
    }
}

TEST(BqpackManifest, FileNamesFollowTheRuleThatExtractApplies) {
    // A package build accepts exactly the names that extract and verify
    // accept, for files and for the configuration file alike.
    const char* names[] = {"Bramblequist.exe", "a..b",   "CONSOLE.txt", "COM10", "com1", "CON",
                           "con.txt",          "x.",     "x ",          "a*b",   "a\tb", ".",
                           "COM\xb9",          "conout$"};
    for (const char* name : names) {
        std::string why;
        const bool allowed = CheckFileName(name, &why);
        Manifest m;
        std::string error;
        EXPECT_EQ(Parse(std::string("config = c.inz\nfile = \"") + name + "\" x\n", &m, &error),
                  allowed)
            << name << ": " << error;
        EXPECT_EQ(
            Parse(std::string("config = c.inz\nconfig-file-name = \"") + name + "\"\n", &m, &error),
            allowed)
            << name << ": " << error;
    }
}

TEST(BqpackManifest, RefusalsNameFileAndLine) {
    const std::string c = "config = c.inz\n";
    const std::string longName(260, 'n');
    const std::string folder200 = "default-folder = C:\\" + std::string(198, 'f') + "\n";
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"", "/pkg/test.bqm: no configuration template (add \"config = PATH\")"},
        {c + "nonsense\n", "/pkg/test.bqm:2: expected \"key = value\""},
        {c + "colour = red\n", "/pkg/test.bqm:2: unknown key \"colour\""},
        {c + c, "/pkg/test.bqm:2: config is already set on line 1"},
        {c + "file = a\\b x\n",
         "/pkg/test.bqm:2: file name \"a\\b\" is refused: the name holds a path separator"},
        {c + "file = a/b x\n",
         "/pkg/test.bqm:2: file name \"a/b\" is refused: the name holds a path separator"},
        {c + "file = a:b x\n",
         "/pkg/test.bqm:2: file name \"a:b\" is refused: the name holds a drive or stream colon"},
        {c + "file = a?b x\n",
         "/pkg/test.bqm:2: file name \"a?b\" is refused: the name holds a character that file "
         "names cannot hold"},
        {c + "file = .. x\n", "/pkg/test.bqm:2: file name \"..\" is refused: the name is \"..\""},
        // Names Windows would turn into a device or a different file.
        {c + "file = CON x\n",
         "/pkg/test.bqm:2: file name \"CON\" is refused: the name is a device name"},
        {c + "file = ok.txt x\nfile = nul.txt y\n",
         "/pkg/test.bqm:3: file name \"nul.txt\" is refused: the name is a device name"},
        {c + "file = Lpt1.log x\n",
         "/pkg/test.bqm:2: file name \"Lpt1.log\" is refused: the name is a device name"},
        {c + "file = readme. x\n",
         "/pkg/test.bqm:2: file name \"readme.\" is refused: the name ends with a dot or blank, "
         "which Windows drops"},
        {c + "file = \"readme \" x\n",
         "/pkg/test.bqm:2: file name \"readme \" is refused: the name ends with a dot or blank, "
         "which Windows drops"},
        {c + "file = onlyname\n", "/pkg/test.bqm:2: expected \"file = NAME SOURCEPATH\""},
        {c + "file = \"open x\n", "/pkg/test.bqm:2: file name has no closing quote"},
        {c + "file = A x\nfile = a y\n",
         "/pkg/test.bqm:3: file name \"a\" is already used on line 2"},
        {c + "file = " + longName + " x\n",
         "/pkg/test.bqm:2: file name is 260 bytes long; the installer takes at most 259"},
        {c + "init-verb = " + longName + "\n",
         "/pkg/test.bqm:2: init-verb is 260 bytes long; the installer takes at most 259"},
        {c + "config-source-name = " + longName + "\n",
         "/pkg/test.bqm:2: config-source-name is 260 bytes long; the template holds at most 259"},
        {c + folder200 + "file = " + std::string(60, 'x') + " x\n",
         "/pkg/test.bqm:3: default-folder with a file name appended is longer than 259 bytes"},
        {c + "file = a 1\nfile = b 2\nfile = c 3\nfile = d 4\nfile = e 5\nfile = f 6\nfile = g 7\n",
         "/pkg/test.bqm:8: more than 6 files; a package holds at most 6"},
        {c + "file = Bramblequist.INZ x\n",
         "/pkg/test.bqm:2: file name \"Bramblequist.INZ\" is also the configuration file's name"},
        {c + "config-file-name = a\\b\n",
         "/pkg/test.bqm:2: config-file-name \"a\\b\" is refused: the name holds a path separator"},
        {c + "config-file-name = aux.inz\n",
         "/pkg/test.bqm:2: config-file-name \"aux.inz\" is refused: the name is a device name"},
        {c + "scheduler-command = 4294967296\n",
         "/pkg/test.bqm:2: scheduler-command must be an unsigned 32-bit number, not "
         "\"4294967296\""},
        {c + "shell-message = -1\n",
         "/pkg/test.bqm:2: shell-message must be an unsigned 32-bit number, not \"-1\""},
        {c + "verify-digests = yes\n",
         "/pkg/test.bqm:2: verify-digests must be 0 or 1, not \"yes\""},
        {c + "engine-program = ${NOPE}\n",
         "/pkg/test.bqm:2: undefined variable NOPE (define it with -D NOPE=VALUE)"},
        {c + "engine-program = ${DIR\n", "/pkg/test.bqm:2: unterminated ${ reference"},
        {c + "engine-program = ${A-B}\n", "/pkg/test.bqm:2: bad variable name \"A-B\""},
        {c + "engine-program = CON\n",
         "/pkg/test.bqm:2: engine-program \"CON\" is refused: the name is a device name"},
        {c + "engine-program = ..\\evil.exe\n",
         "/pkg/test.bqm:2: engine-program \"..\\evil.exe\" is refused: the name holds a path "
         "separator"},
        {c + "engine-program = a*b?.exe\n",
         "/pkg/test.bqm:2: engine-program \"a*b?.exe\" is refused: the name holds a character "
         "that file names cannot hold"},
        {c + "engine-program = \"\"\n",
         "/pkg/test.bqm:2: engine-program \"\" is refused: the name is empty"},
        {c + "default-folder = \"\"\n",
         "/pkg/test.bqm:2: default-folder \"\" is refused: the folder is not an absolute path "
         "(X:\\... or \\\\server\\share\\...)"},
        {c + "default-folder = Program Files\\Client\n",
         "/pkg/test.bqm:2: default-folder \"Program Files\\Client\" is refused: the folder is "
         "not an absolute path (X:\\... or \\\\server\\share\\...)"},
        {c + "default-folder = \\\\server\n",
         "/pkg/test.bqm:2: default-folder \"\\\\server\" is refused: the folder is not an "
         "absolute path (X:\\... or \\\\server\\share\\...)"},
        {c + "default-folder = C:\\a|b<c>\n",
         "/pkg/test.bqm:2: default-folder \"C:\\a|b<c>\" is refused: the folder holds a "
         "character that paths cannot hold"},
        {c + "default-folder = C:\\a:b\n",
         "/pkg/test.bqm:2: default-folder \"C:\\a:b\" is refused: the folder holds a character "
         "that paths cannot hold"},
        {c + std::string("engine-program = a\0b\n", 21),
         "/pkg/test.bqm:2: line contains a NUL byte"},
    };
    for (const Case& k : cases) {
        Manifest m;
        std::string error;
        EXPECT_FALSE(Parse(k.text, &m, &error)) << k.text;
        EXPECT_EQ(error, k.error) << k.text;
    }
}

TEST(BqpackManifest, FoldersAndEngineProgramsTheInstallerTakes) {
    for (const char* folder : {"C:\\", "d:\\Program Files\\Client\\", "\\\\server\\share",
                               "\\\\server\\share\\Client"}) {
        Manifest m;
        std::string error;
        EXPECT_TRUE(Parse(std::string("config = c\ndefault-folder = ") + folder + "\n", &m, &error))
            << folder << ": " << error;
    }
    // An engine program that is no packaged file is allowed, with a warning
    // naming the line; one that is (in any case) gives none.
    Manifest m;
    std::string error;
    ASSERT_TRUE(Parse("config = c\nfile = Eng.EXE e\nengine-program = Other.exe\n", &m, &error))
        << error;
    ASSERT_EQ(m.warnings.size(), 1u);
    EXPECT_EQ(m.warnings[0],
              "/pkg/test.bqm:3: warning: engine-program \"Other.exe\" is not one of the packaged "
              "files");
    ASSERT_TRUE(Parse("config = c\nfile = Eng.EXE e\nengine-program = eng.exe\n", &m, &error))
        << error;
    EXPECT_TRUE(m.warnings.empty());
}

TEST(BqpackManifest, Utf8TextBecomesWindows1252) {
    Manifest m;
    std::string error;
    // Line ends LF, CR LF and CR alike; a CR before CR LF ends a line of
    // its own, never a value.
    ASSERT_TRUE(Parse("config = c\rfile = R\xc3\xa9sum\xc3\xa9.txt notes.txt\r\n"
                      "init-verb = \xe2\x82\xac\xc5\xb8\r\r\ndefault-folder = C:\\x\r\r\n"
                      "config-source-name = \xc3\x9f.inz\n",
                      &m, &error))
        << error;
    ASSERT_EQ(m.files.size(), 1u);
    EXPECT_EQ(m.files[0].name, "R\xe9sum\xe9.txt");
    EXPECT_EQ(m.files[0].source, "/pkg/notes.txt");
    EXPECT_EQ(m.settings.initVerb, "\x80\x9f");
    EXPECT_EQ(m.settings.defaultFolder, "C:\\x");
    EXPECT_EQ(m.configSourceName, "\xdf.inz");

    const std::string c = "config = c\n";
    const struct {
        std::string text, error;
    } cases[] = {
        {c + "engine-program = \xc5\x90.exe\n",
         "/pkg/test.bqm:2: engine-program \"\xc5\x90.exe\": the character U+0150 has no "
         "Windows-1252 form"},
        {c + "file = \xe4\xb8\xad x\n",
         "/pkg/test.bqm:2: file name \"\xe4\xb8\xad\": the character U+4E2D has no Windows-1252 "
         "form"},
        {c + "init-verb = R\xe9sum\xe9\n",
         "/pkg/test.bqm:2: the manifest is UTF-8 text, and byte 14 (\\xe9) is not UTF-8"},
        {c + "# \xc3\n",
         "/pkg/test.bqm:2: the manifest is UTF-8 text, and byte 3 (\\xc3) is not UTF-8"},
        {c + "init-verb = a\x1b[2Jb\n",
         "/pkg/test.bqm:2: line contains a control character (\\x1b)"},
        {c + "init-verb = a\x7f\n", "/pkg/test.bqm:2: line contains a control character (\\x7f)"},
        {c + "init-verb = a\tb\n",
         "/pkg/test.bqm:2: init-verb \"a\\x09b\" holds a control character, which no setting may "
         "hold"},
    };
    for (const auto& k : cases) {
        EXPECT_FALSE(Parse(k.text, &m, &error)) << k.text;
        EXPECT_EQ(error, k.error) << k.text;
    }
}

TEST(BqpackManifest, ReadsFilesAndReportsMissingOnes) {
    Manifest m;
    std::string error;
    ManifestOptions options;
    EXPECT_FALSE(ReadManifest("/nonexistent/x.bqm", options, &m, &error));
    EXPECT_EQ(error, "/nonexistent/x.bqm: cannot open: No such file or directory");
}

TEST(BqpackGenerate, BlobMarkerIsTheNameBetweenThreeXsAndANul) {
    EXPECT_EQ(BlobMarker("bqt.dlx"), std::string("XXXbqt.dlxXXX\0", 14));
}

// Writes files into a fresh temporary folder.
struct TempFolder {
    fs::path path;
    TempFolder() {
        static int serial = 0;
        std::random_device seed;
        path = fs::temp_directory_path() /
               ("bqpack-test-" + std::to_string(seed()) + "-" + std::to_string(++serial));
        fs::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path / name, std::ios::binary);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        return (path / name).generic_string();
    }
    std::string Read(const std::string& name) const {
        const std::vector<std::uint8_t> bytes = ReadTestFile((path / name).string());
        return std::string(bytes.begin(), bytes.end());
    }
    std::string Dir() const { return path.generic_string(); }
};

std::string PseudoRandom(std::size_t size, std::uint32_t seed) {
    std::string s(size, '\0');
    for (char& c : s) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        c = char(seed);
    }
    return s;
}

std::string TextLike(std::size_t size) {
    std::string s;
    for (int i = 0; s.size() < size; ++i)
        s += "line " + std::to_string(i % 97) + ": the quick brown fox\r\n";
    return s.substr(0, size);
}

std::uint32_t Le16(const std::string& s, std::size_t at) {
    return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8;
}

struct Built {
    Manifest manifest;
    Package package;
    std::vector<std::string> inputs;
};

// Packs the manifest's files as bqpack build does, but into a file of
// their own: folder/region.bin holds the blob region alone.
bool Pack(const PackOptions& options, const fs::path& folder, Built* b, std::string* error) {
    if (!CheckPackageInputs(b->manifest, &b->package, &b->inputs, error))
        return false;
    StagedFile staged;
    std::string why;
    if (!OpenStaged((folder / "region.bin").generic_string(), &staged, &why)) {
        *error = why;
        return false;
    }
    std::uint64_t checksum = 0;
    bool outputFailed = false;
    if (!PackFiles(b->manifest, options, staged, 0, &b->package, &checksum, &b->inputs, error,
                   &outputFailed)) {
        DiscardStaged(&staged);
        return false;
    }
    if (!CloseStaged(&staged, &why)) {
        *error = why;
        return false;
    }
    std::vector<StagedFile> placed(1, staged);
    std::size_t failed = 0;
    if (!CommitStaged(&placed, true, &failed, &why)) {
        *error = why;
        return false;
    }
    return true;
}

bool Generate(const TempFolder& t, const std::string& manifestText, const std::string& out,
              Built* b, std::string* error, std::uint32_t chunkSize = 4096) {
    std::string path = t.Write("test.bqm", manifestText);
    ManifestOptions options;
    if (!ReadManifest(path, options, &b->manifest, error))
        return false;
    fs::create_directories(t.path / out);
    PackOptions packing;
    packing.writer.chunkSize = chunkSize;
    return Pack(packing, t.path / out, b, error);
}

TEST(BqpackGenerate, BlobRegionLayout) {
    TempFolder t;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"Bramblequist.shl", TextLike(10000) + PseudoRandom(9001, 7)},
        {"empty.dat", ""},
        {"b", "x"},
        {"random.bin", PseudoRandom(5003, 99)},
    };
    std::string manifest = "config = c.inz\n";
    for (const auto& f : files)
        manifest += "file = " + f.first + " " + t.Write(f.first + ".in", f.second) + "\n";
    t.Write("c.inz", "[S]\r\nA=D1\r\n");
    Built b;
    std::string error;
    ASSERT_TRUE(Generate(t, manifest, "out", &b, &error)) << error;
    const std::string region = t.Read("out/region.bin");
    ASSERT_EQ(b.package.files.size(), files.size());
    EXPECT_EQ(region.size(), b.package.regionSize);
    EXPECT_EQ(region.size() % 4, 0u);

    std::size_t pos = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const PackageFile& p = b.package.files[i];
        SCOPED_TRACE(p.name);
        const std::string marker = "XXX" + files[i].first + "XXX" + std::string(1, '\0');
        EXPECT_EQ(pos % 4, 0u);
        ASSERT_EQ(region.compare(pos, marker.size(), marker), 0);
        EXPECT_EQ(p.dataOffset, pos + marker.size());
        EXPECT_EQ(p.expandedSize, files[i].second.size());
        const std::string stream = region.substr(p.dataOffset + 16, p.storedSize);
        ASSERT_EQ(stream.size(), p.storedSize);
        std::uint8_t digest[16];
        Md5Digest(stream.data(), std::uint32_t(stream.size()), digest);
        EXPECT_EQ(region.compare(p.dataOffset, 16, std::string(digest, digest + 16)), 0);
        EXPECT_EQ(std::string(p.digest, p.digest + 16), std::string(digest, digest + 16));
        // The chunks add up to the file; raw chunks hold its bytes.
        std::size_t at = 0, expanded = 0, compressed = 0;
        while (at < stream.size()) {
            ASSERT_LE(at + 4, stream.size());
            std::uint32_t e = Le16(stream, at), s = Le16(stream, at + 2);
            ASSERT_LE(at + 4 + s, stream.size());
            EXPECT_LE(e, 4096u);
            if (e == s) {
                EXPECT_EQ(stream.compare(at + 4, s, files[i].second, expanded, e), 0);
            } else {
                ++compressed;
            }
            expanded += e;
            at += 4 + s;
        }
        EXPECT_EQ(expanded, files[i].second.size());
        if (i == 0) {
            EXPECT_GT(compressed, 0u); // the text part compresses
        }
        std::size_t end = p.dataOffset + 16 + p.storedSize;
        std::size_t next = (end + 3) / 4 * 4;
        EXPECT_EQ(region.substr(end, next - end), std::string(next - end, '\0'));
        pos = next;
    }
    EXPECT_EQ(pos, region.size());
}

TEST(BqpackGenerate, ConfigTemplateRules) {
    TempFolder t;
    std::string error;
    struct Case {
        std::string text;
        bool ok;
    };
    const Case cases[] = {
        {"x", true},
        {std::string(4096, 'a'), true},
        {std::string(4097, 'a'), false},
        {"", false},
    };
    int serial = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.text.size()));
        std::string config = t.Write("c.inz", k.text);
        const std::string out = "cfg" + std::to_string(++serial);
        Built b;
        bool ok = Generate(t, "config = c.inz\nconfig-source-name = Bkp1.inz\n", out, &b, &error);
        EXPECT_EQ(ok, k.ok) << error;
        if (!ok) {
            EXPECT_EQ(error.rfind(b.manifest.path + ":1: " + config + ": ", 0), 0u) << error;
            EXPECT_TRUE(fs::is_empty(t.path / out));
            continue;
        }
        EXPECT_EQ(b.package.configText, k.text);
        EXPECT_EQ(b.manifest.configSourceName, "Bkp1.inz");
    }
}

TEST(BqpackGenerate, SameInputsGiveTheSameRegion) {
    TempFolder t;
    std::string manifest = "config = c.inz\nfile = a " + t.Write("a", TextLike(50000)) +
                           "\nfile = b " + t.Write("b", PseudoRandom(30000, 5)) + "\n";
    t.Write("c.inz", "[S]\r\n");
    Built one, two;
    std::string error;
    ASSERT_TRUE(Generate(t, manifest, "one", &one, &error)) << error;
    ASSERT_TRUE(Generate(t, manifest, "two", &two, &error)) << error;
    EXPECT_EQ(t.Read("one/region.bin"), t.Read("two/region.bin"));
}

TEST(BqpackGenerate, MissingInputIsReportedAndNothingIsLeft) {
    TempFolder t;
    t.Write("c.inz", "x");
    Built b;
    std::string error;
    EXPECT_FALSE(Generate(t, "config = c.inz\nfile = a /nonexistent/a.exe\n", "out", &b, &error));
    EXPECT_EQ(error.rfind(b.manifest.path + ":2: /nonexistent/a.exe: cannot read: ", 0), 0u)
        << error;
    EXPECT_TRUE(fs::is_empty(t.path / "out"));
}

#ifdef BQ_DEFAULT_PACKAGE
// The demo package, with placeholder programs standing in for the win32
// build's outputs.
TEST(BqpackGenerate, DefaultPackage) {
    TempFolder t;
    fs::create_directories(t.path / "standins");
    fs::create_directories(t.path / "packages" / "default");
    for (const char* name : {"standins/shell.exe", "standins/scheduler.exe", "standins/engine.exe",
                             "packages/default/bqt.dlx"})
        t.Write(name, std::string("MZ") + name);
    ManifestOptions options;
    options.defines["BUILD"] = t.Dir();
    Manifest m;
    std::string error;
    ASSERT_TRUE(ReadManifest(BQ_DEFAULT_PACKAGE, options, &m, &error)) << error;
    ASSERT_EQ(m.files.size(), 5u);
    const char* names[] = {"Bramblequist.shl", "Bramblequist.eng", "Bramblequist.exe", "bqt.dlx",
                           "Bramblequist.csl"};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(m.files[i].name, names[i]);
    EXPECT_EQ(m.configSourceName, "Bkp1.inz");
    fs::create_directories(t.path / "out");
    Built b;
    b.manifest = m;
    ASSERT_TRUE(Pack(PackOptions(), t.path / "out", &b, &error)) << error;
    EXPECT_EQ(b.inputs.size(), 7u); // manifest, template, five files

    // The data file and the configuration template as committed.
    std::ifstream csl(m.files[4].source, std::ios::binary);
    char head[4] = {};
    csl.read(head, 4);
    EXPECT_EQ(std::string(head, 4), std::string("\xCD\xAB\x00\x01", 4));
    std::ifstream inz(m.config, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(inz)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.rfind("; Note:\r\n; Any value name that begins with '^' is skipped during an "
                         "auto upgrade.\r\n; This was done so that a package with a different inz "
                         "file does not have \r\n; to be built for distribution during an auto "
                         "upgrade.\r\n\r\n[Subdirectories]\r\nRestoreSets=.\r\n\r\n",
                         0),
              0u);
    EXPECT_EQ(text.substr(text.size() - 19), "^RedirPort=D16841\r\n");
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') {
            EXPECT_EQ(text[i - 1], '\r') << "line end at " << i;
        }
    EXPECT_EQ(text.find("\r\n\r\n\r\n"), std::string::npos);
}
#endif

} // namespace
