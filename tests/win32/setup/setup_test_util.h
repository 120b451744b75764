// Helpers for the installer's in-process tests: fresh temporary folders,
// reading installed files, and resetting the installer's settings, and
// checking an error record's trail.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>

#include "errors/error_record.h"

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
// A new, empty file (failing the test when it cannot be made).
void MakePlainFile(const std::string& path);
// The record's trail is exactly these (module, line) entries, in order.
void ExpectTrail(const ErrorRecord& record, std::initializer_list<TrailEntry> entries);

} // namespace setup_test
