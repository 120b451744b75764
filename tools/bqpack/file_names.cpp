// The file name rule; see file_names.h.
#include "tools/bqpack/file_names.h"

#include <cstring>

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
