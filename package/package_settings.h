// The install settings a package carries in its table, as the tools see
// them: written from a manifest by `bqpack build`, read back from an image by
// the inspect commands.  The defaults are the settings of the client release.
//
// kPackageSettings describes each setting once: its manifest key, its label
// in `bqpack info`, the table field that holds it (whose kind, Text, Number
// or Flag, says how it is stored) and its member of PackageSettings.  The
// manifest reader, the stub writer, the image reader, the seal, the
// generated table source and `bqpack info` all go through it.  Portable: no
// platform headers.
#pragma once
#include <cstdint>
#include <string>

#include "package/client_release.h"
#include "package/package_layout.h"

struct PackageSettings {
    std::string buildFolder = kReleaseBuildFolder;
    std::string engineProgram = kReleaseEngineProgram;
    std::string initVerb = kReleaseInitVerb;
    std::string initVerbDR = kReleaseInitVerbDR;
    std::string initVerbAutoUp = kReleaseInitVerbAutoUp;
    std::string schedulerClass = kReleaseSchedulerClass;
    std::uint32_t schedulerCommand = kReleaseSchedulerCommand;
    std::string shellClass = kReleaseShellClass;
    std::string engineClass = kReleaseEngineClass;
    std::uint32_t shellMessage = kReleaseShellMessage;
    std::string configFileName = kReleaseConfigFileName;
    std::int32_t passSetupPath = kReleasePassSetupPath;
    std::int32_t verifyDigests = kReleaseVerifyDigests;
    std::string defaultFolder = kReleaseDefaultFolder;
    std::int32_t askForFolder = kReleaseAskForFolder;
};

struct PackageSetting {
    const char* key;   // in the manifest
    const char* label; // in `bqpack info`; its JSON name is the field's, lower-case first
    TableField field;
    // Exactly one member, by the field's kind.
    std::string PackageSettings::*text;
    std::uint32_t PackageSettings::*number;
    std::int32_t PackageSettings::*flag;
    bool mayBeNull; // a text the installer never reads: an image may leave it null
};

constexpr PackageSetting TextSetting(const char* key, const char* label, TableField field,
                                     std::string PackageSettings::*member, bool mayBeNull = false) {
    return {key, label, field, member, nullptr, nullptr, mayBeNull};
}
constexpr PackageSetting NumberSetting(const char* key, const char* label, TableField field,
                                       std::uint32_t PackageSettings::*member) {
    return {key, label, field, nullptr, member, nullptr, false};
}
constexpr PackageSetting FlagSetting(const char* key, const char* label, TableField field,
                                     std::int32_t PackageSettings::*member) {
    return {key, label, field, nullptr, nullptr, member, false};
}

// In the order `bqpack info` shows them; the table's order is the fields'.
inline constexpr PackageSetting kPackageSettings[] = {
    TextSetting("default-folder", "Default folder:", kFieldDefaultFolder,
                &PackageSettings::defaultFolder),
    FlagSetting("ask-for-folder", "Ask for folder:", kFieldAskForFolder,
                &PackageSettings::askForFolder),
    FlagSetting("pass-setup-path", "Pass setup path:", kFieldPassSetupPath,
                &PackageSettings::passSetupPath),
    FlagSetting("verify-digests", "Verify digests:", kFieldVerifyDigests,
                &PackageSettings::verifyDigests),
    TextSetting("engine-program", "Engine program:", kFieldEngineProgram,
                &PackageSettings::engineProgram),
    TextSetting("init-verb", "Init verb:", kFieldInitVerb, &PackageSettings::initVerb),
    TextSetting("init-verb-dr", "Init verb (/R):", kFieldInitVerbDR, &PackageSettings::initVerbDR),
    TextSetting("init-verb-autoup", "Init verb (/G):", kFieldInitVerbAutoUp,
                &PackageSettings::initVerbAutoUp),
    TextSetting("scheduler-class", "Scheduler class:", kFieldSchedulerClass,
                &PackageSettings::schedulerClass),
    NumberSetting("scheduler-command", "Scheduler command:", kFieldSchedulerCommand,
                  &PackageSettings::schedulerCommand),
    TextSetting("shell-class", "Shell class:", kFieldShellClass, &PackageSettings::shellClass),
    NumberSetting("shell-message", "Shell message:", kFieldShellMessage,
                  &PackageSettings::shellMessage),
    TextSetting("engine-class", "Engine class:", kFieldEngineClass, &PackageSettings::engineClass),
    TextSetting("config-file-name", "Configuration file:", kFieldConfigFileName,
                &PackageSettings::configFileName),
    // Setup never reads the build folder: an image may leave it null.
    TextSetting("build-folder", "Build folder:", kFieldBuildFolder, &PackageSettings::buildFolder,
                true),
};

constexpr TableFieldKind SettingKind(const PackageSetting& setting) {
    return kTableFields[setting.field].kind;
}

// The setting a table field holds; null for the file slots and FileCount.
constexpr const PackageSetting* SettingOfField(std::uint32_t field) {
    for (const PackageSetting& s : kPackageSettings)
        if (s.field == field)
            return &s;
    return nullptr;
}

// Visits the settings in the table's order, the order the installer lays
// them out and the seal covers them.
template <typename Visit> void ForEachSettingInTableOrder(Visit visit) {
    for (std::uint32_t f = 0; f < kTableFieldCount; ++f)
        if (const PackageSetting* s = SettingOfField(f))
            visit(*s);
}

// A Number or Flag setting as the 32-bit word the table holds.
inline std::uint32_t SettingWord(const PackageSettings& settings, const PackageSetting& s) {
    return s.number ? settings.*s.number : static_cast<std::uint32_t>(settings.*s.flag);
}

// Every table field that is not a file slot or the file count holds one
// setting, whose member suits the field's kind.
constexpr bool SettingsDescribeTable() {
    for (std::uint32_t f = 0; f < kTableFieldCount; ++f) {
        std::uint32_t holders = 0;
        for (const PackageSetting& s : kPackageSettings)
            holders += s.field == f ? 1 : 0;
        const bool perFile = kTableFields[f].count != 1 || f == kFieldFileCount;
        if (holders != (perFile ? 0u : 1u))
            return false;
    }
    for (const PackageSetting& s : kPackageSettings) {
        const TableFieldKind kind = SettingKind(s);
        if ((s.text != nullptr) != (kind == TableFieldKind::Text) ||
            (s.number != nullptr) != (kind == TableFieldKind::Number) ||
            (s.flag != nullptr) != (kind == TableFieldKind::Flag) ||
            (s.mayBeNull && kind != TableFieldKind::Text))
            return false;
    }
    return true;
}
static_assert(SettingsDescribeTable(), "kPackageSettings and the table's fields disagree");
