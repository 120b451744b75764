// The error record: construction, recording, trail, parameters and kinds.
#include "errors/error_codes.h"
#include "errors/error_kind.h"
#include "errors/error_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// What construction and SetError decide in a record.
struct Expected {
    std::uint32_t mode, code, hresult, module, line, reserved3;
    const char* literalText;
};

// Expects the record to hold `want`, no trail, reserved1 and reserved2 zero
// and four empty parameters.
void ExpectRecord(const ErrorRecord& r, const Expected& want) {
    EXPECT_EQ(r.mode, want.mode);
    EXPECT_EQ(r.code, want.code);
    EXPECT_EQ(r.hresult, want.hresult);
    EXPECT_EQ(r.module, want.module);
    EXPECT_EQ(r.line, want.line);
    EXPECT_EQ(r.trailCount, 0);
    EXPECT_EQ(r.reserved1, 0);
    EXPECT_EQ(r.reserved2, 0);
    EXPECT_EQ(r.reserved3, want.reserved3);
    EXPECT_STREQ(r.param1, "");
    EXPECT_STREQ(r.param2, "");
    EXPECT_STREQ(r.param3, "");
    EXPECT_STREQ(r.param4, "");
    EXPECT_STREQ(r.literalText, want.literalText);
}

TEST(ErrorRecord, ConstructionReportsNoError) {
    ErrorRecord r;
    ExpectRecord(r, {2, 0, 0, 0, 0, 0, ""});
}

TEST(ErrorRecord, SetErrorRecordsAndResets) {
    ErrorRecord r;
    SetParamText(&r, 1, "old");
    std::strcpy(r.param3, "three");
    std::strcpy(r.param4, "four");
    std::strcpy(r.literalText, "kept");
    r.reserved1 = 1;
    r.reserved2 = 1;
    r.reserved3 = 7;
    PushTrail(&r, 16002, 63);

    SetError(&r, MODULE_FILE_UNPACK, 181, ERR_CREATE_FILE);
    // Parameters, trail, reserved1 and reserved2 emptied; the literal text
    // and reserved3 kept.
    ExpectRecord(r, {0, 0x20001036u, 0xA0071036u, 16002, 181, 7, "kept"});
    EXPECT_EQ(ClassifyHResult(r.hresult), ErrorKind::Application);
    EXPECT_EQ(r.hresult & 0xFFFFu, 4150u);
}

TEST(ErrorRecord, HResultDerivation) {
    struct Case {
        std::uint32_t code;
        std::uint32_t hresult;
        ErrorKind kind;
    };
    const Case cases[] = {
        {0x20001036u, 0xA0071036u, ErrorKind::Application},
        {5u, 0x80070005u, ErrorKind::Win32},
        {0u, 0u, ErrorKind::HResult},
        // Bits above the low 16 (other than 29) are lost.
        {0x00050005u, 0x80070005u, ErrorKind::Win32},
        {0x20002710u, 0xA0072710u, ErrorKind::Undefined},
        {0xFFFFFFFFu, 0xA007FFFFu, ErrorKind::Undefined},
    };
    for (const Case& c : cases) {
        ErrorRecord r;
        SetError(&r, 200, 744, c.code);
        EXPECT_EQ(r.hresult, c.hresult) << std::hex << c.code;
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(ClassifyHResult(r.hresult), c.kind) << std::hex << c.code;
    }
}

TEST(ErrorRecord, Kinds) {
    struct Case {
        std::uint32_t h;
        ErrorKind kind;
    };
    const Case cases[] = {
        {0xA0071036u, ErrorKind::Application}, {0xA007270Fu, ErrorKind::Application},
        {0xA0072710u, ErrorKind::Undefined},   {0x80070005u, ErrorKind::Win32},
        {0x80004005u, ErrorKind::HResult},     {0xA0040001u, ErrorKind::Undefined},
        {0x00000000u, ErrorKind::HResult},     {0x20070003u, ErrorKind::Application},
        {0x0007FFFFu, ErrorKind::Win32},       {0x8000FFFFu, ErrorKind::HResult},
        {0xFFFFFFFFu, ErrorKind::Undefined},   {0x9FFF0000u, ErrorKind::HResult},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassifyHResult(c.h), c.kind) << std::hex << c.h;
    }
    EXPECT_TRUE(IsWin32Code(0xDFFFFFFFu));
    EXPECT_FALSE(IsWin32Code(0x20000000u));
    EXPECT_TRUE(IsApplicationCode(0x20000000u));
    EXPECT_TRUE(IsApplicationCode(0x2000270Fu));
    EXPECT_FALSE(IsApplicationCode(0x20002710u));
    EXPECT_FALSE(IsApplicationCode(0x1FFFFFFFu));
    EXPECT_FALSE(IsApplicationCode(0xA0000003u));
}

