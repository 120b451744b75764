// Test-only installer stubs: a small PE32 (x86) or PE32+ (x64) image laid
// out as the linker lays out setup-stub-*.exe where the package is
// concerned: a package section that begins with the anchor and holds the
// table (every pointer field set, each with a base relocation) and the
// template, a data section with the placeholder texts, and the base
// relocation section.  Enough for the stub writer, which reads nothing
// else.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "package/package.h"

struct StubImage {
    std::vector<std::uint8_t> bytes;
    std::uint64_t imageBase = 0;
    std::size_t anchorOffset = 0; // file offsets
    std::size_t tableOffset = 0;
    std::size_t configOffset = 0;
    std::size_t relocOffset = 0; // of the relocation block of the package section
};

StubImage BuildStubImage(std::uint32_t pointerBytes);

// A package of the files for a stub, with a blob region made as bqpack build
// makes it (chunks of 700 bytes), the configuration template's text and
// two settings changed from the release's.
struct TestPackage {
    std::vector<std::uint8_t> region;
    Package package;
    std::vector<std::vector<std::uint8_t>> contents;
};
TestPackage
MakeTestPackage(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& files);
