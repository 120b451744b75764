// The text forms that the reader and checker of built images put into their
// one-line reasons, and that `bqpack` shows beside them: addresses, counts,
// digests, and bytes from the image made safe for a terminal.  Portable: no
// platform headers.
#pragma once
#include <cstdint>
#include <string>

// An address: "0x" and at least eight hexadecimal digits.
std::string HexVa(std::uint64_t value);
// A count in decimal.
std::string Num(std::uint64_t value);

// Text from the image for a message or a terminal: bytes outside printable
// ASCII become \xNN, so that a hostile name cannot send control sequences.
std::string Printable(const std::string& text);

// Lower-case hexadecimal form of a 16-byte digest.
std::string DigestHex(const std::uint8_t* digest);