TEST(ErrorRecord, TrailKeepsFiftyEntries) {
    ErrorRecord r;
    SetError(&r, 16002, 48, ERR_EXPAND);
    for (std::uint32_t i = 1; i <= 51; ++i) {
        PushTrail(&r, 16002, 1000 + i);
    }
    EXPECT_EQ(r.trailCount, 50);
    EXPECT_EQ(r.trail[0].line, 1001u);
    EXPECT_EQ(r.trail[49].module, 16002u);
    EXPECT_EQ(r.trail[49].line, 1050u);

    SetError(&r, 200, 744, ERR_CREATE_DIRECTORY);
    EXPECT_EQ(r.trailCount, 0);
    PushTrail(&r, 200, 752);
    PushTrail(&r, 200, 772);
    ASSERT_EQ(r.trailCount, 2);
    EXPECT_EQ(r.trail[1].module, 200u);
    EXPECT_EQ(r.trail[1].line, 772u);
}

TEST(ErrorRecord, ParamTexts) {
    struct Case {
        int index;
        std::string text; // "\x01" stands for a null text
        std::string stored;
    };
    const std::string s259(259, 'x');
    const std::string s260(260, 'y');
    const std::string s300(300, 'z');
    const Case cases[] = {
        {1, "\x01", "NULL"},
        {2, "\x01", "NULL"},
        {1, "C:\\x\\", "C:\\x\\"},
        {2, "", ""},
        {1, s259, s259},
        {2, s260, s260.substr(0, 259)},
        {1, s300, s300.substr(0, 259)},
    };
    for (const Case& c : cases) {
        ErrorRecord r;
        SetError(&r, 16002, 181, ERR_CREATE_FILE);
        std::memset(c.index == 1 ? r.param1 : r.param2, '#', kParamSize);
        SetParamText(&r, c.index, c.text == "\x01" ? nullptr : c.text.c_str());
        const char* field = c.index == 1 ? r.param1 : r.param2;
        EXPECT_EQ(std::string(field), c.stored);
        EXPECT_EQ(field[kParamSize - 1], '\0');
    }
    // Indexes other than 1 and 2 have no setter and change nothing.
    ErrorRecord r;
    SetParamText(&r, 3, "x");
    SetParamText(&r, 0, "x");
    SetParamText(&r, -1, "x");
    EXPECT_STREQ(r.param1, "");
    EXPECT_STREQ(r.param2, "");
    EXPECT_STREQ(r.param3, "");
    EXPECT_STREQ(r.param4, "");
}

TEST(ErrorRecord, ParamUnsigned) {
    struct Case {
        std::uint32_t value;
        const char* text;
    };
    const Case cases[] = {{0u, "0"},
                          {5u, "5"},
                          {10u, "10"},
                          {183u, "183"},
                          {2147942405u, "2147942405"},
                          {4294967295u, "4294967295"}};
    for (const Case& c : cases) {
        ErrorRecord r;
        std::memset(r.param1, '#', kParamSize);
        SetParamUnsigned(&r, c.value);
        EXPECT_STREQ(r.param1, c.text);
    }
}

TEST(ErrorRecord, ClearingCodeKeepsParameters) {
    ErrorRecord r;
    SetError(&r, 16002, 181, ERR_CREATE_FILE);
    SetParamText(&r, 1, "C:\\f");
    PushTrail(&r, 16002, 311);
    r.code = 0;
    r.hresult = 0;
    EXPECT_STREQ(r.param1, "C:\\f");
    EXPECT_EQ(r.trailCount, 1);
}

} // namespace
