// A DLL that records its own loading: planted beside a program under test
// (and in its current folder) under the name of a DLL that the program or
// the system may look for, it appends "LOADED <its path> INTO <program>" to
// the file that BQ_PLANTED_LOG names (C:\planted-dll.log without it).  It
// imports only KERNEL32, which every process has loaded before anything
// else, and links no C runtime, so that it loads under any name.
#include <windows.h>

extern "C" BOOL WINAPI PlantedEntry(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    char log[MAX_PATH];
    const DWORD logLength = GetEnvironmentVariableA("BQ_PLANTED_LOG", log, MAX_PATH);
    if (logLength == 0 || logLength >= MAX_PATH) {
        lstrcpyA(log, "C:\\planted-dll.log");
    }
    // Filled by the calls, not by initialisers: without a C runtime there
    // is no memset for the compiler to call.
    char own[MAX_PATH];
    char program[MAX_PATH];
    if (GetModuleFileNameA(self, own, MAX_PATH) == 0) {
        lstrcpyA(own, "?");
    }
    if (GetModuleFileNameA(nullptr, program, MAX_PATH) == 0) {
        lstrcpyA(program, "?");
    }
    char line[2 * MAX_PATH + 32];
    lstrcpyA(line, "LOADED ");
    lstrcatA(line, own);
    lstrcatA(line, " INTO ");
    lstrcatA(line, program);
    lstrcatA(line, "\r\n");
    HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}
