// Packs a manifest's files into the blob region, written as it is made (a
// slice of each file at a time, so memory does not grow with the package):
// straight into the installer being written (GeneratePackage), or for
// --sources-only into a binary file that an assembler source pulls in with
// .incbin, beside the package table and configuration template as
// initialized data in a C++ source (GenerateSources).  The payload never
// passes through the C++ compiler, so a large package builds quickly and
// with little memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "package/chunk_writer.h"
#include "package/package_layout.h"
#include "tools/bqpack/manifest.h"
#include "tools/bqpack/output_file.h"

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

// Reads the configuration text named by the manifest and checks that every
// file to pack is there, a file, and small enough, before anything is
// compressed or written.  The manifest's and the text's paths are appended
// to *inputs.  On failure *error holds one line naming the file.
bool CheckPackageInputs(const Manifest& manifest, std::string* configText,
                        std::vector<std::string>* inputs, std::string* error);

// Compresses every file of the manifest (checked by CheckPackageInputs)
// into the blob region, writing it into the staged installer from offset
// base on as it is made: only a slice of each file is held at a time.
// Each file's place goes to *layout, the sum of the region's bytes for the
// installer's checksum (AddToPeChecksum) to *checksum, the inputs read to
// *inputs.  On failure *error holds one line naming the file and what is
// wrong, and *outputFailed says whether the output could not be written
// rather than an input read or packed.
bool GeneratePackage(const Manifest& manifest, const GenerateOptions& options,
                     const StagedFile& staged, std::uint64_t base, PackageLayout* layout,
                     std::uint64_t* checksum, std::vector<std::string>* inputs, std::string* error,
                     bool* outputFailed);
