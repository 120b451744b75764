// One install attempt into a temporary folder: the files written, the
// failures of each step with their identities, and the dialog's progress.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <string>

#include "digest/md5.h"
#include "errors/error_codes.h"
#include "errors/error_record.h"
#include "package/package_table.h"
#include "setup/resource.h"
#include "setup/setup.h"
#include "setup_test_util.h"

namespace {

using setup_test::ExpectTrail;

std::string BetaBytes() {
    std::string bytes;
    for (int k = 0; k < 2; ++k) {
        for (int i = 0; i < 1000; ++i) {
            bytes += static_cast<char>((i * 7 + k * 3) & 0xff);
        }
    }
    return bytes;
}

// Runs an attempt into `folder` that must fail with `code` at the FileUnpack
// place `line`, naming `shown`, with the attempt's exit as its one trail entry.
void ExpectAttemptFails(ErrorRecord* record, const std::string& folder, int filesOnly,
                        std::uint32_t code, std::uint32_t line, const std::string& shown) {
    EXPECT_EQ(code, InstallPackage(record, folder.c_str(), filesOnly));
    EXPECT_EQ(MODULE_FILE_UNPACK, record->module);
    EXPECT_EQ(line, record->line);
    EXPECT_EQ(shown, std::string(record->param1));
    ExpectTrail(*record, {{16002, 311}});
}

class InstallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setup_test::ResetSettings();
        saved_ = Package;
        root_ = setup_test::MakeTempFolder();
        folder_ = root_ + "\\Client";
    }
    void TearDown() override {
        Package = saved_;
        setup_test::RemoveTree(root_);
    }
    std::string File(const char* name) const { return folder_ + "\\" + name; }
    // Replaces file 0 by a blob of the given stream, with a correct digest.
    void UseStream(const std::string& stream, std::uint32_t expanded) {
        blob_.assign(16, '\0');
        blob_ += stream;
        Md5Digest(stream.data(), static_cast<std::uint32_t>(stream.size()),
                  reinterpret_cast<std::uint8_t*>(&blob_[0]));
        Package.FileData[0] = reinterpret_cast<const std::uint8_t*>(blob_.data());
        Package.StoredSizes[0] = static_cast<std::uint32_t>(stream.size());
        Package.ExpandedSizes[0] = expanded;
    }

    PackageTable saved_;
    std::string root_;
    std::string folder_;
    std::string blob_;
};

TEST_F(InstallTest, FilesOnlyWritesThePackagedFiles) {
    ErrorRecord record;
    // The folder and its parent do not exist yet; a trailing backslash is kept.
    EXPECT_EQ(0u, InstallPackage(&record, (folder_ + "\\").c_str(), 1));
    EXPECT_EQ(0, record.trailCount);
    EXPECT_EQ("hello world", setup_test::ReadFileBytes(File("alpha.txt")));
    EXPECT_EQ(BetaBytes(), setup_test::ReadFileBytes(File("beta.bin")));
    EXPECT_FALSE(setup_test::FileExists(File("Bramblequist.inz")));

    // A second attempt rewrites everything.
    EXPECT_EQ(0u, InstallPackage(&record, folder_.c_str(), 1));
    EXPECT_EQ("hello world", setup_test::ReadFileBytes(File("alpha.txt")));
}

TEST_F(InstallTest, NoFilesInstallsNothing) {
    Package.FileCount = 0;
    ErrorRecord record;
    EXPECT_EQ(0u, InstallPackage(&record, folder_.c_str(), 1));
    EXPECT_TRUE(setup_test::FolderExists(folder_));
    EXPECT_FALSE(setup_test::FileExists(File("alpha.txt")));
}

TEST_F(InstallTest, DigestMismatchStopsBeforeExpanding) {
    std::string stream = std::string("\x0b\x00\x0b\x00", 4) + "hello world";
    UseStream(stream, 11);
    blob_[0] ^= 1; // the stored digest no longer matches
    ErrorRecord record;
    ExpectAttemptFails(&record, folder_, 1, ERR_DIGEST_MISMATCH, 196, File("alpha.txt"));
    bool exists = false;
    EXPECT_EQ("", setup_test::ReadFileBytes(File("alpha.txt"), &exists));
    EXPECT_TRUE(exists); // created empty before the check
    EXPECT_FALSE(setup_test::FileExists(File("beta.bin")));

    // Without verification the file is written all the same.
    Package.VerifyDigests = 0;
    EXPECT_EQ(0u, InstallPackage(&record, folder_.c_str(), 1));
    EXPECT_EQ("hello world", setup_test::ReadFileBytes(File("alpha.txt")));
}

