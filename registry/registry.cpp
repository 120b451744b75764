#include "registry/registry.h"

namespace {

// A lead byte directly before the terminator counts as a one-byte character.
DWORD CharLength(const char* p) {
    if (IsDBCSLeadByte(static_cast<BYTE>(p[0])) && p[1] != '\0') {
        return 2;
    }
    return 1;
}

// Working copy of the key path; an overlong path is cut at a character
// boundary and the shortened path is used.
void CopyKeyPath(char (&path)[kRegKeyPathSize], const char* keyPath) {
    TextCopyBounded(path, kRegKeyPathSize, keyPath);
}

} // namespace

char* TextCopyBounded(char* destination, DWORD capacity, const char* source) {
    if (capacity == 0) {
        return nullptr;
    }
    DWORD written = 0;
    bool whole = true;
    while (*source != '\0') {
        const DWORD length = CharLength(source);
        if (written + length >= capacity) {
            whole = false;
            break;
        }
        for (DWORD i = 0; i < length; ++i) {
            destination[written++] = *source++;
        }
    }
    destination[written] = '\0';
    return whole ? destination : nullptr;
}

char* TextAppendBounded(char* destination, DWORD capacity, const char* source) {
    // The existing text's length in bytes; a lead byte before the terminator
    // is a character of one byte, so whole characters up to the terminator
    // cover every byte before it.
    DWORD existing = 0;
    while (existing < capacity && destination[existing] != '\0') {
        ++existing;
    }
    if (existing == capacity) {
        return nullptr;
    }
    if (TextCopyBounded(destination + existing, capacity - existing, source) == nullptr) {
        return nullptr;
    }
    return destination;
}

int RegReadString(const char* keyPath, const char* valueName, char* buffer, DWORD* size,
                  HKEY root) {
    char path[kRegKeyPathSize];
    CopyKeyPath(path, keyPath);
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key);
    for (DWORD i = 0; i < *size; ++i) {
        buffer[i] = '\0';
    }
    if (opened != ERROR_SUCCESS) {
        return 0;
    }
    DWORD type = 0;
    const LONG queried =
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), size);
    RegCloseKey(key);
    return queried == ERROR_SUCCESS && type == REG_SZ ? 1 : 0;
}

int RegReadDword(const char* keyPath, const char* valueName, DWORD* value, HKEY root) {
    char path[kRegKeyPathSize];
    CopyKeyPath(path, keyPath);
    DWORD size = sizeof(DWORD);
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key);
    *value = 0;
    if (opened != ERROR_SUCCESS) {
        return 0;
    }
    DWORD type = 0;
    const LONG queried =
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return queried == ERROR_SUCCESS && type == REG_DWORD ? 1 : 0;
}

int RegWriteValue(const char* keyPath, const char* valueName, DWORD type, const void* data,
                  DWORD count, HKEY root) {
    char path[kRegKeyPathSize];
    CopyKeyPath(path, keyPath);
    char emptyClass[1] = {'\0'};
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, path, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) != ERROR_SUCCESS) {
        return 0;
    }
    const LONG set = RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), count);
    RegCloseKey(key);
    return set == ERROR_SUCCESS ? 1 : 0;
}

int RegWriteDword(const char* keyPath, const char* valueName, DWORD value, HKEY root) {
    return RegWriteValue(keyPath, valueName, REG_DWORD, &value, sizeof(value), root);
}

int RegWriteBinary(const char* keyPath, const char* valueName, const void* data, DWORD count,
                   HKEY root) {
    return RegWriteValue(keyPath, valueName, REG_BINARY, data, count, root);
}
