// The package table's layout, checked against numbers written by hand.
#include <gtest/gtest.h>

#include <cstddef>

#include "package/package_layout.h"
#include "package/package_table.h"

namespace {

// Layout version 1, the first installers' table, by hand and frozen: every
// field 32 bits wide in the 32-bit installer; pointers in 8-byte slots,
// aligned on 8, in the 64-bit one.  Whatever rows later versions add, the
// tools must read these installers where they were written.
TEST(BqpackImage, LayoutVersion1StaysAsTheFirstInstallersHaveIt) {
    const struct {
        TableField field;
        std::uint32_t at32;
        std::uint32_t at64;
    } frozen[] = {
        {kFieldFileNames, 0, 0},          {kFieldExpandedSizes, 24, 48},
        {kFieldStoredSizes, 48, 72},      {kFieldBuildFolder, 72, 96},
        {kFieldFileData, 76, 104},        {kFieldFileCount, 100, 152},
        {kFieldEngineProgram, 104, 160},  {kFieldInitVerb, 108, 168},
        {kFieldInitVerbDR, 112, 176},     {kFieldInitVerbAutoUp, 116, 184},
        {kFieldSchedulerClass, 120, 192}, {kFieldSchedulerCommand, 124, 200},
        {kFieldShellClass, 128, 208},     {kFieldEngineClass, 132, 216},
        {kFieldShellMessage, 136, 224},   {kFieldConfigFileName, 140, 232},
        {kFieldPassSetupPath, 144, 240},  {kFieldVerifyDigests, 148, 244},
        {kFieldDefaultFolder, 152, 248},  {kFieldAskForFolder, 156, 256},
    };
    const TableLayout& narrow = *TableLayoutFor(kLayoutVersion1, 4);
    const TableLayout& wide = *TableLayoutFor(kLayoutVersion1, 8);
    std::uint32_t held = 0;
    for (std::uint32_t f = 0; f < kTableFieldCount; ++f)
        held += narrow.Holds(static_cast<TableField>(f)) ? 1 : 0;
    EXPECT_EQ(held, sizeof frozen / sizeof frozen[0]);
    for (const auto& row : frozen) {
        SCOPED_TRACE(kTableFields[row.field].name);
        EXPECT_TRUE(narrow.Holds(row.field));
        EXPECT_TRUE(wide.Holds(row.field));
        EXPECT_EQ(narrow.offset[row.field], row.at32);
        EXPECT_EQ(wide.offset[row.field], row.at64);
    }
    EXPECT_EQ(narrow.size, 160u);
    EXPECT_EQ(wide.size, 264u); // the last field ends at 260
    EXPECT_EQ(narrow.At(kFieldFileData, 5), 96u);
    EXPECT_EQ(wide.At(kFieldFileData, 5), 144u);
}

// The reader knows every version from the first to the one written, and no
// other.
TEST(BqpackImage, EveryLayoutVersionUpToTheWrittenOneIsKnown) {
    for (std::uint32_t width : {4u, 8u}) {
        EXPECT_EQ(nullptr, TableLayoutFor(0, width));
        EXPECT_EQ(nullptr, TableLayoutFor(kLayoutVersion + 1, width));
        for (std::uint32_t v = kLayoutVersion1; v <= kLayoutVersion; ++v) {
            ASSERT_NE(nullptr, TableLayoutFor(v, width));
            EXPECT_EQ(TableLayoutFor(v, width)->version, v);
            EXPECT_EQ(TableLayoutFor(v, width)->pointerBytes, width);
        }
    }
}

// This program's own PackageTable is one of the two.
TEST(BqpackImage, TableOfThisBuildHasTheLayoutOfItsPointerWidth) {
    EXPECT_EQ(sizeof(PackageTable), sizeof(void*) == 4 ? 160u : 264u);
    EXPECT_EQ(offsetof(PackageTable, AskForFolder), sizeof(void*) == 4 ? 156u : 256u);
}

} // namespace
