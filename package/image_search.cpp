// Finding the package of an image linked the old way, without the anchor;
// see image_search.h.
#include "package/image_search.h"

#include <algorithm>
#include <cstring>

#include "package/image_reader.h"
#include "package/little_endian.h"
#include "package/message_text.h"
#include "package/package_settings.h"
#include "package/package_table.h"

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

namespace {

// True when slot i of a record at p names a file whose blob marker ends
// just where the slot's FileData points.
bool SlotLinked(const PeImage& image, const std::uint8_t* p, std::uint32_t i) {
    std::string name;
    const TableLayout& layout = TableLayoutFor(image.pointerBytes);
    if (!ReadImageText(image, ReadPointer(image, p + layout.At(kFieldFileNames, i)), &name))
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
    const TableLayout& layout = TableLayoutFor(image.pointerBytes);
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
        if ((va == 0 && setting.mayBeNull) || ReadImageText(image, va, &ignored))
            ++texts;
        else
            textsHold = false;
    });
    if (!textsHold && linked == 0)
        return 0; // without a blob pointer, every text must hold
    return consistent * 1000 + texts * 50 + (countInRange ? 100 : 0) + linked * 10 + 1;
}

} // namespace

// The table is aligned on its pointer width.
bool FindTable(const PeImage& image, const std::vector<std::uint64_t>& ends,
               std::uint64_t* tableVa) {
    std::uint32_t best = 0;
    const std::uint32_t align = image.pointerBytes;
    const std::uint32_t tableBytes = TableLayoutFor(image.pointerBytes).size;
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

namespace {

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

} // namespace

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
