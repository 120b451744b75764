// Test-only builder of small setup images: a PE32 image for x86 (or a PE32+
// image for x64) with .text, the package section (the anchor, then the
// package table), .rdata holding the texts, the configuration template and
// the blob region, and an empty .bss, with the package filled from plain
// settings and the whole image sealed as bqpack build seals it.  The
// offsets of every piece are returned, so tests can damage exactly what
// they mean to, and seal the damaged image again (SealImageAgain, seal_again.h)
// so that what they damaged is what the reader finds.
#pragma once
#include "package/package_settings.h"
#include <cstdint>
#include <string>
#include <vector>

struct InspectFile {
    std::string name;
    std::vector<std::uint8_t> content;
    // When set, stored as the chunk stream instead of one built from content
    // (expandedSize then says what the table claims).
    bool explicitStream = false;
    std::vector<std::uint8_t> stream;
    std::uint32_t expandedSize = 0;
};

// A file whose stream the builder makes from its content.
InspectFile PlainFile(const std::string& name, const std::vector<std::uint8_t>& content);

struct InspectPackage {
    std::vector<InspectFile> files;
    std::uint32_t chunkSize = 1000;
    PackageSettings settings;
    std::uint32_t pointerBytes = 4; // 8: a PE32+ image for x64
    std::string configText = "[Subdirectories]\r\nRestoreSets=.\r\n";
    std::string configSourceName = "Bkp1.inz";
};

struct InspectImage {
    std::vector<std::uint8_t> bytes;
    std::uint64_t imageBase = 0;
    std::size_t tableOffset = 0; // file offset of the package table
    std::uint64_t tableVa = 0;
    std::size_t configOffset = 0; // of the template's marker
    std::uint64_t configVa = 0;
    std::vector<std::size_t> markerOffsets; // per file, of the "XXX" marker
    std::vector<std::size_t> digestOffsets; // per file, of the digest
    std::vector<std::uint64_t> dataVas;     // per file, FileData
    std::vector<std::uint32_t> storedSizes;
    std::vector<std::uint32_t> expandedSizes;
    std::size_t rdataHeaderOffset = 0; // section header of .rdata
    std::size_t sealOffset = 0;        // in the anchor
};

// Chunk stream of content: chunks of chunkSize bytes, each stored as a DCL
// stream (plain literals and runs) when that is shorter, raw otherwise.
std::vector<std::uint8_t> InspectChunkStream(const std::vector<std::uint8_t>& content,
                                             std::uint32_t chunkSize);
// One DCL stream (mode 0, 1024-byte dictionary) of literals and runs.
std::vector<std::uint8_t> InspectDclStream(const std::uint8_t* data, std::size_t size);

InspectImage BuildInspectImage(const InspectPackage& package);

// Appends a file's blob as bqpack build lays it out: the marker, the
// stream's digest, the stream and zeros to a 4-byte boundary.  Returns the
// digest's offset in *region.
std::size_t AppendBlob(std::vector<std::uint8_t>* region, const std::string& name,
                       const std::vector<std::uint8_t>& stream);

// Three files: one that compresses (DCL chunks; the first of them very
// well), one that does not (raw chunks), one empty.
InspectPackage StandardPackage();

// Where chunk `index` of a file lies and what its header says.
struct Chunk {
    std::size_t at;       // file offset of the header
    std::uint32_t offset; // from the stream's start
    std::uint16_t expanded;
    std::uint16_t stored;
};
Chunk ChunkOf(const InspectImage& image, std::size_t file, std::size_t index);

// Little-endian access to the image's bytes.
std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t offset);
void Put32(std::vector<std::uint8_t>* bytes, std::size_t offset, std::uint32_t value);
// Recomputes the stored digest of file i after a test changed its stream.
void RestoreDigest(InspectImage* image, std::size_t i);

// Deterministic test content: text-like bytes with runs, and noise.
std::vector<std::uint8_t> TextLikeContent(std::size_t size, std::uint32_t seed);
std::vector<std::uint8_t> NoiseContent(std::size_t size, std::uint32_t seed);
