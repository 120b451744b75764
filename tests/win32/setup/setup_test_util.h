// Helpers for the installer's in-process tests: fresh temporary folders,
// reading installed files, and resetting the installer's settings.
#pragma once
#include <windows.h>

#include <string>

namespace setup_test {

// Restores every setting the command line, the registry or a test changes
// to the test package's values.
void ResetSettings();
// A new, empty folder below the temporary folder, without trailing backslash.
std::string MakeTempFolder();
// Removes a folder and everything below it.
void RemoveTree(const std::string& folder);
// The bytes of a file; *exists tells whether it could be opened.
std::string ReadFileBytes(const std::string& path, bool* exists = nullptr);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

} // namespace setup_test
