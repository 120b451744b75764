// Reading a Windows program's image; see pe_image.h.
#include "package/pe_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "package/little_endian.h"

namespace {

enum : std::uint32_t {
    kDosHeaderBytes = 64,
    kCoffHeaderBytes = 20,
    kMinOptionalHeaderPe32 = 96,      // standard and Windows fields of PE32
    kMinOptionalHeaderPe32Plus = 112, // and of PE32+
    kMagicPe32 = 0x10B,
    kMagicPe32Plus = 0x20B,
    kRelocBlockHeaderBytes = 8,
};

std::string HexVa(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(value));
    return text;
}

std::string Num(std::uint64_t value) {
    return std::to_string(value);
}

} // namespace

std::uint64_t ReadPointer(const PeImage& image, const std::uint8_t* p) {
    return image.pointerBytes == 8 ? Read64(p) : Read32(p);
}

std::uint32_t MappedSize(const ImageSection& section) {
    if (section.virtualSize == 0)
        return section.rawSize;
    return std::min(section.virtualSize, section.rawSize);
}

const ImageSection* FindSectionAt(const PeImage& image, std::uint64_t va,
                                  std::uint32_t* inSection) {
    if (va < image.imageBase || va - image.imageBase > 0xFFFFFFFFu)
        return nullptr;
    const std::uint32_t rva = static_cast<std::uint32_t>(va - image.imageBase);
    for (const ImageSection& s : image.sections) {
        if (rva >= s.virtualAddress && rva - s.virtualAddress < MappedSize(s)) {
            *inSection = rva - s.virtualAddress;
            return &s;
        }
    }
    return nullptr;
}

const ImageSection* FindSectionNamed(const PeImage& image, const char* name) {
    for (const ImageSection& s : image.sections)
        if (s.name == name)
            return &s;
    return nullptr;
}

