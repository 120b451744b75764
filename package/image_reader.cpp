// Reading the package of a built setup image; see image_reader.h.
#include "package/image_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "digest/md5.h"
#include "errors/error_record.h"
#include "package/chunk_stream.h"
#include "package/little_endian.h"
#include "package/package_seal.h"

namespace {

enum : std::uint32_t {
    kMaxChunkExpanded = 65535,
    kExpandScratchBytes = 65536,
    kMaxExpandedFile = 0x7FFFFFFF, // ExpandStream takes signed 32-bit sizes
};

// The package table's layout in an image of this pointer width.
const TableLayout& LayoutOf(const PeImage& image) {
    return TableLayoutFor(image.pointerBytes);
}

// An address as messages show it: at least eight hexadecimal digits.
std::string HexVa(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(value));
    return text;
}

std::string Num(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
    return text;
}

enum class TextResult { Ok, Null, Outside, Unterminated };

TextResult ReadText(const PeImage& image, std::uint64_t va, std::string* text) {
    if (va == 0)
        return TextResult::Null;
    std::uint32_t at = 0;
    const ImageSection* s = FindSectionAt(image, va, &at);
    if (!s)
        return TextResult::Outside;
    const std::uint8_t* p = image.data + s->rawOffset + at;
    const std::size_t room = std::min<std::size_t>(MappedSize(*s) - at, kImageTextMax + 1);
    const void* nul = std::memchr(p, 0, room);
    if (!nul)
        return TextResult::Unterminated;
    text->assign(reinterpret_cast<const char*>(p), static_cast<const std::uint8_t*>(nul) - p);
    return TextResult::Ok;
}

std::string TextProblem(TextResult result) {
    switch (result) {
    case TextResult::Null:
        return "is null";
    case TextResult::Outside:
        return "points outside the image's data";
    case TextResult::Unterminated:
        return "does not lead to a text of at most 259 bytes";
    case TextResult::Ok:
        break;
    }
    return "";
}

// Virtual addresses just past every "XXX" and NUL in the image's data: the
// places a FileData pointer may lead to.  Found by the NUL so that a long
// run of 'X' costs no more than any other byte.
std::vector<std::uint64_t> MarkerEnds(const PeImage& image) {
    std::vector<std::uint64_t> ends;
    for (const ImageSection& s : image.sections) {
        const std::uint8_t* base = image.data + s.rawOffset;
        const std::uint32_t size = MappedSize(s);
        for (std::uint32_t j = 3; j < size; ++j) {
            if (base[j] == 0 && base[j - 1] == 'X' && base[j - 2] == 'X' && base[j - 3] == 'X')
                ends.push_back(image.imageBase + s.virtualAddress + j + 1);
        }
    }
    std::sort(ends.begin(), ends.end());
    return ends;
}

bool IsMarkerEnd(const std::vector<std::uint64_t>& ends, std::uint64_t va) {
    return std::binary_search(ends.begin(), ends.end(), va);
}

// True when slot i of a record at p names a file whose blob marker ends
// just where the slot's FileData points.
bool SlotLinked(const PeImage& image, const std::uint8_t* p, std::uint32_t i) {
    std::string name;
    const TableLayout& layout = LayoutOf(image);
    if (ReadText(image, ReadPointer(image, p + layout.At(kFieldFileNames, i)), &name) !=
        TextResult::Ok)
        return false;
    const std::string marker = BlobMarker(name);
    const std::uint32_t markerBytes = static_cast<std::uint32_t>(marker.size());
    const std::uint64_t dataVa = ReadPointer(image, p + layout.At(kFieldFileData, i));
    std::size_t at = 0;
    return dataVa >= markerBytes &&
           MapVirtualRange(image, dataVa - markerBytes, markerBytes, &at) &&
           std::memcmp(image.data + at, marker.data(), markerBytes) == 0;
}

