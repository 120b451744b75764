// The package inside setup's image: the table that lists the packaged files
// and carries the install settings, and the configuration template.  The
// installer stub defines both with an empty package (setup/package_stub.cpp)
// and `bqpack build` fills them in a copy of the stub; the installer reads
// the package only through their fields.  In the 32-bit image every field,
// pointers included, is 32 bits wide.
#pragma once
#include <cstdint>

#include "package/package_format.h"

#define BQ_TABLE_SLOTS_MEMBER(Name, Kind, layout) BQ_TABLE_TYPE_##Kind Name[kMaxPackageFiles];
#define BQ_TABLE_COUNT_MEMBER(Name, layout) std::int32_t Name;
#define BQ_TABLE_SETTING_MEMBER(Name, Kind, member, key, label, release, shown, nullable, layout)  \
    BQ_TABLE_TYPE_##Kind Name;
struct PackageTable {
    BQ_PACKAGE_TABLE(BQ_TABLE_SLOTS_MEMBER, BQ_TABLE_COUNT_MEMBER, BQ_TABLE_SETTING_MEMBER)
};
#undef BQ_TABLE_SLOTS_MEMBER
#undef BQ_TABLE_COUNT_MEMBER
#undef BQ_TABLE_SETTING_MEMBER

// Initialisers of PackageTable with every setting at the client release's
// value.  BQ_RELEASE_PACKAGE_TABLE takes the file slots and the count from
// what the caller defines as BQ_INIT_FileNames, BQ_INIT_ExpandedSizes,
// BQ_INIT_StoredSizes, BQ_INIT_FileData and BQ_INIT_FileCount;
// BQ_EMPTY_PACKAGE_TABLE is a package without files, every text slot at
// BQ_EMPTY_TEXT and every data slot at BQ_EMPTY_DATA, as the caller defines
// them.
#define BQ_RELEASE_TABLE_SLOTS(Name, Kind, layout) BQ_INIT_##Name,
#define BQ_RELEASE_TABLE_COUNT(Name, layout) BQ_INIT_##Name,
#define BQ_RELEASE_TABLE_SETTING(Name, Kind, member, key, label, release, shown, nullable, layout) \
    release,
#define BQ_RELEASE_PACKAGE_TABLE                                                                   \
    { BQ_PACKAGE_TABLE(BQ_RELEASE_TABLE_SLOTS, BQ_RELEASE_TABLE_COUNT, BQ_RELEASE_TABLE_SETTING) }
#define BQ_EMPTY_SLOT_Text BQ_EMPTY_TEXT
#define BQ_EMPTY_SLOT_Data BQ_EMPTY_DATA
#define BQ_EMPTY_SLOT_Size 0
#define BQ_EMPTY_TABLE_SLOTS(Name, Kind, layout)                                                   \
    {BQ_EMPTY_SLOT_##Kind, BQ_EMPTY_SLOT_##Kind, BQ_EMPTY_SLOT_##Kind,                             \
     BQ_EMPTY_SLOT_##Kind, BQ_EMPTY_SLOT_##Kind, BQ_EMPTY_SLOT_##Kind},
#define BQ_EMPTY_TABLE_COUNT(Name, layout) 0,
#define BQ_EMPTY_PACKAGE_TABLE                                                                     \
    { BQ_PACKAGE_TABLE(BQ_EMPTY_TABLE_SLOTS, BQ_EMPTY_TABLE_COUNT, BQ_RELEASE_TABLE_SETTING) }
static_assert(kMaxPackageFiles == 6, "BQ_EMPTY_TABLE_SLOTS spells out every file slot");

// Fixed-size region with no alignment between its fields.
struct ConfigTemplate {
    char marker[sizeof kConfigMarker];      // kConfigMarker and its NUL
    std::uint8_t length[4];                 // text bytes, little-endian, 1 to kConfigTextSize
    char sourceName[kConfigSourceNameSize]; // the template's source file name
    char text[kConfigTextSize];             // only the first `length` bytes are used
};
static_assert(sizeof(ConfigTemplate) == 4370, "ConfigTemplate has no padding");

// The anchor of the installer stub's package section (package_layout.h):
// written by the stub, read only by the tools.
struct PackageAnchor {
    char magic[12];        // "BQPKGSTUB"
    std::uint32_t version; // the layout's, kLayoutVersion
    PackageTable* table;
    const ConfigTemplate* config;
    std::uint32_t sealState;
    std::uint8_t seal[16]; // kSealDigestBytes (package_layout.h)
};

// The package of this image (filled in by bqpack build).  The table is
// writable: command-line switches change its flags.
extern PackageTable Package;
extern const ConfigTemplate Configuration;
