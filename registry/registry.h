// Registry value access shared by the installer and the credential tool:
// read a text or 32-bit value, write a value of a given type.  Each call
// opens its key below the given root, does one operation and closes the key;
// results are 1 for success and 0 for failure, with no further detail.
#pragma once
#include <windows.h>

enum : DWORD {
    kRegKeyPathSize = 520, // working copy of a key path, terminator included
};

// size: on entry the buffer's capacity in bytes; on return the bytes the
// value holds, terminator included.  The buffer is zeroed over its whole
// entry size first.  1 only for a REG_SZ value that fits.
int RegReadString(const char* keyPath, const char* valueName, char* buffer, DWORD* size, HKEY root);
// value is set to 0 first; 1 only for a REG_DWORD value.
int RegReadDword(const char* keyPath, const char* valueName, DWORD* value, HKEY root);
// Creates the key (and any missing keys along the path) and sets the value.
int RegWriteValue(const char* keyPath, const char* valueName, DWORD type, const void* data,
                  DWORD count, HKEY root);
int RegWriteDword(const char* keyPath, const char* valueName, DWORD value, HKEY root);
int RegWriteBinary(const char* keyPath, const char* valueName, const void* data, DWORD count,
                   HKEY root);
