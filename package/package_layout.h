// The package table's fields (package_format.h) in the order the image
// holds them, with their kinds, and their byte offsets for either pointer
// width: 4 in the 32-bit installer, 8 in the 64-bit one.  Every field is
// naturally aligned (a pointer on its width, a number on 4 bytes), as the
// compilers of both installers lay out PackageTable; the checks in
// package_layout.cpp tie the two together in every build.  Also the
// anchor's and the template's layouts.  Portable: no platform headers.
#pragma once
#include <cstdint>
#include <string>

#include "package/package_format.h"

enum class TableFieldKind : std::uint8_t {
    Text,   // pointer to a NUL-terminated text (null where unused)
    Data,   // pointer to a blob's digest (null where unused)
    Size,   // unsigned 32-bit byte count
    Number, // unsigned 32-bit identifier
    Flag,   // signed 32-bit, zero or not
    Count,  // signed 32-bit file count
};

#define BQ_FIELD_ENUM_SLOTS(Name, Kind, layout) kField##Name,
#define BQ_FIELD_ENUM_COUNT(Name, layout) kField##Name,
#define BQ_FIELD_ENUM_SETTING(Name, Kind, member, key, label, release, shown, nullable, layout)    \
    kField##Name,
enum TableField : std::uint32_t {
    BQ_PACKAGE_TABLE(BQ_FIELD_ENUM_SLOTS, BQ_FIELD_ENUM_COUNT, BQ_FIELD_ENUM_SETTING)
        kTableFieldCount,
};
#undef BQ_FIELD_ENUM_SLOTS
#undef BQ_FIELD_ENUM_COUNT
#undef BQ_FIELD_ENUM_SETTING

struct TableFieldInfo {
    const char* name;
    TableFieldKind kind;
    std::uint32_t count;  // kMaxPackageFiles for the per-file arrays, else 1
    std::uint32_t layout; // the first layout version that holds it
};

