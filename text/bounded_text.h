// Bounded texts: the text operations of both Windows programs, the installer
// and its error texts.  Every operation is given the capacity of the buffer
// it writes (terminator included), writes nothing outside it and leaves a
// terminated text.  Portable: no platform headers; the code-page-aware
// operations of the Windows programs are in text/code_page_text.h.
#pragma once
#include <cstddef>
#include <cstdint>

// BoundedLength's answer for a text without a NUL inside its capacity.
constexpr std::size_t kUnterminatedLength = 0x7FFFFFFF;
// Room for the decimal form of any 32-bit value: ten digits and a NUL.
constexpr std::size_t kDecimalSize = 11;

// Bytes of text before its NUL, at most capacity (capacity when none lies
// inside it).
std::size_t LengthWithin(const char* text, std::size_t capacity);
// Length of text, or kUnterminatedLength when no NUL lies inside capacity;
// 0 for a null text.
std::size_t BoundedLength(const char* text, std::size_t capacity);

// Copies the text of src, its first srcLimit characters at most (it is read
// no further, and need not be terminated there), into dst[0 .. capacity-1]
// and fills the rest of the capacity with NUL; the last byte of the capacity
// always ends up NUL.  Returns dst, or null when that text had to be cut (it
// had capacity or more characters).  A null src copies as the empty text;
// capacity 0 writes nothing.
char* CopyBounded(char* dst, std::size_t capacity, const char* src,
                  std::size_t srcLimit = kUnterminatedLength);
// Appends at most srcLimit characters of src to the text in dst.  Returns
// dst, or null when dst has no NUL inside the capacity (nothing written) or
// src was cut.
char* AppendBounded(char* dst, std::size_t capacity, const char* src, std::size_t srcLimit);

// Writes the decimal digits of value and a terminator into out (room for
// kDecimalSize characters, of the narrow or the wide kind); returns the
// number of digits.
template <typename Char> std::size_t WriteDecimal(Char* out, std::uint32_t value) {
    Char digits[kDecimalSize];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<Char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = digits[count - 1 - i];
    }
    out[count] = 0;
    return count;
}
