// The error text: kind letters and numbers, catalogue messages, parameters
// filled in or appended, the form check, short form, origin and help.
#include "errors/error_codes.h"
#include "errors/error_record.h"
#include "errors/format.h"
#include "text/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Params {
    const char* p1;
    const char* p2;
    const char* p3;
    const char* p4;
};

ErrorRecord MakeRecord(std::uint32_t code, Params params) {
    ErrorRecord r;
    SetError(&r, MODULE_FILE_UNPACK, 181, code);
    CopyBounded(r.param1, kParamSize, params.p1);
    CopyBounded(r.param2, kParamSize, params.p2);
    CopyBounded(r.param3, kParamSize, params.p3);
    CopyBounded(r.param4, kParamSize, params.p4);
    return r;
}

std::string Display(ErrorRecord* r, bool withHelp = false) {
    char buffer[500];
    std::memset(buffer, '#', sizeof buffer);
    GetDisplayText(r, buffer, 500, withHelp);
    return buffer;
}

TEST(ErrorText, InstallerTexts) {
    struct Case {
        std::uint32_t code;
        Params params;
        const char* text;
    };
    const Case cases[] = {
        {0x20001036u,
         {"C:\\Program Files\\Bramblequist\\Bramblequist.shl", "", "", ""},
         "LA4150 (C:\\Program Files\\Bramblequist\\Bramblequist.shl)"},
        {0x20001041u, {"", "", "", ""}, "LA4161"},
        {0x200008A3u, {"5", "C:\\x\\", "", ""}, "LA2211: Unable to create directory (W5 C:\\x\\)"},
        {0x2000006Au,
         {"Software\\K", "V", "", ""},
         "LA106: Registry key\r\n  'Software\\K\\V'\r\n is missing or bad"},
        {5u, {"C:\\f", "", "", ""}, "LW5: Access is denied (C:\\f)"},
        {4u, {"", "", "", ""}, "LW4"},
        {700u, {"", "", "", ""}, "LW700: Dialup Networking problem."},
        {kErrTest, {"a", "", "", ""}, "LA3: p1='a', p2='', p3='', p4=''"},
        {0x2000006Bu, {"x", "y", "", ""}, "LA107: Bad pathname (x) (y)"},
        {0x80070005u,
         {"", "", "", ""},
         "LA6: Bad ErrorCode. May have called SetError() with HRESULT. ErrorCode = 2147942405"},
        {0x20002710u, {"", "", "", ""}, "LU2684823312: Undefined error code (0xA0072710)"},
        {0u, {"x", "", "", ""}, ""},
        // Parameters of a code without a message follow the code; the
        // third and fourth appear in order too.
        {0x2000103Bu, {"p", "", "r", "s"}, "LA4155 (p) (r) (s)"},
        // An HRESULT of another facility, with and without message.
        {0x80004005u,
         {"", "", "", ""},
         "LA6: Bad ErrorCode. May have called SetError() with "
         "HRESULT. ErrorCode = 2147500037"},
        // A parameter holding a later placeholder is expanded in that pass;
        // an inserted value is not expanded again by its own pass.
        {0x200008A3u, {"%2-%1", "two", "", ""}, "LA2211: Unable to create directory (Wtwo-%1 two)"},
    };
    for (const Case& c : cases) {
        ErrorRecord r = MakeRecord(c.code, c.params);
        EXPECT_EQ(Display(&r), c.text) << std::hex << c.code;
    }
}

TEST(ErrorText, FourLongParametersSkipWhatDoesNotFit) {
    const std::string p1(259, '1'), p2(259, '2'), p3(259, '3'), p4(259, '4');
    ErrorRecord r = MakeRecord(kErrTest, {p1.c_str(), p2.c_str(), p3.c_str(), p4.c_str()});
    EXPECT_EQ(Display(&r), "LA3: p1='" + p1 + "', p2='%2', p3='%3', p4='%4'");
}

TEST(ErrorText, ShorterLaterSubstitutionStillMade) {
    const std::string p1(259, '1'), p2(259, '2');
    ErrorRecord r = MakeRecord(kErrTest, {p1.c_str(), p2.c_str(), "c", "d"});
    EXPECT_EQ(Display(&r), "LA3: p1='" + p1 + "', p2='%2', p3='c', p4='d'");
}

