// The package inside setup's image: the table that lists the packaged files
// and carries the install settings, and the configuration template.  The
// installer stub defines both with an empty package (setup/package_stub.cpp)
// and `bqpack build` fills them in a copy of the stub; the installer reads
// the package only through their fields.  In the 32-bit image every field,
// pointers included, is 32 bits wide.
#pragma once
#include <cstdint>

enum : std::uint32_t {
    kMaxPackageFiles = 6,
    kConfigTextSize = 4096,
    kConfigSourceNameSize = 260,
};

struct PackageTable {
    const char* FileNames[kMaxPackageFiles];
    std::uint32_t ExpandedSizes[kMaxPackageFiles];
    std::uint32_t StoredSizes[kMaxPackageFiles];
    const char* BuildFolder;
    const std::uint8_t* FileData[kMaxPackageFiles]; // the digest; the stream follows it
    std::int32_t FileCount;
    const char* EngineProgram;
    const char* InitVerb;
    const char* InitVerbDR;
    const char* InitVerbAutoUp;
    const char* SchedulerClass;
    std::uint32_t SchedulerCommand;
    const char* ShellClass;
    const char* EngineClass;
    std::uint32_t ShellMessage;
    const char* ConfigFileName;
    std::int32_t PassSetupPath;
    std::int32_t VerifyDigests;
    const char* DefaultFolder;
    std::int32_t AskForFolder;
};

// Fixed-size region with no alignment between its fields.
struct ConfigTemplate {
    char marker[10];                        // "YYYinzYYY" and NUL
    std::uint8_t length[4];                 // text bytes, little-endian, 1 to 4096
    char sourceName[kConfigSourceNameSize]; // the template's source file name
    char text[kConfigTextSize];             // only the first `length` bytes are used
};
static_assert(sizeof(ConfigTemplate) == 4370, "ConfigTemplate has no padding");

// The anchor of the installer stub's package section (package_layout.h):
// written by the stub, read only by the tools.
struct PackageAnchor {
    char magic[12]; // "BQPKGSTUB"
    std::uint32_t version;
    PackageTable* table;
    const ConfigTemplate* config;
    std::uint32_t sealState;
    std::uint8_t seal[16];
};

// The package of this image (filled in by bqpack build).  The table is
// writable: command-line switches change its flags.
extern PackageTable Package;
extern const ConfigTemplate Configuration;
