// The rule for the names of packaged files, which the manifest reader,
// verify and extract apply.
#include <gtest/gtest.h>

#include <string>

#include "package/file_names.h"

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

} // namespace
