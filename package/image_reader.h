// Reads the package out of a built setup image without running it, as a
// Package (package.h) with where each piece lies beside it.  The PE
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

#include "package/package.h"
#include "package/package_format.h"
#include "package/package_layout.h"
#include "package/pe_image.h"

// A built installer as read: its image, where the package lies in it, what
// its anchor says, the counts as stored, and the package itself, whose
// region is the image's bytes (so each file's dataOffset is the file
// offset of its digest and StoredStream, package.h, finds its stream).
struct InstallerImage {
    PeImage pe;
    std::uint32_t layoutVersion = kLayoutVersion; // the anchor's
    bool signature = false; // the image carries a certificate table (is signed)
    std::uint32_t sealState = kSealAbsent;
    std::uint8_t seal[kSealDigestBytes] = {};
    std::size_t sealOffset = 0; // its file offset, in the anchor
    std::uint64_t tableVa = 0;
    std::int32_t fileCount = 0;         // as stored (the files read are package.files)
    std::vector<std::uint64_t> dataVas; // per file, FileData: the digest's address
    std::uint64_t configVa = 0;
    std::size_t configOffset = 0;   // file offset of the template's marker
    std::uint32_t configLength = 0; // as stored; not yet checked against 1..kConfigTextSize
    Package package;
};

// Finds and reads the package of a setup image held in data[0 .. size).
// The image must outlive *installer (it keeps pointers into it).
bool ReadInstallerImage(const std::uint8_t* data, std::size_t size, InstallerImage* installer,
                        std::string* error);
