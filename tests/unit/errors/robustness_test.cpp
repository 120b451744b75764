// Bad input for the error text: any code, every small capacity, long and
// null texts, records filled by hand.  Nothing may be written outside the
// buffer and every text must end inside it.
#include "errors/error_codes.h"
#include "errors/error_record.h"
#include "errors/format.h"
#include "text/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kMaxCapacity = 40;
constexpr int kGuard = 16;
constexpr char kFill = '\x5A';

// A buffer of the given capacity with guard bytes on both sides.
struct Guarded {
    explicit Guarded(int capacity) : capacity(capacity), bytes(capacity + 2 * kGuard, kFill) {}
    char* data() { return bytes.data() + kGuard; }
    // Guards untouched, and a NUL inside the capacity when one is expected.
    ::testing::AssertionResult Check(bool terminated) const {
        for (int i = 0; i < kGuard; ++i) {
            if (bytes[i] != kFill || bytes[kGuard + capacity + i] != kFill) {
                return ::testing::AssertionFailure() << "written outside, capacity " << capacity;
            }
        }
        if (terminated && std::memchr(bytes.data() + kGuard, '\0',
                                      static_cast<std::size_t>(capacity)) == nullptr) {
            return ::testing::AssertionFailure() << "not terminated, capacity " << capacity;
        }
        return ::testing::AssertionSuccess();
    }
    int capacity;
    std::vector<char> bytes;
};

std::vector<std::uint32_t> Codes() {
    std::vector<std::uint32_t> codes = {
        0x20001036u, 0x20001041u, 0x200008A3u, 0x2000006Au, 5u,          4u,
        700u,        kErrTest,    0x2000006Bu, 0x80070005u, 0x20002710u, 0x80004005u,
        0xFFFFFFFFu, 0x7FFFFFFFu, 0x40000000u, 0x2000FFFFu, 0xDFFFFFFFu, 0x00010000u,
        0x20000006u, 0x20000007u, 0x20000004u, 1u,
    };
    std::mt19937 random(20260101u);
    for (int i = 0; i < 200; ++i) {
        codes.push_back(static_cast<std::uint32_t>(random()));
    }
    return codes;
}

// Records of several shapes for one code.
std::vector<ErrorRecord> Records(std::uint32_t code) {
    std::vector<ErrorRecord> records;
    ErrorRecord plain;
    SetError(&plain, MODULE_FILE_UNPACK, 181, code);
    records.push_back(plain);

    ErrorRecord params = plain;
    SetParamText(&params, 1, "C:\\Program Files\\Bramblequist\\Bramblequist.shl");
    SetParamText(&params, 2, nullptr);
    std::strcpy(params.param3, "%1%2%3%4");
    std::strcpy(params.param4, "four");
    records.push_back(params);

    ErrorRecord longParams = plain;
    const std::string text(300, 'q');
    SetParamText(&longParams, 1, text.c_str());
    SetParamText(&longParams, 2, text.c_str());
    std::memset(longParams.param3, 'r', kParamSize); // no terminator at all
    std::memset(longParams.param4, 's', kParamSize);
    records.push_back(longParams);

    for (std::uint32_t mode : {1u, 2u, 7u}) {
        ErrorRecord literal = params;
        literal.mode = mode;
        std::strcpy(literal.literalText, "literal %1 and %2");
        records.push_back(literal);
        std::memset(literal.literalText, 'L', kLiteralTextSize); // no terminator
        records.push_back(literal);
    }

    ErrorRecord badHResult = params; // HRESULT form not set
    badHResult.hresult = code & 0x7FFFFFFFu;
    records.push_back(badHResult);
    return records;
}

TEST(ErrorTextRobustness, EveryCapacityEveryFunction) {
    for (std::uint32_t code : Codes()) {
        for (const ErrorRecord& shape : Records(code)) {
            for (int capacity = 0; capacity <= kMaxCapacity; ++capacity) {
                const std::size_t cap = static_cast<std::size_t>(capacity);
                const bool terminated = capacity > 0;
                for (bool withHelp : {false, true}) {
                    ErrorRecord r = shape;
                    Guarded g(capacity);
                    EXPECT_EQ(GetDisplayText(&r, g.data(), capacity, withHelp), g.data());
                    ASSERT_TRUE(g.Check(terminated)) << std::hex << code;
                }
                for (int origin : {0, 1}) {
                    for (bool shortForm : {false, true}) {
                        ErrorRecord r = shape;
                        Guarded g(capacity);
                        FormatText(&r, g.data(), capacity, origin, shortForm);
                        ASSERT_TRUE(g.Check(terminated)) << std::hex << code;
                    }
                }
                const std::uint32_t h = shape.hresult;
                Guarded a(capacity), b(capacity), c(capacity);
                FormatCode(a.data(), cap, h);
                FormatCodeShort(b.data(), cap, h);
                GetHelpText(c.data(), cap, h);
                ASSERT_TRUE(a.Check(terminated)) << std::hex << h;
                ASSERT_TRUE(b.Check(terminated)) << std::hex << h;
                ASSERT_TRUE(c.Check(terminated)) << std::hex << h;
            }
        }
    }
}