// A file longer than the area it is expanded through reaches the disk
// whole, in order; a stream that gives fewer bytes than the file's length
// leaves zeros after them, never what the area held before.
TEST_F(InstallTest, LargeAndShortFilesAreWrittenExactly) {
    std::string stream;
    std::string expected;
    for (int i = 0; i < 9; ++i) { // 9 raw chunks of 65,535 bytes: 576 KiB
        std::string bytes(65535, '\0');
        for (std::size_t k = 0; k < bytes.size(); ++k) {
            bytes[k] = static_cast<char>((k * 31 + i * 7) >> 3);
        }
        stream += std::string("\xff\xff\xff\xff", 4) + bytes;
        expected += bytes;
    }
    UseStream(stream, static_cast<std::uint32_t>(expected.size()));
    ErrorRecord record;
    ASSERT_EQ(0u, InstallPackage(&record, folder_.c_str(), 1));
    EXPECT_TRUE(setup_test::ReadFileBytes(File("alpha.txt")) == expected);

    UseStream(std::string("\x05\x00\x05\x00", 4) + "short", 70000);
    ASSERT_EQ(0u, InstallPackage(&record, folder_.c_str(), 1));
    EXPECT_TRUE(setup_test::ReadFileBytes(File("alpha.txt")) ==
                "short" + std::string(70000 - 5, '\0'));
}

TEST_F(InstallTest, ExpansionFailureKeepsItsTrail) {
    // The chunk claims more bytes than the file's expanded size.
    UseStream(std::string("\x0c\x00\x0c\x00", 4) + "hello world!", 11);
    ErrorRecord record;
    EXPECT_EQ(ERR_EXPAND, InstallPackage(&record, folder_.c_str(), 1));
    EXPECT_EQ(MODULE_FILE_UNPACK, record.module);
    EXPECT_EQ(48u, record.line);
    ExpectTrail(record, {{16002, 63}, {16002, 311}});
}

TEST_F(InstallTest, FileThatCannotBeCreated) {
    ErrorRecord record;
    ASSERT_EQ(0u, CreateFolderTree(&record, (File("alpha.txt") + "\\").c_str()));
    ExpectAttemptFails(&record, folder_, 1, ERR_CREATE_FILE, 181, File("alpha.txt"));
}

TEST_F(InstallTest, ConfigurationWrittenThenEngineStarted) {
    ErrorRecord record;
    // No engine program in the folder: everything before it is done.
    ExpectAttemptFails(&record, folder_, 0, ERR_START_ENGINE, 301, File("Bramblequist.exe"));
    const std::string config = setup_test::ReadFileBytes(File("Bramblequist.inz"));
    ASSERT_EQ(4096u, config.size());
    EXPECT_EQ(std::string(Configuration.text, 4096), config);
    EXPECT_EQ("hello world", setup_test::ReadFileBytes(File("alpha.txt")));

    // With a program under the engine's name the attempt succeeds.
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_TRUE(CopyFileA((std::string(system) + "\\hostname.exe").c_str(),
                          File("Bramblequist.exe").c_str(), FALSE));
    EXPECT_EQ(0u, InstallPackage(&record, folder_.c_str(), 0));
}

TEST_F(InstallTest, BufferThatCannotBeHad) {
    Package.ExpandedSizes[0] = 0x80000000u; // 2 GiB: more than the expansion can take
    ErrorRecord record;
    ExpectAttemptFails(&record, folder_, 1, ERR_NO_MEMORY, 205, File("alpha.txt"));
}

