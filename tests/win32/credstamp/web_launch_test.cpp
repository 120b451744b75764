// The web page launcher against a capturing handler of web addresses
// registered in the prefix: which address reaches the shell, and what the
// error record holds afterwards.
#include "credstamp/credentials.h"
#include "credstamp/web_launch.h"
#include "registry/client_keys.h"
#include "tests/driver/driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kBramblequistKey[] = "Software\\Quintar\\Bramblequist";
const char kConfigured[] = "https://www.bramblequist.example/register";

std::wstring W(const WCHAR* text) {
    return std::wstring(text);
}
std::wstring W(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// Registers `command` as the shell's handler of http and https addresses.
bool RegisterHandler(const std::string& command) {
    return driver::RegSetString("https\\shell\\open\\command", "", command, REG_SZ,
                                HKEY_CLASSES_ROOT) &&
           driver::RegSetString("http\\shell\\open\\command", "", command, REG_SZ,
                                HKEY_CLASSES_ROOT);
}

class WebLaunchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driver::RegDeleteTree(kBramblequistKey);
        static const std::string capture =
            driver::FreshCopy(driver::Built("standins\\urlcapture.exe"), "urlcapture.exe");
        ASSERT_FALSE(capture.empty());
        log = driver::FreshFolder("weblaunch") + "\\opened.txt";
        ASSERT_TRUE(RegisterHandler("\"" + capture + "\" --log " + log + " \"%1\""));
    }
    void TearDown() override { driver::RegDeleteTree(kBramblequistKey); }

    void Configure(const char* address) {
        ASSERT_TRUE(driver::RegSetString(kWebUrlsKey, "WebRegistration", address));
    }
    void Vendor(const char* id) {
        ASSERT_TRUE(driver::RegSetString(kPersistentKey, "VendorId", id));
    }

    // Waits for the handler to record `count` opened addresses.
    std::vector<std::string> Opened(size_t count = 1) {
        EXPECT_TRUE(driver::WaitFileLines(log, count));
        std::vector<std::string> lines = driver::ReadLines(log);
        for (std::string& line : lines)
            line = line.rfind("open ", 0) == 0 ? line.substr(5) : "(unexpected) " + line;
        if (lines.size() < count)
            lines.resize(count, "(nothing opened)");
        return lines;
    }
    void ExpectSuccess(std::uint32_t result) {
        EXPECT_EQ(result, 0u);
        EXPECT_EQ(record.code, 0u);
        EXPECT_EQ(record.hresult, 0u);
        EXPECT_EQ(record.trailCount, 0);
    }

    std::string log;
    ErrorRecordW record;
};

TEST_F(WebLaunchTest, ConfiguredAddressGetsMachineIdAndVendorId) {
    struct Case {
        std::int32_t machineId;
        const char* vendor; // null: no value
        std::string query;
    };
    const Case cases[] = {
        {0, "B1000", "?VendorID=B1000"},
        {4711, "B1000", "?MachineID=4711&VendorID=B1000"},
        {-7, nullptr, "?MachineID=-7"},
        {0, nullptr, ""},
        {0, "", ""},
        {12, "0123456789", "?MachineID=12&VendorID=0123456789"}, // ten characters fit
        {12, "0123456789A", "?MachineID=12"},                    // eleven do not
    };
    Configure(kConfigured);
    size_t count = 0;
    for (const Case& c : cases) {
        driver::RegDeleteTree(kPersistentKey);
        if (c.vendor)
            Vendor(c.vendor);
        ExpectSuccess(WebLaunch(&record, nullptr, "WebRegistration", c.machineId, nullptr));
        std::vector<std::string> opened = Opened(++count);
        ASSERT_EQ(opened.size(), count);
        EXPECT_EQ(opened.back(), kConfigured + c.query) << c.machineId << " " << c.vendor;
    }
}

TEST_F(WebLaunchTest, GivenAddressGetsOnlyTheMachineId) {
    Configure(kConfigured);
    Vendor("B1000");
    ExpectSuccess(WebLaunch(&record, nullptr, "WebRegistration", 0, kDefaultSignUpAddress));
    EXPECT_EQ(Opened(1).back(), kDefaultSignUpAddress);
    ExpectSuccess(WebLaunch(&record, nullptr, "WebRegistration", 99, "https://x.example/a"));
    EXPECT_EQ(Opened(2).back(), "https://x.example/a?MachineID=99");
}

TEST_F(WebLaunchTest, BuiltInAddressCarriesVendorAndReferral) {
    const std::string address = kDefaultSignUpAddress;
    EXPECT_EQ(address.rfind("https://", 0), 0u);
    EXPECT_NE(address.find(".example/"), std::string::npos);
    EXPECT_NE(address.find("?VendorID="), std::string::npos);
    EXPECT_NE(address.find("&refcode="), std::string::npos);
}

