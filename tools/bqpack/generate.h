// Generates the sources that put a package into setup's image: the blob
// region as a binary file that an assembler source pulls in with .incbin,
// and the package table and configuration template as initialized data in
// a C++ source.  The payload never passes through the C++ compiler, so a
// large package builds quickly and with little memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "package/chunk_writer.h"
#include "package/package_layout.h"
#include "tools/bqpack/manifest.h"

// Names of the generated files inside the sources folder.
extern const char* const kGeneratedTableSource;  // "package_table.cpp"
extern const char* const kGeneratedTableHeader;  // "package_table.h" (the table's layout)
extern const char* const kGeneratedBlobAssembly; // "package_blob.S"
extern const char* const kGeneratedBlobData;     // "package_blob.bin"

struct GenerateOptions {
    ChunkWriterOptions writer;
    bool progress = false; // report each file's progress on stderr
};

// Where one packaged file landed in the blob region.
struct PackedFile {
    std::string name;
    std::uint32_t expandedSize = 0;
    std::uint32_t storedSize = 0;
    std::uint32_t dataOffset = 0; // offset of the digest from the region's start
};

struct PackageLayout {
    std::vector<PackedFile> files;
    std::uint64_t regionSize = 0;
};

// The FileCount the table says and the length the template says: the
// files packed and the text's size, unless the manifest breaks them.
std::int32_t TableFileCount(const Manifest& manifest, const PackageLayout& layout);
std::uint32_t TemplateLength(const Manifest& manifest, const std::string& configText);

// Text as the body of a C++ string literal: printable ASCII stays, the rest
// becomes three-digit octal escapes (so no escape can swallow what follows).
std::string EscapeText(const std::string& text);
// The C++ source that defines Package and Configuration for the layout.
std::string TableSource(const Manifest& manifest, const PackageLayout& layout,
                        const std::string& configText);
// The assembler source that places the blob region file at bq_package_blob.
std::string BlobAssembly(const std::string& blobDataPath);

// Reads the configuration template named by the manifest and checks its
// size (1 to 4096 bytes; an empty one only for --allow-broken).
bool ReadConfigText(const Manifest& manifest, std::string* text, std::string* error);

// Compresses every file of the manifest and writes the four generated files
// into folder (which must exist).  The inputs read are appended to *inputs
// (for a dependency list) and the layout goes to *layout unless it is null.
// On failure nothing generated is left behind and *error holds one line
// naming the file and what is wrong; *outputFailed (unless null) says
// whether it was a generated file that could not be written rather than an
// input that could not be read or packed.
bool GenerateSources(const Manifest& manifest, const GenerateOptions& options,
                     const std::string& folder, std::vector<std::string>* inputs,
                     PackageLayout* layout, std::string* error, bool* outputFailed = nullptr);

// Compresses every file of the manifest into the blob region, kept in
// *region, with each file's place in it in *layout, and reads the
// configuration text.  The inputs read are appended to *inputs.  On failure
// *error holds one line naming the file and what is wrong.
bool GeneratePackage(const Manifest& manifest, const GenerateOptions& options,
                     std::vector<std::uint8_t>* region, PackageLayout* layout,
                     std::string* configText, std::vector<std::string>* inputs, std::string* error);
