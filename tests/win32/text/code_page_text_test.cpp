// The code-page-aware copies and the trailing-backslash test: whole
// characters only, nothing written past the capacity.
#include "text/code_page_text.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(CodePageText, CopyCases) {
    struct Case {
        DWORD capacity;
        const char* source;
        bool whole;
        const char* expected;
    };
    const Case cases[] = {
        {5, "abcd", true, "abcd"}, {5, "abcde", false, "abcd"},          {5, "", true, ""},
        {1, "a", false, ""},       {8, "C:\\Folder", false, "C:\\Fold"},
    };
    for (const Case& c : cases) {
        char destination[16];
        memset(destination, 'x', sizeof(destination));
        char* result = TextCopyBounded(destination, c.capacity, c.source);
        EXPECT_EQ(c.whole ? destination : nullptr, result) << c.source;
        EXPECT_STREQ(c.expected, destination) << c.source;
        // Nothing written past the capacity.
        EXPECT_EQ('x', destination[c.capacity]) << c.source;
    }
}

TEST(CodePageText, CopyNeverSplitsDoubleByteCharacter) {
    // Under a double-byte code page the lead byte and its trail stay
    // together; under a single-byte one each byte is its own character.
    const char source[] = "ab\x81\x40";
    char destination[8];
    memset(destination, 'x', sizeof(destination));
    EXPECT_EQ(nullptr, TextCopyBounded(destination, 4, source));
    if (IsDBCSLeadByte(0x81)) {
        EXPECT_STREQ("ab", destination);
    } else {
        EXPECT_STREQ("ab\x81", destination);
    }
    EXPECT_EQ(destination, TextCopyBounded(destination, 5, source));
    EXPECT_STREQ(source, destination);
}

TEST(CodePageText, AppendCases) {
    char text[5] = {'a', 'b', 'c', 'd', 'e'}; // no terminator within capacity
    EXPECT_EQ(nullptr, TextAppendBounded(text, 5, "x"));
    EXPECT_EQ(0, memcmp(text, "abcde", 5));

    char terminated[8] = "ab";
    EXPECT_EQ(terminated, TextAppendBounded(terminated, 5, ""));
    EXPECT_STREQ("ab", terminated);
    EXPECT_EQ(terminated, TextAppendBounded(terminated, 5, "cd"));
    EXPECT_STREQ("abcd", terminated);

    char partial[8] = "ab";
    partial[6] = 'x';
    EXPECT_EQ(nullptr, TextAppendBounded(partial, 5, "cdef"));
    EXPECT_STREQ("abcd", partial);
    EXPECT_EQ('x', partial[6]);
}

TEST(CodePageText, EndsWithBackslash) {
    EXPECT_EQ(1, EndsWithBackslash("C:\\Folder\\"));
    EXPECT_EQ(1, EndsWithBackslash("\\"));
    EXPECT_EQ(0, EndsWithBackslash("C:\\Folder"));
    EXPECT_EQ(0, EndsWithBackslash(""));
    // 0x5C as the trail byte of a double-byte character is no separator.
    if (IsDBCSLeadByte(0x81)) {
        EXPECT_EQ(0, EndsWithBackslash("ab\x81\\"));
    } else {
        EXPECT_EQ(1, EndsWithBackslash("ab\x81\\"));
    }
}

} // namespace
