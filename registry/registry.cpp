// Registry value access: one key opened, one value read or written, the key closed.
#include "registry/registry.h"

#include "text/code_page_text.h"

namespace {

// Working copy of the key path; an overlong path is cut at a character
// boundary and the shortened path is used.
void CopyKeyPath(char (&path)[kRegKeyPathSize], const char* keyPath) {
    TextCopyBounded(path, kRegKeyPathSize, keyPath);
}

} // namespace

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
