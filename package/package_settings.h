// The install settings a package carries in its table, as the tools see
// them: written from a manifest by `bqpack build`, read back from an image by
// the inspect commands.  The defaults are the settings of the client release.
//
// Both PackageSettings and kPackageSettings come from the table's rows
// (package_format.h): each setting's manifest key, its label in `bqpack
// info`, the table field that holds it (whose kind, Text, Number or Flag,
// says how it is stored) and its member of PackageSettings.  The manifest
// reader, the stub writer, the image reader, the seal and `bqpack info` all
// go through them.  Portable: no platform headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "package/package_format.h"
#include "package/package_layout.h"

#define BQ_SETTING_TYPE_Text std::string
#define BQ_SETTING_TYPE_Number std::uint32_t
#define BQ_SETTING_TYPE_Flag std::int32_t
#define BQ_SETTINGS_NONE_SLOTS(Name, Kind, layout)
#define BQ_SETTINGS_NONE_COUNT(Name, layout)
#define BQ_SETTINGS_MEMBER(Name, Kind, member, key, label, release, shown, nullable, layout)       \
    BQ_SETTING_TYPE_##Kind member = release;
struct PackageSettings {
    BQ_PACKAGE_TABLE(BQ_SETTINGS_NONE_SLOTS, BQ_SETTINGS_NONE_COUNT, BQ_SETTINGS_MEMBER)
};
#undef BQ_SETTINGS_MEMBER

struct PackageSetting {
    const char* key;   // in the manifest
    const char* label; // in `bqpack info`; its JSON name is the field's, lower-case first
    TableField field;
    // Exactly one member, by the field's kind.
    std::string PackageSettings::*text;
    std::uint32_t PackageSettings::*number;
    std::int32_t PackageSettings::*flag;
    bool mayBeNull;      // a text the installer never reads: an image may leave it null
    std::uint32_t shown; // its place in `bqpack info`
};

constexpr PackageSetting MakeSetting(const char* key, const char* label, TableField field,
                                     std::string PackageSettings::*member, std::uint32_t shown,
                                     bool mayBeNull) {
    return {key, label, field, member, nullptr, nullptr, mayBeNull, shown};
}
constexpr PackageSetting MakeSetting(const char* key, const char* label, TableField field,
                                     std::uint32_t PackageSettings::*member, std::uint32_t shown,
                                     bool mayBeNull) {
    return {key, label, field, nullptr, member, nullptr, mayBeNull, shown};
}
constexpr PackageSetting MakeSetting(const char* key, const char* label, TableField field,
                                     std::int32_t PackageSettings::*member, std::uint32_t shown,
                                     bool mayBeNull) {
    return {key, label, field, nullptr, nullptr, member, mayBeNull, shown};
}

// In the table's order, the order the installer lays them out and the seal
// covers them.
#define BQ_SETTINGS_ROW(Name, Kind, member, key, label, release, shown, nullable, layout)          \
    MakeSetting(key, label, kField##Name, &PackageSettings::member, shown, nullable),
inline constexpr PackageSetting kSettingsInTableOrder[] = {
    BQ_PACKAGE_TABLE(BQ_SETTINGS_NONE_SLOTS, BQ_SETTINGS_NONE_COUNT, BQ_SETTINGS_ROW)};
#undef BQ_SETTINGS_ROW
#undef BQ_SETTINGS_NONE_SLOTS
#undef BQ_SETTINGS_NONE_COUNT
inline constexpr std::size_t kSettingCount =
    sizeof kSettingsInTableOrder / sizeof kSettingsInTableOrder[0];

struct SettingList {
    PackageSetting items[kSettingCount];
    constexpr const PackageSetting* begin() const { return items; }
    constexpr const PackageSetting* end() const { return items + kSettingCount; }
};

constexpr SettingList InShownOrder() {
    SettingList list{};
    for (const PackageSetting& s : kSettingsInTableOrder)
        list.items[s.shown] = s;
    return list;
}

// In the order `bqpack info` shows them.
inline constexpr SettingList kPackageSettings = InShownOrder();

constexpr TableFieldKind SettingKind(const PackageSetting& setting) {
    return kTableFields[setting.field].kind;
}

// The setting a table field holds; null for the file slots and FileCount.
constexpr const PackageSetting* SettingOfField(std::uint32_t field) {
    for (const PackageSetting& s : kSettingsInTableOrder)
        if (s.field == field)
            return &s;
    return nullptr;
}

// Visits the settings in the table's order, the order the installer lays
// them out and the seal covers them.
template <typename Visit> void ForEachSettingInTableOrder(Visit visit) {
    for (const PackageSetting& s : kSettingsInTableOrder)
        visit(s);
}

// A Number or Flag setting as the 32-bit word the table holds.
inline std::uint32_t SettingWord(const PackageSettings& settings, const PackageSetting& s) {
    return s.number ? settings.*s.number : static_cast<std::uint32_t>(settings.*s.flag);
}

// Every setting's member suits its field's kind, and each has its own place
// in `bqpack info`.
constexpr bool SettingsDescribeTable() {
    bool shown[kSettingCount] = {};
    for (const PackageSetting& s : kSettingsInTableOrder) {
        const TableFieldKind kind = SettingKind(s);
        if ((s.text != nullptr) != (kind == TableFieldKind::Text) ||
            (s.number != nullptr) != (kind == TableFieldKind::Number) ||
            (s.flag != nullptr) != (kind == TableFieldKind::Flag) ||
            (s.mayBeNull && kind != TableFieldKind::Text) || s.shown >= kSettingCount ||
            shown[s.shown])
            return false;
        shown[s.shown] = true;
    }
    return true;
}
static_assert(SettingsDescribeTable(), "the table's settings and their kinds disagree");