// Scores a record at p as the package table.  What weighs most is the
// used slots (all six when the count is out of range) whose name and blob
// pointer agree with a marker; then readable texts, a count in range, and
// blob pointers that lead to some marker.  A record shifted by a few words
// against the real table can link the same blobs, but not in its used
// slots and not with the table's texts.  0 means it cannot be the table.
std::uint32_t TableScore(const PeImage& image, const std::uint8_t* p,
                         const std::vector<std::uint64_t>& ends) {
    const TableLayout& layout = LayoutOf(image);
    const std::int32_t count = static_cast<std::int32_t>(Read32(p + layout.At(kFieldFileCount)));
    const bool countInRange = count >= 0 && count <= static_cast<std::int32_t>(kMaxPackageFiles);
    std::uint32_t linked = 0;
    std::uint32_t consistent = 0;
    for (std::uint32_t i = 0; i < kMaxPackageFiles; ++i) {
        if (!IsMarkerEnd(ends, ReadPointer(image, p + layout.At(kFieldFileData, i))))
            continue;
        ++linked;
        const bool used = !countInRange || static_cast<std::int32_t>(i) < count;
        if (used && SlotLinked(image, p, i))
            ++consistent;
    }
    if (!countInRange && linked == 0)
        return 0;
    std::uint32_t texts = 0;
    std::string ignored;
    bool textsHold = true;
    ForEachSettingInTableOrder([&](const PackageSetting& setting) {
        if (!setting.text)
            return;
        const std::uint64_t va = ReadPointer(image, p + layout.At(setting.field));
        if ((va == 0 && setting.mayBeNull) || ReadText(image, va, &ignored) == TextResult::Ok)
            ++texts;
        else
            textsHold = false;
    });
    if (!textsHold && linked == 0)
        return 0; // without a blob pointer, every text must hold
    return consistent * 1000 + texts * 50 + (countInRange ? 100 : 0) + linked * 10 + 1;
}

// The table is aligned on its pointer width.
bool FindTable(const PeImage& image, const std::vector<std::uint64_t>& ends,
               std::uint64_t* tableVa) {
    std::uint32_t best = 0;
    const std::uint32_t align = image.pointerBytes;
    const std::uint32_t tableBytes = LayoutOf(image).size;
    for (const ImageSection& s : image.sections) {
        const std::uint32_t size = MappedSize(s);
        const std::uint64_t startVa = image.imageBase + s.virtualAddress;
        const std::uint8_t* base = image.data + s.rawOffset;
        for (std::uint32_t j = (align - (startVa % align)) % align; j + tableBytes <= size;
             j += align) {
            const std::uint32_t score = TableScore(image, base + j, ends);
            if (score > best) {
                best = score;
                *tableVa = startVa + j;
            }
        }
    }
    return best != 0;
}

// How much a marker at va looks like the template: 0 when the template's
// bytes are not all in the image's data, else 1, plus 1 for a source name
// field of text and zero padding, plus 1 for a length of 1 to 4096 with
// zeros beyond it in the text region.
std::uint32_t ConfigScore(const PeImage& image, std::uint64_t va) {
    std::size_t at = 0;
    if (!MapVirtualRange(image, va, kConfigTemplateBytes, &at))
        return 0;
    const std::uint8_t* config = image.data + at;
    std::uint32_t score = 1;
    const std::uint8_t* source = config + kConfigSourceOffset;
    const void* nul = std::memchr(source, 0, kConfigSourceNameSize);
    if (nul) {
        const std::uint8_t* p = static_cast<const std::uint8_t*>(nul);
        while (p < source + kConfigSourceNameSize && *p == 0)
            ++p;
        if (p == source + kConfigSourceNameSize)
            ++score;
    }
    const std::uint32_t length = Read32(config + kConfigLengthOffset);
    if (length >= 1 && length <= kConfigTextSize) {
        const std::uint8_t* text = config + kConfigTextOffset;
        std::uint32_t i = length;
        while (i < kConfigTextSize && text[i] == 0)
            ++i;
        if (i == kConfigTextSize)
            ++score;
    }
    return score;
}