TEST(ErrorTextRobustness, CutTextsArePrefixes) {
    for (std::uint32_t code : Codes()) {
        const std::uint32_t h = code;
        char full[200], shortFull[200];
        FormatCode(full, sizeof full, h);
        FormatCodeShort(shortFull, sizeof shortFull, h);
        for (int capacity = 1; capacity <= kMaxCapacity; ++capacity) {
            Guarded a(capacity), b(capacity);
            FormatCode(a.data(), static_cast<std::size_t>(capacity), h);
            FormatCodeShort(b.data(), static_cast<std::size_t>(capacity), h);
            const std::string cut(a.data()), shortCut(b.data());
            EXPECT_EQ(cut, std::string(full).substr(0, static_cast<std::size_t>(capacity - 1)))
                << std::hex << h;
            // A short code cut before its end is still a prefix of the
            // whole short code.
            EXPECT_EQ(std::string(shortFull).compare(0, shortCut.size(), shortCut), 0)
                << std::hex << h;
        }
    }
}

TEST(ErrorTextRobustness, NegativeAndZeroSizesWriteNothing) {
    for (std::int32_t size : {0, -1, -500, INT32_MIN}) {
        for (std::uint32_t code : {0u, 5u, 0x80070005u, 0x20000003u}) {
            ErrorRecord r;
            SetError(&r, 200, 744, code);
            char byte = kFill;
            GetDisplayText(&r, &byte, size, true);
            FormatText(&r, &byte, size, 0, false);
            FormatText(&r, &byte, size, 1, true);
            EXPECT_EQ(byte, kFill) << size;
        }
    }
}

TEST(ErrorTextRobustness, TextOperationsEveryCapacity) {
    const std::string fifty(50, '9');
    const char* sources[] = {"", "a", "%1", "abc%1def%1", fifty.c_str()};
    for (int capacity = 0; capacity <= kMaxCapacity; ++capacity) {
        const std::size_t cap = static_cast<std::size_t>(capacity);
        for (const char* start : sources) {
            for (const char* src : sources) {
                Guarded copy(capacity);
                CopyBounded(copy.data(), cap, src);
                ASSERT_TRUE(copy.Check(capacity > 0));

                Guarded append(capacity);
                CopyBounded(append.data(), cap, start);
                for (std::size_t limit : {std::size_t{0}, std::size_t{3}, cap, std::size_t{1000}}) {
                    AppendBounded(append.data(), cap, src, limit);
                    ASSERT_TRUE(append.Check(capacity > 0));
                }

                Guarded replace(capacity);
                CopyBounded(replace.data(), cap, start);
                ReplaceAll(replace.data(), cap, src, "%1");
                ReplaceAll(replace.data(), cap, nullptr, "%1");
                ReplaceAll(replace.data(), cap, src, "");
                ReplaceAll(replace.data(), cap, src, nullptr);
                ASSERT_TRUE(replace.Check(capacity > 0));
            }
        }
        // A buffer without a terminator is neither read past nor changed.
        Guarded unterminated(capacity);
        std::memset(unterminated.data(), 'x', cap);
        EXPECT_EQ(BoundedLength(unterminated.data(), cap), kUnterminatedLength);
        EXPECT_EQ(AppendBounded(unterminated.data(), cap, "y", 1), nullptr);
        EXPECT_EQ(ReplaceAll(unterminated.data(), cap, "y", "x"), nullptr);
        ASSERT_TRUE(unterminated.Check(false));
        EXPECT_EQ(std::string(unterminated.data(), cap), std::string(cap, 'x'));
    }
}

TEST(ErrorTextRobustness, NullPointers) {
    char out[8] = "keep";
    EXPECT_EQ(GetDisplayText(nullptr, out, sizeof out, true), out);
    EXPECT_STREQ(out, "\n\n");
    EXPECT_EQ(FormatText(nullptr, out, sizeof out, 0, false), out);
    EXPECT_STREQ(out, "");
    ErrorRecord r;
    SetError(&r, 200, 744, 5);
    EXPECT_EQ(GetDisplayText(&r, nullptr, 8, true), nullptr);
    EXPECT_EQ(FormatText(&r, nullptr, 8, 0, false), nullptr);
    EXPECT_EQ(FormatCode(nullptr, 8, 5), nullptr);
    EXPECT_EQ(FormatCodeShort(nullptr, 8, 5), nullptr);
    EXPECT_EQ(GetHelpText(nullptr, 8, 5), nullptr);
    EXPECT_EQ(AppendBounded(nullptr, 8, "x", 8), nullptr);
    EXPECT_EQ(ReplaceAll(nullptr, 8, "x", "%1"), nullptr);
    EXPECT_EQ(CopyBounded(nullptr, 8, "x"), nullptr);
    EXPECT_EQ(BoundedLength(nullptr, 8), 0u);
    SetError(nullptr, 1, 2, 3);
    PushTrail(nullptr, 1, 2);
    SetParamText(nullptr, 1, "x");
    SetParamUnsigned(nullptr, 5);
    // A trail count set out of range by hand adds nothing.
    r.trailCount = -3;
    PushTrail(&r, 1, 2);
    EXPECT_EQ(r.trailCount, -3);
    r.trailCount = 1000;
    PushTrail(&r, 1, 2);
    EXPECT_EQ(r.trailCount, 1000);
}

} // namespace
