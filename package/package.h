// One package, as the tools hold it from manifest to installer and back:
// the install settings, the files (each its name, the source it was packed
// from, its sizes, the digest of its stored stream and where that digest
// lies in the region) and the configuration template.  Packing a manifest
// returns it (tools/bqpack/pack.h), the stub writer writes it into a copy
// of the installer stub (stub_writer.h), the image reader reads it back out
// of a built installer (image_reader.h), and the seal, the checks and
// `bqpack info`, `list`, `verify` and `extract` take it from there.  What
// makes one valid is package_rules.h's.  Portable: no platform headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "package/package_format.h"
#include "package/package_settings.h"

struct PackageFile {
    std::string name;   // in the install folder
    std::string source; // the file it was packed from
    std::uint32_t expandedSize = 0;
    std::uint32_t storedSize = 0;
    std::uint8_t digest[kBlobDigestBytes] = {}; // of the stored stream
    std::uint64_t dataOffset = 0; // of the digest (the stream follows) from the region's start
};

struct Package {
    PackageSettings settings;
    std::vector<PackageFile> files; // at most kMaxPackageFiles, in slot order
    // 1 to kConfigTextSize bytes.  Read from an installer: the text region
    // as it holds it, its length's bytes and beyond them up to the last
    // byte that is not zero (in a sound image only zeros lie beyond).
    std::string configText;
    std::string configSourceName; // at most kConfigSourceNameMax bytes
    // The bytes the files' dataOffsets count from.  Packed: the blob region,
    // per file the marker, the digest, the stored stream and padding to 4
    // bytes (BlobMarker, package_layout.h); null where it is written out as
    // it is made and never held whole.  Read: the installer's whole image,
    // each dataOffset a file offset, since a table may point anywhere in it.
    std::uint64_t regionSize = 0;
    const std::uint8_t* region = nullptr;
};

// A file's stored chunk stream (storedSize bytes after its digest), in a
// package whose region is held.
inline const std::uint8_t* StoredStream(const Package& package, const PackageFile& file) {
    return package.region + file.dataOffset + kBlobDigestBytes;
}
