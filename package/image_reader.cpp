// Reading the package of a built setup image: locating it through the
// anchor and decoding its table and template; see image_reader.h.
#include "package/image_reader.h"

#include <algorithm>
#include <cstring>

#include "package/little_endian.h"
#include "package/message_text.h"
#include "package/package_rules.h"

namespace {

// The package table's layout of the anchor's version, in an image of its
// pointer width.
const TableLayout& LayoutOf(const PackageImage& package) {
    return *TableLayoutFor(package.layoutVersion, package.pe.pointerBytes);
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
    const std::size_t room = std::min<std::size_t>(MappedSize(*s) - at, kTableTextMax + 1);
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
        return "does not lead to a text of at most " + Num(kTableTextMax) + " bytes";
    case TextResult::Ok:
        break;
    }
    return "";
}

// The anchor at the start of the package section of an image built from the
// installer stub: it says where the table and the template are, and holds
// the seal.
bool ReadAnchor(PackageImage* package, std::string* error) {
    const PeImage& image = package->pe;
    const ImageSection* section = FindSectionNamed(image, kPackageSection);
    if (!section) {
        *error = std::string("no package: the image has no package section ") + kPackageSection;
        return false;
    }
    const AnchorLayout layout = MakeAnchorLayout(image.pointerBytes);
    const std::uint8_t* a = image.data + section->rawOffset;
    if (MappedSize(*section) < layout.size ||
        std::memcmp(a, kAnchorMagic, kAnchorMagicBytes) != 0) {
        *error = std::string("the package section ") + kPackageSection +
                 " does not begin with the anchor";
        return false;
    }
    // Every layout version this tree knows is read, each by its own layout.
    const std::uint32_t version = Read32(a + layout.version);
    if (!TableLayoutFor(version, image.pointerBytes)) {
        *error =
            "package anchor of format version " + Num(version) + ", not " + Num(kLayoutVersion);
        return false;
    }
    package->layoutVersion = version;
    package->tableVa = ReadPointer(image, a + layout.table);
    package->configVa = ReadPointer(image, a + layout.config);
    std::size_t at = 0;
    if (!MapVirtualRange(image, package->tableVa, LayoutOf(*package).size, &at)) {
        *error = "package anchor: the table at " + HexVa(package->tableVa) +
                 " lies outside the image's data";
        return false;
    }
    package->sealState = Read32(a + layout.sealState);
    std::memcpy(package->seal, a + layout.seal, kSealDigestBytes);
    package->sealOffset = section->rawOffset + layout.seal;
    return true;
}

bool ReadTable(PackageImage* package, std::string* error) {
    const PeImage& image = package->pe;
    const TableLayout& layout = LayoutOf(*package);
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
    if (!FileCountFits(count)) {
        *error = where + "FileCount " + std::to_string(count) + " is outside 0 to " +
                 Num(kMaxPackageFiles);
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
        if (file.dataVa < markerBytes ||
            !MapVirtualRange(image, file.dataVa - markerBytes, markerBytes, &markerAt) ||
            std::memcmp(image.data + markerAt, marker.data(), markerBytes) != 0) {
            *error = named + "FileData " + HexVa(file.dataVa) + " does not follow its marker \"" +
                     kBlobMarkerEnds + Printable(file.name) + kBlobMarkerEnds + "\"";
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
    if (!ReadTable(package, error))
        return false;
    if (!MapVirtualRange(package->pe, package->configVa, kConfigTemplateBytes,
                         &package->configOffset)) {
        *error =
            "configuration template at " + HexVa(package->configVa) + " runs past the image's data";
        return false;
    }
    const std::uint8_t* config = data + package->configOffset;
    if (std::memcmp(config, kConfigMarker, kConfigMarkerBytes) != 0) {
        *error = "configuration template at " + HexVa(package->configVa) + " has no marker";
        return false;
    }
    package->configLength = Read32(config + kConfigLengthOffset);
    const char* source = reinterpret_cast<const char*>(config + kConfigSourceOffset);
    package->configSourceName.assign(source, strnlen(source, kConfigSourceNameSize));
    return true;
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
