// The encodings bqpack meets: manifests are UTF-8 text; the installer
// holds its names and settings as bytes of the Windows code page, which
// bqpack writes as Windows-1252; Linux file names and terminals are UTF-8.
// `build` converts each name and text setting from UTF-8 to Windows-1252,
// `extract` (on Linux) converts names back, and `info` and `list` print
// UTF-8.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The UTF-8 sequence at text[i]: its length and *character, or 0 when the
// bytes there are not one (overlong, a surrogate, beyond U+10FFFF, cut
// short).
std::size_t DecodeUtf8(const std::string& text, std::size_t i, std::uint32_t* character);

// True when text is valid UTF-8; otherwise *why names the first byte that
// is not.
bool CheckUtf8(const std::string& text, std::string* why);

// UTF-8 text as Windows-1252 bytes.  False with *why when the text is not
// valid UTF-8 or holds a character that Windows-1252 lacks ("the character
// U+0151 has no Windows-1252 form").
bool Utf8ToWindows1252(const std::string& utf8, std::string* bytes, std::string* why);

// Windows-1252 bytes as UTF-8.  False when a byte has no character there
// (0x81, 0x8D, 0x8F, 0x90, 0x9D).
bool Windows1252ToUtf8(const std::string& bytes, std::string* utf8);

// Windows-1252 bytes from an installer for a terminal or a message: UTF-8,
// with control characters and bytes without a character as \xNN.
std::string ShownImageText(const std::string& bytes);

// UTF-8 text from an input (a manifest, a path) for a message: control
// characters and bytes that are not UTF-8 become \xNN; the rest stays.
std::string ShownInputText(const std::string& text);
