// Writing a package into a copy of the installer stub; see stub_writer.h.
#include "package/stub_writer.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "digest/md5.h"
#include "package/little_endian.h"
#include "package/package_format.h"
#include "package/package_layout.h"
#include "package/package_rules.h"
#include "package/package_seal.h"
#include "package/pe_image.h"

namespace {

enum : std::uint32_t {
    kBlobSectionFlags = 0x40000040, // initialised data, readable
    kPageSize = 4096,
};

struct Stub {
    PeImage pe;
    const ImageSection* section = nullptr; // the package section
    std::size_t anchorOffset = 0;          // file offsets
    std::size_t tableOffset = 0;
    std::size_t configOffset = 0;
    std::uint32_t tableRva = 0;
    // The relocation entry of each of the table's pointer fields, by the
    // field element's offset in the table.
    std::unordered_map<std::uint32_t, std::size_t> fieldRelocations;
};

std::uint64_t AlignUp(std::uint64_t value, std::uint32_t alignment) {
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

// The table's pointer fields as (field, element) pairs, in layout order.
template <typename Visit> void ForEachPointer(Visit visit) {
    for (std::uint32_t f = 0; f < kTableFieldCount; ++f)
        if (IsPointerField(kTableFields[f].kind))
            for (std::uint32_t i = 0; i < kTableFields[f].count; ++i)
                visit(static_cast<TableField>(f), i);
}

// Maps [va, va + length) to a file offset inside the package section.
bool InPackageSection(const Stub& stub, std::uint64_t va, std::uint32_t length,
                      std::size_t* offset) {
    const ImageSection& s = *stub.section;
    const std::uint64_t start = stub.pe.imageBase + s.virtualAddress;
    if (va < start || va - start > MappedSize(s) || length > MappedSize(s) - (va - start))
        return false;
    *offset = s.rawOffset + static_cast<std::size_t>(va - start);
    return true;
}

bool ReadStub(const std::uint8_t* data, std::size_t size, Stub* stub, std::string* error) {
    std::string why;
    if (!ParsePeImage(data, size, &stub->pe, &why)) {
        *error = "not an installer stub: " + why;
        return false;
    }
    const PeImage& pe = stub->pe;
    stub->section = FindSectionNamed(pe, kPackageSection);
    if (!stub->section) {
        *error =
            std::string("not an installer stub: no package section \"") + kPackageSection + "\"";
        return false;
    }
    if (FindSectionNamed(pe, kBlobSection)) {
        *error = "not an installer stub: it already holds a package (it is a built installer)";
        return false;
    }
    const AnchorLayout anchor = MakeAnchorLayout(pe.pointerBytes);
    const TableLayout& table = *TableLayoutFor(kLayoutVersion, pe.pointerBytes);
    stub->anchorOffset = stub->section->rawOffset;
    const std::uint8_t* a = data + stub->anchorOffset;
    if (MappedSize(*stub->section) < anchor.size ||
        std::memcmp(a, kAnchorMagic, kAnchorMagicBytes) != 0) {
        *error = "not an installer stub: its package section does not begin with the anchor";
        return false;
    }
    const std::uint32_t version = Read32(a + anchor.version);
    if (version != kLayoutVersion) {
        *error = "an installer stub of format version " + std::to_string(version) +
                 "; this bqpack writes version " + std::to_string(kLayoutVersion);
        return false;
    }
    const std::uint64_t tableVa = ReadPointer(pe, a + anchor.table);
    const std::uint64_t configVa = ReadPointer(pe, a + anchor.config);
    if (!InPackageSection(*stub, tableVa, table.size, &stub->tableOffset) ||
        !InPackageSection(*stub, configVa, kConfigTemplateBytes, &stub->configOffset)) {
        *error = "damaged installer stub: the anchor's table or template lies outside the "
                 "package section";
        return false;
    }
    if (std::memcmp(data + stub->configOffset, kConfigMarker, kConfigMarkerBytes) != 0) {
        *error = "damaged installer stub: the template has no marker";
        return false;
    }
    stub->tableRva = static_cast<std::uint32_t>(tableVa - pe.imageBase);
    if (pe.certSize != 0) {
        *error = "the stub is signed: sign the installer after building it, not the stub";
        return false;
    }
    const std::size_t end = EndOfSectionData(pe);
    if (end != size) {
        *error =
            "damaged installer stub: " + std::to_string(size - end) + " bytes follow its sections";
        return false;
    }
    // Room for one more section header before the first section's data.
    std::size_t firstData = pe.sizeOfHeaders;
    for (const ImageSection& s : pe.sections)
        if (s.rawSize != 0)
            firstData = std::min<std::size_t>(firstData, s.rawOffset);
    const std::size_t headersEnd =
        pe.optionalOffset + pe.optionalBytes + kPeSectionHeaderBytes * (pe.sections.size() + 1);
    if (headersEnd > firstData) {
        *error = "installer stub has no room for another section header";
        return false;
    }

    std::vector<BaseRelocation> relocations;
    if (!ReadBaseRelocations(pe, &relocations, &why)) {
        *error = "damaged installer stub: " + why;
        return false;
    }
    std::unordered_map<std::uint32_t, std::size_t> byRva;
    const std::uint16_t type = pe.pointerBytes == 8 ? kPeRelocDir64 : kPeRelocHighLow;
    for (const BaseRelocation& r : relocations)
        if (r.type == type)
            byRva[r.rva] = r.entryOffset;
    bool ok = true;
    ForEachPointer([&](TableField field, std::uint32_t i) {
        const std::uint32_t at = table.At(field, i);
        auto found = byRva.find(stub->tableRva + at);
        if (found == byRva.end()) {
            if (ok)
                *error = std::string("not an installer stub: the table's ") +
                         kTableFields[field].name + " has no base relocation";
            ok = false;
        } else {
            stub->fieldRelocations[at] = found->second;
        }
    });
    return ok;
}

bool CheckPackage(const Package& p, std::string* error) {
    auto tooLong = [error](const std::string& what, bool fits, std::size_t most) {
        if (fits)
            return false;
        *error = what + " is longer than " + std::to_string(most) + " bytes or holds a NUL";
        return true;
    };
    if (!FileCountFits(p.files.size())) {
        *error = "more than " + std::to_string(kMaxPackageFiles) + " files";
        return false;
    }
    for (const PackageFile& f : p.files) {
        if (tooLong("file name \"" + f.name + "\"", TableTextFits(f.name), kTableTextMax))
            return false;
        const std::uint64_t end = f.dataOffset + kBlobDigestBytes + f.storedSize;
        if (end > p.regionSize) {
            *error = "the blob of " + f.name + " lies outside the blob region";
            return false;
        }
    }
    const PackageSettings& s = p.settings;
    for (const PackageSetting& setting : kPackageSettings)
        if (setting.text && tooLong("a setting", TableTextFits(s.*setting.text), kTableTextMax))
            return false;
    if (!ConfigLengthFits(p.configText.size())) {
        *error = p.configText.empty() ? std::string("the configuration text is empty")
                                      : "the configuration text is longer than " +
                                            std::to_string(kConfigTextSize) + " bytes";
        return false;
    }
    return !tooLong("the template's source name", ConfigSourceNameFits(p.configSourceName),
                    kConfigSourceNameMax);
}

} // namespace

bool CheckStub(const std::uint8_t* stub, std::size_t size, std::string* arch, std::string* error) {
    Stub s;
    if (!ReadStub(stub, size, &s, error))
        return false;
    *arch = s.pe.pointerBytes == 8 ? "x64" : "x86";
    return true;
}

bool StartInstaller(const std::uint8_t* data, std::size_t size, bool withFiles, InstallerHead* head,
                    std::string* error) {
    Stub stub;
    if (!ReadStub(data, size, &stub, error))
        return false;
    const PeImage& pe = stub.pe;
    // With files, the section starts on a page of the file as it does in
    // memory, so that a loader can map it from the file instead of reading
    // it in whole before the installer starts (Wine reads every section that
    // does not, which took half of a large package's install).
    const std::uint64_t regionOffset = AlignUp(
        size, withFiles ? std::max<std::uint32_t>(pe.fileAlignment, kPageSize) : pe.fileAlignment);
    head->bytes.assign(data, data + size);
    head->bytes.resize(static_cast<std::size_t>(regionOffset), 0);
    head->stubSize = size;
    return true;
}

bool FinishInstaller(InstallerHead* head, const Package& package, std::uint64_t regionChecksum,
                     const RegionReader& readRegion, std::vector<std::uint8_t>* tail,
                     std::string* error) {
    Stub stub;
    if (!ReadStub(head->bytes.data(), head->stubSize, &stub, error) ||
        !CheckPackage(package, error))
        return false;
    const PeImage& pe = stub.pe;
    const TableLayout& layout = *TableLayoutFor(kLayoutVersion, pe.pointerBytes);

    // The new section: the blob region, then the table's texts.
    const std::uint64_t textsAt = AlignUp(package.regionSize, 4);
    std::vector<std::uint8_t> textBytes;
    auto addText = [&textBytes, textsAt](const std::string& text) {
        const std::uint64_t at = textsAt + textBytes.size();
        textBytes.insert(textBytes.end(), text.begin(), text.end());
        textBytes.push_back(0);
        return at;
    };

    std::uint64_t end = 0;
    for (const ImageSection& s : pe.sections)
        end = std::max<std::uint64_t>(end, std::uint64_t{s.virtualAddress} +
                                               std::max(s.virtualSize, s.rawSize));
    const std::uint64_t sectionRva = AlignUp(end, pe.sectionAlignment);
    const std::uint64_t rawOffset = head->bytes.size();
    const std::uint64_t base = pe.imageBase + sectionRva;
    // The table's values, and its texts as they are placed.
    std::vector<std::pair<std::uint32_t, std::uint64_t>> pointers; // table offset, value
    std::vector<std::pair<std::uint32_t, std::uint32_t>> numbers;
    for (std::uint32_t i = 0; i < kMaxPackageFiles; ++i) {
        const bool used = i < package.files.size();
        const PackageFile* f = used ? &package.files[i] : nullptr;
        pointers.push_back({layout.At(kFieldFileNames, i), used ? base + addText(f->name) : 0});
        pointers.push_back({layout.At(kFieldFileData, i), used ? base + f->dataOffset : 0});
        numbers.push_back({layout.At(kFieldExpandedSizes, i), used ? f->expandedSize : 0});
        numbers.push_back({layout.At(kFieldStoredSizes, i), used ? f->storedSize : 0});
    }
    // The settings in the table's order: their texts are placed in that order.
    const PackageSettings& s = package.settings;
    ForEachSettingInTableOrder([&](const PackageSetting& setting) {
        if (setting.text)
            pointers.push_back({layout.At(setting.field), base + addText(s.*setting.text)});
        else
            numbers.push_back({layout.At(setting.field), SettingWord(s, setting)});
    });
    numbers.push_back(
        {layout.At(kFieldFileCount), static_cast<std::uint32_t>(package.files.size())});

    const std::uint64_t sectionSize = textsAt + textBytes.size();
    const std::uint64_t limit = pe.pointerBytes == 8 ? 0xFFFFFFFFu : 0xFFFFFFFFu - pe.imageBase;
    if (sectionRva + sectionSize + pe.sectionAlignment > limit) {
        *error = "the package does not fit in the installer's address space";
        return false;
    }
    const std::uint64_t rawSize = AlignUp(sectionSize, pe.fileAlignment);
    // After the region: padding to 4 bytes, the texts, padding to a whole
    // block of the file.
    tail->assign(static_cast<std::size_t>(rawSize - package.regionSize), 0);
    std::memcpy(tail->data() + (textsAt - package.regionSize), textBytes.data(), textBytes.size());
    std::uint8_t* out = head->bytes.data();

    // The section header and the headers that count sections and sizes.
    std::uint8_t* header =
        out + pe.optionalOffset + pe.optionalBytes + kPeSectionHeaderBytes * pe.sections.size();
    std::memset(header, 0, kPeSectionHeaderBytes);
    std::memcpy(header, kBlobSection, std::strlen(kBlobSection));
    Write32(header + kSectionVirtualSize, static_cast<std::uint32_t>(sectionSize));
    Write32(header + kSectionVirtualAddress, static_cast<std::uint32_t>(sectionRva));
    Write32(header + kSectionRawSize, static_cast<std::uint32_t>(rawSize));
    Write32(header + kSectionRawOffset, static_cast<std::uint32_t>(rawOffset));
    Write32(header + kSectionCharacteristics, kBlobSectionFlags);
    Write16(out + pe.coffOffset + kCoffSectionCount,
            static_cast<std::uint16_t>(pe.sections.size() + 1));
    std::uint8_t* optional = out + pe.optionalOffset;
    Write32(optional + kOptionalInitializedDataSize,
            Read32(optional + kOptionalInitializedDataSize) + static_cast<std::uint32_t>(rawSize));
    Write32(optional + kOptionalImageSize,
            static_cast<std::uint32_t>(AlignUp(sectionRva + sectionSize, pe.sectionAlignment)));

    // The table, with the relocation of each pointer field on where it
    // holds an address and off where it is null.
    std::uint8_t* table = out + stub.tableOffset;
    for (const auto& p : pointers) {
        if (pe.pointerBytes == 8)
            Write64(table + p.first, p.second);
        else
            Write32(table + p.first, static_cast<std::uint32_t>(p.second));
        const std::uint32_t rva = stub.tableRva + p.first;
        const std::uint16_t type = p.second == 0          ? kPeRelocAbsolute
                                   : pe.pointerBytes == 8 ? kPeRelocDir64
                                                          : kPeRelocHighLow;
        Write16(out + stub.fieldRelocations.at(p.first),
                static_cast<std::uint16_t>((type << 12) | (rva & 0xFFF)));
    }
    for (const auto& n : numbers)
        Write32(table + n.first, n.second);

    // The template.
    std::uint8_t* config = out + stub.configOffset;
    Write32(config + kConfigLengthOffset, static_cast<std::uint32_t>(package.configText.size()));
    std::memset(config + kConfigSourceOffset, 0, kConfigTextOffset - kConfigSourceOffset);
    std::memcpy(config + kConfigSourceOffset, package.configSourceName.data(),
                package.configSourceName.size());
    std::memset(config + kConfigTextOffset, 0, kConfigTemplateBytes - kConfigTextOffset);
    std::memcpy(config + kConfigTextOffset, package.configText.data(), package.configText.size());

    // The seal over the whole image, in the anchor: the head, the region
    // read back from where it was written, the tail.  The header checksum
    // comes after it, since it covers the seal.
    const AnchorLayout anchor = MakeAnchorLayout(pe.pointerBytes);
    Write32(out + stub.anchorOffset + anchor.sealState, kSealImage);
    ImageSealPlaces places;
    places.checksum = pe.checksumOffset;
    places.certEntry = pe.certEntryOffset;
    places.seal = stub.anchorOffset + anchor.seal;
    places.end = static_cast<std::size_t>(rawOffset + package.regionSize + tail->size());
    ImageSealer sealer;
    ImageSealInit(&sealer, places);
    ImageSealUpdate(&sealer, out, head->bytes.size());
    std::vector<std::uint8_t> piece;
    for (std::uint64_t at = 0; at < package.regionSize;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(package.regionSize - at, 1u << 20));
        piece.resize(n);
        if (!readRegion(at, piece.data(), n)) {
            *error = "cannot read the blob region back";
            return false;
        }
        ImageSealUpdate(&sealer, piece.data(), n);
        at += n;
    }
    ImageSealUpdate(&sealer, tail->data(), tail->size());
    ImageSealFinal(&sealer, out + places.seal);

