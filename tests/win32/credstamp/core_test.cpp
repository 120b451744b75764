// The credential tool's error record, text conversion and the conversions
// of what the user types.
#include "credstamp/credentials.h"
#include "credstamp/error_record_w.h"
#include "credstamp/text_wide.h"
#include "errors/error_codes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring W(const WCHAR* text) {
    return std::wstring(text);
}

TEST(ErrorRecordW, ConstructedRecordReportsNoError) {
    ErrorRecordW record;
    EXPECT_EQ(record.mode, 2u);
    EXPECT_EQ(record.code, 0u);
    EXPECT_EQ(record.hresult, 0u);
    EXPECT_EQ(record.line, 0u);
    EXPECT_EQ(record.name, nullptr);
    EXPECT_EQ(record.trailCount, 0);
    EXPECT_EQ(record.param1[0], 0);
    EXPECT_EQ(record.param4[0], 0);
    EXPECT_EQ(record.literalText[0], 0);
}

TEST(ErrorRecordW, SetErrorDerivesHresultAndEmptiesTheRest) {
    ErrorRecordW record;
    SetParamText(&record, 1, "old");
    SetParamText(&record, 2, "older");
    PushTrail(&record, "Inner", 7);
    record.param3[0] = L'x';
    SetError(&record, "WebLaunch", 101, ERR_REGISTRY_KEY_MISSING);
    EXPECT_EQ(record.hresult, 0xA007006Au);
    EXPECT_EQ(record.code, 0x2000006Au);
    EXPECT_STREQ(record.name, "WebLaunch");
    EXPECT_EQ(record.line, 101u);
    EXPECT_EQ(record.mode, 0u);
    EXPECT_EQ(record.trailCount, 0);
    EXPECT_EQ(record.param1[0], 0);
    EXPECT_EQ(record.param2[0], 0);
    EXPECT_EQ(record.param3[0], 0);

    SetError(&record, "WebLaunch", 64, ERR_UNABLE_TO_VIEW);
    EXPECT_EQ(record.hresult, 0xA00708E8u);
    SetError(&record, "X", 1, 5);
    EXPECT_EQ(record.hresult, 0x80070005u);
    SetError(&record, "X", 1, 0x00050005);
    EXPECT_EQ(record.hresult, 0x80070005u);
    SetError(&record, "X", 1, 0);
    EXPECT_EQ(record.hresult, 0u);
    EXPECT_EQ(record.code, 0u);
}

TEST(ErrorRecordW, TrailKeepsFiftyEntries) {
    ErrorRecordW record;
    static const char* const kNames[] = {"first", "second"};
    for (int i = 0; i < 51; ++i)
        PushTrail(&record, kNames[i % 2], 1000u + i);
    EXPECT_EQ(record.trailCount, 50);
    EXPECT_STREQ(record.trail[0].name, "first");
    EXPECT_EQ(record.trail[0].line, 1000u);
    EXPECT_STREQ(record.trail[49].name, "second");
    EXPECT_EQ(record.trail[49].line, 1049u);
    PushTrail(&record, "more", 1);
    EXPECT_EQ(record.trailCount, 50);
    EXPECT_EQ(record.trail[49].line, 1049u);
}

TEST(ErrorRecordW, NumberSetters) {
    struct Case {
        bool isSigned;
        std::uint32_t bits;
        const WCHAR* text;
    };
    const Case cases[] = {
        {true, 0, L"0"},
        {false, 0, L"0"},
        {true, 0xFFFFFFFFu, L"-1"},
        {false, 0xFFFFFFFFu, L"4294967295"},
        {true, 0x80000000u, L"-2147483648"},
        {true, 0x7FFFFFFFu, L"2147483647"},
        {false, 1036, L"1036"},
    };
    for (const Case& c : cases) {
        ErrorRecordW record;
        if (c.isSigned)
            SetParamSigned(&record, static_cast<std::int32_t>(c.bits));
        else
            SetParamUnsigned(&record, c.bits);
        EXPECT_EQ(W(record.param1), W(c.text)) << c.bits << " signed " << c.isSigned;
        EXPECT_EQ(record.param2[0], 0);
    }
}

TEST(ErrorRecordW, TextSetter) {
    ErrorRecordW record;
    SetParamText(&record, 1, nullptr);
    EXPECT_EQ(W(record.param1), L"NULL");
    SetParamText(&record, 2, "https://a.example/?x=1");
    EXPECT_EQ(W(record.param2), L"https://a.example/?x=1");
    SetParamText(&record, 3, "ignored"); // no setter for param3
    EXPECT_EQ(record.param3[0], 0);

    // Longer than the parameter: cut, but always terminated.
    std::string longText(300, 'q');
    SetParamText(&record, 1, longText.c_str());
    EXPECT_EQ(W(record.param1), std::wstring(259, L'q'));

    // A text that cannot be read.
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(page, nullptr);
    SetParamText(&record, 2, static_cast<const char*>(page));
    EXPECT_EQ(W(record.param2), L"[-?-?-]");
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST(TextFormatBounded, CutsAndTerminates) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    TextFormatBounded(buffer, sizeof buffer, "%s-%ld", "abcdef", 42L);
    EXPECT_STREQ(buffer, "abcdef-");
    TextFormatBounded(buffer, sizeof buffer, "%ld", -7L);
    EXPECT_STREQ(buffer, "-7");
    buffer[0] = 'z';
    TextFormatBounded(buffer, 0, "%s", "anything");
    EXPECT_EQ(buffer[0], 'z');
}

