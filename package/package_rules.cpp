// What makes a package valid; see package_rules.h.
#include "package/package_rules.h"

#include <cstring>

#include "package/chunk_stream.h"
#include "package/package_format.h"
#include "package/package_layout.h"

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

bool IsDeviceBase(std::string base) {
    for (char& c : base)
        c = Upper(c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        return true;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
        // Digits 1 to 9, and the superscript digits 1, 2, 3 of the Windows code page.
        const unsigned char d = static_cast<unsigned char>(base[3]);
        return (d >= '1' && d <= '9') || d == 0xB9 || d == 0xB2 || d == 0xB3;
    }
    return false;
}

} // namespace

bool CheckFileName(const std::string& name, std::string* why) {
    if (name.empty()) {
        *why = "the name is empty";
        return false;
    }
    if (name == "." || name == "..") {
        *why = "the name is \"" + name + "\"";
        return false;
    }
    for (unsigned char c : name) {
        if (c == '/' || c == '\\') {
            *why = "the name holds a path separator";
            return false;
        }
        if (c == ':') {
            *why = "the name holds a drive or stream colon";
            return false;
        }
        if (c < 0x20 || c == 0x7F || std::strchr("<>\"|?*", c)) {
            *why = "the name holds a character that file names cannot hold";
            return false;
        }
    }
    if (name.back() == '.' || name.back() == ' ') {
        *why = "the name ends with a dot or blank, which Windows drops";
        return false;
    }
    // The device names apply whatever follows the first dot, and trailing
    // blanks of the base are ignored.
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    if (IsDeviceBase(base)) {
        *why = "the name is a device name";
        return false;
    }
    return true;
}

bool SameFileName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    }
    return true;
}

bool CheckInstallFolder(const std::string& folder, std::string* why) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    bool absolute = false;
    if (folder.size() >= 3 && letter(folder[0]) && folder[1] == ':' && folder[2] == '\\') {
        absolute = true;
    } else if (folder.compare(0, 2, "\\\\") == 0) {
        // \\server\share: both named.
        const std::size_t server = folder.find('\\', 2);
        absolute = server != std::string::npos && server > 2 && server + 1 < folder.size() &&
                   folder[server + 1] != '\\';
    }
    if (!absolute) {
        *why = "the folder is not an absolute path (X:\\... or \\\\server\\share\\...)";
        return false;
    }
    for (std::size_t i = 0; i < folder.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(folder[i]);
        if (c < 0x20 || c == 0x7F || std::strchr("<>\"|?*/", c) || (c == ':' && i != 1)) {
            *why = "the folder holds a character that paths cannot hold";
            return false;
        }
    }
    return true;
}

bool FileCountFits(std::int64_t count) {
    return count >= 0 && count <= std::int64_t{kMaxPackageFiles};
}

namespace {

bool TextFits(const std::string& text, std::size_t most) {
    return text.size() <= most && text.find('\0') == std::string::npos;
}

} // namespace

bool TableTextFits(const std::string& text) {
    return TextFits(text, kTableTextMax);
}

bool ConfigSourceNameFits(const std::string& name) {
    return TextFits(name, kConfigSourceNameMax);
}

bool ConfigLengthFits(std::uint64_t length) {
    return length >= 1 && length <= kConfigTextSize;
}

bool StreamLengthFits(std::uint64_t size) {
    return size <= kMaxStreamLength;
}

bool InstallPathFits(std::size_t folderBytes, std::size_t nameBytes) {
    return std::uint64_t{folderBytes} + 1 + nameBytes <= kTableTextMax;
}
