#include "tests/unit/bqpack/stub_image.h"

#include <cstring>

#include "package/little_endian.h"
#include "package/package_layout.h"
#include "package/pe_image.h"

namespace {

enum : std::uint32_t {
    kFileAlign = 0x200,
    kSectionAlign = 0x1000,
    kHeadersSize = 0x400,
    kTextRva = 0x1000,
    kDataRva = 0x2000,
    kPackageRva = 0x3000,
    kRelocRva = 0x5000, // the package section takes two pages
};

struct Section {
    const char* name;
    std::uint32_t rva;
    std::vector<std::uint8_t> data;
    std::uint32_t characteristics;
    std::uint32_t rawOffset = 0;
};

std::uint32_t AlignUp(std::uint32_t v, std::uint32_t a) {
    return (v + a - 1) / a * a;
}

void PutPointer(std::vector<std::uint8_t>* b, std::size_t at, std::uint64_t v,
                std::uint32_t width) {
    if (width == 8)
        Write64(b->data() + at, v);
    else
        Write32(b->data() + at, static_cast<std::uint32_t>(v));
}

} // namespace

StubImage BuildStubImage(std::uint32_t pointerBytes) {
    const bool wide = pointerBytes == 8;
    const std::uint64_t base = wide ? 0x140000000ull : 0x400000u;
    const TableLayout table = MakeTableLayout(pointerBytes);
    const AnchorLayout anchor = MakeAnchorLayout(pointerBytes);
    StubImage stub;
    stub.imageBase = base;

    Section text{".text", kTextRva, std::vector<std::uint8_t>(0x20, 0xC3), 0x60000020};
    // The placeholder text the table's pointers lead to.
    Section data{".data", kDataRva, std::vector<std::uint8_t>(16, 0), 0xC0000040};
    Section package{kPackageSection, kPackageRva, {}, 0xC0000040};
    Section reloc{".reloc", kRelocRva, {}, 0x42000040};

    // The package section: anchor, table (aligned on its pointers), template.
    const std::uint32_t tableAt = AlignUp(anchor.size, pointerBytes);
    const std::uint32_t configAt = tableAt + table.size;
    package.data.assign(configAt + kConfigTemplateBytes, 0);
    std::memcpy(package.data.data(), kAnchorMagic, kAnchorMagicBytes);
    Write32(package.data.data() + anchor.version, kAnchorVersion);
    std::vector<std::uint32_t> pointerRvas;
    PutPointer(&package.data, anchor.table, base + kPackageRva + tableAt, pointerBytes);
    PutPointer(&package.data, anchor.config, base + kPackageRva + configAt, pointerBytes);
    pointerRvas.push_back(kPackageRva + anchor.table);
    pointerRvas.push_back(kPackageRva + anchor.config);
    for (std::uint32_t f = 0; f < kTableFieldCount; ++f) {
        if (!IsPointerField(kTableFields[f].kind))
            continue;
        for (std::uint32_t i = 0; i < kTableFields[f].count; ++i) {
            const std::uint32_t at = tableAt + table.At(static_cast<TableField>(f), i);
            PutPointer(&package.data, at, base + kDataRva, pointerBytes);
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

    Section* sections[] = {&text, &data, &package, &reloc};
    std::uint32_t raw = kHeadersSize;
    for (Section* s : sections) {
        s->rawOffset = raw;
        raw += AlignUp(static_cast<std::uint32_t>(s->data.size()), kFileAlign);
    }
    std::vector<std::uint8_t>& b = stub.bytes;
    b.assign(raw, 0);
    b[0] = 'M';
    b[1] = 'Z';
    const std::uint32_t peAt = 0x80;
    Write32(&b[0x3C], peAt);
    std::memcpy(&b[peAt], "PE\0\0", 4);
    const std::size_t coff = peAt + 4;
    const std::uint16_t optionalBytes = wide ? 240 : 224;
    Write16(&b[coff], wide ? kPeMachineAmd64 : kPeMachineI386);
    Write16(&b[coff + 2], 4);
    Write16(&b[coff + 16], optionalBytes);
    Write16(&b[coff + 18], wide ? 0x0022 : 0x0102);
    const std::size_t opt = coff + 20;
    Write16(&b[opt], wide ? 0x20B : 0x10B);
    Write32(&b[opt + 16], kTextRva);
    if (wide)
        Write64(&b[opt + 24], base);
    else
        Write32(&b[opt + 28], static_cast<std::uint32_t>(base));
    Write32(&b[opt + 32], kSectionAlign);
    Write32(&b[opt + 36], kFileAlign);
    Write32(&b[opt + 56], kRelocRva + kSectionAlign); // size of image
    Write32(&b[opt + 60], kHeadersSize);
    Write16(&b[opt + 68], 2);      // GUI subsystem
    Write16(&b[opt + 70], 0x0140); // dynamic base, DEP
    const std::size_t directories = opt + (wide ? 112 : 96);
    Write32(&b[directories - 4], 16);
    Write32(&b[directories + 8 * 5], kRelocRva);
    Write32(&b[directories + 8 * 5 + 4], static_cast<std::uint32_t>(reloc.data.size()));
    std::size_t header = opt + optionalBytes;
    for (Section* s : sections) {
        std::memcpy(&b[header], s->name, std::strlen(s->name));
        Write32(&b[header + 8], static_cast<std::uint32_t>(s->data.size()));
        Write32(&b[header + 12], s->rva);
        Write32(&b[header + 16], AlignUp(static_cast<std::uint32_t>(s->data.size()), kFileAlign));
        Write32(&b[header + 20], s->rawOffset);
        Write32(&b[header + 36], s->characteristics);
        std::memcpy(&b[s->rawOffset], s->data.data(), s->data.size());
        header += kPeSectionHeaderBytes;
    }
    Write32(&b[opt + 64], PeChecksum(b.data(), b.size(), opt + 64));
    stub.anchorOffset = package.rawOffset;
    stub.tableOffset = package.rawOffset + tableAt;
    stub.configOffset = package.rawOffset + configAt;
    stub.relocOffset = reloc.rawOffset;
    return stub;
}
