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
#include "package/package.h"
#include "tools/bqpack/manifest.h"
#include "tools/bqpack/output_file.h"

struct PackOptions {
    ChunkWriterOptions writer;
    bool progress = false; // report each file's progress on stderr
};

// Reads the configuration template named by the manifest and checks its
// size (1 to kConfigTextSize bytes).
bool ReadConfigText(const Manifest& manifest, std::string* text, std::string* error);

// The package of the manifest before its files are packed: its settings,
// and the configuration text it names, read; and checks that every file to
// pack is there, a file, and small enough, before anything is compressed or
// written.  The manifest's and the text's paths are appended to *inputs.
// On failure *error holds one line naming the file.
bool CheckPackageInputs(const Manifest& manifest, Package* package,
                        std::vector<std::string>* inputs, std::string* error);

// Compresses every file of the manifest (checked by CheckPackageInputs)
// into the blob region, writing it into the staged installer from offset
// base on as it is made: only a slice of each file is held at a time.
// Each file (its sizes, digest and place in the region) and the region's
// size go to *package, the sum of the region's bytes for the
// installer's checksum (AddToPeChecksum) to *checksum, the inputs read to
// *inputs.  On failure *error holds one line naming the file and what is
// wrong, and *outputFailed says whether the output could not be written
// rather than an input read or packed.
bool PackFiles(const Manifest& manifest, const PackOptions& options, const StagedFile& staged,
               std::uint64_t base, Package* package, std::uint64_t* checksum,
               std::vector<std::string>* inputs, std::string* error, bool* outputFailed);