TEST_F(WebLaunchTest, MissingOrEmptyValueOpensNothing) {
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        if (value)
            Configure(value);
        EXPECT_EQ(WebLaunch(&record, nullptr, "WebRegistration", 5, nullptr), 0x2000006Au);
        EXPECT_EQ(record.code, 0x2000006Au);
        EXPECT_EQ(record.hresult, 0xA007006Au);
        EXPECT_EQ(record.line, 101u);
        EXPECT_EQ(W(record.param1), W(std::string(kWebUrlsKey) + "\\WebRegistration"));
        EXPECT_EQ(record.param2[0], 0);
        ASSERT_EQ(record.trailCount, 1);
        EXPECT_STREQ(record.trail[0].name, "WebLaunch");
        EXPECT_EQ(record.trail[0].line, 105u);
    }
    // Only the marker address below reaches the handler.
    record = ErrorRecordW();
    ExpectSuccess(WebLaunch(&record, nullptr, "WebRegistration", 0, "https://marker.example/"));
    EXPECT_EQ(Opened(), (std::vector<std::string>{"https://marker.example/"}));
}

TEST_F(WebLaunchTest, QueryThatDoesNotFitIsReportedAndTheCutAddressOpened) {
    const std::string address = "https://long.example/" + std::string(230, 'p'); // 251 chars
    Configure(address.c_str());
    EXPECT_EQ(WebLaunch(&record, nullptr, "WebRegistration", 12345678, nullptr), 0x200008E8u);
    const std::string cut = (address + "?MachineID=12345678").substr(0, 259);
    EXPECT_EQ(record.line, 76u);
    EXPECT_EQ(W(record.param1), L"0");
    EXPECT_EQ(W(record.param2), W(cut));
    ASSERT_EQ(record.trailCount, 1);
    EXPECT_EQ(record.trail[0].line, 105u);
    EXPECT_EQ(Opened(1).back(), cut);

    // The vendor identifier's append is reported at its own line.
    const std::string nearlyFull = "https://long.example/" + std::string(236, 'p'); // 257 chars
    Configure(nearlyFull.c_str());
    Vendor("B1000");
    EXPECT_EQ(WebLaunch(&record, nullptr, "WebRegistration", 0, nullptr), 0x200008E8u);
    EXPECT_EQ(record.line, 87u);
    EXPECT_EQ(W(record.param2), W(nearlyFull + "?V"));
    EXPECT_EQ(Opened(2).back(), nearlyFull + "?V");

    // A given address with a machine id reports at line 58.
    EXPECT_EQ(WebLaunch(&record, nullptr, "WebRegistration", 3, nearlyFull.c_str()), 0x200008E8u);
    EXPECT_EQ(record.line, 58u);
    EXPECT_EQ(Opened(3).back(), nearlyFull + "?M");
}

TEST_F(WebLaunchTest, GivenAddressTooLongIsCutSilently) {
    const std::string address = "https://long.example/" + std::string(300, 'q');
    ExpectSuccess(WebLaunch(&record, nullptr, "WebRegistration", 0, address.c_str()));
    EXPECT_EQ(Opened(), (std::vector<std::string>{address.substr(0, 259)}));
}

TEST_F(WebLaunchTest, ShellFailureIsRecorded) {
    ASSERT_TRUE(RegisterHandler("\"C:\\no\\such\\handler.exe\" \"%1\""));
    EXPECT_EQ(WebLaunch(&record, nullptr, "WebRegistration", 0, "https://fail.example/"),
              0x200008E8u);
    EXPECT_EQ(record.hresult, 0xA00708E8u);
    EXPECT_EQ(record.line, 64u);
    EXPECT_STREQ(record.name, "WebLaunch");
    const int shellResult = _wtoi(record.param1);
    EXPECT_GT(shellResult, 0);
    EXPECT_LE(shellResult, 32);
    EXPECT_EQ(W(record.param2), L"https://fail.example/");
    ASSERT_EQ(record.trailCount, 1);
    EXPECT_EQ(record.trail[0].line, 105u);

    Configure(kConfigured);
    EXPECT_EQ(WebLaunch(&record, nullptr, "WebRegistration", 0, nullptr), 0x200008E8u);
    EXPECT_EQ(record.line, 94u);
    EXPECT_EQ(W(record.param2), W(kConfigured));
}

TEST_F(WebLaunchTest, SuccessClearsTheCodeButKeepsOldParameters) {
    SetError(&record, "Earlier", 1, ERR_UNABLE_TO_VIEW);
    SetParamText(&record, 1, "kept");
    ExpectSuccess(WebLaunch(&record, nullptr, "WebRegistration", 0, "https://ok.example/"));
    EXPECT_EQ(W(record.param1), L"kept");
    EXPECT_EQ(record.mode, 0u);
    EXPECT_EQ(Opened(), (std::vector<std::string>{"https://ok.example/"}));
}

TEST_F(WebLaunchTest, SignUpPagePrefersTheConfiguredAddress) {
    OpenSignUpPage(nullptr);
    EXPECT_EQ(Opened(1).back(), kDefaultSignUpAddress);
    Configure("");
    OpenSignUpPage(nullptr);
    EXPECT_EQ(Opened(2).back(), kDefaultSignUpAddress);
    Configure(kConfigured);
    Vendor("B1000");
    OpenSignUpPage(nullptr);
    EXPECT_EQ(Opened(3).back(), std::string(kConfigured) + "?VendorID=B1000");
}

} // namespace
