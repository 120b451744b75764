// Message catalogue and module table.  Every lookup returns a constant text
// that lives as long as the program; a key without a row gives one shared
// empty text.  Callers never change or free the texts.
#pragma once
#include <cstdint>

// Message of an application code 0x20000000 + n.
const char* ApplicationMessage(std::uint32_t code);
// Message of a Win32 error number (the low 16 bits of a W code).
const char* Win32Message(std::uint32_t number);
// Message of a whole HRESULT of a facility other than Win32.
const char* HResultMessage(std::uint32_t h);
// Help text of an application code.
const char* ApplicationHelp(std::uint32_t code);

struct ModuleEntry {
    std::uint32_t number;
    const char* name;
};

// Module numbers and names in ascending order of number, ended by the row
// with number 0 and the empty name.
extern const ModuleEntry kModuleTable[];

// Name of a module number; the empty text for a number the table lacks.
const char* ModuleName(std::uint32_t number);
