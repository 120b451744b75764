// Creating the install folder level by level.
#include <gtest/gtest.h>

#include <string>

#include "errors/error_codes.h"
#include "errors/error_record.h"
#include "setup/setup.h"
#include "setup_test_util.h"

namespace {

class FolderTest : public ::testing::Test {
  protected:
    void SetUp() override { root_ = setup_test::MakeTempFolder(); }
    void TearDown() override { setup_test::RemoveTree(root_); }
    std::string root_;
};

using setup_test::ExpectTrail;

TEST_F(FolderTest, ChainCreatesMissingLevelsAndAcceptsExistingOnes) {
    ErrorRecord record;
    const std::string path = root_ + "\\one\\two/three\\";
    EXPECT_EQ(0u, CreateDirectoryChain(&record, path.c_str()));
    EXPECT_TRUE(setup_test::FolderExists(root_ + "\\one\\two\\three"));
    // Again: every level exists already.
    EXPECT_EQ(0u, CreateDirectoryChain(&record, path.c_str()));
    EXPECT_EQ(0, record.trailCount);
    // Only the root, or no directory part at all: nothing to do.
    EXPECT_EQ(0u, CreateDirectoryChain(&record, "C:\\"));
    EXPECT_EQ(0u, CreateDirectoryChain(&record, "\\"));
    EXPECT_EQ(0u, CreateDirectoryChain(&record, "C:"));
}

TEST_F(FolderTest, TreeAddsTheSeparator) {
    ErrorRecord record;
    EXPECT_EQ(0u, CreateFolderTree(&record, (root_ + "\\a\\b").c_str()));
    EXPECT_TRUE(setup_test::FolderExists(root_ + "\\a\\b"));
    EXPECT_EQ(0u, CreateFolderTree(&record, (root_ + "\\a\\c\\").c_str()));
    EXPECT_TRUE(setup_test::FolderExists(root_ + "\\a\\c"));
}

// A level below a plain file cannot be created: the file's own level reads
// as existing, the next one fails with "path not found".
TEST_F(FolderTest, LevelThatCannotBeCreated) {
    const std::string file = root_ + "\\plain";
    setup_test::MakePlainFile(file);

    ErrorRecord record;
    const std::string path = file + "\\sub\\";
    EXPECT_EQ(ERR_CREATE_DIRECTORY, CreateDirectoryChain(&record, path.c_str()));
    EXPECT_EQ(MODULE_FILE_IO32, record.module);
    EXPECT_EQ(744u, record.line);
    EXPECT_STREQ("3", record.param1); // ERROR_PATH_NOT_FOUND
    EXPECT_EQ(path, std::string(record.param2));
    ExpectTrail(record, {{200, 752}});

    ErrorRecord tree;
    EXPECT_EQ(ERR_CREATE_DIRECTORY, CreateFolderTree(&tree, (file + "\\sub").c_str()));
    EXPECT_EQ(path, std::string(tree.param2));
    ExpectTrail(tree, {{200, 752}, {200, 772}});
}

TEST_F(FolderTest, InstallPackageReplacesFolderFailure) {
    setup_test::ResetSettings();
    const std::string file = root_ + "\\plain";
    setup_test::MakePlainFile(file);

    ErrorRecord record;
    EXPECT_EQ(ERR_CREATE_FOLDER, InstallPackage(&record, (file + "\\sub").c_str(), 1));
    EXPECT_EQ(MODULE_FILE_UNPACK, record.module);
    EXPECT_EQ(159u, record.line);
    EXPECT_EQ(file + "\\sub\\", std::string(record.param1));
    EXPECT_STREQ("", record.param2);
    ExpectTrail(record, {{16002, 311}});
}

} // namespace
