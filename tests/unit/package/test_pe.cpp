// Test-only writer of small PE images; see test_pe.h.
#include "tests/unit/package/test_pe.h"

#include <cstring>

#include "package/little_endian.h"
#include "package/pe_image.h"

std::uint32_t TestAlignUp(std::uint32_t value, std::uint32_t align) {
    return (value + align - 1) / align * align;
}

void WriteTestPointer(std::uint8_t* at, std::uint64_t va, std::uint32_t pointerBytes) {
    if (pointerBytes == 8)
        Write64(at, va);
    else
        Write32(at, static_cast<std::uint32_t>(va));
}

std::vector<std::uint8_t> WriteTestPe(const TestPeHeaders& h,
                                      const std::vector<TestSection*>& sections) {
    const bool wide = h.pointerBytes == 8;
    std::uint32_t raw = kTestHeadersSize;
    for (TestSection* s : sections) {
        s->rawOffset = s->data.empty() ? 0 : raw;
        raw += TestAlignUp(static_cast<std::uint32_t>(s->data.size()), kTestFileAlign);
    }
    std::vector<std::uint8_t> b(raw, 0);
    b[0] = 'M';
    b[1] = 'Z';
    const std::uint32_t peAt = 0x80;
    Write32(&b[0x3C], peAt);
    std::memcpy(&b[peAt], "PE\0\0", 4);
    const std::size_t coff = peAt + 4;
    const std::uint16_t optionalBytes = wide ? 240 : 224;
    Write16(&b[coff], wide ? kPeMachineAmd64 : kPeMachineI386);
    Write16(&b[coff + 2], static_cast<std::uint16_t>(sections.size()));
    Write16(&b[coff + 16], optionalBytes);
    Write16(&b[coff + 18], h.fileCharacteristics);
    const std::size_t opt = coff + 20;
    Write16(&b[opt], wide ? 0x20B : 0x10B);
    Write32(&b[opt + 16], h.entryRva);
    WriteTestPointer(&b[opt + (wide ? 24 : 28)], h.imageBase, h.pointerBytes);
    Write32(&b[opt + 32], kTestSectionAlign);
    Write32(&b[opt + 36], kTestFileAlign);
    Write32(&b[opt + 56], h.sizeOfImage);
    Write32(&b[opt + 60], kTestHeadersSize);
    Write16(&b[opt + 68], 2); // GUI subsystem
    Write16(&b[opt + 70], h.dllCharacteristics);
    const std::size_t directories = opt + (wide ? 112 : 96);
    Write32(&b[directories - 4], 16);
    Write32(&b[directories + 8 * 2], h.resourceRva);
    Write32(&b[directories + 8 * 2 + 4], h.resourceSize);
    Write32(&b[directories + 8 * 5], h.relocRva);
    Write32(&b[directories + 8 * 5 + 4], h.relocSize);
    std::size_t header = opt + optionalBytes;
    for (TestSection* s : sections) {
        const std::uint32_t size = static_cast<std::uint32_t>(s->data.size());
        s->headerOffset = header;
        std::memcpy(&b[header], s->name, std::strlen(s->name));
        Write32(&b[header + 8], s->data.empty() ? s->virtualSize : size);
        Write32(&b[header + 12], s->rva);
        Write32(&b[header + 16], TestAlignUp(size, kTestFileAlign));
        Write32(&b[header + 20], s->rawOffset);
        Write32(&b[header + 36], s->characteristics);
        if (size != 0)
            std::memcpy(&b[s->rawOffset], s->data.data(), size);
        header += kPeSectionHeaderBytes;
    }
    if (h.checksum)
        Write32(&b[opt + 64], PeChecksum(b.data(), b.size(), opt + 64));
    return b;
}
