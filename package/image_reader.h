// Reads the package out of a built setup image without running it.  The PE
// headers (PE32 of an x86 installer, PE32+ of an x64 one, pe_image.h) and
// the section table map virtual addresses to file offsets.  The package is
// located through the anchor of the stub's package section; then the table
// is decoded through its fields, as the installer reads it.
// Every pointer, size and offset taken from the file is checked against the
// image before it is used, so a truncated or hostile file gives a one-line
// reason, never a crash.  Checking what was read (digests, chunks, seal) is
// package_check.h's.  Portable: no platform headers, explicit little-endian
// reads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "package/package_format.h"
#include "package/package_layout.h"
#include "package/package_settings.h"
#include "package/pe_image.h"

// Reads a NUL-terminated text of at most kTableTextMax bytes at va.
bool ReadImageText(const PeImage& image, std::uint64_t va, std::string* text);

struct PackageFileEntry {
    std::string name;
    std::uint32_t expandedSize = 0;
    std::uint32_t storedSize = 0;
    std::uint64_t dataVa = 0;     // FileData: the digest
    std::size_t digestOffset = 0; // its file offset; the stream follows
};

struct PackageImage {
    PeImage pe;
    std::uint32_t layoutVersion = kLayoutVersion; // the anchor's
    bool signature = false; // the image carries a certificate table (is signed)
    std::uint32_t sealState = kSealAbsent;
    std::uint8_t seal[kSealDigestBytes] = {};
    std::size_t sealOffset = 0; // its file offset, in the anchor
    std::uint64_t tableVa = 0;
    std::int32_t fileCount = 0;
    std::vector<PackageFileEntry> files; // fileCount entries, table order
    PackageSettings settings;

    std::uint64_t configVa = 0;
    std::size_t configOffset = 0;   // file offset of the template's marker
    std::uint32_t configLength = 0; // as stored; not yet checked against 1..kConfigTextSize
    std::string configSourceName;
};

// Finds and reads the package of a setup image held in data[0 .. size).
// The image must outlive *package (it keeps pointers into it).
bool ReadPackageImage(const std::uint8_t* data, std::size_t size, PackageImage* package,
                      std::string* error);

// The stored digest and chunk stream of a file of the package.
const std::uint8_t* StoredDigest(const PackageImage& package, const PackageFileEntry& file);
const std::uint8_t* StoredStream(const PackageImage& package, const PackageFileEntry& file);
// The template's text region (kConfigTextSize bytes).
const std::uint8_t* ConfigText(const PackageImage& package);
