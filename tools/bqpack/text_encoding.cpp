// Converting between UTF-8 and Windows-1252; see text_encoding.h.
#include "tools/bqpack/text_encoding.h"

#include <cstdint>
#include <cstdio>

#include "tools/bqpack/json_text.h"

std::size_t DecodeUtf8(const std::string& text, std::size_t i, std::uint32_t* character) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t length;
    std::uint32_t c, least;
    if (lead < 0x80) {
        *character = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *character = c;
    return length;
}

namespace {

void AppendUtf8(std::uint32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string Escape(unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02x", unsigned(byte));
    return text;
}

// Why the byte at text[i] starts no UTF-8 sequence.
std::string NotUtf8(const std::string& text, std::size_t i) {
    return "byte " + std::to_string(i + 1) + " (" + Escape(static_cast<unsigned char>(text[i])) +
           ") is not UTF-8";
}

// Calls each(character) for every character of the UTF-8 text, in order,
// while it returns true.  False with *why at the first byte that is not
// UTF-8, or when each returns false (having set *why).
template <typename Each>
bool ForEachCharacter(const std::string& text, std::string* why, Each each) {
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t c = 0;
        const std::size_t length = DecodeUtf8(text, i, &c);
        if (length == 0) {
            *why = NotUtf8(text, i);
            return false;
        }
        i += length;
        if (!each(c))
            return false;
    }
    return true;
}

} // namespace

bool CheckUtf8(const std::string& text, std::string* why) {
    return ForEachCharacter(text, why, [](std::uint32_t) { return true; });
}

bool Utf8ToWindows1252(const std::string& utf8, std::string* bytes, std::string* why) {
    bytes->clear();
    return ForEachCharacter(utf8, why, [bytes, why](std::uint32_t c) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            bytes->push_back(static_cast<char>(c));
            return true;
        }
        for (int b = 0x80; b < 0xA0; ++b) {
            if (Windows1252(static_cast<unsigned char>(b)) == c) {
                bytes->push_back(static_cast<char>(b));
                return true;
            }
        }
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", unsigned(c));
        *why = std::string("the character ") + code + " has no Windows-1252 form";
        return false;
    });
}

bool Windows1252ToUtf8(const std::string& bytes, std::string* utf8) {
    utf8->clear();
    for (unsigned char b : bytes) {
        const std::uint32_t c = Windows1252(b);
        if (c == 0 && b != 0)
            return false;
        AppendUtf8(c, utf8);
    }
    return true;
}

std::string ShownImageText(const std::string& bytes) {
    std::string shown;
    for (unsigned char b : bytes) {
        const std::uint32_t c = Windows1252(b);
        if (b < 0x20 || b == 0x7F || c == 0)
            shown += Escape(b);
        else
            AppendUtf8(c, &shown);
    }
    return shown;
}

std::string ShownInputText(const std::string& text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t c = 0;
        const std::size_t length = DecodeUtf8(text, i, &c);
        if (length == 0 || c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            shown += Escape(static_cast<unsigned char>(text[i]));
            ++i;
        } else {
            shown.append(text, i, length);
            i += length;
        }
    }
    return shown;
}
