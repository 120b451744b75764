#include "hardening/system_dlls.h"

#include "text/bounded_text.h"

namespace {

// Set once the search is restricted by SetDefaultDllDirectories: the system
// then also knows the LOAD_LIBRARY_SEARCH_* flags of LoadLibraryExA.  (A
// flag that starts as zero takes no room in the installer's image.)
bool SearchFlagsKnown = false;

} // namespace

void RestrictDllSearch() {
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesProc)(DWORD);
    // Found at run time: a system without it still starts.
    const SetDefaultDllDirectoriesProc setDefault =
        reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SearchFlagsKnown = true;
        return;
    }
    SetDllDirectoryA("");
}

FARPROC SystemFunction(const char* dll, const char* name) {
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 1) {
        return nullptr;
    }
    path[length] = '\\';
    path[length + 1] = '\0';
    if (AppendBounded(path, MAX_PATH, dll, MAX_PATH) == nullptr) {
        return nullptr;
    }
    // Without the search flags, a full path with the altered search order
    // still looks up the DLL's dependencies in its own folder first.
    HMODULE module = LoadLibraryExA(path, nullptr,
                                    SearchFlagsKnown ? LOAD_LIBRARY_SEARCH_SYSTEM32
                                                     : LOAD_WITH_ALTERED_SEARCH_PATH);
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}
