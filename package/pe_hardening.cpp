// The protections of a Windows program's image; see pe_hardening.h.
#include "package/pe_hardening.h"

#include <cstring>

#include "package/little_endian.h"
#include "package/message_text.h"

namespace {

enum : std::uint32_t {
    kFileRelocsStripped = 0x0001, // file header characteristics
    kDllHighEntropyVa = 0x0020,   // optional header DllCharacteristics
    kDllDynamicBase = 0x0040,
    kDllNxCompat = 0x0100,
    kDllTerminalServerAware = 0x8000,
    kScnMemExecute = 0x20000000, // section characteristics
    kScnMemWrite = 0x80000000,
    kResourceDirectory = 2, // data directory index
    kResourceTypeManifest = 24,
    kManifestIdProgram = 1,             // the manifest a program's process takes
    kResourceSubdirectory = 0x80000000, // an entry's offset leads to a directory
    kResourceDirectoryBytes = 16,
    kResourceEntryBytes = 8,
    kResourceDataEntryBytes = 16,
};

// The resource section's tree, read within [base, base + size) of the file.
struct ResourceTree {
    const std::uint8_t* base = nullptr;
    std::uint32_t size = 0;

    // The offset that the entry with identifier id (or the first entry of
    // the directory when id is 0) leads to, with *directory saying whether
    // it is a directory; false when there is none or it lies outside.
    bool Find(std::uint32_t at, std::uint32_t id, std::uint32_t* next, bool* directory) const {
        if (at > size || size - at < kResourceDirectoryBytes)
            return false;
        const std::uint32_t named = Read16(base + at + 12);
        const std::uint32_t ids = Read16(base + at + 14);
        const std::uint32_t count = named + ids;
        if ((size - at - kResourceDirectoryBytes) / kResourceEntryBytes < count)
            return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* entry =
                base + at + kResourceDirectoryBytes + i * kResourceEntryBytes;
            const std::uint32_t name = Read32(entry);
            const bool byId = (name & kResourceSubdirectory) == 0;
            if (id == 0 || (byId && name == id)) {
                const std::uint32_t offset = Read32(entry + 4);
                *directory = (offset & kResourceSubdirectory) != 0;
                *next = offset & ~kResourceSubdirectory;
                return true;
            }
        }
        return false;
    }
};

// The application manifest's bytes: type 24, id 1, its first language.
bool ReadManifest(const PeImage& image, std::string* text) {
    const std::uint32_t directoriesAt = image.pointerBytes == 8 ? 112 : 96;
    const std::uint8_t* optional = image.data + image.optionalOffset;
    const std::uint32_t entryAt = directoriesAt + 8 * kResourceDirectory;
    if (Read32(optional + directoriesAt - 4) <= kResourceDirectory ||
        entryAt + 8 > image.optionalBytes)
        return false;
    const std::uint32_t rva = Read32(optional + entryAt);
    ResourceTree tree;
    tree.size = Read32(optional + entryAt + 4);
    std::size_t at = 0;
    if (tree.size == 0 || !MapVirtualRange(image, image.imageBase + rva, tree.size, &at))
        return false;
    tree.base = image.data + at;
    std::uint32_t node = 0;
    bool directory = true;
    const std::uint32_t path[] = {kResourceTypeManifest, kManifestIdProgram, 0};
    for (std::uint32_t id : path) {
        if (!directory || !tree.Find(node, id, &node, &directory))
            return false;
    }
    if (directory || node > tree.size || tree.size - node < kResourceDataEntryBytes)
        return false;
    const std::uint32_t dataRva = Read32(tree.base + node);
    const std::uint32_t dataSize = Read32(tree.base + node + 4);
    std::size_t dataAt = 0;
    if (!MapVirtualRange(image, image.imageBase + dataRva, dataSize, &dataAt))
        return false;
    text->assign(reinterpret_cast<const char*>(image.data + dataAt), dataSize);
    return true;
}

// The level attribute of the manifest's requestedExecutionLevel element.
std::string ExecutionLevel(const std::string& manifest) {
    const char kElement[] = "requestedExecutionLevel";
    std::size_t at = manifest.find(kElement);
    if (at == std::string::npos)
        return "";
    const std::size_t end = manifest.find('>', at);
    at += sizeof kElement - 1;
    while ((at = manifest.find("level", at)) < end) {
        at += 5;
        std::size_t p = manifest.find_first_not_of(" \t\r\n", at);
        if (p >= end || manifest[p] != '=')
            continue;
        p = manifest.find_first_not_of(" \t\r\n", p + 1);
        if (p >= end || (manifest[p] != '"' && manifest[p] != '\''))
            return "";
        const std::size_t close = manifest.find(manifest[p], p + 1);
        return close < end ? manifest.substr(p + 1, close - p - 1) : "";
    }
    return "";
}

const char* YesNo(bool value) {
    return value ? "yes" : "no";
}

} // namespace

ImageHardening ReadImageHardening(const PeImage& image) {
    ImageHardening h;
    const std::uint16_t fileFlags = Read16(image.data + image.coffOffset + 18);
    const std::uint16_t dllFlags = Read16(image.data + image.optionalOffset + 70);
    h.dynamicBase = (dllFlags & kDllDynamicBase) != 0;
    h.dep = (dllFlags & kDllNxCompat) != 0;
    h.highEntropyAslr = image.pointerBytes == 8 && (dllFlags & kDllHighEntropyVa) != 0;
    h.terminalServerAware = (dllFlags & kDllTerminalServerAware) != 0;
    h.relocations = image.relocSize != 0 && (fileFlags & kFileRelocsStripped) == 0;
    for (const ImageSection& s : image.sections) {
        if ((s.characteristics & kScnMemExecute) != 0 && (s.characteristics & kScnMemWrite) != 0)
            h.writableExecutable.push_back(s.name);
    }
    std::string manifest;
    h.manifest = ReadManifest(image, &manifest);
    if (h.manifest)
        h.executionLevel = ExecutionLevel(manifest);
    return h;
}

std::string HardeningText(const PeImage& image, const ImageHardening& h) {
    std::string text =
        std::string("dynamic base ") + YesNo(h.dynamicBase) + ", DEP " + YesNo(h.dep);
    if (image.pointerBytes == 8)
        text += std::string(", high-entropy ASLR ") + YesNo(h.highEntropyAslr);
    text += std::string(", terminal-server aware ") + YesNo(h.terminalServerAware) +
            ", relocations " + YesNo(h.relocations) + ", writable and executable sections ";
    if (h.writableExecutable.empty())
        text += "none";
    for (std::size_t i = 0; i < h.writableExecutable.size(); ++i)
        text += (i ? " " : "") + Printable(h.writableExecutable[i]);
    if (!h.manifest)
        text += ", manifest none";
    else if (h.executionLevel.empty())
        text += ", manifest without an execution level";
    else
        text += ", manifest " + Printable(h.executionLevel);
    return text;
}
