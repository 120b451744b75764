#include "registry/registry.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

const char kBase[] = "Software\\Quintar\\BramblequistTest\\Registry";

// A fresh key path per test, removed before and after.
class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        wsprintfA(path_, "%s\\%s", kBase, name);
        Remove();
    }
    void TearDown() override { Remove(); }
    void Remove() {
        // Deepest first: RegDeleteKeyA removes one level without subkeys.
        char sub[300];
        wsprintfA(sub, "%s\\Deeper\\Still", path_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, sub);
        wsprintfA(sub, "%s\\Deeper", path_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, sub);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, path_);
    }
    void SetRaw(const char* name, DWORD type, const void* data, DWORD count) {
        ASSERT_EQ(1, RegWriteValue(path_, name, type, data, count, HKEY_LOCAL_MACHINE));
    }
    char path_[260];
};

TEST_F(RegistryTest, ReadStringOfAbsentValueZeroesWholeBuffer) {
    char buffer[32];
    memset(buffer, 'x', sizeof(buffer));
    DWORD size = sizeof(buffer);
    // Missing key: buffer cleared, size unchanged.
    EXPECT_EQ(0, RegReadString(path_, "Nothing", buffer, &size, HKEY_LOCAL_MACHINE));
    EXPECT_EQ(sizeof(buffer), size);
    for (char c : buffer) {
        EXPECT_EQ('\0', c);
    }
    // Key present, value missing.
    SetRaw("Other", REG_SZ, "a", 2);
    memset(buffer, 'x', sizeof(buffer));
    size = sizeof(buffer);
    EXPECT_EQ(0, RegReadString(path_, "Nothing", buffer, &size, HKEY_LOCAL_MACHINE));
    for (char c : buffer) {
        EXPECT_EQ('\0', c);
    }
}

TEST_F(RegistryTest, ReadStringReportsTypeAndSize) {
    SetRaw("Empty", REG_SZ, "", 1);
    SetRaw("Text", REG_SZ, "C:\\Client", 10);
    SetRaw("Expand", REG_EXPAND_SZ, "%TEMP%", 7);
    SetRaw("Long", REG_SZ, "0123456789", 11);

    char buffer[8];
    DWORD size = sizeof(buffer);
    EXPECT_EQ(1, RegReadString(path_, "Empty", buffer, &size, HKEY_LOCAL_MACHINE));
    EXPECT_EQ(1u, size);

    char wide[32];
    size = sizeof(wide);
    EXPECT_EQ(1, RegReadString(path_, "Text", wide, &size, HKEY_LOCAL_MACHINE));
    EXPECT_EQ(10u, size);
    EXPECT_STREQ("C:\\Client", wide);

    // Another text type fits and is copied, but is not a REG_SZ.
    size = sizeof(wide);
    EXPECT_EQ(0, RegReadString(path_, "Expand", wide, &size, HKEY_LOCAL_MACHINE));
    EXPECT_STREQ("%TEMP%", wide);

    // Larger than the buffer.
    size = sizeof(buffer);
    EXPECT_EQ(0, RegReadString(path_, "Long", buffer, &size, HKEY_LOCAL_MACHINE));
}

TEST_F(RegistryTest, ReadDwordByType) {
    DWORD value = 77;
    EXPECT_EQ(0, RegReadDword(path_, "Missing", &value, HKEY_LOCAL_MACHINE));
    EXPECT_EQ(0u, value);

    ASSERT_EQ(1, RegWriteDword(path_, "Number", 0x12345678, HKEY_LOCAL_MACHINE));
    EXPECT_EQ(1, RegReadDword(path_, "Number", &value, HKEY_LOCAL_MACHINE));
    EXPECT_EQ(0x12345678u, value);

    const unsigned char four[4] = {0x01, 0x02, 0x03, 0x04};
    ASSERT_EQ(1, RegWriteBinary(path_, "Four", four, 4, HKEY_LOCAL_MACHINE));
    value = 0;
    EXPECT_EQ(0, RegReadDword(path_, "Four", &value, HKEY_LOCAL_MACHINE));
    EXPECT_EQ(0x04030201u, value);

    const unsigned char sixteen[16] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    ASSERT_EQ(1, RegWriteBinary(path_, "Sixteen", sixteen, 16, HKEY_LOCAL_MACHINE));
    value = 5;
    EXPECT_EQ(0, RegReadDword(path_, "Sixteen", &value, HKEY_LOCAL_MACHINE));
    EXPECT_EQ(0u, value);
}

TEST_F(RegistryTest, WriteCreatesWholePathAndKeepsType) {
    char deep[300];
    wsprintfA(deep, "%s\\Deeper\\Still", path_);
    const unsigned char token[16] = {0xd4, 0x1d, 0x8c, 0xd9, 0x8f, 0x00, 0xb2, 0x04,
                                     0xe9, 0x80, 0x09, 0x98, 0xec, 0xf8, 0x42, 0x7e};
    ASSERT_EQ(1, RegWriteBinary(deep, "AccessToken", token, 16, HKEY_LOCAL_MACHINE));

    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, deep, 0, KEY_QUERY_VALUE, &key));
    unsigned char read[32] = {};
    DWORD type = 0;
    DWORD size = sizeof(read);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "AccessToken", nullptr, &type, read, &size));
    RegCloseKey(key);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(16u, size);
    EXPECT_EQ(0, memcmp(token, read, 16));
}

} // namespace
