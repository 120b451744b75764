// Test-only: builds an installer as `bqpack build` does, in-process, into a
// test stub (stub_image.h), so that tests read back what the real build
// path writes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes a test stub of pointerBytes (4: x86, 8: x64) into folder and runs
// `bqpack build MANIFEST --stub STUB -o folder/name --quiet OPTIONS...`.  Returns
// the build's exit status; *setup names the installer.
int BuildTestInstaller(const std::string& manifest, const std::string& folder,
                       std::uint32_t pointerBytes, const std::vector<std::string>& options,
                       std::string* setup, const std::string& name = "setup.exe");
