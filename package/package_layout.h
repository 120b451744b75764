// The package table's fields in the order the image holds them, with their
// kinds, and their byte offsets for either pointer width: 4 in the 32-bit
// installer, 8 in the 64-bit one.  Every field is naturally aligned (a
// pointer on its width, a number on 4 bytes), as the compilers of both
// installers lay out PackageTable; the checks in package_layout.cpp tie the
// two together in every build.  Portable: no platform headers.
#pragma once
#include <cstdint>

enum class TableFieldKind : std::uint8_t {
    Text,   // pointer to a NUL-terminated text (null where unused)
    Data,   // pointer to a blob's digest (null where unused)
    Size,   // unsigned 32-bit byte count
    Number, // unsigned 32-bit identifier
    Flag,   // signed 32-bit, zero or not
    Count,  // signed 32-bit file count
};

enum TableField : std::uint32_t {
    kFieldFileNames,
    kFieldExpandedSizes,
    kFieldStoredSizes,
    kFieldBuildFolder,
    kFieldFileData,
    kFieldFileCount,
    kFieldEngineProgram,
    kFieldInitVerb,
    kFieldInitVerbDR,
    kFieldInitVerbAutoUp,
    kFieldSchedulerClass,
    kFieldSchedulerCommand,
    kFieldShellClass,
    kFieldEngineClass,
    kFieldShellMessage,
    kFieldConfigFileName,
    kFieldPassSetupPath,
    kFieldVerifyDigests,
    kFieldDefaultFolder,
    kFieldAskForFolder,
    kTableFieldCount,
};

struct TableFieldInfo {
    const char* name;
    TableFieldKind kind;
    std::uint32_t count; // 6 for the per-file arrays, else 1
};

inline constexpr TableFieldInfo kTableFields[kTableFieldCount] = {
    {"FileNames", TableFieldKind::Text, 6},      {"ExpandedSizes", TableFieldKind::Size, 6},
    {"StoredSizes", TableFieldKind::Size, 6},    {"BuildFolder", TableFieldKind::Text, 1},
    {"FileData", TableFieldKind::Data, 6},       {"FileCount", TableFieldKind::Count, 1},
    {"EngineProgram", TableFieldKind::Text, 1},  {"InitVerb", TableFieldKind::Text, 1},
    {"InitVerbDR", TableFieldKind::Text, 1},     {"InitVerbAutoUp", TableFieldKind::Text, 1},
    {"SchedulerClass", TableFieldKind::Text, 1}, {"SchedulerCommand", TableFieldKind::Number, 1},
    {"ShellClass", TableFieldKind::Text, 1},     {"EngineClass", TableFieldKind::Text, 1},
    {"ShellMessage", TableFieldKind::Number, 1}, {"ConfigFileName", TableFieldKind::Text, 1},
    {"PassSetupPath", TableFieldKind::Flag, 1},  {"VerifyDigests", TableFieldKind::Flag, 1},
    {"DefaultFolder", TableFieldKind::Text, 1},  {"AskForFolder", TableFieldKind::Flag, 1},
};

constexpr bool IsPointerField(TableFieldKind kind) {
    return kind == TableFieldKind::Text || kind == TableFieldKind::Data;
}

struct TableLayout {
    std::uint32_t pointerBytes;
    std::uint32_t offset[kTableFieldCount]; // of the field's first element
    std::uint32_t size;                     // of the whole record, padding included
    // Byte offset of element i of a field.
    constexpr std::uint32_t At(TableField field, std::uint32_t i = 0) const {
        return offset[field] + i * (IsPointerField(kTableFields[field].kind) ? pointerBytes : 4);
    }
};

constexpr TableLayout MakeTableLayout(std::uint32_t pointerBytes) {
    TableLayout layout{pointerBytes, {}, 0};
    std::uint32_t at = 0;
    for (std::uint32_t f = 0; f < kTableFieldCount; ++f) {
        const std::uint32_t width = IsPointerField(kTableFields[f].kind) ? pointerBytes : 4;
        at = (at + width - 1) / width * width;
        layout.offset[f] = at;
        at += width * kTableFields[f].count;
    }
    layout.size = (at + pointerBytes - 1) / pointerBytes * pointerBytes;
    return layout;
}

inline constexpr TableLayout kTableLayout32 = MakeTableLayout(4);
inline constexpr TableLayout kTableLayout64 = MakeTableLayout(8);