TEST(ErrorText, FormCheckRewritesRecord) {
    ErrorRecord r = MakeRecord(0x80070005u, {"", "kept", "", ""});
    Display(&r);
    EXPECT_EQ(r.code, 0x20000006u);
    EXPECT_EQ(r.hresult, 0xA0070006u);
    EXPECT_STREQ(r.param1, "2147942405");
    EXPECT_STREQ(r.param2, "kept");

    // A code whose HRESULT form is not an HRESULT: the form is reported.
    ErrorRecord s = MakeRecord(0x20001036u, {"", "", "", ""});
    s.hresult = 0;
    EXPECT_EQ(Display(&s),
              "LA7: Bad HRESULT. May have called SetHResult() with ErrorCode. HRESULT = 0");
    EXPECT_EQ(s.code, 0x20000007u);
    EXPECT_EQ(s.hresult, 0xA0070007u);
    EXPECT_STREQ(s.param1, "0");

    // A second formatting of a rewritten record gives the same text.
    char first[500], second[500];
    ErrorRecord t = MakeRecord(0x80004004u, {"", "", "", ""});
    GetDisplayText(&t, first, 500, false);
    GetDisplayText(&t, second, 500, false);
    EXPECT_STREQ(first, second);
}

TEST(ErrorText, ShortFormAndOrigin) {
    struct Case {
        std::uint32_t code;
        int origin;
        bool shortForm;
        const char* text;
    };
    const Case cases[] = {
        {0x20001036u, 0, true, "A4150"},
        {0x200008A3u, 0, true, "A2211"},
        {0x20002710u, 0, true, "U2684823312"},
        {0x20001036u, 1, false, "RA4150"},
        {0x200008A3u, 1, false, "RA2211: Unable to create directory (Wp1 )"},
        {0x20001036u, 2, false, "LA4150 (p1)"},
        {0x20001036u, -1, false, "LA4150 (p1)"},
        {5u, 1, true, "W5"},
    };
    for (const Case& c : cases) {
        ErrorRecord r = MakeRecord(c.code, {"p1", "", "", ""});
        char out[500];
        FormatText(&r, out, 500, c.origin, c.shortForm);
        EXPECT_STREQ(out, c.text) << std::hex << c.code << " origin " << c.origin;
    }
}

TEST(ErrorText, CodeForms) {
    struct Case {
        std::uint32_t h;
        const char* code;
        const char* shortCode;
    };
    const Case cases[] = {
        {0x80004005u, "H0-16389: Internal error", "H0-16389"},
        {0x8000FFFFu, "H0-65535: Internal error", "H0-65535"},
        {0x80004001u, "H0-16385: Feature is not supported", "H0-16385"},
        {0x80004004u, "H0-16388: User cancelled operation", "H0-16388"},
        {0x80040154u, "H4-340", "H4-340"},
        {0x80070005u, "W5: Access is denied (%1)", "W5"},
        {0x80070004u, "W4", "W4"},
        {0x8007025Du, "W605: Dialup Networking problem.", "W605"},
        {0xA0071036u, "A4150", "A4150"},
        {0xA0070064u, "A100: Out of memory", "A100"},
        {0xA0072710u, "U2684823312: Undefined error code (0xA0072710)", "U2684823312"},
        {0xA0040001u, "U2684616705: Undefined error code (0xA0040001)", "U2684616705"},
        {0x00000000u, "", ""},
    };
    for (const Case& c : cases) {
        char out[200];
        EXPECT_STREQ(FormatCode(out, sizeof out, c.h), c.code) << std::hex << c.h;
        EXPECT_STREQ(FormatCodeShort(out, sizeof out, c.h), c.shortCode) << std::hex << c.h;
    }
}

TEST(ErrorText, CodeCutToCapacity) {
    struct Case {
        std::uint32_t h;
        std::size_t capacity;
        const char* code;
    };
    const Case cases[] = {
        {0xA00708A3u, 12, "A2211: Unab"},
        {0xA00708A3u, 6, "A2211"},
        {0xA00708A3u, 1, ""},
        // Without a message only the separator is dropped, never digits.
        {0xA0071036u, 4, "A41"},
        {0xA0071036u, 6, "A4150"},
        {0x80070004u, 4, "W4"},
        {0xA0072710u, 8, "U268482"},
    };
    for (const Case& c : cases) {
        char out[64];
        std::memset(out, '#', sizeof out);
        FormatCode(out, c.capacity, c.h);
        EXPECT_STREQ(out, c.code) << std::hex << c.h << " capacity " << std::dec << c.capacity;
    }
}