// Finds the configuration template's marker outside the blobs' extents.
bool FindConfig(const PeImage& image,
                const std::vector<std::pair<std::uint64_t, std::uint32_t>>& excluded,
                std::uint64_t* configVa, std::string* error) {
    std::vector<std::uint64_t> found;
    for (const ImageSection& s : image.sections) {
        const std::uint8_t* base = image.data + s.rawOffset;
        const std::uint32_t size = MappedSize(s);
        if (size < kConfigMarkerBytes)
            continue;
        for (std::uint32_t j = 0; j + kConfigMarkerBytes <= size; ++j) {
            if (base[j] != 'Y' || std::memcmp(base + j, kConfigMarker, kConfigMarkerBytes) != 0)
                continue;
            const std::uint64_t va = image.imageBase + s.virtualAddress + j;
            bool inBlob = false;
            for (const auto& range : excluded)
                inBlob = inBlob || (va >= range.first && va - range.first < range.second);
            if (!inBlob)
                found.push_back(va);
        }
    }
    if (found.empty()) {
        *error = "no configuration template (marker \"YYYinzYYY\" not found)";
        return false;
    }
    // The marker text can also stand elsewhere in the image (a program may
    // hold it as a string); the template is the one whose fixed fields look
    // as the builder leaves them.
    std::vector<std::uint64_t> best;
    std::uint32_t bestScore = 0;
    for (std::uint64_t va : found) {
        const std::uint32_t score = found.size() == 1 ? 1 : ConfigScore(image, va);
        if (score > bestScore)
            best.clear();
        if (score >= bestScore) {
            bestScore = score;
            best.push_back(va);
        }
    }
    if (best.size() > 1) {
        *error = "more than one configuration template marker (at " + HexVa(best[0]) + " and " +
                 HexVa(best[1]) + ")";
        return false;
    }
    *configVa = best[0];
    return true;
}

// The anchor at the start of the package section of an image built from the
// installer stub: it says where the table and the template are, and holds
// the seal.  An image without the section is one made the old way (linked
// with the package), whose table is found by the search.
bool ReadAnchor(PackageImage* package, std::string* error) {
    const PeImage& image = package->pe;
    const ImageSection* section = FindSectionNamed(image, kPackageSection);
    if (!section)
        return true;
    const AnchorLayout layout = MakeAnchorLayout(image.pointerBytes);
    const std::uint8_t* a = image.data + section->rawOffset;
    if (MappedSize(*section) < layout.size ||
        std::memcmp(a, kAnchorMagic, kAnchorMagicBytes) != 0) {
        *error = std::string("the package section ") + kPackageSection +
                 " does not begin with the anchor";
        return false;
    }
    const std::uint32_t version = Read32(a + layout.version);
    if (version != kAnchorVersion) {
        *error =
            "package anchor of format version " + Num(version) + ", not " + Num(kAnchorVersion);
        return false;
    }
    package->anchored = true;
    package->tableVa = ReadPointer(image, a + layout.table);
    package->configVa = ReadPointer(image, a + layout.config);
    std::size_t at = 0;
    if (!MapVirtualRange(image, package->tableVa, LayoutOf(image).size, &at)) {
        *error = "package anchor: the table at " + HexVa(package->tableVa) +
                 " lies outside the image's data";
        return false;
    }
    package->sealState = Read32(a + layout.sealState);
    std::memcpy(package->seal, a + layout.seal, kSealDigestBytes);
    return true;
}

