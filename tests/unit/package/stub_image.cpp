// Test-only installer stubs and packages for them; see stub_image.h.
#include "tests/unit/package/stub_image.h"

#include <cstring>

#include "package/little_endian.h"
#include "package/package_layout.h"
#include "package/pe_image.h"
#include "tests/unit/package/inspect_image.h"
#include "tests/unit/package/test_pe.h"

namespace {

enum : std::uint32_t {
    kTextRva = 0x1000,
    kDataRva = 0x2000,
    kPackageRva = 0x3000,
    kRelocRva = 0x5000, // the package section takes two pages
};

} // namespace

StubImage BuildStubImage(std::uint32_t pointerBytes) {
    const bool wide = pointerBytes == 8;
    const std::uint64_t base = wide ? 0x140000000ull : 0x400000u;
    const TableLayout table = MakeTableLayout(pointerBytes);
    const AnchorLayout anchor = MakeAnchorLayout(pointerBytes);
    StubImage stub;
    stub.imageBase = base;

    TestSection text{".text", kTextRva, std::vector<std::uint8_t>(0x20, 0xC3), 0x60000020};
    // The placeholder text the table's pointers lead to.
    TestSection data{".data", kDataRva, std::vector<std::uint8_t>(16, 0), 0xC0000040};
    TestSection package{kPackageSection, kPackageRva, {}, 0xC0000040};
    TestSection reloc{".reloc", kRelocRva, {}, 0x42000040};

    // The package section: anchor, table (aligned on its pointers), template.
    const std::uint32_t tableAt = TestAlignUp(anchor.size, pointerBytes);
    const std::uint32_t configAt = tableAt + table.size;
    package.data.assign(configAt + kConfigTemplateBytes, 0);
    std::memcpy(package.data.data(), kAnchorMagic, kAnchorMagicBytes);
    Write32(package.data.data() + anchor.version, kLayoutVersion);
    std::vector<std::uint32_t> pointerRvas;
    WriteTestPointer(package.data.data() + anchor.table, base + kPackageRva + tableAt,
                     pointerBytes);
    WriteTestPointer(package.data.data() + anchor.config, base + kPackageRva + configAt,
                     pointerBytes);
    pointerRvas.push_back(kPackageRva + anchor.table);
    pointerRvas.push_back(kPackageRva + anchor.config);
    for (std::uint32_t f = 0; f < kTableFieldCount; ++f) {
        if (!IsPointerField(kTableFields[f].kind))
            continue;
        for (std::uint32_t i = 0; i < kTableFields[f].count; ++i) {
            const std::uint32_t at = tableAt + table.At(static_cast<TableField>(f), i);
            WriteTestPointer(package.data.data() + at, base + kDataRva, pointerBytes);
            pointerRvas.push_back(kPackageRva + at);
        }
    }
    std::memcpy(package.data.data() + configAt, kConfigMarker, kConfigMarkerBytes);
    Write32(package.data.data() + configAt + kConfigLengthOffset, 2);
    package.data[configAt + kConfigTextOffset] = '\r';
    package.data[configAt + kConfigTextOffset + 1] = '\n';

    // One relocation block for the package section's page, padded to 4 bytes.
    const std::uint16_t type = wide ? kPeRelocDir64 : kPeRelocHighLow;
    reloc.data.assign(8, 0);
    Write32(reloc.data.data(), kPackageRva);
    for (std::uint32_t rva : pointerRvas) {
        reloc.data.push_back(0);
        reloc.data.push_back(0);
        Write16(&reloc.data[reloc.data.size() - 2],
                static_cast<std::uint16_t>((type << 12) | (rva - kPackageRva)));
    }
    if (reloc.data.size() % 4 != 0)
        reloc.data.insert(reloc.data.end(), 2, 0); // an ABSOLUTE entry
    Write32(reloc.data.data() + 4, static_cast<std::uint32_t>(reloc.data.size()));

    TestPeHeaders headers;
    headers.pointerBytes = pointerBytes;
    headers.imageBase = base;
    headers.entryRva = kTextRva;
    headers.fileCharacteristics = wide ? 0x0022 : 0x0102;
    headers.dllCharacteristics = 0x0140; // dynamic base, DEP
    headers.sizeOfImage = kRelocRva + kTestSectionAlign;
    headers.relocRva = kRelocRva;
    headers.relocSize = static_cast<std::uint32_t>(reloc.data.size());
    headers.checksum = true;
    stub.bytes = WriteTestPe(headers, {&text, &data, &package, &reloc});
    stub.anchorOffset = package.rawOffset;
    stub.tableOffset = package.rawOffset + tableAt;
    stub.configOffset = package.rawOffset + configAt;
    stub.relocOffset = reloc.rawOffset;
    return stub;
}

TestPackage
MakeTestPackage(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& files) {
    TestPackage t;
    for (const auto& f : files) {
        const std::vector<std::uint8_t> stream = InspectChunkStream(f.second, 700);
        const std::size_t digestAt = AppendBlob(&t.region, f.first, stream);
        PackageFile file;
        file.name = f.first;
        file.expandedSize = static_cast<std::uint32_t>(f.second.size());
        file.storedSize = static_cast<std::uint32_t>(stream.size());
        file.dataOffset = digestAt;
        t.package.files.push_back(file);
        t.contents.push_back(f.second);
    }
    t.package.region = t.region.data();
    t.package.regionSize = t.region.size();
    t.package.configText = "[Subdirectories]\r\nRestoreSets=.\r\n";
    t.package.configSourceName = "Bkp1.inz";
    t.package.settings.defaultFolder = "D:\\Client";
    t.package.settings.schedulerCommand = 4242;
    return t;
}
