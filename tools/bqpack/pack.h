// Packs a manifest's files into the blob region of the installer being
// written, as it is made: a slice of each file at a time, so memory does
// not grow with the package.  Each file is compressed into a chunk stream
// and written with its marker and digest straight into the staged output.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "package/chunk_writer.h"
#include "package/package_layout.h"
#include "tools/bqpack/manifest.h"
#include "tools/bqpack/output_file.h"

struct PackOptions {
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

// Reads the configuration template named by the manifest and checks its
// size (1 to kConfigTextSize bytes).
bool ReadConfigText(const Manifest& manifest, std::string* text, std::string* error);

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
bool PackFiles(const Manifest& manifest, const PackOptions& options, const StagedFile& staged,
               std::uint64_t base, PackageLayout* layout, std::uint64_t* checksum,
               std::vector<std::string>* inputs, std::string* error, bool* outputFailed);
