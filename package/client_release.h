// The client release's install settings: the values of the installer
// stub's empty package and of the test packages, and the defaults a
// manifest starts from.  Portable: no platform headers.
#pragma once
#include <cstdint>

inline constexpr char kReleaseBuildFolder[] = "c:\\ReleaseBuild\\";
inline constexpr char kReleaseEngineProgram[] = "Bramblequist.exe";
inline constexpr char kReleaseInitVerb[] = "INITIALIZE";
inline constexpr char kReleaseInitVerbDR[] = "INITIALIZEDR";
inline constexpr char kReleaseInitVerbAutoUp[] = "INITIALIZEAUTOUP";
inline constexpr char kReleaseSchedulerClass[] = "ScheduleWClassV2";
inline constexpr std::uint32_t kReleaseSchedulerCommand = 13201;
inline constexpr char kReleaseShellClass[] = "ClientShellWClassV2";
inline constexpr char kReleaseEngineClass[] = "BackupRestoreEngineWClassV2";
inline constexpr std::uint32_t kReleaseShellMessage = 13210;
inline constexpr char kReleaseConfigFileName[] = "Bramblequist.inz";
inline constexpr std::int32_t kReleasePassSetupPath = 1;
inline constexpr std::int32_t kReleaseVerifyDigests = 1;
inline constexpr char kReleaseDefaultFolder[] = "C:\\Program Files\\Bramblequist";
inline constexpr std::int32_t kReleaseAskForFolder = 1;

// The same from EngineProgram on, in the order of the package table's
// fields, for an initialiser of PackageTable.
#define BQ_RELEASE_TABLE_SETTINGS                                                                  \
    kReleaseEngineProgram, kReleaseInitVerb, kReleaseInitVerbDR, kReleaseInitVerbAutoUp,           \
        kReleaseSchedulerClass, kReleaseSchedulerCommand, kReleaseShellClass, kReleaseEngineClass, \
        kReleaseShellMessage, kReleaseConfigFileName, kReleasePassSetupPath,                       \
        kReleaseVerifyDigests, kReleaseDefaultFolder, kReleaseAskForFolder
