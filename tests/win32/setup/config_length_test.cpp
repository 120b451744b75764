// A configuration text whose length field is 0 or above 4096 is refused
// after the packaged files are written and before its file is created.
#include <gtest/gtest.h>

#include <string>

#include "errors/error_codes.h"
#include "errors/error_record.h"
#include "setup/setup.h"
#include "setup_test_util.h"

namespace {

TEST(ConfigurationLength, RefusedBeforeTheFileIsCreated) {
    setup_test::ResetSettings();
    const std::string root = setup_test::MakeTempFolder();
    ErrorRecord record;
    EXPECT_EQ(ERR_CONFIG_LENGTH, InstallPackage(&record, root.c_str(), 0));
    EXPECT_EQ(MODULE_FILE_UNPACK, record.module);
    EXPECT_EQ(250u, record.line);
    EXPECT_EQ(root + "\\Bramblequist.inz", std::string(record.param1));
    EXPECT_EQ(1, record.trailCount);
    EXPECT_EQ("hello world", setup_test::ReadFileBytes(root + "\\alpha.txt"));
    EXPECT_FALSE(setup_test::FileExists(root + "\\Bramblequist.inz"));
    setup_test::RemoveTree(root);
}

} // namespace