bool ReadTable(PackageImage* package, const std::vector<std::uint64_t>& ends, std::string* error) {
    const PeImage& image = package->pe;
    const TableLayout& layout = LayoutOf(image);
    std::size_t at = 0;
    MapVirtualRange(image, package->tableVa, layout.size, &at);
    const std::uint8_t* p = image.data + at;
    const std::string where = "package table at " + HexVa(package->tableVa) + ": ";
    auto word = [p, &layout](TableField field, std::uint32_t i = 0) {
        return Read32(p + layout.At(field, i));
    };
    auto pointer = [p, &layout, &image](TableField field, std::uint32_t i = 0) {
        return ReadPointer(image, p + layout.At(field, i));
    };

    const std::int32_t count = static_cast<std::int32_t>(word(kFieldFileCount));
    if (count < 0 || count > static_cast<std::int32_t>(kMaxPackageFiles)) {
        *error = where + "FileCount " + std::to_string(count) + " is outside 0 to 6";
        return false;
    }
    package->fileCount = count;
    // The settings; the first text that does not hold, in the table's order,
    // is the one named.
    PackageSettings& settings = package->settings;
    bool textsHold = true;
    ForEachSettingInTableOrder([&](const PackageSetting& setting) {
        if (!textsHold)
            return;
        if (setting.number) {
            settings.*setting.number = word(setting.field);
        } else if (setting.flag) {
            settings.*setting.flag = static_cast<std::int32_t>(word(setting.field));
        } else {
            const std::uint64_t va = pointer(setting.field);
            if (va == 0 && setting.mayBeNull) {
                (settings.*setting.text).clear();
                return;
            }
            const TextResult result = ReadText(image, va, &(settings.*setting.text));
            if (result != TextResult::Ok) {
                *error = where + kTableFields[setting.field].name + " pointer " + HexVa(va) + " " +
                         TextProblem(result);
                textsHold = false;
            }
        }
    });
    if (!textsHold)
        return false;

    package->files.clear();
    for (std::int32_t i = 0; i < count; ++i) {
        PackageFileEntry file;
        const std::string slot = "file slot " + std::to_string(i) + ": ";
        const std::uint64_t nameVa = pointer(kFieldFileNames, i);
        const TextResult result = ReadText(image, nameVa, &file.name);
        if (result != TextResult::Ok) {
            *error =
                where + slot + "FileNames pointer " + HexVa(nameVa) + " " + TextProblem(result);
            return false;
        }
        file.expandedSize = word(kFieldExpandedSizes, i);
        file.storedSize = word(kFieldStoredSizes, i);
        file.dataVa = pointer(kFieldFileData, i);
        const std::string named =
            "file \"" + Printable(file.name) + "\" (slot " + std::to_string(i) + "): ";

        // The marker ends just where FileData points.
        const std::string marker = BlobMarker(file.name);
        const std::uint32_t markerBytes = static_cast<std::uint32_t>(marker.size());
        std::size_t markerAt = 0;
        if (file.dataVa < markerBytes || !IsMarkerEnd(ends, file.dataVa) ||
            !MapVirtualRange(image, file.dataVa - markerBytes, markerBytes, &markerAt) ||
            std::memcmp(image.data + markerAt, marker.data(), markerBytes) != 0) {
            *error = named + "FileData " + HexVa(file.dataVa) +
                     " does not follow its marker \"XXX" + Printable(file.name) + "XXX\"";
            return false;
        }
        const std::uint64_t blobBytes = std::uint64_t{kBlobDigestBytes} + file.storedSize;
        if (blobBytes > 0xFFFFFFFFu ||
            !MapVirtualRange(image, file.dataVa, static_cast<std::uint32_t>(blobBytes),
                             &file.digestOffset)) {
            *error = named + "digest and stored stream (" + Num(blobBytes) + " bytes at " +
                     HexVa(file.dataVa) + ") run past the image's data";
            return false;
        }
        package->files.push_back(file);
    }
    return true;
}

} // namespace

// Text from the image for a message: bytes outside printable ASCII become
// \xNN, so that a hostile name cannot send control sequences.
std::string Printable(const std::string& text) {
    std::string shown;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            shown += hex;
        }
    }
    return shown;
}

bool ReadImageText(const PeImage& image, std::uint64_t va, std::string* text) {
    return ReadText(image, va, text) == TextResult::Ok;
}

