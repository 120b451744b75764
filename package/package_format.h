// The package format, described once: its limits and markers, the layout
// version the installer stub's anchor names, and the package table, one row
// per field.  From the rows come PackageTable (package_table.h), the
// table's layout for both pointer widths (package_layout.h), the settings
// with their manifest keys, `bqpack info` labels and release defaults
// (package_settings.h), the installer stub's empty package
// (setup/package_stub.cpp) and the compile-time checks that tie the
// record the installer reads to the layout the tools read and write
// (package_layout.cpp).  A new setting is one row here, naming the next
// layout version (and its documentation).  Portable: no platform headers;
// the installer compiles it.
#pragma once
#include <cstdint>

enum : std::uint32_t {
    kMaxPackageFiles = 6,        // the table's file slots
    kConfigTextSize = 4096,      // the template's text region; 1 to 4096 bytes are used
    kConfigSourceNameSize = 260, // the template's source name field, its NUL included
    kTableTextMax = 259,         // a text of the table: read into a 260-byte buffer
    kBlobDigestBytes = 16,       // the MD5 digest in front of each file's stored stream
};

// The layout a stub's anchor names by its version: the anchor, the table as
// the rows of BQ_PACKAGE_TABLE that the version holds lay it out, and the
// template.  Each row names the version that first holds it; the latest is
// the one this tree writes (kLayoutVersion, package_layout.h), and the tools
// still read every installer built with an earlier one.
enum : std::uint32_t {
    kLayoutVersion1 = 1, // the first installers' layout
};

// The markers the tools find the package's pieces by: the template begins
// with kConfigMarker and its NUL; each blob is "XXX", the file's name, "XXX"
// and a NUL byte, then the digest (BlobMarker, package_layout.h).
inline constexpr char kConfigMarker[] = "YYYinzYYY";
inline constexpr char kBlobMarkerEnds[] = "XXX";

// The client release's window classes: the installer asks the client's
// programs that own them to end, the stand-ins create them, the credential
// tool tells the scheduler.
inline constexpr char kClientSchedulerClass[] = "ScheduleWClassV2";
inline constexpr char kClientShellClass[] = "ClientShellWClassV2";
inline constexpr char kClientEngineClass[] = "BackupRestoreEngineWClassV2";

// The package table, field by field in the order the image holds them:
//   SLOTS(Name, Kind, layout)  an array of kMaxPackageFiles, one element per
//                              file;
//   COUNT(Name, layout)        the number of files (a signed 32-bit word);
//   SETTING(Name, Kind, member, key, label, release, shown, nullable, layout)
//                              an install setting: its member of
//                              PackageSettings, its manifest key, its `bqpack
//                              info` label, the client release's value (a
//                              manifest's default and the stub's), its place
//                              in `bqpack info` (from 0), and whether an image
//                              may leave it null (a text setup never reads).
// layout is the first layout version that holds the field.  An image of an
// earlier version has no such field: the reader gives its release value.
// Kinds: Text (pointer to a NUL-terminated text of at most kTableTextMax
// bytes), Data (pointer to a blob's digest), Size (unsigned 32-bit byte
// count), Number (unsigned 32-bit identifier), Flag (signed 32-bit, zero or
// not).  Pointers are as wide as the image's; every field is naturally
// aligned.  Rows are never reordered or removed; a new row, anywhere, names
// the next layout version, which thereby becomes the one this tree writes,
// and every earlier version's layout stays as it was (package_layout.h).
// clang-format off
#define BQ_PACKAGE_TABLE(SLOTS, COUNT, SETTING)                                                   \
    SLOTS(FileNames, Text, 1)                                                                     \
    SLOTS(ExpandedSizes, Size, 1)                                                                 \
    SLOTS(StoredSizes, Size, 1)                                                                   \
    SETTING(BuildFolder, Text, buildFolder, "build-folder", "Build folder:",                      \
            "c:\\ReleaseBuild\\", 14, true, 1)                                                    \
    SLOTS(FileData, Data, 1)                                                                      \
    COUNT(FileCount, 1)                                                                           \
    SETTING(EngineProgram, Text, engineProgram, "engine-program", "Engine program:",              \
            "Bramblequist.exe", 4, false, 1)                                                      \
    SETTING(InitVerb, Text, initVerb, "init-verb", "Init verb:", "INITIALIZE", 5, false, 1)       \
    SETTING(InitVerbDR, Text, initVerbDR, "init-verb-dr", "Init verb (/R):", "INITIALIZEDR", 6,   \
            false, 1)                                                                             \
    SETTING(InitVerbAutoUp, Text, initVerbAutoUp, "init-verb-autoup", "Init verb (/G):",          \
            "INITIALIZEAUTOUP", 7, false, 1)                                                      \
    SETTING(SchedulerClass, Text, schedulerClass, "scheduler-class", "Scheduler class:",          \
            kClientSchedulerClass, 8, false, 1)                                                   \
    SETTING(SchedulerCommand, Number, schedulerCommand, "scheduler-command",                      \
            "Scheduler command:", 13201, 9, false, 1)                                             \
    SETTING(ShellClass, Text, shellClass, "shell-class", "Shell class:", kClientShellClass, 10,   \
            false, 1)                                                                             \
    SETTING(EngineClass, Text, engineClass, "engine-class", "Engine class:", kClientEngineClass,  \
            12, false, 1)                                                                         \
    SETTING(ShellMessage, Number, shellMessage, "shell-message", "Shell message:", 13210, 11,     \
            false, 1)                                                                             \
    SETTING(ConfigFileName, Text, configFileName, "config-file-name", "Configuration file:",      \
            "Bramblequist.inz", 13, false, 1)                                                     \
    SETTING(PassSetupPath, Flag, passSetupPath, "pass-setup-path", "Pass setup path:", 1, 2,      \
            false, 1)                                                                             \
    SETTING(VerifyDigests, Flag, verifyDigests, "verify-digests", "Verify digests:", 1, 3,        \
            false, 1)                                                                             \
    SETTING(DefaultFolder, Text, defaultFolder, "default-folder", "Default folder:",              \
            "C:\\Program Files\\Bramblequist", 0, false, 1)                                       \
    SETTING(AskForFolder, Flag, askForFolder, "ask-for-folder", "Ask for folder:", 1, 1, false, 1)
// clang-format on

// The C type of a field of each kind in PackageTable.
#define BQ_TABLE_TYPE_Text const char*
#define BQ_TABLE_TYPE_Data const std::uint8_t*
#define BQ_TABLE_TYPE_Size std::uint32_t
#define BQ_TABLE_TYPE_Number std::uint32_t
#define BQ_TABLE_TYPE_Flag std::int32_t
