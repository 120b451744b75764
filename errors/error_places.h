// Every place that records an error or a trail entry, by module: the place
// number an error record and its trail report beside the module
// (errors/error_record.h; the credential tool's record,
// credstamp/error_record_w.h, names its module instead of numbering it).
// A message's reader and support staff know a place by its module and this
// number, so the numbers are fixed: they are not lines of the source and
// never follow the lines of the file that records them.  A new place takes
// a number of its own here; an existing one never changes.
#pragma once
#include <cstdint>

// FileUnpack (MODULE_FILE_UNPACK): expanding a packaged file, ending the
// client's programs before an attempt, and the install attempt.
enum : std::uint32_t {
    // package/chunk_stream.cpp
    kLineExpand = 48,     // a chunk that cannot be expanded into its place
    kLineExpandExit = 63, // ExpandStream's exit on failure
    // setup/running_programs.cpp: a component that did not end in time
    kLineEngineWait = 105,
    kLineShellWait = 125,
    kLineSchedulerWait = 145,
    // setup/install.cpp
    kLineCreateFolder = 159, // the install folder
    kLineCreateFile = 181,   // a packaged file
    kLineDigest = 196,       // a packaged file's stored digest does not match
    kLineNoMemory = 205,     // a packaged file longer than the expansion takes
    kLineWriteFile = 222,    // writing a packaged file
    kLineConfigLength = 250, // the configuration text's stated length
    kLineCreateConfig = 262, // the configuration file
    kLineWriteConfig = 268,  // writing the configuration file
    kLineStartEngine = 301,  // starting the engine
    kLineAttemptExit = 311,  // InstallPackage's exit on failure
};

// FileIo32 (MODULE_FILE_IO32): creating the install folder
// (setup/folders.cpp).
enum : std::uint32_t {
    kLineCreateLevel = 744, // a level of the folder, or a path too long for one
    kLineChainExit = 752,   // CreateDirectoryChain's exit on failure
    kLineTreeExit = 772,    // CreateFolderTree's exit on failure
};

// WebLaunch (module 10203; the credential tool's record names it): opening
// a web page (credstamp/web_launch.cpp).
enum : std::uint32_t {
    kLineGivenQuery = 58,      // the query does not fit the given address
    kLineGivenOpen = 64,       // the shell does not open the given address
    kLineConfiguredQuery = 76, // the Machine ID does not fit the configured address
    kLineVendorQuery = 87,     // the vendor's query does not fit it
    kLineConfiguredOpen = 94,  // the shell does not open the configured address
    kLineMissingValue = 101,   // no configured address under the value's name
    kLineWebLaunchExit = 105,  // WebLaunch's exit on failure
};