bool ReadPackageImage(const std::uint8_t* data, std::size_t size, PackageImage* package,
                      std::string* error) {
    *package = PackageImage();
    if (!ParsePeImage(data, size, &package->pe, error))
        return false;
    package->signature = package->pe.certSize != 0;
    if (!ReadAnchor(package, error))
        return false;
    const std::vector<std::uint64_t> ends = MarkerEnds(package->pe);
    if (!package->anchored && !FindTable(package->pe, ends, &package->tableVa)) {
        *error = "no package table found (nothing leads to a blob marker or to the "
                 "table's texts)";
        return false;
    }
    if (!ReadTable(package, ends, error))
        return false;

    if (!package->anchored) {
        std::vector<std::pair<std::uint64_t, std::uint32_t>> blobs;
        for (const PackageFileEntry& file : package->files) {
            const std::uint32_t markerBytes = static_cast<std::uint32_t>(file.name.size() + 7);
            blobs.emplace_back(file.dataVa - markerBytes,
                               markerBytes + kBlobDigestBytes + file.storedSize);
        }
        if (!FindConfig(package->pe, blobs, &package->configVa, error))
            return false;
    }
    if (!MapVirtualRange(package->pe, package->configVa, kConfigTemplateBytes,
                         &package->configOffset)) {
        *error =
            "configuration template at " + HexVa(package->configVa) + " runs past the image's data";
        return false;
    }
    const std::uint8_t* config = data + package->configOffset;
    if (package->anchored && std::memcmp(config, kConfigMarker, kConfigMarkerBytes) != 0) {
        *error = "configuration template at " + HexVa(package->configVa) + " has no marker";
        return false;
    }
    package->configLength = Read32(config + kConfigLengthOffset);
    const char* source = reinterpret_cast<const char*>(config + kConfigSourceOffset);
    package->configSourceName.assign(source, strnlen(source, kConfigSourceNameSize));
    return true;
}

SealCheck CheckSeal(const PackageImage& package, std::uint8_t computed[16]) {
    SealInput input;
    input.settings = &package.settings;
    input.fileCount = package.fileCount;
    for (const PackageFileEntry& f : package.files)
        input.files.push_back({&f.name, f.expandedSize, f.storedSize, StoredDigest(package, f)});
    input.configLength = package.configLength;
    input.configSourceName = &package.configSourceName;
    input.configText = ConfigText(package);
    ComputeSeal(input, computed);
    if (package.sealState == kSealAbsent)
        return SealCheck::Absent;
    return package.sealState == kSealPresent && std::memcmp(computed, package.seal, 16) == 0
               ? SealCheck::Intact
               : SealCheck::Broken;
}

const std::uint8_t* StoredDigest(const PackageImage& package, const PackageFileEntry& file) {
    return package.pe.data + file.digestOffset;
}

const std::uint8_t* StoredStream(const PackageImage& package, const PackageFileEntry& file) {
    return package.pe.data + file.digestOffset + kBlobDigestBytes;
}

const std::uint8_t* ConfigText(const PackageImage& package) {
    return package.pe.data + package.configOffset + kConfigTextOffset;
}

bool WalkChunks(const std::uint8_t* stream, std::uint32_t length, std::vector<ChunkInfo>* chunks,
                std::uint64_t* expandedTotal, std::string* problem) {
    *expandedTotal = 0;
    std::uint32_t offset = 0;
    std::uint64_t index = 0;
    while (offset < length) {
        const std::string chunk = "chunk " + Num(index) + " at stream offset " + Num(offset);
        const std::uint32_t left = length - offset;
        if (left < kChunkHeaderBytes) {
            *problem = chunk + ": header cut short (" + Num(left) + " of 4 bytes)";
            return false;
        }
        ChunkInfo info;
        info.offset = offset;
        const ChunkHeader header = ReadChunkHeader(stream + offset);
        info.expanded = header.expanded;
        info.stored = header.stored;
        if (info.stored > left - kChunkHeaderBytes) {
            *problem = chunk + ": stored length " + Num(info.stored) +
                       " runs past the end of the stream (" + Num(left - kChunkHeaderBytes) +
                       " bytes left)";
            return false;
        }
        const std::uint64_t most = std::min<std::uint64_t>(
            kMaxChunkExpanded, std::uint64_t{info.stored} * kMaxExpansionPerStoredByte);
        if (info.expanded != info.stored && info.expanded > most) {
            *problem = chunk + ": expanded length " + Num(info.expanded) + " is more than " +
                       Num(info.stored) + " stored bytes can give";
            return false;
        }
        if (chunks)
            chunks->push_back(info);
        *expandedTotal += info.expanded;
        offset += kChunkHeaderBytes + info.stored;
        ++index;
    }
    return true;
}

