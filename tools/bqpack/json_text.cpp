// JSON text of installer names and settings; see json_text.h.
#include "tools/bqpack/json_text.h"

#include <cstdio>

#include "tools/bqpack/text_encoding.h"

namespace {

// Characters of 0x80 to 0x9F; 0 where the code page has none.
const std::uint16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void AppendCharacter(std::uint32_t c, std::string* json) {
    if (c == '"' || c == '\\') {
        *json += '\\';
        *json += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
        *json += static_cast<char>(c);
    } else if (c > 0xFFFF) { // a surrogate pair
        AppendCharacter(0xD800 + ((c - 0x10000) >> 10), json);
        AppendCharacter(0xDC00 + ((c - 0x10000) & 0x3FF), json);
    } else {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
        *json += escape;
    }
}

} // namespace

std::uint32_t Windows1252(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0)
        return kHigh[byte - 0x80];
    return byte;
}

std::string JsonString(const std::string& text) {
    std::string json = "\"";
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t c = 0;
        const std::size_t length = DecodeUtf8(text, i, &c);
        AppendCharacter(length ? c : static_cast<unsigned char>(text[i]), &json);
        i += length ? length : 1;
    }
    return json + "\"";
}

std::string JsonFailure(const std::string& message) {
    return "{\"ok\": false, \"error\": " + JsonString(message) + "}\n";
}

std::string JsonImageText(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string text = "\"", hex;
    bool decodes = true;
    for (unsigned char c : bytes) {
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
        const std::uint32_t character = Windows1252(c);
        decodes = decodes && (character != 0 || c == 0);
        AppendCharacter(character, &text);
    }
    return "{\"text\": " + (decodes ? text + "\"" : std::string("null")) + ", \"hex\": \"" + hex +
           "\"}";
}
