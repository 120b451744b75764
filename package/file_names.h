// The one rule for the names of packaged files and of the configuration
// file: what `build` accepts from a manifest and what `extract` and
// `verify` accept from an installer.  A name passes when the installer can
// append it to its folder and Windows creates exactly that file: not empty,
// not "." or "..", no path separator, drive or stream colon, control or
// reserved character, no trailing dot or blank (Windows drops them), and
// not a device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9, LPT1-9,
// with or without extension, in any case).
#pragma once
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
