// The seal of a package: an MD5 digest over everything the installer reads
// from it (the table's values, not its addresses: the file count, each used
// file's name, sizes, digest and stored stream, every setting; and the
// template's length, source name and text).  `bqpack build` stores it in
// the stub's anchor, where the installer never looks; `bqpack verify`
// computes it again, so that any change to what gets installed is caught.
// It guards against damage, not tampering: that is what signing is for.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/package_settings.h"

struct SealFile {
    const std::string* name;
    std::uint32_t expandedSize;
    std::uint32_t storedSize;
    const std::uint8_t* blob; // the digest, then storedSize bytes of stream
};

struct Md5Context;

struct SealInput {
    const PackageSettings* settings = nullptr;
    std::int32_t fileCount = 0;
    std::vector<SealFile> files; // the used slots, min(fileCount, 6) of them when all are there
    // When set, gives file i's digest and stream to the digest (Md5Update)
    // in place of files[i].blob: for a package written out as it was made.
    std::function<void(std::size_t i, Md5Context* md5)> feedBlob;
    std::uint32_t configLength = 0;
    const std::string* configSourceName = nullptr;
    const std::uint8_t* configText = nullptr; // the whole 4096-byte region
};

void ComputeSeal(const SealInput& input, std::uint8_t seal[16]);
