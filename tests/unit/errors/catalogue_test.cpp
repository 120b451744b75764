// The message catalogues, the help text and the module table.
#include "errors/catalogue.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace {

// FNV-1a over "key:text\n" of every key with a text, in ascending order:
// pins every character of every row.
struct Fnv {
    std::uint64_t h = 0xCBF29CE484222325ull;
    void Add(const std::string& s) {
        for (unsigned char c : s) {
            h ^= c;
            h *= 0x100000001B3ull;
        }
    }
    void AddRow(std::uint32_t key, const char* text) {
        Add(std::to_string(key) + ":" + text + "\n");
    }
};

struct KeyText {
    std::uint32_t key;
    const char* text;
};

// Expects lookup to give each key its text.
template <std::size_t N>
void ExpectTexts(const char* (*lookup)(std::uint32_t), const KeyText (&cases)[N]) {
    for (const KeyText& c : cases) {
        EXPECT_STREQ(lookup(c.key), c.text) << c.key << " (0x" << std::hex << c.key << ")";
    }
}

// The rows of a catalogue with the keys 0..0xFFFF (looked up as base + key):
// how many have a text, the distinct texts and the hash of them all.
struct Rows {
    int count = 0;
    std::set<std::string> texts;
    Fnv fnv;
};

Rows RowsOf(const char* (*lookup)(std::uint32_t), std::uint32_t base) {
    Rows rows;
    for (std::uint32_t n = 0; n <= 0xFFFF; ++n) {
        const char* text = lookup(base + n);
        EXPECT_NE(text, nullptr) << n;
        if (text != nullptr && text[0] != '\0') {
            ++rows.count;
            rows.texts.insert(text);
            rows.fnv.AddRow(n, text);
        }
    }
    return rows;
}

TEST(Catalogue, ApplicationRows) {
    const Rows rows = RowsOf(ApplicationMessage, 0x20000000u);
    EXPECT_EQ(rows.count, 133);
    EXPECT_EQ(rows.fnv.h, 0xBAFEFB943AFE1ECCull);
}

TEST(Catalogue, ApplicationTexts) {
    const KeyText cases[] = {
        {0x20000002u, "User canceled the operation"},
        {0x200008B5u, "User canceled the operation"},
        {0x200007DCu, "Invalid Machine ID"},
        {0x200008CEu, "Invalid Machine ID"},
        {0x20000B63u, "Invalid Machine ID"},
        {0x2000006Au, "Registry key\r\n  '%1\\%2'\r\n is missing or bad"},
        {0x200008A3u, "Unable to create directory (W%1 %2)"},
        {0x20000FABu, "Failed to obtain needed syncronization handle"},
        {0x20000EE0u, "Error executing FTP command %1\r\n Reply line: %2"},
        {0x200008D0u, "Merging DB's have different archive sets"},
        {0x200008E4u, "Unable to write file '%2' (error W%1).  Disk full?"},
        {0x20000FD1u, "Must close Backup or Restore Engine Window first"},
        {0x20000000u, ""},
        {0x20000001u, ""},
        {0x20000005u, ""},
        {0x2000270Fu, ""},
        {0x00000002u, ""},
        {0xA0070002u, ""},
    };
    ExpectTexts(ApplicationMessage, cases);
    // The installer's own codes have no texts.
    for (std::uint32_t n = 4150; n <= 4161; ++n) {
        EXPECT_STREQ(ApplicationMessage(0x20000000u + n), "") << n;
    }
    // Rows that share a text share one constant, as does every empty text.
    EXPECT_EQ(ApplicationMessage(0x20000002u), ApplicationMessage(0x200008B5u));
    EXPECT_EQ(ApplicationMessage(0x200008ADu), Win32Message(2));
    EXPECT_EQ(ApplicationMessage(0x20000064u), Win32Message(14));
    EXPECT_EQ(ApplicationMessage(0x20001036u), Win32Message(4));
    EXPECT_EQ(HResultMessage(0), ApplicationHelp(0));
}

TEST(Catalogue, Win32Texts) {
    const KeyText cases[] = {
        {2, "Cannot find file (%1)"},
        {3, "Cannot find path (%1)"},
        {5, "Access is denied (%1)"},
        {14, "Out of memory"},
        {32, "File in use by another program (%1)"},
        {87, "Invalid parameter"},
        {600, "Dialup Networking problem."},
        {602, "Port already in use"},
        {630, "Modem not responding"},
        {692, "Modem not responding"},
        {645, "Service Provider login problem"},
        {709, "Service Provider login problem"},
        {676, "Unable to dial -- line busy"},
        {680, "Unable to dial -- no dial tone"},
        {691, "Bad Dialup Networking password"},
        {700, "Dialup Networking problem."},
        {798, "Dialup Networking problem."},
        {599, ""},
        {799, ""},
        {0, ""},
        {4, ""},
        {183, ""},
        {0x10000u + 5, ""},
    };
    ExpectTexts(Win32Message, cases);
    const Rows rows = RowsOf(Win32Message, 0);
    // 7 numbers below 600 and the whole range 600..798.
    EXPECT_EQ(rows.count, 7 + 199);
    EXPECT_EQ(rows.texts.size(), 18u);
    EXPECT_EQ(rows.fnv.h, 0x03F61C5D4FB1E44Aull);
}

TEST(Catalogue, HResultAndHelpTexts) {
    EXPECT_STREQ(HResultMessage(0x80004001u), "Feature is not supported");
    EXPECT_STREQ(HResultMessage(0x80004004u), "User cancelled operation");
    EXPECT_STREQ(HResultMessage(0x80004005u), "Internal error");
    EXPECT_STREQ(HResultMessage(0x8000FFFFu), "Internal error");
    EXPECT_STREQ(HResultMessage(0x80070005u), "");
    EXPECT_STREQ(HResultMessage(0x00004005u), "");
    EXPECT_STREQ(ApplicationHelp(0x20000003u), "test help string kErrTest");
    for (std::uint32_t n = 0; n <= 0xFFFF; ++n) {
        if (n != 3) {
            ASSERT_STREQ(ApplicationHelp(0x20000000u + n), "") << n;
        }
    }
    EXPECT_STREQ(ApplicationHelp(3), "");
}

TEST(ModuleTable, RowsAscendingAndTerminated) {
    int rows = 0;
    std::uint32_t previous = 0;
    Fnv fnv;
    const ModuleEntry* row = kModuleTable;
    for (; row->number != 0; ++row) {
        EXPECT_GT(row->number, previous);
        EXPECT_NE(row->name[0], '\0') << row->number;
        previous = row->number;
        fnv.AddRow(row->number, row->name);
        // The lookup keeps its own packed copy of the rows.
        EXPECT_STREQ(ModuleName(row->number), row->name) << row->number;
        ++rows;
    }
    EXPECT_STREQ(row->name, "");
    EXPECT_EQ(rows, 146);
    EXPECT_EQ(fnv.h, 0xC57E9CD57B9F80C3ull);
}

TEST(ModuleTable, Names) {
    const KeyText cases[] = {
        {1, "CommRPC"},
        {10, "TCriticalSection"},
        {200, "FileIo32"},
        {16002, "FileUnpack"},
        {10203, "WebLaunch"},
        {30003, "StreamLog"},
        {204, ""},
        {212, ""},
        {10006, ""},
        {0, ""},
        {11, ""},
        {0xFFFFFFFFu, ""},
    };
    ExpectTexts(ModuleName, cases);
}

} // namespace
