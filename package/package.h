// One package as the writing half of the tools sees it: the install
// settings, the files (each its name, the source it was packed from, its
// sizes, the digest of its stored stream and where that digest lies in the
// blob region) and the configuration template.  Packing a manifest returns
// it (tools/bqpack/pack.h) and the stub writer writes it into a copy of the
// installer stub (stub_writer.h).  Portable: no platform headers.
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
    std::string configText;         // 1 to kConfigTextSize bytes
    std::string configSourceName;   // at most kConfigSourceNameMax bytes
    // The blob region: per file the marker, the digest, the stored stream
    // and padding to 4 bytes (BlobMarker, package_layout.h).  region is null
    // where it is written out as it is made and never held whole.
    std::uint64_t regionSize = 0;
    const std::uint8_t* region = nullptr;
};
