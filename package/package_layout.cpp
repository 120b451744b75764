// Ties the table's and the anchor's descriptions (package_layout.h) to
// PackageTable and PackageAnchor as this compiler lays them out: a build for either pointer width
// fails here when the two disagree, so the tools read and write the record the installer reads.
#include <cstddef>

#include "package/package_layout.h"
#include "package/package_table.h"

namespace {

constexpr TableLayout kLayout = MakeTableLayout(sizeof(void*));
static_assert(sizeof(PackageTable) == kLayout.size, "PackageTable size");
static_assert(offsetof(PackageTable, FileNames) == kLayout.offset[kFieldFileNames], "FileNames");
static_assert(offsetof(PackageTable, ExpandedSizes) == kLayout.offset[kFieldExpandedSizes],
              "ExpandedSizes");
static_assert(offsetof(PackageTable, StoredSizes) == kLayout.offset[kFieldStoredSizes],
              "StoredSizes");
static_assert(offsetof(PackageTable, BuildFolder) == kLayout.offset[kFieldBuildFolder],
              "BuildFolder");
static_assert(offsetof(PackageTable, FileData) == kLayout.offset[kFieldFileData], "FileData");
static_assert(offsetof(PackageTable, FileCount) == kLayout.offset[kFieldFileCount], "FileCount");
static_assert(offsetof(PackageTable, EngineProgram) == kLayout.offset[kFieldEngineProgram],
              "EngineProgram");
static_assert(offsetof(PackageTable, InitVerb) == kLayout.offset[kFieldInitVerb], "InitVerb");
static_assert(offsetof(PackageTable, InitVerbDR) == kLayout.offset[kFieldInitVerbDR], "InitVerbDR");
static_assert(offsetof(PackageTable, InitVerbAutoUp) == kLayout.offset[kFieldInitVerbAutoUp],
              "InitVerbAutoUp");
static_assert(offsetof(PackageTable, SchedulerClass) == kLayout.offset[kFieldSchedulerClass],
              "SchedulerClass");
static_assert(offsetof(PackageTable, SchedulerCommand) == kLayout.offset[kFieldSchedulerCommand],
              "SchedulerCommand");
static_assert(offsetof(PackageTable, ShellClass) == kLayout.offset[kFieldShellClass], "ShellClass");
static_assert(offsetof(PackageTable, EngineClass) == kLayout.offset[kFieldEngineClass],
              "EngineClass");
static_assert(offsetof(PackageTable, ShellMessage) == kLayout.offset[kFieldShellMessage],
              "ShellMessage");
static_assert(offsetof(PackageTable, ConfigFileName) == kLayout.offset[kFieldConfigFileName],
              "ConfigFileName");
static_assert(offsetof(PackageTable, PassSetupPath) == kLayout.offset[kFieldPassSetupPath],
              "PassSetupPath");
static_assert(offsetof(PackageTable, VerifyDigests) == kLayout.offset[kFieldVerifyDigests],
              "VerifyDigests");
static_assert(offsetof(PackageTable, DefaultFolder) == kLayout.offset[kFieldDefaultFolder],
              "DefaultFolder");
static_assert(offsetof(PackageTable, AskForFolder) == kLayout.offset[kFieldAskForFolder],
              "AskForFolder");

constexpr AnchorLayout kAnchor = MakeAnchorLayout(sizeof(void*));
static_assert(sizeof(PackageAnchor) == kAnchor.size, "PackageAnchor size");
static_assert(offsetof(PackageAnchor, version) == kAnchor.version, "version");
static_assert(offsetof(PackageAnchor, table) == kAnchor.table, "table");
static_assert(offsetof(PackageAnchor, config) == kAnchor.config, "config");
static_assert(offsetof(PackageAnchor, sealState) == kAnchor.sealState, "sealState");
static_assert(offsetof(PackageAnchor, seal) == kAnchor.seal, "seal");
static_assert(sizeof(ConfigTemplate) == 4370, "ConfigTemplate");

} // namespace
