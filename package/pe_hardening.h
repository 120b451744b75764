// The protections a Windows program's image asks the loader for, as its
// headers, section table and application manifest show them: address space
// layout randomisation (dynamic base, and high entropy for a PE32+ image),
// data execution prevention, terminal-server awareness, base relocations,
// no section both writable and executable, and the execution level that the
// manifest (resource type 24, id 1) requests.  What `bqpack info` shows for
// any installer.  Portable: no platform headers, explicit little-endian
// reads; every offset taken from the file is checked first.
#pragma once
#include <string>
#include <vector>

#include "package/pe_image.h"

struct ImageHardening {
    bool dynamicBase = false;
    bool dep = false;
    bool highEntropyAslr = false; // PE32+ only: a PE32 image has no such choice
    bool terminalServerAware = false;
    bool relocations = false; // a base relocation directory, relocations not stripped
    std::vector<std::string> writableExecutable; // names of sections both writable and executable
    bool manifest = false;
    std::string executionLevel; // the manifest's requestedExecutionLevel level; empty if none
};

// Reads the facts from a parsed image.  A resource directory that cannot be
// read counts as no manifest.
ImageHardening ReadImageHardening(const PeImage& image);

// The facts in one line, e.g. "dynamic base yes, DEP yes, high-entropy ASLR
// yes, terminal-server aware yes, relocations yes, writable and executable
// sections none, manifest requireAdministrator" (no high-entropy ASLR in
// the line of a PE32 image).
std::string HardeningText(const PeImage& image, const ImageHardening& hardening);
