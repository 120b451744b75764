// Package manifests for `bqpack build`: a line-based text that names the
// files of a package, its configuration template and the install settings
// of the package table.  Every setting defaults to the shipped release's
// value; docs/manifest.md describes the format for users.
#pragma once
#include "package/package_format.h"
#include "package/package_settings.h"
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A manifest is a few dozen lines; anything larger is refused unread.
enum : std::uint64_t { kMaxManifestBytes = 1 << 20 };

struct ManifestFile {
    std::string name;   // file name in the install folder
    std::string source; // path of the file to package (resolved)
    int line = 0;       // manifest line that named it
};

struct Manifest {
    std::string path; // the manifest file, for messages and dependency lists
    std::vector<ManifestFile> files;
    std::string config; // path of the configuration template (resolved)
    int configLine = 0;
    std::string configSourceName; // defaults to the template file's own name

    PackageSettings settings;

    // What is allowed but likely a mistake, one line each ("FILE:LINE:
    // warning: ..."), for bqpack build to show.
    std::vector<std::string> warnings;
};

struct ManifestOptions {
    std::map<std::string, std::string> defines; // ${NAME} values; the environment is asked next
    bool useEnvironment = true;
};

// Parses the manifest file at path.  On failure returns false and sets
// *error to one line "FILE:LINE: what is wrong" (or "FILE: ..." when no
// line applies).  Relative source paths are taken from the manifest's folder.
bool ReadManifest(const std::string& path, const ManifestOptions& options, Manifest* manifest,
                  std::string* error);
// The same for manifest text already in memory; path names it in messages
// and gives the folder for relative paths.
bool ParseManifest(const std::string& text, const std::string& path, const ManifestOptions& options,
                   Manifest* manifest, std::string* error);
