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
const TableLayout& LayoutOf(const InstallerImage& installer) {
    return *TableLayoutFor(installer.layoutVersion, installer.pe.pointerBytes);
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
bool ReadAnchor(InstallerImage* installer, std::string* error) {
    const PeImage& image = installer->pe;
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
    installer->layoutVersion = version;
    installer->tableVa = ReadPointer(image, a + layout.table);
    installer->configVa = ReadPointer(image, a + layout.config);
    std::size_t at = 0;
    if (!MapVirtualRange(image, installer->tableVa, LayoutOf(*installer).size, &at)) {
        *error = "package anchor: the table at " + HexVa(installer->tableVa) +
                 " lies outside the image's data";
        return false;
    }
    installer->sealState = Read32(a + layout.sealState);
    std::memcpy(installer->seal, a + layout.seal, kSealDigestBytes);
    installer->sealOffset = section->rawOffset + layout.seal;
    return true;
}

bool ReadTable(InstallerImage* installer, std::string* error) {
    const PeImage& image = installer->pe;
    const TableLayout& layout = LayoutOf(*installer);
    std::size_t at = 0;
    MapVirtualRange(image, installer->tableVa, layout.size, &at);
    const std::uint8_t* p = image.data + at;
    const std::string where = "package table at " + HexVa(installer->tableVa) + ": ";
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
    installer->fileCount = count;
    Package& package = installer->package;
    // The settings; the first text that does not hold, in the table's order,
    // is the one named.
    PackageSettings& settings = package.settings;
    bool textsHold = true;
    ForEachSettingInTableOrder([&](const PackageSetting& setting) {
        // A setting that a later layout added keeps its release value in an
        // image of an earlier one.
        if (!textsHold || !layout.Holds(setting.field))
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

    for (std::int32_t i = 0; i < count; ++i) {
        PackageFile file;
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
        const std::uint64_t dataVa = pointer(kFieldFileData, i);
        const std::string named =
            "file \"" + Printable(file.name) + "\" (slot " + std::to_string(i) + "): ";

        // The marker ends just where FileData points.
        const std::string marker = BlobMarker(file.name);
        const std::uint32_t markerBytes = static_cast<std::uint32_t>(marker.size());
        std::size_t markerAt = 0;
        if (dataVa < markerBytes ||
            !MapVirtualRange(image, dataVa - markerBytes, markerBytes, &markerAt) ||
            std::memcmp(image.data + markerAt, marker.data(), markerBytes) != 0) {
            *error = named + "FileData " + HexVa(dataVa) + " does not follow its marker \"" +
                     kBlobMarkerEnds + Printable(file.name) + kBlobMarkerEnds + "\"";
            return false;
        }
        const std::uint64_t blobBytes = std::uint64_t{kBlobDigestBytes} + file.storedSize;
        std::size_t digestOffset = 0;
        if (blobBytes > 0xFFFFFFFFu ||
            !MapVirtualRange(image, dataVa, static_cast<std::uint32_t>(blobBytes), &digestOffset)) {
            *error = named + "digest and stored stream (" + Num(blobBytes) + " bytes at " +
                     HexVa(dataVa) + ") run past the image's data";
            return false;
        }
        file.dataOffset = digestOffset;
        std::memcpy(file.digest, image.data + digestOffset, kBlobDigestBytes);
        package.files.push_back(file);
        installer->dataVas.push_back(dataVa);
    }
    return true;
}

// The template: its marker, length, source name and text.
bool ReadTemplate(InstallerImage* installer, std::string* error) {
    const PeImage& image = installer->pe;
    if (!MapVirtualRange(image, installer->configVa, kConfigTemplateBytes,
                         &installer->configOffset)) {
        *error = "configuration template at " + HexVa(installer->configVa) +
                 " runs past the image's data";
        return false;
    }
    const std::uint8_t* config = image.data + installer->configOffset;
    if (std::memcmp(config, kConfigMarker, kConfigMarkerBytes) != 0) {
        *error = "configuration template at " + HexVa(installer->configVa) + " has no marker";
        return false;
    }
    installer->configLength = Read32(config + kConfigLengthOffset);
    Package& package = installer->package;
    const char* source = reinterpret_cast<const char*>(config + kConfigSourceOffset);
    package.configSourceName.assign(source, strnlen(source, kConfigSourceNameSize));
    // The text's length, and whatever is not zero beyond it.
    const char* text = reinterpret_cast<const char*>(config + kConfigTextOffset);
    std::size_t used = std::min<std::size_t>(installer->configLength, kConfigTextSize);
    for (std::size_t i = used; i < kConfigTextSize; ++i)
        if (text[i] != 0)
            used = i + 1;
    package.configText.assign(text, used);
    return true;
}

} // namespace

bool ReadInstallerImage(const std::uint8_t* data, std::size_t size, InstallerImage* installer,
                        std::string* error) {
    *installer = InstallerImage();
    if (!ParsePeImage(data, size, &installer->pe, error))
        return false;
    installer->signature = installer->pe.certSize != 0;
    installer->package.region = data;
    installer->package.regionSize = size;
    return ReadAnchor(installer, error) && ReadTable(installer, error) &&
           ReadTemplate(installer, error);
}
