// Writes a package into a copy of the installer stub, so that building an
// installer needs no compiler or linker.  The stub is the installer's code
// linked with an empty package in its own section (kPackageSection), which
// begins with the anchor.  The writer appends one section at the end of the
// image holding the blob region and the table's texts (on a page of the
// file when the package has files, so that it can be mapped), fills the table and
// the template in place with the package's values and addresses, keeps the
// base relocation of every pointer field it fills (and turns off those of
// null fields), brings the headers up to date (section count, sizes,
// SizeOfImage), seals the whole image (package_seal.h) and then writes the
// header checksum.  The stub's security flags (dynamic base,
// DEP) are kept as they are.  The same stub and package give the same bytes.
// Portable: no platform headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/package.h"

inline constexpr char kBlobSection[] = ".bqdata"; // the section the writer appends

// Checks that stub[0 .. size) is an installer stub this writer knows: a
// PE32 (x86) or PE32+ (x64) image with the package section, the anchor of
// the current version, a table and template inside the section, a base
// relocation for each of the table's pointer fields, room for one more
// section header and nothing after its sections (not signed).  *arch is
// "x86" or "x64".
bool CheckStub(const std::uint8_t* stub, std::size_t size, std::string* arch, std::string* error);

// Writes the package into a copy of the stub: *image receives the
// installer's bytes.  On failure returns false with *error saying what is
// wrong with the stub or the package (one line, no file name).
bool WritePackageIntoStub(const std::uint8_t* stub, std::size_t size, const Package& package,
                          std::vector<std::uint8_t>* image, std::string* error);

// The same in three steps, for a blob region that is written out as it is
// made and never held whole: StartInstaller gives the bytes before the
// region (the stub, then zeros up to where the region starts: a page of the
// file when withFiles); the caller writes them, then the region after them,
// adding every region byte to a checksum sum (AddToPeChecksum, pe_image.h);
// FinishInstaller, given the package (its region pointer unused), that sum
// and a way to read the region back (for the seal), fills the head in
// place and gives the bytes that follow the region.  The caller then writes
// the tail after the region and the head over the first bytes again.  The
// result is byte for byte what WritePackageIntoStub makes.
struct InstallerHead {
    std::vector<std::uint8_t> bytes; // the region starts at bytes.size()
    std::size_t stubSize = 0;
};
// Reads size bytes of the blob region from offset into buffer; false when
// they cannot be read.
typedef std::function<bool(std::uint64_t offset, std::uint8_t* buffer, std::size_t size)>
    RegionReader;
bool StartInstaller(const std::uint8_t* stub, std::size_t size, bool withFiles, InstallerHead* head,
                    std::string* error);
bool FinishInstaller(InstallerHead* head, const Package& package, std::uint64_t regionChecksum,
                     const RegionReader& readRegion, std::vector<std::uint8_t>* tail,
                     std::string* error);
