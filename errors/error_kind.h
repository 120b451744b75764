// Kinds of error values: the HRESULT form of a recorded code, and which of
// the code families (application, Win32, other HRESULT) it belongs to.
// The kind decides the letter and the catalogue of an error's text.
#pragma once
#include <cstdint>

enum class ErrorKind {
    Application, // "A": 0x20000000 + n, n up to 9999
    Win32,       // "W": a Windows system error number
    HResult,     // "H": an HRESULT of a facility other than Win32
    Undefined,   // "U": anything else
};

// HRESULT form of an error code: 0 for 0, else the code's bit 29 and low
// 16 bits under severity bit 31 and facility 7 (Win32).
std::uint32_t HResultFromCode(std::uint32_t code);

// Facility of an HRESULT: bits 16 to 28.
inline std::uint32_t HResultFacility(std::uint32_t h) {
    return (h >> 16) & 0x1FFFu;
}

bool IsWin32Code(std::uint32_t value);       // bit 29 clear
bool IsApplicationCode(std::uint32_t value); // 0x20000000 .. 0x2000270F
ErrorKind ClassifyHResult(std::uint32_t h);
