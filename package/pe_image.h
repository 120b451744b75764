// The parts of a Windows program's image (PE32 for x86, PE32+ for x64) that
// the package tools read and edit: the headers, the section table and the
// mapping of addresses to file offsets, base relocations, the header
// checksum and the certificate (signature) table.  Every offset and size
// taken from the file is checked against the file before it is used, so a
// truncated or hostile file gives a one-line reason, never a crash.
// Portable: no platform headers, explicit little-endian reads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum : std::uint32_t {
    kMaxImageSections = 96,
    kPeSectionHeaderBytes = 40,
    kPeMachineI386 = 0x14C,
    kPeMachineAmd64 = 0x8664,
    kPeRelocAbsolute = 0, // padding: the loader skips the entry
    kPeRelocHighLow = 3,  // a 32-bit address
    kPeRelocDir64 = 10,   // a 64-bit address
};

// Where the header fields the tools read and write lie: in the DOS header,
// the COFF header (after "PE\0\0"), the optional header and a section
// header.  The optional header's fields up to the image base differ between
// PE32 and PE32+; from SectionAlignment on they lie alike.
enum : std::uint32_t {
    kDosPeHeaderOffset = 0x3C, // e_lfanew: the file offset of "PE\0\0"
    kCoffSectionCount = 2,
    kCoffOptionalHeaderBytes = 16,
    kOptionalInitializedDataSize = 8,
    kOptionalImageBase32 = 28,
    kOptionalImageBase64 = 24,
    kOptionalSectionAlignment = 32,
    kOptionalFileAlignment = 36,
    kOptionalImageSize = 56,
    kOptionalHeadersSize = 60,
    kOptionalChecksum = 64,
    kOptionalDirectories32 = 96, // the data directories, after their count
    kOptionalDirectories64 = 112,
    kDirectoryCertificates = 4,
    kDirectoryRelocations = 5,
    kSectionVirtualSize = 8,
    kSectionVirtualAddress = 12,
    kSectionRawSize = 16,
    kSectionRawOffset = 20,
    kSectionCharacteristics = 36,
};

struct ImageSection {
    std::string name;
    std::uint32_t virtualAddress = 0; // relative to the image base
    std::uint32_t virtualSize = 0;
    std::uint32_t rawOffset = 0; // file offset of the section's data
    std::uint32_t rawSize = 0;   // bytes of it present in the file
    std::uint32_t characteristics = 0;
};

struct PeImage {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::uint16_t machine = 0;      // kPeMachineI386 or kPeMachineAmd64
    std::uint32_t pointerBytes = 4; // 4 in PE32, 8 in PE32+
    std::uint64_t imageBase = 0;
    std::vector<ImageSection> sections;

    // Where the header fields that an editor changes lie in the file.
    std::size_t coffOffset = 0;     // machine, section count, ...
    std::size_t optionalOffset = 0; // the optional header
    std::uint16_t optionalBytes = 0;
    std::uint32_t sectionAlignment = 0;
    std::uint32_t fileAlignment = 0;
    std::uint32_t sizeOfHeaders = 0;
    std::size_t checksumOffset = 0;
    std::uint32_t relocRva = 0, relocSize = 0;  // the base relocation directory
    std::uint32_t certOffset = 0, certSize = 0; // the certificate table (a file offset)
    // The file offset of the certificate table's directory entry, which
    // signing fills; 0 when the optional header has no room for it.
    std::size_t certEntryOffset = 0;
};

// Parses the headers of a PE32 image for x86 or a PE32+ image for x64.  On
// failure returns false with *error saying what is wrong (no file name in
// it).
bool ParsePeImage(const std::uint8_t* data, std::size_t size, PeImage* image, std::string* error);

// A pointer field of the image at p: 32 bits in PE32, 64 in PE32+.
std::uint64_t ReadPointer(const PeImage& image, const std::uint8_t* p);

// Bytes of a section that both lie in the file and are part of the image.
std::uint32_t MappedSize(const ImageSection& section);
// The section that holds the virtual address va, with the offset of va in
// it, or null.
const ImageSection* FindSectionAt(const PeImage& image, std::uint64_t va, std::uint32_t* inSection);
const ImageSection* FindSectionNamed(const PeImage& image, const char* name);
// Maps [va, va + length) to a file offset when the range lies wholly in the
// file data of one section.
bool MapVirtualRange(const PeImage& image, std::uint64_t va, std::uint32_t length,
                     std::size_t* offset);
// The end of the section data in the file: what follows is not part of the
// image (a signature, or other appended bytes).
std::size_t EndOfSectionData(const PeImage& image);

// One base relocation entry: the address it fixes (relative to the image
// base), its type, and the file offset of its 16-bit entry.
struct BaseRelocation {
    std::uint32_t rva = 0;
    std::uint16_t type = 0;
    std::size_t entryOffset = 0;
};
// Reads every entry of the base relocation directory.
bool ReadBaseRelocations(const PeImage& image, std::vector<BaseRelocation>* relocations,
                         std::string* error);

// The header checksum of the image in data[0 .. size), computed as the
// loader computes it, with the checksum field itself taken as zero.
std::uint32_t PeChecksum(const std::uint8_t* data, std::size_t size, std::size_t checksumOffset);
// The same for an image met in pieces, in any order: each piece's bytes
// added to a running sum (the piece starts at offset in the file; the
// checksum field is left out of the pieces), then the sum and the file's
// size give the checksum.
std::uint64_t AddToPeChecksum(std::uint64_t sum, const std::uint8_t* data, std::size_t size,
                              std::uint64_t offset);
std::uint32_t FinishPeChecksum(std::uint64_t sum, std::uint64_t fileSize);

// The header checksum of a parsed image: as its header stores it (0 where a
// linker wrote none) and as PeChecksum computes it.
struct HeaderChecksum {
    std::uint32_t stored;
    std::uint32_t computed;
};
HeaderChecksum ReadHeaderChecksum(const PeImage& image);