TEST(ErrorText, HelpText) {
    ErrorRecord test = MakeRecord(kErrTest, {"a", "", "", ""});
    EXPECT_EQ(Display(&test, true),
              "LA3: p1='a', p2='', p3='', p4=''\n\ntest help string kErrTest");
    ErrorRecord other = MakeRecord(0x20001036u, {"p", "", "", ""});
    EXPECT_EQ(Display(&other, true), "LA4150 (p)\n\n");
    ErrorRecord win32 = MakeRecord(3u, {"p", "", "", ""});
    EXPECT_EQ(Display(&win32, true), "LW3: Cannot find path (p)\n\n");
    ErrorRecord none;
    EXPECT_EQ(Display(&none, true), "\n\n");
    // The help follows the rewritten code: an HRESULT recorded as code
    // has the help of A6, which is none.
    ErrorRecord wrong = MakeRecord(0xA0070003u, {"", "", "", ""});
    EXPECT_EQ(Display(&wrong, true), "LA6: Bad ErrorCode. May have called SetError() with "
                                     "HRESULT. ErrorCode = 2684813315\n\n");

    char out[40];
    EXPECT_STREQ(GetHelpText(out, sizeof out, 0xA0070003u), "test help string kErrTest");
    EXPECT_STREQ(GetHelpText(out, 10, 0xA0070003u), "test help");
    EXPECT_STREQ(GetHelpText(out, sizeof out, 0x80070003u), "");
    EXPECT_STREQ(GetHelpText(out, sizeof out, 0x20070003u), "test help string kErrTest");
    EXPECT_STREQ(GetHelpText(out, sizeof out, 0), "");
}

TEST(ErrorText, LiteralModes) {
    ErrorRecord literal = MakeRecord(0x20001036u, {"p", "", "", ""});
    std::strcpy(literal.literalText, "Disk %1 gone");
    literal.mode = 1;
    EXPECT_EQ(Display(&literal), "Disk %1 gone");

    literal.mode = 2;
    EXPECT_EQ(Display(&literal), "LA4150: Disk p gone");
    literal.param2[0] = 'q';
    literal.param2[1] = '\0';
    EXPECT_EQ(Display(&literal), "LA4150: Disk p gone (q)");

    // Mode 2 without a literal text is the catalogue text.
    literal.literalText[0] = '\0';
    EXPECT_EQ(Display(&literal), "LA4150 (p) (q)");

    // Literal text that does not fit is cut, still terminated.
    ErrorRecord longer = MakeRecord(5u, {"", "", "", ""});
    longer.mode = 2;
    std::memset(longer.literalText, 'x', kLiteralTextSize - 1);
    longer.literalText[kLiteralTextSize - 1] = '\0';
    char out[20];
    GetDisplayText(&longer, out, sizeof out, false);
    EXPECT_STREQ(out, "LW5: xxxxxxxxxxxxxx");
}

TEST(TextOps, ReplaceAll) {
    struct Case {
        const char* start;
        std::size_t capacity;
        const char* value;
        const char* placeholder;
        const char* result;
        bool whole;
    };
    const Case cases[] = {
        {"a%1b%1c", 32, "xy", "%1", "axybxyc", true},
        {"a%1b", 32, "", "%1", "ab", true},
        {"a%1b", 32, "%1%1", "%1", "a%1%1b", true},
        {"%1", 3, "abc", "%1", "%1", false},
        {"%1", 4, "abc", "%1", "abc", true},
        {"%1.%1", 7, "abc", "%1", "abc.%1", false},
        {"%1.%1", 6, "ab", "%1", "ab.ab", true},
        {"none", 8, "x", "%1", "none", true},
        {"%12", 8, "x", "%1", "x2", true},
    };
    for (const Case& c : cases) {
        char buffer[40];
        std::memset(buffer, '#', sizeof buffer);
        std::strcpy(buffer + 1, c.start);
        char* got = ReplaceAll(buffer + 1, c.capacity, c.value, c.placeholder);
        EXPECT_EQ(got != nullptr, c.whole) << c.start << " cap " << c.capacity;
        EXPECT_STREQ(buffer + 1, c.result);
        EXPECT_EQ(buffer[0], '#');
        EXPECT_EQ(buffer[1 + c.capacity], '#');
    }
}

} // namespace
