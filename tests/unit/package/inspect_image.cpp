// Test-only builder of small setup images; see inspect_image.h.
#include "tests/unit/package/inspect_image.h"

#include <cstring>

#include "digest/md5.h"
#include "package/little_endian.h"
#include "package/package_format.h"
#include "package/package_layout.h"
#include "package/pe_image.h"
#include "tests/unit/dcl/dcl_bit_writer.h"
#include "tests/unit/package/seal_again.h"
#include "tests/unit/package/test_pe.h"

namespace {

const std::uint32_t kImageBase = 0x400000;
const std::uint64_t kImageBase64 = 0x140000000;

std::uint32_t AddText(TestSection* s, const std::string& text) {
    const std::uint32_t va = s->rva + static_cast<std::uint32_t>(s->data.size());
    s->data.insert(s->data.end(), text.begin(), text.end());
    s->data.push_back(0);
    while (s->data.size() % 4)
        s->data.push_back(0);
    return va;
}

} // namespace

std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes.at(offset)) |
           (static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8) |
           (static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16) |
           (static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24);
}

void Put32(std::vector<std::uint8_t>* bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes->at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

InspectFile PlainFile(const std::string& name, const std::vector<std::uint8_t>& content) {
    InspectFile file;
    file.name = name;
    file.content = content;
    return file;
}

InspectPackage StandardPackage() {
    InspectPackage p;
    std::vector<std::uint8_t> first(1000, 0);
    const std::vector<std::uint8_t> text = TextLikeContent(4000, 1);
    first.insert(first.end(), text.begin(), text.end());
    p.files.push_back(PlainFile("Bramblequist.exe", first));
    p.files.push_back(PlainFile("bqt.dlx", NoiseContent(2500, 2)));
    p.files.push_back(PlainFile("empty.dat", {}));
    return p;
}

Chunk ChunkOf(const InspectImage& image, std::size_t file, std::size_t index) {
    const std::size_t stream = image.digestOffsets[file] + 16;
    std::uint32_t offset = 0;
    for (std::size_t i = 0;; ++i) {
        const std::size_t at = stream + offset;
        Chunk c{at, offset, static_cast<std::uint16_t>(image.bytes[at] | image.bytes[at + 1] << 8),
                static_cast<std::uint16_t>(image.bytes[at + 2] | image.bytes[at + 3] << 8)};
        if (i == index)
            return c;
        offset += 4 + c.stored;
    }
}

std::vector<std::uint8_t> InspectDclStream(const std::uint8_t* data, std::size_t size) {
    DclBitWriter w(0, 4); // plain literals, 1024-byte dictionary
    std::size_t i = 0;
    while (i < size) {
        std::size_t run = 0;
        if (i > 0) {
            while (i + run < size && run < 518 && data[i + run] == data[i - 1])
                ++run;
        }
        if (run >= 3) {
            w.Match(static_cast<std::uint32_t>(run), 1);
            i += run;
        } else {
            w.Literal(data[i]);
            ++i;
        }
    }
    w.End();
    return w.bytes;
}

std::vector<std::uint8_t> InspectChunkStream(const std::vector<std::uint8_t>& content,
                                             std::uint32_t chunkSize) {
    std::vector<std::uint8_t> stream;
    for (std::size_t at = 0; at < content.size(); at += chunkSize) {
        const std::size_t n = std::min<std::size_t>(chunkSize, content.size() - at);
        std::vector<std::uint8_t> packed = InspectDclStream(content.data() + at, n);
        const bool raw = packed.size() >= n;
        const std::uint8_t* body = raw ? content.data() + at : packed.data();
        const std::size_t stored = raw ? n : packed.size();
        const std::size_t header = stream.size();
        stream.resize(header + 4);
        Write16(&stream[header], static_cast<std::uint16_t>(n));
        Write16(&stream[header + 2], static_cast<std::uint16_t>(stored));
        stream.insert(stream.end(), body, body + stored);
    }
    return stream;
}

InspectImage BuildInspectImage(const InspectPackage& package) {
    InspectImage image;
    const bool wide = package.pointerBytes == 8;
    const std::uint64_t base = wide ? kImageBase64 : kImageBase;
    image.imageBase = base;
    TestSection text{".text", 0x1000, std::vector<std::uint8_t>(0x40, 0xC3), 0x60000020};
    TestSection data{kPackageSection, 0x2000, {}, 0xC0000040};
    TestSection rdata{".rdata", 0x3000, {}, 0x40000040};

    // .rdata: the texts, the configuration template, then the blob region.
    std::vector<std::uint32_t> nameVas;
    for (const InspectFile& f : package.files)
        nameVas.push_back(AddText(&rdata, f.name));
    std::uint32_t textVas[kTableFieldCount] = {};
    ForEachSettingInTableOrder([&](const PackageSetting& setting) {
        if (setting.text)
            textVas[setting.field] = AddText(&rdata, package.settings.*setting.text);
    });

    const std::size_t configAt = rdata.data.size();
    rdata.data.resize(configAt + kConfigTemplateBytes, 0);
    std::memcpy(&rdata.data[configAt], kConfigMarker, kConfigMarkerBytes);
    Put32(&rdata.data, configAt + kConfigLengthOffset,
          static_cast<std::uint32_t>(package.configText.size()));
    std::memcpy(&rdata.data[configAt + kConfigSourceOffset], package.configSourceName.data(),
                std::min<std::size_t>(package.configSourceName.size(), kConfigSourceNameMax));
    std::memcpy(&rdata.data[configAt + kConfigTextOffset], package.configText.data(),
                std::min<std::size_t>(package.configText.size(), kConfigTextSize));
    while (rdata.data.size() % 4)
        rdata.data.push_back(0);

    std::vector<std::size_t> markerAt, digestAt;
    for (const InspectFile& f : package.files) {
        const std::vector<std::uint8_t> stream =
            f.explicitStream ? f.stream : InspectChunkStream(f.content, package.chunkSize);
        markerAt.push_back(rdata.data.size());
        digestAt.push_back(AppendBlob(&rdata.data, f.name, stream));
        image.storedSizes.push_back(static_cast<std::uint32_t>(stream.size()));
        image.expandedSizes.push_back(
            f.explicitStream ? f.expandedSize : static_cast<std::uint32_t>(f.content.size()));
        image.dataVas.push_back(base + rdata.rva + static_cast<std::uint32_t>(digestAt.back()));
    }
    // Whatever the linker puts after the blobs.
    rdata.data.insert(rdata.data.end(), {0x47, 0x43, 0x43, 0x3A, 0, 0, 0, 0});

    // The package section: the anchor, some other variables and the package
    // table, aligned on its pointer width.
    const AnchorLayout anchor = MakeAnchorLayout(package.pointerBytes);
    data.data.assign(anchor.size, 0);
    std::memcpy(data.data.data(), kAnchorMagic, kAnchorMagicBytes);
    Write32(data.data.data() + anchor.version, kLayoutVersion);
    Write32(data.data.data() + anchor.sealState, kSealImage);
    data.data.insert(data.data.end(), wide ? 16 : 12, 0x11);
    const std::size_t tableAt = data.data.size();
    data.data.resize(tableAt + MakeTableLayout(package.pointerBytes).size, 0);
    data.data.insert(data.data.end(), 8, 0x22);
    const TableLayout layout = MakeTableLayout(package.pointerBytes);
    auto word = [&](TableField field, std::uint32_t value, std::uint32_t i = 0) {
        Put32(&data.data, tableAt + layout.At(field, i), value);
    };
    auto pointer = [&](TableField field, std::uint64_t va, std::uint32_t i = 0) {
        WriteTestPointer(&data.data.at(tableAt + layout.At(field, i)), va, package.pointerBytes);
    };
    for (std::uint32_t i = 0; i < package.files.size() && i < 6; ++i) {
        pointer(kFieldFileNames, base + nameVas[i], i);
        word(kFieldExpandedSizes, image.expandedSizes[i], i);
        word(kFieldStoredSizes, image.storedSizes[i], i);
        pointer(kFieldFileData, image.dataVas[i], i);
    }
    word(kFieldFileCount, static_cast<std::uint32_t>(package.files.size()));
    ForEachSettingInTableOrder([&](const PackageSetting& setting) {
        if (setting.text)
            pointer(setting.field, base + textVas[setting.field]);
        else
            word(setting.field, SettingWord(package.settings, setting));
    });

    // The sections after the headers; .bss has no data in the file.
    TestSection bss{".bss", 0, {}, 0xC0000080, 0x100};
    bss.rva =
        TestAlignUp(rdata.rva + static_cast<std::uint32_t>(rdata.data.size()), kTestSectionAlign);
    TestPeHeaders headers;
    headers.pointerBytes = package.pointerBytes;
    headers.imageBase = base;
    headers.entryRva = text.rva;
    headers.fileCharacteristics = wide ? 0x0022 : 0x0107;
    headers.sizeOfImage = bss.rva + kTestSectionAlign;
    WriteTestPointer(&data.data[anchor.table], base + data.rva + tableAt, package.pointerBytes);
    WriteTestPointer(&data.data[anchor.config], base + rdata.rva + configAt, package.pointerBytes);
    headers.checksum = true;
    image.bytes = WriteTestPe(headers, {&text, &data, &rdata, &bss});
    image.sealOffset = data.rawOffset + anchor.seal;
    image.rdataHeaderOffset = rdata.headerOffset;

    image.tableOffset = data.rawOffset + tableAt;
    image.tableVa = base + data.rva + static_cast<std::uint32_t>(tableAt);
    image.configOffset = rdata.rawOffset + configAt;
    image.configVa = base + rdata.rva + configAt;
    for (std::size_t i = 0; i < package.files.size(); ++i) {
        image.markerOffsets.push_back(rdata.rawOffset + markerAt[i]);
        image.digestOffsets.push_back(rdata.rawOffset + digestAt[i]);
    }
    SealImageAgain(&image.bytes);
    return image;
}

std::size_t AppendBlob(std::vector<std::uint8_t>* region, const std::string& name,
                       const std::vector<std::uint8_t>& stream) {
    const std::string marker = BlobMarker(name);
    region->insert(region->end(), marker.begin(), marker.end());
    const std::size_t digestAt = region->size();
    std::uint8_t digest[16];
    Md5Digest(stream.data(), static_cast<std::uint32_t>(stream.size()), digest);
    region->insert(region->end(), digest, digest + 16);
    region->insert(region->end(), stream.begin(), stream.end());
    while (region->size() % 4)
        region->push_back(0);
    return digestAt;
}

void RestoreDigest(InspectImage* image, std::size_t i) {
    std::uint8_t digest[16];
    const std::size_t at = image->digestOffsets.at(i);
    Md5Digest(&image->bytes[at + 16], image->storedSizes.at(i), digest);
    std::memcpy(&image->bytes[at], digest, 16);
}

std::vector<std::uint8_t> TextLikeContent(std::size_t size, std::uint32_t seed) {
    static const char kWords[][8] = {"backup ", "restore", " file ", "\r\n", "data "};
    std::vector<std::uint8_t> out;
    std::uint32_t x = seed * 2654435761u + 1;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        const char* w = kWords[(x >> 16) % 5];
        for (std::size_t i = 0; w[i] && out.size() < size; ++i)
            out.push_back(static_cast<std::uint8_t>(w[i]));
        // Then a run of one character, which the test encoder compresses.
        x = x * 1103515245u + 12345u;
        const std::size_t run = 8 + (x >> 16) % 40;
        const char c = "-=.* "[(x >> 8) % 5];
        for (std::size_t i = 0; i < run && out.size() < size; ++i)
            out.push_back(static_cast<std::uint8_t>(c));
    }
    return out;
}

std::vector<std::uint8_t> NoiseContent(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> out(size);
    std::uint32_t x = seed ^ 0x9E3779B9u;
    for (std::uint8_t& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}