// Records the code pages asked for; refuses the thread's code page the way
// systems before Windows 2000 do.
std::vector<UINT> AskedCodePages;
int WINAPI RefuseThreadCodePage(UINT codePage, DWORD flags, LPCCH source, int count,
                                LPWSTR destination, int capacity) {
    AskedCodePages.push_back(codePage);
    if (codePage == CP_THREAD_ACP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return MultiByteToWideChar(codePage, flags, source, count, destination, capacity);
}

struct ConversionState {
    bool skip, pending, determined, nt5;
    MultiByteToWideFn convert;
    ConversionState()
        : skip(SkipThreadCodePage), pending(CodePageProbePending), determined(VersionDetermined),
          nt5(VersionIsNt5OrLater), convert(MultiByteToWide) {}
    ~ConversionState() {
        SkipThreadCodePage = skip;
        CodePageProbePending = pending;
        VersionDetermined = determined;
        VersionIsNt5OrLater = nt5;
        MultiByteToWide = convert;
    }
};

TEST(ToWideFallback, ConvertsAndRefusesNullPointers) {
    WCHAR out[16];
    EXPECT_EQ(ToWideFallback(out, nullptr, 16), nullptr);
    EXPECT_EQ(ToWideFallback(nullptr, "a", 16), nullptr);
    EXPECT_EQ(ToWideFallback(out, "Credstamp", 16), out);
    EXPECT_EQ(W(out), L"Credstamp");
    EXPECT_EQ(ToWideFallback(out, "", 16), out);
    EXPECT_EQ(out[0], 0);
    // Too long: the part that fitted stays, terminated.
    EXPECT_EQ(ToWideFallback(out, "0123456789abcdefghij", 16), out);
    EXPECT_EQ(W(out), L"0123456789abcde");
}

TEST(ToWideFallback, OldSystemStopsTryingTheThreadCodePage) {
    ConversionState saved;
    SkipThreadCodePage = false;
    CodePageProbePending = true;
    VersionDetermined = true; // as if GetVersionExA had said Windows 98
    VersionIsNt5OrLater = false;
    MultiByteToWide = RefuseThreadCodePage;
    AskedCodePages.clear();
    WCHAR out[8];
    ToWideFallback(out, "abc", 8);
    EXPECT_EQ(W(out), L"abc");
    EXPECT_EQ(AskedCodePages, (std::vector<UINT>{CP_THREAD_ACP, CP_ACP}));
    EXPECT_TRUE(SkipThreadCodePage);
    EXPECT_FALSE(CodePageProbePending);
    AskedCodePages.clear();
    ToWideFallback(out, "de", 8);
    EXPECT_EQ(W(out), L"de");
    EXPECT_EQ(AskedCodePages, (std::vector<UINT>{CP_ACP}));
}

TEST(ToWideFallback, NewerSystemKeepsTryingTheThreadCodePageFirst) {
    ConversionState saved;
    SkipThreadCodePage = false;
    CodePageProbePending = true;
    VersionDetermined = false;
    MultiByteToWide = RefuseThreadCodePage;
    AskedCodePages.clear();
    WCHAR out[8];
    ToWideFallback(out, "abc", 8);
    ToWideFallback(out, "xyz", 8);
    EXPECT_EQ(W(out), L"xyz");
    // Wine reports an NT system of version 5 or later.
    EXPECT_TRUE(VersionDetermined);
    EXPECT_TRUE(VersionIsNt5OrLater);
    EXPECT_FALSE(SkipThreadCodePage);
    EXPECT_EQ(AskedCodePages, (std::vector<UINT>{CP_THREAD_ACP, CP_ACP, CP_THREAD_ACP, CP_ACP}));
}

TEST(IsNt5OrLater, AgreesWithTheSystemAndIsRemembered) {
    ConversionState saved;
    VersionDetermined = false;
    VersionIsNt5OrLater = false;
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    const bool expected = info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
    EXPECT_EQ(IsNt5OrLater(), expected);
    // The remembered answer is returned from then on.
    VersionIsNt5OrLater = !expected;
    EXPECT_EQ(IsNt5OrLater(), !expected);
}

TEST(ParseMachineId, ConvertsLikeAtolWithWrapping) {
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"", 0},
        {"0", 0},
        {"abc", 0},
        {"12abc", 12},
        {"  \t\n42", 42},
        {"+42", 42},
        {"-42", -42},
        {"- 5", 0},
        {"--5", 0},
        {"2147483647", 2147483647},
        {"2147483648", static_cast<std::int32_t>(0x80000000u)},
        {"4294967295", -1},
        {"4294967296", 0},
        {"4294967297", 1},
        {"-4294967295", 1},
        {"000000000000000000000000000000000000123", 123},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseMachineId(c.text), c.value) << '"' << c.text << '"';
}

TEST(TrimBlanks, DropsBlankBytesAtBothEnds) {
    struct Case {
        const char* text;
        const char* trimmed;
    };
    const Case cases[] = {
        {"", ""},
        {"abc", "abc"},
        {"  abc  ", "abc"},
        {"a b\tc", "a b\tc"},
        {"\x01\x1f pass\r\n", "pass"},
        {"\x7f x \x80", "\x7f x \x80"}, // bytes above 32 are not blanks
        {"   ", ""},
        {" ", ""},
        {"\t", ""},
        {"a", "a"},
        {"ab ", "ab"},
        {" a", "a"},
    };
    for (const Case& c : cases) {
        const char* start = nullptr;
        const std::uint32_t length = TrimBlanks(c.text, &start);
        EXPECT_EQ(std::string(start, length), std::string(c.trimmed)) << '"' << c.text << '"';
        EXPECT_GE(start, c.text);
    }
}

} // namespace
