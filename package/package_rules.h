// What makes a package valid, written once: the rule for the names of
// packaged files and of the configuration file, for the install folder,
// and the limits of the file count, the table's texts, the stored and
// expanded sizes, the template's length and source name, and a path the
// installer builds.  The manifest reader applies them to what it is given,
// the stub writer to what it writes, and the reader's checks (verify,
// extract) to what an installer holds; each says in its own words what
// fails.  Portable: no platform headers.
//
// A name passes when the installer can append it to its folder and Windows
// creates exactly that file: not empty, not "." or "..", no path
// separator, drive or stream colon, control or reserved character, no
// trailing dot or blank (Windows drops them), and not a device name (CON,
// PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9, LPT1-9, with or without
// extension, in any case).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// True when name passes; otherwise *why says what is wrong, as a phrase
// beginning "the name" (for example "the name is a device name").
bool CheckFileName(const std::string& name, std::string* why);

// True when a and b name the same file on Windows (ASCII letters compared
// without case).
bool SameFileName(const std::string& a, const std::string& b);

// The rule for an install folder the installer is given (default-folder):
// an absolute path, "X:\..." or "\\server\share\...", with no control or
// reserved character (< > " | ? * /, a colon but the drive's).  False with
// *why, a phrase beginning "the folder", when it breaks it.
bool CheckInstallFolder(const std::string& folder, std::string* why);

// The file count: 0 to kMaxPackageFiles.
bool FileCountFits(std::int64_t count);

// A text of the table (a file name, a setting): at most kTableTextMax
// bytes, no NUL.
bool TableTextFits(const std::string& text);

// The template's source name: at most kConfigSourceNameMax bytes, no NUL.
bool ConfigSourceNameFits(const std::string& name);

// The template's length: 1 to kConfigTextSize bytes.
bool ConfigLengthFits(std::uint64_t length);

// A file's expanded or stored size: at most kMaxStreamLength bytes, the
// most the installer expands.
bool StreamLengthFits(std::uint64_t size);

// A path the installer builds, the folder, '\' and a name, in its 260-byte
// buffer: at most kTableTextMax bytes.
bool InstallPathFits(std::size_t folderBytes, std::size_t nameBytes);