bool ParsePeImage(const std::uint8_t* data, std::size_t size, PeImage* image, std::string* error) {
    image->data = data;
    image->size = size;
    image->sections.clear();
    if (size < kDosHeaderBytes) {
        *error = "too short to be a Windows program (" + Num(size) + " bytes)";
        return false;
    }
    if (data[0] != 'M' || data[1] != 'Z') {
        *error = "not a Windows program (no MZ header)";
        return false;
    }
    const std::uint32_t peAt = Read32(data + kDosPeHeaderOffset);
    if (std::uint64_t{peAt} + 4 + kCoffHeaderBytes > size) {
        *error = "truncated: the PE header at offset " + HexVa(peAt) + " lies past the end (" +
                 Num(size) + " bytes)";
        return false;
    }
    if (std::memcmp(data + peAt, "PE\0\0", 4) != 0) {
        *error = "no PE signature at offset " + HexVa(peAt);
        return false;
    }
    const std::uint8_t* coff = data + peAt + 4;
    const std::uint16_t machine = Read16(coff);
    const std::uint16_t sectionCount = Read16(coff + kCoffSectionCount);
    const std::uint16_t optionalBytes = Read16(coff + kCoffOptionalHeaderBytes);
    const std::uint64_t optionalAt = std::uint64_t{peAt} + 4 + kCoffHeaderBytes;
    if (optionalAt + optionalBytes > size) {
        *error = "truncated: the optional header runs past the end (" + Num(size) + " bytes)";
        return false;
    }
    const std::uint8_t* optional = data + optionalAt;
    const std::uint16_t magic = optionalBytes < 2 ? 0 : Read16(optional);
    // The machine and the optional header's form go together: an x86
    // installer is PE32 with 32-bit pointers, an x64 one PE32+ with 64-bit.
    if (machine == kPeMachineI386 && magic == kMagicPe32) {
        image->pointerBytes = 4;
    } else if (machine == kPeMachineAmd64 && magic == kMagicPe32Plus) {
        image->pointerBytes = 8;
    } else if (machine != kPeMachineI386 && machine != kPeMachineAmd64) {
        char text[64];
        std::snprintf(text, sizeof text, "not an x86 or x64 program (machine 0x%04x)", machine);
        *error = text;
        return false;
    } else {
        char text[96];
        std::snprintf(text, sizeof text, "not a %s image (optional header magic 0x%04x)",
                      machine == kPeMachineI386 ? "PE32" : "PE32+", static_cast<unsigned>(magic));
        *error = text;
        return false;
    }
    image->machine = machine;
    const std::uint32_t minimum =
        image->pointerBytes == 8 ? kMinOptionalHeaderPe32Plus : kMinOptionalHeaderPe32;
    if (optionalBytes < minimum) {
        *error = "unsupported optional header of " + Num(optionalBytes) + " bytes";
        return false;
    }
    image->imageBase = image->pointerBytes == 8 ? Read64(optional + kOptionalImageBase64)
                                                : Read32(optional + kOptionalImageBase32);
    image->coffOffset = peAt + 4;
    image->optionalOffset = static_cast<std::size_t>(optionalAt);
    image->optionalBytes = optionalBytes;
    image->sectionAlignment = Read32(optional + kOptionalSectionAlignment);
    image->fileAlignment = Read32(optional + kOptionalFileAlignment);
    image->sizeOfHeaders = Read32(optional + kOptionalHeadersSize);
    image->checksumOffset = image->optionalOffset + kOptionalChecksum;
    const std::uint32_t directoriesAt =
        image->pointerBytes == 8 ? kOptionalDirectories64 : kOptionalDirectories32;
    const std::uint32_t directoryCount = Read32(optional + directoriesAt - 4);
    auto directory = [&](std::uint32_t index, std::uint32_t* where, std::uint32_t* length) {
        if (index < directoryCount && directoriesAt + 8 * (index + 1) <= optionalBytes) {
            *where = Read32(optional + directoriesAt + 8 * index);
            *length = Read32(optional + directoriesAt + 8 * index + 4);
        }
    };
    directory(kDirectoryCertificates, &image->certOffset, &image->certSize);
    if (directoriesAt + 8 * (kDirectoryCertificates + 1) <= optionalBytes)
        image->certEntryOffset = image->optionalOffset + directoriesAt + 8 * kDirectoryCertificates;
    directory(kDirectoryRelocations, &image->relocRva, &image->relocSize);
    if (sectionCount == 0 || sectionCount > kMaxImageSections) {
        *error = "unsupported section count " + Num(sectionCount);
        return false;
    }
    const std::uint64_t tableAt = optionalAt + optionalBytes;
    if (tableAt + std::uint64_t{kPeSectionHeaderBytes} * sectionCount > size) {
        *error = "truncated: the section table runs past the end (" + Num(size) + " bytes)";
        return false;
    }
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint8_t* h = data + tableAt + std::uint64_t{kPeSectionHeaderBytes} * i;
        ImageSection s;
        const char* name = reinterpret_cast<const char*>(h);
        s.name.assign(name, strnlen(name, 8));
        s.virtualSize = Read32(h + kSectionVirtualSize);
        s.virtualAddress = Read32(h + kSectionVirtualAddress);
        s.rawSize = Read32(h + kSectionRawSize);
        s.rawOffset = Read32(h + kSectionRawOffset);
        s.characteristics = Read32(h + kSectionCharacteristics);
        if (s.rawSize != 0 && std::uint64_t{s.rawOffset} + s.rawSize > size) {
            *error = "truncated: section " + s.name + " needs " +
                     Num(std::uint64_t{s.rawOffset} + s.rawSize) + " bytes, the file has " +
                     Num(size);
            return false;
        }
        const std::uint64_t end = std::uint64_t{s.virtualAddress} + MappedSize(s);
        if (image->pointerBytes == 4 ? image->imageBase + end > 0xFFFFFFFFu
                                     : image->imageBase > ~std::uint64_t{0} - end) {
            *error = "section " + s.name + " lies beyond the address space";
            return false;
        }
        image->sections.push_back(s);
    }
    return true;
}