TEST_F(InstallTest, ConfigurationFileThatCannotBeCreated) {
    ErrorRecord record;
    ASSERT_EQ(0u, CreateFolderTree(&record, File("Bramblequist.inz").c_str()));
    ExpectAttemptFails(&record, folder_, 0, ERR_CREATE_FILE, 262, File("Bramblequist.inz"));
    EXPECT_EQ("hello world", setup_test::ReadFileBytes(File("alpha.txt")));
}

// Folders that cannot be installed to are refused before anything is
// created, as a folder that cannot be created.
TEST_F(InstallTest, UnusableFoldersAreRefused) {
    struct Case {
        std::string folder;
        int filesOnly;
        std::string shown;
    };
    // A folder whose file paths (folder, backslash, "alpha.txt") need 260
    // characters, one whose configuration path does, and a cut argument.
    const std::string files = root_ + "\\" + std::string(249 - root_.size(), 'f');
    const std::string config = root_ + "\\" + std::string(243 - root_.size(), 'c');
    const std::string cut = root_ + "\\" + std::string(258 - root_.size(), 'x');
    const Case cases[] = {
        {"", 1, ""},   {"", 0, ""}, {files, 1, files + "\\"}, {config, 0, config + "\\"},
        {cut, 1, cut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.size());
        ErrorRecord record;
        ExpectAttemptFails(&record, c.folder, c.filesOnly, ERR_CREATE_FOLDER, 159, c.shown);
        if (!c.folder.empty()) {
            EXPECT_FALSE(setup_test::FolderExists(c.folder));
        }
    }
}

// The dialog's progress bar: a 32-bit range in KiB, and advances that never
// run backwards for a stream longer than its file.
class ProgressTest : public InstallTest {
  protected:
    void OpenDialog() {
        FolderDialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FOLDER),
                                          nullptr, FolderDialogProc, 0);
        ASSERT_NE(nullptr, FolderDialog);
    }
    void TearDown() override {
        if (FolderDialog != nullptr) {
            DestroyWindow(FolderDialog);
            FolderDialog = nullptr;
        }
        InstallTest::TearDown();
    }
    LRESULT Progress(UINT message, WPARAM wParam = 0) {
        return SendDlgItemMessageA(FolderDialog, IDC_PROGRESS, message, wParam, 0);
    }
    std::string Text(int id) {
        char text[300] = {};
        GetDlgItemTextA(FolderDialog, id, text, sizeof(text));
        return text;
    }
};

TEST_F(ProgressTest, RangeIsTheKibibytesOfAllFiles) {
    InitCommonControls();
    Package.ExpandedSizes[0] = 64u << 20; // 64 MiB
    Package.ExpandedSizes[1] = 3u << 30;  // 3 GiB
    Package.ExpandedSizes[2] = 12345;     // beyond the file count: not counted
    OpenDialog();
    EXPECT_EQ((64u << 10) + (3u << 20), ProgressRangeKb);
    EXPECT_EQ(static_cast<LRESULT>(ProgressRangeKb), Progress(PBM_GETRANGE, FALSE));
    EXPECT_EQ(0, Progress(PBM_GETRANGE, TRUE));
    EXPECT_EQ(std::string(InstallFolder), Text(IDC_FOLDER));
    EXPECT_EQ("Initializing Install Folder", Text(IDC_STATUS));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(FolderDialog, IDC_FOLDER)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(FolderDialog, IDC_BROWSE)));
}

TEST_F(ProgressTest, AdvancesPerFileAndShowsTheLastStep) {
    InitCommonControls();
    OpenDialog();
    SendDlgItemMessageA(FolderDialog, IDC_PROGRESS, PBM_SETRANGE32, 0, 1000);
    // File 0's stream (15 bytes) is longer than the file (11 bytes): its
    // first advance is 0, not a wrapped-around difference.
    Package.ExpandedSizes[1] = 2000;
    ErrorRecord record;
    ASSERT_EQ(0u, InstallPackage(&record, folder_.c_str(), 1));
    // beta.bin: (2000 - 2008) clamps to 0, then 2008 >> 10 = 1.
    EXPECT_EQ(1, Progress(PBM_GETPOS));
    EXPECT_EQ("Saving File to Disk", Text(IDC_STATUS));
    EXPECT_EQ(File("beta.bin"), Text(IDC_DETAIL));
}

} // namespace
