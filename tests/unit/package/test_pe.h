// Test-only writer of small PE images, shared by the builders of test
// setup images (inspect_image.h) and test installer stubs (stub_image.h): a
// PE32 or PE32+ image with the headers at 0x400, sections aligned on 0x200
// bytes in the file and 0x1000 in memory, and the sections given.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

enum : std::uint32_t {
    kTestFileAlign = 0x200,
    kTestSectionAlign = 0x1000,
    kTestHeadersSize = 0x400,
};

std::uint32_t TestAlignUp(std::uint32_t value, std::uint32_t align);
// An address in a pointer field of the image's width (4 or 8 bytes).
void WriteTestPointer(std::uint8_t* at, std::uint64_t va, std::uint32_t pointerBytes);

struct TestSection {
    const char* name;
    std::uint32_t rva;
    std::vector<std::uint8_t> data;
    std::uint32_t characteristics;
    std::uint32_t virtualSize = 0; // of a section without data (.bss); else the data's size
    // Set by WriteTestPe: the data's file offset (0 without data), the header's.
    std::uint32_t rawOffset = 0;
    std::size_t headerOffset = 0;
};

struct TestPeHeaders {
    std::uint32_t pointerBytes = 4; // 8: PE32+ for x64
    std::uint64_t imageBase = 0;
    std::uint32_t entryRva = 0;
    std::uint16_t fileCharacteristics = 0;
    std::uint16_t dllCharacteristics = 0;
    std::uint32_t sizeOfImage = 0;
    std::uint32_t relocRva = 0; // the base relocation directory, when there is one
    std::uint32_t relocSize = 0;
    std::uint32_t resourceRva = 0; // the resource directory, when there is one
    std::uint32_t resourceSize = 0;
    bool checksum = false; // the loader's checksum, else 0
};

// The image's bytes, with the sections in the order given, each padded to
// the file alignment.
std::vector<std::uint8_t> WriteTestPe(const TestPeHeaders& headers,
                                      const std::vector<TestSection*>& sections);