namespace {

// Names the first chunk that fails to expand on its own.
std::string FailingChunk(const std::uint8_t* stream, std::uint32_t length) {
    std::vector<std::uint8_t> scratch(kExpandScratchBytes);
    std::uint32_t offset = 0;
    for (std::uint64_t index = 0; offset + kChunkHeaderBytes <= length; ++index) {
        const ChunkHeader header = ReadChunkHeader(stream + offset);
        const std::uint16_t expanded = header.expanded;
        const std::uint16_t stored = header.stored;
        const std::string chunk = "chunk " + Num(index) + " at stream offset " + Num(offset) +
                                  " (" + Num(expanded) + " bytes from " + Num(stored) + ")";
        if (expanded != stored) {
            const std::uint32_t n =
                ExpandChunk(stream + offset + kChunkHeaderBytes, stored, scratch.data());
            if (n == 0)
                return chunk + " fails to expand: the decoder stops with an error";
            if (n != expanded)
                return chunk + " expands to " + Num(n) + " bytes";
        }
        offset += kChunkHeaderBytes + stored;
    }
    return "the stream fails to expand";
}

} // namespace

bool CheckPackageFile(const PackageImage& package, const PackageFileEntry& file, FileCheck* check,
                      std::vector<std::uint8_t>* expanded) {
    *check = FileCheck();
    std::vector<std::string> problems;
    const std::uint8_t* digest = StoredDigest(package, file);
    const std::uint8_t* stream = StoredStream(package, file);
    Md5Digest(stream, file.storedSize, check->computedDigest);
    check->digestOk = DigestsEqual(digest, check->computedDigest) == 1;
    if (!check->digestOk)
        problems.push_back("digest mismatch (stored " + DigestHex(digest) + ", computed " +
                           DigestHex(check->computedDigest) + ")");

    std::vector<std::uint8_t> local;
    std::vector<std::uint8_t>* out = expanded ? expanded : &local;
    out->clear();
    std::uint64_t total = 0;
    std::string problem;
    if (!WalkChunks(stream, file.storedSize, nullptr, &total, &problem)) {
        problems.push_back(problem);
    } else if (total != file.expandedSize) {
        problems.push_back("sizes disagree: the table says " + Num(file.expandedSize) +
                           " bytes, the chunks give " + Num(total));
    } else if (file.storedSize > kMaxExpandedFile || file.expandedSize > kMaxExpandedFile) {
        problems.push_back("too large for the installer (" + Num(file.expandedSize) +
                           " bytes from " + Num(file.storedSize) + ")");
    } else {
        // The walk bounds the expanded size by the stored size, and the
        // stored stream lies in the file: no allocation beyond a fixed
        // multiple of the file's size.
        out->assign(file.expandedSize, 0);
        ErrorRecord record;
        const std::uint32_t code =
            ExpandStream(&record, stream, static_cast<std::int32_t>(file.storedSize), out->data(),
                         static_cast<std::int32_t>(file.expandedSize));
        if (code != 0) {
            problems.push_back(FailingChunk(stream, file.storedSize));
        } else {
            check->expandOk = true;
        }
    }
    // Chunks that the stream holds (for the report), counted by headers.
    for (std::uint64_t offset = 0; offset + kChunkHeaderBytes <= file.storedSize;) {
        offset += kChunkHeaderBytes + ReadChunkHeader(stream + offset).stored;
        ++check->chunkCount;
    }
    for (const std::string& p : problems)
        check->problem += (check->problem.empty() ? "" : "; ") + p;
    return problems.empty();
}

bool CheckConfigLength(const PackageImage& package, std::string* problem) {
    if (package.configLength >= 1 && package.configLength <= kConfigTextSize)
        return true;
    *problem = "configuration length " + Num(package.configLength) + " is outside 1 to 4096";
    return false;
}

std::string DigestHex(const std::uint8_t* digest) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 16; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}