    // The checksum: the head with its field taken as zero, the region's
    // sum, the tail.
    Write32(out + pe.checksumOffset, 0);
    std::uint64_t sum = AddToPeChecksum(regionChecksum, out, head->bytes.size(), 0);
    sum = AddToPeChecksum(sum, tail->data(), tail->size(), rawOffset + package.regionSize);
    Write32(out + pe.checksumOffset,
            FinishPeChecksum(sum, rawOffset + package.regionSize + tail->size()));
    return true;
}

bool WritePackageIntoStub(const std::uint8_t* data, std::size_t size, const Package& package,
                          std::vector<std::uint8_t>* image, std::string* error) {
    InstallerHead head;
    std::vector<std::uint8_t> tail;
    auto read = [&package](std::uint64_t at, std::uint8_t* buffer, std::size_t n) {
        if (at > package.regionSize || n > package.regionSize - at)
            return false;
        std::memcpy(buffer, package.region + at, n);
        return true;
    };
    const std::uint64_t regionSum =
        package.regionSize == 0 ? 0 : AddToPeChecksum(0, package.region, package.regionSize, 0);
    if (!StartInstaller(data, size, !package.files.empty(), &head, error) ||
        !FinishInstaller(&head, package, regionSum, read, &tail, error))
        return false;
    image->clear();
    image->reserve(head.bytes.size() + package.regionSize + tail.size());
    image->assign(head.bytes.begin(), head.bytes.end());
    if (package.regionSize != 0)
        image->insert(image->end(), package.region, package.region + package.regionSize);
    image->insert(image->end(), tail.begin(), tail.end());
    return true;
}
