// bqpack extract as a writer of files that are not its own: all or
// nothing when a write fails part-way, special files and links at the
// targets, and an output folder reached through a link.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include "run_command.h"
#include "tests/unit/package/inspect_image.h"
#include "tests/unit/test_file.h"

namespace fs = std::filesystem;

namespace {

// Write failures, special files and links are made with POSIX calls; the
// Windows build runs the rest of bqpack's tests.
#ifndef _WIN32

std::string ReadText(const fs::path& path) {
    const std::vector<std::uint8_t> bytes = ReadTestFile(path.string());
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The names in a folder, sorted.
std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Three files; the last is large enough to pass any small size limit.
InspectPackage ThreePackage() {
    InspectPackage p;
    p.files.push_back(PlainFile("first.txt", TextLikeContent(3000, 1)));
    p.files.push_back(PlainFile("second.bin", NoiseContent(2000, 2)));
    p.files.push_back(PlainFile("large.bin", NoiseContent(300000, 3)));
    return p;
}

class ExtractOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) / (std::string("bqpack_output_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        package_ = ThreePackage();
        const InspectImage image = BuildInspectImage(package_);
        setup_ = (dir_ / "setup.exe").string();
        WriteTestFile(setup_, image.bytes);
    }
    void TearDown() override { fs::remove_all(dir_); }

    int Extract(std::vector<std::string> args, std::string* err = nullptr) {
        args.insert(args.begin(), setup_);
        std::string out, error;
        const int status = RunCaptured(CmdExtract, args, &out, &error);
        if (err)
            *err = error;
        return status;
    }

    fs::path dir_;
    std::string setup_;
    InspectPackage package_;
};

// Runs f with writes to files limited to `bytes` (as on a nearly full
// disk): a write past the limit fails with EFBIG instead of raising SIGXFSZ.
template <typename F> void WithFileSizeLimit(rlim_t bytes, F f) {
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = bytes;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    f();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
}

TEST_F(ExtractOutput, AWriteThatFailsPartWayLeavesEveryFileAsItWas) {
    // Into an empty folder: nothing stays, not even the files written in
    // full before the failing one.
    const fs::path out = dir_ / "out";
    fs::create_directories(out);
    int status = 0;
    std::string err;
    WithFileSizeLimit(100000, [&] { status = Extract({"-d", out.string(), "--config"}, &err); });
    EXPECT_EQ(status, kExitOutput);
    EXPECT_NE(err.find("large.bin: cannot write: File too large; nothing was extracted"),
              std::string::npos)
        << err;
    EXPECT_EQ(Listing(out), std::vector<std::string>{});

    // Over existing files with --force: each keeps its bytes.
    for (const char* name : {"first.txt", "second.bin", "large.bin", "Bramblequist.inz"})
        WriteText(out / name, std::string("precious ") + name);
    WithFileSizeLimit(100000, [&] { status = Extract({"-d", out.string(), "--force"}); });
    EXPECT_EQ(status, kExitOutput);
    for (const char* name : {"first.txt", "second.bin", "large.bin", "Bramblequist.inz"})
        EXPECT_EQ(ReadText(out / name), std::string("precious ") + name);
    EXPECT_EQ(Listing(out), (std::vector<std::string>{"Bramblequist.inz", "first.txt", "large.bin",
                                                      "second.bin"}));

    // Without the limit the same command replaces them all.
    ASSERT_EQ(Extract({"-d", out.string(), "--force"}), kExitOk);
    for (const InspectFile& f : package_.files)
        EXPECT_EQ(ReadText(out / f.name), std::string(f.content.begin(), f.content.end()));
    EXPECT_EQ(ReadText(out / "Bramblequist.inz"), "precious Bramblequist.inz");
}

TEST_F(ExtractOutput, SpecialFilesAtATargetAreRefusedAndKept) {
    const fs::path out = dir_ / "out";
    fs::create_directories(out);
    ASSERT_EQ(mkfifo((out / "second.bin").c_str(), 0644), 0);
    std::string err;
    EXPECT_EQ(Extract({"-d", out.string(), "--force"}, &err), kExitOutput);
    EXPECT_EQ(err, "bqpack: " + (out / "second.bin").string() +
                       ": is not a regular file (a device, FIFO or socket is never written or "
                       "replaced)\n");
    EXPECT_TRUE(fs::is_fifo(out / "second.bin"));
    EXPECT_FALSE(fs::exists(out / "first.txt"));
    fs::remove(out / "second.bin");

    fs::create_directories(out / "large.bin");
    EXPECT_EQ(Extract({"-d", out.string(), "--force"}, &err), kExitOutput);
    EXPECT_EQ(err, "bqpack: " + (out / "large.bin").string() + ": is a folder\n");
    EXPECT_TRUE(fs::is_directory(out / "large.bin"));
    fs::remove(out / "large.bin");

    if (geteuid() != 0) {
        GTEST_SKIP() << "device node targets need root to make one (mknod)";
    }
    // A node like /dev/full, made in the test's own folder.
    ASSERT_EQ(mknod((out / "first.txt").c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    EXPECT_EQ(Extract({"-d", out.string(), "--force"}), kExitOutput);
    EXPECT_TRUE(fs::is_character_file(out / "first.txt"));
    EXPECT_EQ(Listing(out), std::vector<std::string>{"first.txt"});
}

TEST_F(ExtractOutput, TheFolderMayBeALinkToAFolder) {
    const fs::path real = dir_ / "real";
    fs::create_directories(real);
    fs::create_directory_symlink(real, dir_ / "link");
    std::string err;
    ASSERT_EQ(Extract({"-d", (dir_ / "link").string()}, &err), kExitOk) << err;
    EXPECT_EQ(Listing(real), (std::vector<std::string>{"first.txt", "large.bin", "second.bin"}));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link"));

    // Also as a parent of a folder still to be made.
    ASSERT_EQ(Extract({"-d", (dir_ / "link" / "sub").string()}, &err), kExitOk) << err;
    EXPECT_EQ(Listing(real / "sub"),
              (std::vector<std::string>{"first.txt", "large.bin", "second.bin"}));

    // A link to a file is no folder.
    WriteText(dir_ / "plain", "a file");
    fs::create_symlink(dir_ / "plain", dir_ / "filelink");
    EXPECT_EQ(Extract({"-d", (dir_ / "filelink").string()}, &err), kExitOutput);
    EXPECT_EQ(ReadText(dir_ / "plain"), "a file");
}
#endif

} // namespace
