// Storing what the user entered: the registry values, their types and
// bytes, the notice to the scheduler, and the password buffer afterwards.
#include "credstamp/credentials.h"
#include "credstamp/web_launch.h"
#include "digest/md5.h"
#include "registry/client_keys.h"
#include "tests/driver/driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kBramblequistKey[] = "Software\\Quintar\\Bramblequist";
const char kMd5Abc[] = "\x90\x01\x50\x98\x3c\xd2\x4f\xb0\xd6\x96\x3f\x7d\x28\xe1\x7f\x72";
// A token stored before; RegSetString adds the terminating zero.
const std::string kOldToken = std::string(15, 'Z') + '\0';

std::string Md5Of(const std::string& text) {
    std::uint8_t digest[16];
    Md5Digest(text.data(), static_cast<std::uint32_t>(text.size()), digest);
    return std::string(reinterpret_cast<char*>(digest), 16);
}

// A window of the scheduler's class in this process; the posted command
// lands in this thread's queue.
struct FakeScheduler {
    HWND window = nullptr;
    FakeScheduler() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClientSchedulerClass;
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, kClientSchedulerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
    }
    ~FakeScheduler() { DestroyWindow(window); }
    // The commands posted to it so far.
    std::string Received() {
        std::string got;
        MSG message;
        while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
            if (message.message == WM_COMMAND)
                got += std::to_string(message.wParam) + "," + std::to_string(message.lParam) + ";";
        }
        return got;
    }
};

class StoreCredentialsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driver::RegDeleteTree(kBramblequistKey);
        ASSERT_TRUE(scheduler.window);
    }
    void TearDown() override { driver::RegDeleteTree(kBramblequistKey); }

    // Runs StoreCredentials with a zero-filled password buffer, as the
    // dialog hands it over, and checks that the buffer ends cleared.
    int Store(const char* machineId, const std::string& password) {
        char buffer[kPasswordTextSize] = {};
        std::memcpy(buffer, password.data(), password.size());
        const int result = StoreCredentials(machineId, buffer);
        EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(kPasswordTextSize, '\0'));
        return result;
    }
    bool Get(const char* value, DWORD* type, std::string* data) {
        return driver::RegGet(kPersistentKey, value, type, data);
    }

    FakeScheduler scheduler;
};

TEST_F(StoreCredentialsTest, StoresMachineIdAndTokenAndTellsTheScheduler) {
    EXPECT_EQ(Store("1234567", "  abc \t"), 1);
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Get("MachineId", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, driver::DwordBytes(1234567));
    ASSERT_TRUE(Get("AccessToken", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(data, std::string(kMd5Abc, 16));
    EXPECT_EQ(scheduler.Received(), "13200,0;");
}

TEST_F(StoreCredentialsTest, MachineIdConversions) {
    struct Case {
        const char* text;
        bool written;
        DWORD value;
    };
    const Case cases[] = {
        {"", false, 0},          {"0", false, 0},
        {"abc", false, 0},       {"-5", true, 0xFFFFFFFBu},
        {"4294967297", true, 1}, {"2147483648", true, 0x80000000u},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(driver::RegSetDword(kPersistentKey, "MachineId", 777));
        EXPECT_EQ(Store(c.text, "pw"), 1);
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(Get("MachineId", &type, &data));
        EXPECT_EQ(data, driver::DwordBytes(c.written ? c.value : 777)) << '"' << c.text << '"';
        // The password is processed and the scheduler told in every case.
        ASSERT_TRUE(Get("AccessToken", &type, &data));
        EXPECT_EQ(data, Md5Of("pw"));
        EXPECT_EQ(scheduler.Received(), "13200,0;") << '"' << c.text << '"';
    }
}

TEST_F(StoreCredentialsTest, PasswordTrimming) {
    struct Case {
        std::string password;
        std::string digested; // empty: token left unchanged
    };
    const Case cases[] = {
        {"", ""},
        {"   ", ""},
        {"\t \r\n", ""},
        {"secret", "secret"},
        {" se cr et ", "se cr et"},
        {std::string("\x01pass\x1f", 6), "pass"},
        {"\x80\xff", "\x80\xff"},
        {std::string(119, 'p'), std::string(119, 'p')},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(driver::RegSetString(kPersistentKey, "AccessToken", kOldToken.substr(0, 15),
                                         REG_BINARY));
        EXPECT_EQ(Store("0", c.password), 1);
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(Get("AccessToken", &type, &data));
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        if (c.digested.empty())
            EXPECT_EQ(data, kOldToken) << '"' << c.password << '"';
        else
            EXPECT_EQ(data, Md5Of(c.digested)) << '"' << c.password << '"';
        EXPECT_EQ(scheduler.Received(), "13200,0;");
    }
}

TEST_F(StoreCredentialsTest, NoSchedulerIsNotAnError) {
    DestroyWindow(scheduler.window);
    scheduler.window = nullptr;
    EXPECT_EQ(NotifyScheduler(), 0);
    EXPECT_EQ(Store("9", "x"), 1);
    DWORD type = 0;
    std::string data;
    EXPECT_TRUE(Get("MachineId", &type, &data));
}

// A volatile key cannot hold the tool's non-volatile key below it, so every
// write below it fails, as a write to a read-only registry would.
TEST_F(StoreCredentialsTest, FailedWriteStopsAndTellsNobody) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(Store("42", "secret"), 0);
    EXPECT_EQ(Store("0", "secret"), 0); // the token write alone fails the same way
    EXPECT_EQ(Store("0", ""), 1);       // nothing to write: only the notice
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPersistentKey, 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(scheduler.Received(), "13200,0;");
}

} // namespace
