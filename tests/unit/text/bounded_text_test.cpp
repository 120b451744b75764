// The bounded text operations: lengths within a capacity, copies that cut
// or fill, appends, and the decimal form; never a byte outside the buffer.
#include "text/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(BoundedText, LengthWithinStopsAtCapacity) {
    EXPECT_EQ(LengthWithin("abc", 4), 3u);
    EXPECT_EQ(LengthWithin("abc", 3), 3u);
    EXPECT_EQ(LengthWithin("abc", 2), 2u);
    EXPECT_EQ(LengthWithin("abc", 0), 0u);
    const char unterminated[3] = {'x', 'y', 'z'};
    EXPECT_EQ(LengthWithin(unterminated, 3), 3u);
}

TEST(BoundedText, BoundedLength) {
    EXPECT_EQ(BoundedLength("abc", 4), 3u);
    EXPECT_EQ(BoundedLength("abc", 3), kUnterminatedLength);
    EXPECT_EQ(BoundedLength("", 1), 0u);
    EXPECT_EQ(BoundedLength("abc", 100), 3u);
}

TEST(BoundedText, AppendBounded) {
    struct Case {
        const char* start;
        std::size_t capacity;
        const char* src;
        std::size_t limit;
        const char* result;
        bool whole;
    };
    const Case cases[] = {
        {"ab", 8, "cd", 8, "abcd", true},
        {"ab", 5, "cd", 8, "abcd", true},
        {"ab", 4, "cd", 8, "abc", false},
        {"ab", 3, "cd", 8, "ab", false},
        {"ab", 8, "cdef", 2, "abcd", false},
        {"", 1, "x", 1, "", false},
        {"", 4, "", 4, "", true},
    };
    for (const Case& c : cases) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        std::strcpy(buffer + 1, c.start);
        char* got = AppendBounded(buffer + 1, c.capacity, c.src, c.limit);
        EXPECT_EQ(got != nullptr, c.whole) << c.start << "+" << c.src << " cap " << c.capacity;
        EXPECT_STREQ(buffer + 1, c.result);
        EXPECT_EQ(buffer[0], '#');
        EXPECT_EQ(buffer[1 + c.capacity], '#');
    }
    // A destination without NUL inside its capacity is left alone.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(AppendBounded(full, 4, "x", 4), nullptr);
    EXPECT_EQ(std::memcmp(full, "abcd", 4), 0);
}

TEST(BoundedText, CopyBoundedCutsAndFills) {
    struct Case {
        const char* src;
        std::size_t capacity;
        const char* result;
        bool cut;
    };
    const Case cases[] = {
        {"abc", 4, "abc", false}, {"abcd", 4, "abc", true}, {"", 1, "", false},
        {"a", 1, "", true},       {nullptr, 3, "", false},  {"ab", 8, "ab", false},
    };
    for (const Case& c : cases) {
        char buffer[12];
        std::memset(buffer, '#', sizeof buffer);
        char* got = CopyBounded(buffer + 1, c.capacity, c.src);
        EXPECT_EQ(got == nullptr, c.cut) << c.capacity;
        EXPECT_STREQ(buffer + 1, c.result);
        for (std::size_t i = std::strlen(c.result); i < c.capacity; ++i) {
            EXPECT_EQ(buffer[1 + i], '\0') << "byte " << i << " not filled";
        }
        EXPECT_EQ(buffer[0], '#');
        EXPECT_EQ(buffer[1 + c.capacity], '#');
    }
    char one = '#';
    EXPECT_EQ(CopyBounded(&one, 0, "abc"), nullptr);
    EXPECT_EQ(one, '#');
}

TEST(BoundedText, CopyBoundedReadsNoFurtherThanItsLimit) {
    // An unterminated field: only its first srcLimit bytes are read.
    const char field[4] = {'w', 'x', 'y', 'z'};
    char buffer[10];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(CopyBounded(buffer + 1, 8, field, 4), buffer + 1);
    EXPECT_STREQ(buffer + 1, "wxyz");
    for (int i = 5; i < 9; ++i) {
        EXPECT_EQ(buffer[i], '\0') << i;
    }
    EXPECT_EQ(buffer[9], '#');
    EXPECT_EQ(CopyBounded(buffer + 1, 3, field, 4), nullptr);
    EXPECT_STREQ(buffer + 1, "wx");
    // A part of a longer text, and a limit beyond a shorter one.
    EXPECT_EQ(CopyBounded(buffer + 1, 8, "abcdef", 3), buffer + 1);
    EXPECT_STREQ(buffer + 1, "abc");
    EXPECT_EQ(CopyBounded(buffer + 1, 8, "ab", 5), buffer + 1);
    EXPECT_STREQ(buffer + 1, "ab");
    EXPECT_EQ(CopyBounded(buffer + 1, 8, "abcdef", 0), buffer + 1);
    EXPECT_STREQ(buffer + 1, "");
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(buffer[9], '#');
}

TEST(BoundedText, DecimalNarrowAndWide) {
    const struct {
        std::uint32_t value;
        const char* text;
    } cases[] = {
        {0, "0"}, {7, "7"}, {10, "10"}, {2147483648u, "2147483648"}, {4294967295u, "4294967295"}};
    for (const auto& c : cases) {
        char narrow[kDecimalSize + 1];
        std::memset(narrow, '#', sizeof narrow);
        EXPECT_EQ(WriteDecimal(narrow, c.value), std::strlen(c.text));
        EXPECT_STREQ(narrow, c.text);
        EXPECT_EQ(narrow[kDecimalSize], '#');
        char16_t wide[kDecimalSize];
        WriteDecimal(wide, c.value);
        EXPECT_EQ(std::u16string(wide), std::u16string(c.text, c.text + std::strlen(c.text)));
    }
}

} // namespace