bool MapVirtualRange(const PeImage& image, std::uint64_t va, std::uint32_t length,
                     std::size_t* offset) {
    if (va < image.imageBase || va - image.imageBase > 0xFFFFFFFFu)
        return false;
    const std::uint32_t rva = static_cast<std::uint32_t>(va - image.imageBase);
    for (const ImageSection& s : image.sections) {
        const std::uint32_t size = MappedSize(s);
        if (size == 0 || rva < s.virtualAddress || rva - s.virtualAddress >= size)
            continue;
        const std::uint32_t at = rva - s.virtualAddress;
        if (length > size - at)
            return false;
        *offset = std::size_t{s.rawOffset} + at;
        return true;
    }
    return false;
}

std::size_t EndOfSectionData(const PeImage& image) {
    std::size_t end = image.sizeOfHeaders;
    for (const ImageSection& s : image.sections)
        if (s.rawSize != 0)
            end = std::max<std::size_t>(end, std::size_t{s.rawOffset} + s.rawSize);
    return std::min(end, image.size);
}

bool ReadBaseRelocations(const PeImage& image, std::vector<BaseRelocation>* relocations,
                         std::string* error) {
    relocations->clear();
    if (image.relocSize == 0)
        return true;
    std::size_t at = 0;
    if (!MapVirtualRange(image, image.imageBase + image.relocRva, image.relocSize, &at)) {
        *error = "the base relocations (" + Num(image.relocSize) + " bytes at " +
                 HexVa(image.relocRva) + ") lie outside the image's data";
        return false;
    }
    const std::size_t end = at + image.relocSize;
    while (at + kRelocBlockHeaderBytes <= end) {
        const std::uint32_t page = Read32(image.data + at);
        const std::uint32_t blockBytes = Read32(image.data + at + 4);
        if (blockBytes < kRelocBlockHeaderBytes || blockBytes % 2 != 0 || blockBytes > end - at) {
            *error = "a base relocation block at page " + HexVa(page) + " has a bad size (" +
                     Num(blockBytes) + " bytes)";
            return false;
        }
        for (std::size_t e = at + kRelocBlockHeaderBytes; e < at + blockBytes; e += 2) {
            const std::uint16_t entry = Read16(image.data + e);
            BaseRelocation r;
            r.rva = page + (entry & 0xFFF);
            r.type = static_cast<std::uint16_t>(entry >> 12);
            r.entryOffset = e;
            relocations->push_back(r);
        }
        at += blockBytes;
    }
    return true;
}

std::uint64_t AddToPeChecksum(std::uint64_t sum, const std::uint8_t* data, std::size_t size,
                              std::uint64_t offset) {
    // The sum of the image's 16-bit words with the carries folded back in
    // (which may be done in any order and at the end), a last odd byte
    // counting as a word of its own.
    std::size_t i = 0;
    if (size > 0 && offset % 2 != 0) {
        sum += std::uint64_t{data[0]} << 8;
        i = 1;
    }
    for (; i + 1 < size; i += 2)
        sum += data[i] | static_cast<std::uint32_t>(data[i + 1]) << 8;
    if (i < size)
        sum += data[i];
    return (sum & 0xFFFFFFFF) + (sum >> 32);
}

std::uint32_t FinishPeChecksum(std::uint64_t sum, std::uint64_t fileSize) {
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + fileSize);
}

std::uint32_t PeChecksum(const std::uint8_t* data, std::size_t size, std::size_t checksumOffset) {
    std::uint64_t sum = 0;
    const std::size_t field = checksumOffset < size ? checksumOffset : size;
    const std::size_t after = size - field < 4 ? size : field + 4;
    sum = AddToPeChecksum(sum, data, field, 0);
    sum = AddToPeChecksum(sum, data + after, size - after, after);
    return FinishPeChecksum(sum, size);
}

HeaderChecksum ReadHeaderChecksum(const PeImage& image) {
    return {Read32(image.data + image.checksumOffset),
            PeChecksum(image.data, image.size, image.checksumOffset)};
}
