// JSON text for the --json output of bqpack's inspect commands.  Texts from
// an installer are bytes of the Windows code page the installer runs under;
// they are given twice: as the exact bytes in hexadecimal, and as text read
// as Windows-1252 (null when a byte has no character there: 0x81, 0x8D,
// 0x8F, 0x90, 0x9D).  The output is ASCII: every other character is a
// \uXXXX escape.
#pragma once
#include <cstdint>
#include <string>

// A JSON string of UTF-8 text (paths, messages): each character not
// printable ASCII as a \uXXXX escape, and a byte that is not UTF-8 as
// \u00XX.
std::string JsonString(const std::string& text);

// The line a --json command prints on standard output when it fails:
// {"ok": false, "error": MESSAGE}.
std::string JsonFailure(const std::string& message);

// {"text": ..., "hex": ...} for bytes taken from an installer.
std::string JsonImageText(const std::string& bytes);

// The Unicode character of a Windows-1252 byte, or 0 when it has none.
std::uint32_t Windows1252(unsigned char byte);
