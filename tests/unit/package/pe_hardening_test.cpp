// The protections of a program's image as bqpack info shows them
// (package/pe_hardening.h), on images built here: header flags, base
// relocations, writable and executable sections, and the application
// manifest found through the resource directory, also when that directory
// is damaged.
#include <gtest/gtest.h>

#include <string>

#include "package/little_endian.h"
#include "package/pe_hardening.h"
#include "tests/unit/package/test_pe.h"

namespace {

enum : std::uint32_t {
    kCode = 0x60000020,     // code, executable, readable
    kData = 0xC0000040,     // initialised data, readable, writable
    kReadOnly = 0x40000040, // initialised data, readable
    kRsrcRva = 0x3000,
    kAllDllFlags = 0x0020 | 0x0040 | 0x0100 | 0x8000,
};

const char kManifest[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
    "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
    "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"
    "</requestedPrivileges></security></trustInfo></assembly>\n";

void Put16(std::vector<std::uint8_t>* b, std::size_t at, std::uint16_t v) {
    b->resize(std::max(b->size(), at + 2));
    Write16(&(*b)[at], v);
}
void Put32(std::vector<std::uint8_t>* b, std::size_t at, std::uint32_t v) {
    b->resize(std::max(b->size(), at + 4));
    Write32(&(*b)[at], v);
}

// A resource section with one resource of the given type and id (language
// 1033) holding text: the three directory levels, the data entry, the data.
std::vector<std::uint8_t> ResourceSection(std::uint32_t type, std::uint32_t id,
                                          const std::string& text) {
    std::vector<std::uint8_t> b;
    const std::uint32_t levels[] = {type, id, 1033};
    for (std::uint32_t level = 0; level < 3; ++level) {
        const std::uint32_t at = level * 24;
        Put16(&b, at + 14, 1); // one entry by identifier
        Put32(&b, at + 16, levels[level]);
        Put32(&b, at + 20, level < 2 ? (0x80000000u | (at + 24)) : 72);
    }
    Put32(&b, 72, kRsrcRva + 88); // the data entry: where and how long
    Put32(&b, 76, static_cast<std::uint32_t>(text.size()));
    b.resize(88);
    b.insert(b.end(), text.begin(), text.end());
    return b;
}

struct Built {
    std::vector<std::uint8_t> bytes;
    PeImage image;
};

// An image with .text, .data and, when rsrc is not empty, .rsrc at kRsrcRva
// named by the resource directory.
void Build(std::uint32_t pointerBytes, std::uint16_t dllFlags, std::uint16_t fileFlags,
           std::uint32_t relocSize, std::uint32_t dataFlags, const std::vector<std::uint8_t>& rsrc,
           Built* out) {
    TestSection text{".text", 0x1000, std::vector<std::uint8_t>(16, 0xC3), kCode};
    TestSection data{".data", 0x2000, std::vector<std::uint8_t>(16, 0), dataFlags};
    TestSection resources{".rsrc", kRsrcRva, rsrc, kReadOnly};
    TestPeHeaders h;
    h.pointerBytes = pointerBytes;
    h.imageBase = pointerBytes == 8 ? 0x140000000ull : 0x400000;
    h.dllCharacteristics = dllFlags;
    h.fileCharacteristics = fileFlags;
    h.relocRva = 0x2000;
    h.relocSize = relocSize;
    h.sizeOfImage = 0x4000;
    if (!rsrc.empty()) {
        h.resourceRva = kRsrcRva;
        h.resourceSize = static_cast<std::uint32_t>(rsrc.size());
    }
    std::vector<TestSection*> sections = {&text, &data};
    if (!rsrc.empty())
        sections.push_back(&resources);
    out->bytes = WriteTestPe(h, sections);
    std::string error;
    ASSERT_TRUE(ParsePeImage(out->bytes.data(), out->bytes.size(), &out->image, &error)) << error;
}

TEST(Hardening, EveryProtectionAndTheManifestsLevel) {
    Built x64;
    Build(8, kAllDllFlags, 0x0022, 8, kData, ResourceSection(24, 1, kManifest), &x64);
    const ImageHardening h = ReadImageHardening(x64.image);
    EXPECT_TRUE(h.dynamicBase && h.dep && h.highEntropyAslr && h.terminalServerAware &&
                h.relocations && h.manifest);
    EXPECT_TRUE(h.writableExecutable.empty());
    EXPECT_EQ("requireAdministrator", h.executionLevel);
    EXPECT_EQ("dynamic base yes, DEP yes, high-entropy ASLR yes, terminal-server aware yes, "
              "relocations yes, writable and executable sections none, manifest "
              "requireAdministrator",
              HardeningText(x64.image, h));

    // A PE32 image has no high-entropy choice: the flag is not read or shown.
    Built x86;
    Build(4, kAllDllFlags, 0x0102, 8, kData, ResourceSection(24, 1, kManifest), &x86);
    EXPECT_FALSE(ReadImageHardening(x86.image).highEntropyAslr);
    EXPECT_EQ("dynamic base yes, DEP yes, terminal-server aware yes, relocations yes, writable and "
              "executable sections none, manifest requireAdministrator",
              HardeningText(x86.image, ReadImageHardening(x86.image)));
}

TEST(Hardening, WhatIsMissingShowsAsMissing) {
    // No flags, relocations stripped, a writable code section, no resources.
    Built none;
    Build(8, 0, 0x0001, 8, kData | 0x20000000, {}, &none);
    ImageHardening h = ReadImageHardening(none.image);
    EXPECT_FALSE(h.dynamicBase || h.dep || h.highEntropyAslr || h.terminalServerAware ||
                 h.relocations || h.manifest);
    EXPECT_EQ(std::vector<std::string>{".data"}, h.writableExecutable);
    EXPECT_EQ("dynamic base no, DEP no, high-entropy ASLR no, terminal-server aware no, "
              "relocations no, writable and executable sections .data, manifest none",
              HardeningText(none.image, h));
    // Not stripped, but without a relocation directory: no relocations.
    Build(4, 0x0040, 0, 0, kData, {}, &none);
    EXPECT_FALSE(ReadImageHardening(none.image).relocations);
}

TEST(Hardening, ManifestLevelsAndManifestsThatDoNotCount) {
    struct Case {
        std::uint32_t type, id;
        std::string text;
        bool manifest;
        const char* level;
    } cases[] = {
        {24, 1, "<requestedExecutionLevel uiAccess='false' level = 'asInvoker' />", true,
         "asInvoker"},
        {24, 1, "<ms:requestedExecutionLevel\nlevel=\"highestAvailable\"/>", true,
         "highestAvailable"},
        {24, 1, "<assembly><trustInfo/></assembly>", true, ""},
        {24, 1, "<requestedExecutionLevel uiAccess=\"false\"/><x level=\"asInvoker\"/>", true, ""},
        {24, 1, "<requestedExecutionLevel level=\"unterminated/>", true, ""},
        {24, 2, kManifest, false, ""}, // a DLL's manifest id: not the program's
        {16, 1, kManifest, false, ""}, // a version block
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Built b;
        Build(4, kAllDllFlags, 0, 8, kData, ResourceSection(c.type, c.id, c.text), &b);
        const ImageHardening h = ReadImageHardening(b.image);
        EXPECT_EQ(c.manifest, h.manifest);
        EXPECT_EQ(c.level, h.executionLevel);
    }
    Built b;
    Build(4, kAllDllFlags, 0, 8, kData, ResourceSection(24, 1, "<assembly/>"), &b);
    EXPECT_EQ("dynamic base yes, DEP yes, terminal-server aware yes, relocations yes, writable and "
              "executable sections none, manifest without an execution level",
              HardeningText(b.image, ReadImageHardening(b.image)));
}

// Every offset of the resource tree changed to lead outside it, and the
// directory cut short at every length: no manifest, and nothing read
// outside the image (the sanitizer build checks).
TEST(Hardening, DamagedResourceDirectoriesGiveNoManifest) {
    const std::vector<std::uint8_t> sound = ResourceSection(24, 1, kManifest);
    for (std::size_t at : {12, 14}) { // the root's entry counts
        std::vector<std::uint8_t> rsrc = sound;
        Write16(&rsrc[at], 0xFFFF);
        Built b;
        Build(4, kAllDllFlags, 0, 8, kData, rsrc, &b);
        EXPECT_FALSE(ReadImageHardening(b.image).manifest) << at;
    }
    // Each level's entry offset, the data entry's address and size.
    for (std::size_t at : {20, 44, 68, 72, 76}) {
        for (std::uint32_t value : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x10000u}) {
            SCOPED_TRACE(std::to_string(at) + " " + std::to_string(value));
            std::vector<std::uint8_t> rsrc = sound;
            Write32(&rsrc[at], value);
            Built b;
            Build(4, kAllDllFlags, 0, 8, kData, rsrc, &b);
            EXPECT_FALSE(ReadImageHardening(b.image).manifest);
        }
    }
    for (std::size_t length = 1; length < 88; ++length) {
        Built b;
        Build(4, kAllDllFlags, 0, 8, kData,
              std::vector<std::uint8_t>(sound.begin(), sound.begin() + length), &b);
        EXPECT_FALSE(ReadImageHardening(b.image).manifest) << length;
    }
}

} // namespace
