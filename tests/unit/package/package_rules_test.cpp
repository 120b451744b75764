// What makes a package valid, which the manifest reader, the stub writer
// and the checks of what is read apply: the rule for file names, and each
// limit at its boundary (the numbers are the installer's, written out).
#include <gtest/gtest.h>

#include <string>

#include "package/package_rules.h"

namespace {

TEST(FileNameRule, RefusesWhatCouldLeaveTheFolderOrNameADevice) {
    struct Case {
        const char* name;
        const char* why; // null: accepted
    };
    const Case cases[] = {
        {"Bramblequist.exe", nullptr},
        {"bqt.dlx", nullptr},
        {"a..b", nullptr},
        {"CONSOLE.txt", nullptr},
        {"COM10", nullptr},
        {"LPT0.txt", nullptr},
        {"", "the name is empty"},
        {".", "the name is \".\""},
        {"..", "the name is \"..\""},
        {"a/b", "the name holds a path separator"},
        {"/etc", "the name holds a path separator"},
        {"..\\x", "the name holds a path separator"},
        {"C:x", "the name holds a drive or stream colon"},
        {"a.txt:stream", "the name holds a drive or stream colon"},
        {"a\tb", "the name holds a character that file names cannot hold"},
        {"a?b", "the name holds a character that file names cannot hold"},
        {"name.", "the name ends with a dot or blank, which Windows drops"},
        {"name ", "the name ends with a dot or blank, which Windows drops"},
        {"CON", "the name is a device name"},
        {"con.txt", "the name is a device name"},
        {"Nul.tar.gz", "the name is a device name"},
        {"aux .dat", "the name is a device name"},
        {"prn", "the name is a device name"},
        {"com1", "the name is a device name"},
        {"LPT9.log", "the name is a device name"},
        {"COM\xb9", "the name is a device name"},
        {"conin$", "the name is a device name"},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_EQ(CheckFileName(c.name, &why), c.why == nullptr) << c.name;
        if (c.why) {
            EXPECT_EQ(why, c.why) << c.name;
        }
    }
}

TEST(PackageLimits, EachHoldsUpToItsBoundary) {
    EXPECT_FALSE(FileCountFits(-1));
    EXPECT_TRUE(FileCountFits(0));
    EXPECT_TRUE(FileCountFits(6));
    EXPECT_FALSE(FileCountFits(7));

    EXPECT_TRUE(TableTextFits(""));
    EXPECT_TRUE(TableTextFits(std::string(259, 'a')));
    EXPECT_FALSE(TableTextFits(std::string(260, 'a')));
    EXPECT_FALSE(TableTextFits(std::string("a\0b", 3)));

    EXPECT_TRUE(ConfigSourceNameFits(std::string(259, 'a')));
    EXPECT_FALSE(ConfigSourceNameFits(std::string(260, 'a')));
    EXPECT_FALSE(ConfigSourceNameFits(std::string("a\0", 2)));

    EXPECT_FALSE(ConfigLengthFits(0));
    EXPECT_TRUE(ConfigLengthFits(1));
    EXPECT_TRUE(ConfigLengthFits(4096));
    EXPECT_FALSE(ConfigLengthFits(4097));

    EXPECT_TRUE(StreamLengthFits(0x7FFFFFFF));
    EXPECT_FALSE(StreamLengthFits(0x80000000u));

    // Folder, '\', name: 259 bytes in all at most.
    EXPECT_TRUE(InstallPathFits(200, 58));
    EXPECT_FALSE(InstallPathFits(200, 59));
    EXPECT_FALSE(InstallPathFits(0, 259));
}

} // namespace
