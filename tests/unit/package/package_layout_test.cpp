// The package table's layout, checked against numbers written by hand.
#include <gtest/gtest.h>

#include <cstddef>

#include "package/package_layout.h"
#include "package/package_table.h"

namespace {

// The table's layout, by hand: every field 32 bits wide in the 32-bit
// installer; pointers in 8-byte slots, aligned on 8, in the 64-bit one.
TEST(BqpackImage, TableLayoutIs32BitFieldsIn32BitImages) {
    EXPECT_EQ(kTableLayout32.size, 160u);
    EXPECT_EQ(kTableLayout32.offset[kFieldBuildFolder], 72u);
    EXPECT_EQ(kTableLayout32.offset[kFieldFileCount], 100u);
    EXPECT_EQ(kTableLayout32.offset[kFieldSchedulerCommand], 124u);
    EXPECT_EQ(kTableLayout32.offset[kFieldAskForFolder], 156u);
    EXPECT_EQ(kTableLayout32.At(kFieldFileData, 5), 96u);
}

TEST(BqpackImage, TableLayoutHas8BytePointersIn64BitImages) {
    EXPECT_EQ(kTableLayout64.size, 264u);
    EXPECT_EQ(kTableLayout64.offset[kFieldExpandedSizes], 48u);
    EXPECT_EQ(kTableLayout64.offset[kFieldBuildFolder], 96u);
    EXPECT_EQ(kTableLayout64.offset[kFieldFileCount], 152u);
    EXPECT_EQ(kTableLayout64.offset[kFieldEngineProgram], 160u); // after 4 bytes of padding
    EXPECT_EQ(kTableLayout64.offset[kFieldSchedulerCommand], 200u);
    EXPECT_EQ(kTableLayout64.offset[kFieldShellClass], 208u);
    EXPECT_EQ(kTableLayout64.offset[kFieldAskForFolder], 256u);
}

// This program's own PackageTable is one of the two.
TEST(BqpackImage, TableOfThisBuildHasTheLayoutOfItsPointerWidth) {
    EXPECT_EQ(sizeof(PackageTable), sizeof(void*) == 4 ? 160u : 264u);
    EXPECT_EQ(offsetof(PackageTable, AskForFolder), sizeof(void*) == 4 ? 156u : 256u);
}

} // namespace