#define BQ_FIELD_INFO_SLOTS(Name, Kind, layout)                                                    \
    {#Name, TableFieldKind::Kind, kMaxPackageFiles, layout},
#define BQ_FIELD_INFO_COUNT(Name, layout) {#Name, TableFieldKind::Count, 1, layout},
#define BQ_FIELD_INFO_SETTING(Name, Kind, member, key, label, release, shown, nullable, layout)    \
    {#Name, TableFieldKind::Kind, 1, layout},
inline constexpr TableFieldInfo kTableFields[kTableFieldCount] = {
    BQ_PACKAGE_TABLE(BQ_FIELD_INFO_SLOTS, BQ_FIELD_INFO_COUNT, BQ_FIELD_INFO_SETTING)};
#undef BQ_FIELD_INFO_SLOTS
#undef BQ_FIELD_INFO_COUNT
#undef BQ_FIELD_INFO_SETTING

// The layout version this tree writes: the latest that a row names.
constexpr std::uint32_t LatestLayoutVersion() {
    std::uint32_t latest = kLayoutVersion1;
    for (const TableFieldInfo& field : kTableFields)
        latest = field.layout > latest ? field.layout : latest;
    return latest;
}
inline constexpr std::uint32_t kLayoutVersion = LatestLayoutVersion();

constexpr bool IsPointerField(TableFieldKind kind) {
    return kind == TableFieldKind::Text || kind == TableFieldKind::Data;
}

struct TableLayout {
    std::uint32_t version;
    std::uint32_t pointerBytes;
    std::uint32_t offset[kTableFieldCount]; // of the field's first element; 0 where not held
    std::uint32_t size;                     // of the whole record, padding included
    // Whether the version's table has the field at all.
    constexpr bool Holds(TableField field) const { return kTableFields[field].layout <= version; }
    // Byte offset of element i of a field.
    constexpr std::uint32_t At(TableField field, std::uint32_t i = 0) const {
        return offset[field] + i * (IsPointerField(kTableFields[field].kind) ? pointerBytes : 4);
    }
};

// The table of a layout version (by default the one this tree writes): the
// rows it holds, each on its natural alignment, in the rows' order.
constexpr TableLayout MakeTableLayout(std::uint32_t pointerBytes,
                                      std::uint32_t version = kLayoutVersion) {
    TableLayout layout{version, pointerBytes, {}, 0};
    std::uint32_t at = 0;
    for (std::uint32_t f = 0; f < kTableFieldCount; ++f) {
        if (kTableFields[f].layout > version)
            continue;
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

// Every version's table for both pointer widths, [version - 1][0 for 4
// bytes, 1 for 8].
struct TableLayouts {
    TableLayout of[kLayoutVersion][2];
};
constexpr TableLayouts MakeTableLayouts() {
    TableLayouts all{};
    for (std::uint32_t v = kLayoutVersion1; v <= kLayoutVersion; ++v) {
        all.of[v - 1][0] = MakeTableLayout(4, v);
        all.of[v - 1][1] = MakeTableLayout(8, v);
    }
    return all;
}
inline constexpr TableLayouts kTableLayouts = MakeTableLayouts();

// The table's layout of an anchor's layout version in an image whose
// pointers are pointerBytes wide (4 or 8); null for a version this tree
// does not know.
constexpr const TableLayout* TableLayoutFor(std::uint32_t version, std::uint32_t pointerBytes) {
    if (version < kLayoutVersion1 || version > kLayoutVersion)
        return nullptr;
    return &kTableLayouts.of[version - 1][pointerBytes == 8 ? 1 : 0];
}

// The installer stub carries its package in a section of its own,
// kPackageSection, which begins with the anchor: a record that names the
// stub's format and leads to the table and the template (wherever the
// linker put them inside the section), and carries the package's seal.
// The installer never reads the anchor; the tool that writes a package
// into a stub and the reader of built installers go straight to it.
inline constexpr char kPackageSection[] = ".bqpkg";
inline constexpr char kAnchorMagic[12] = "BQPKGSTUB"; // and NUL bytes to 12
enum : std::uint32_t {
    kAnchorMagicBytes = 12,
    kSealDigestBytes = 16,
    kSealAbsent = 0,  // a stub, or a package written without a seal
    kSealPresent = 1, // the seal holds the package's digest (earlier builds)
    kSealImage = 2,   // the seal holds the whole image's digest (package_seal.h)
};

struct AnchorLayout {
    std::uint32_t version;   // the layout version (kLayoutVersion, package_format.h)
    std::uint32_t table;     // pointer to the package table
    std::uint32_t config;    // pointer to the configuration template
    std::uint32_t sealState; // kSealAbsent, kSealPresent or kSealImage
    std::uint32_t seal;      // kSealDigestBytes
    std::uint32_t size;
};

constexpr AnchorLayout MakeAnchorLayout(std::uint32_t pointerBytes) {
    const std::uint32_t table =
        (kAnchorMagicBytes + 4 + pointerBytes - 1) / pointerBytes * pointerBytes;
    const std::uint32_t end = table + 2 * pointerBytes + 4 + kSealDigestBytes;
    return AnchorLayout{kAnchorMagicBytes,
                        table,
                        table + pointerBytes,
                        table + 2 * pointerBytes,
                        table + 2 * pointerBytes + 4,
                        (end + pointerBytes - 1) / pointerBytes * pointerBytes};
}

// The configuration template: a fixed region with no alignment between its
// fields, found by its marker (kConfigMarker and its NUL).
enum : std::uint32_t {
    kConfigMarkerBytes = sizeof kConfigMarker,
    kConfigLengthOffset = kConfigMarkerBytes,      // unsigned 32-bit count of text bytes
    kConfigSourceOffset = kConfigLengthOffset + 4, // the template's source name, NUL-padded
    kConfigTextOffset = kConfigSourceOffset + kConfigSourceNameSize, // the text, zero after it
    kConfigTemplateBytes = kConfigTextOffset + kConfigTextSize,
    kConfigSourceNameMax = kConfigTextOffset - kConfigSourceOffset - 1, // and its NUL
};

// The marker in front of each blob of the package: "XXX", the file's name,
// "XXX" and a NUL byte; the table's FileData points just past it.
inline std::string BlobMarker(const std::string& name) {
    return kBlobMarkerEnds + name + kBlobMarkerEnds + '\0';
}
