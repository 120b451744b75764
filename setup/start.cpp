// The installer's process entry.  The installer links no C runtime start-up:
// it has no static constructors, no thread-local data and nothing to run at
// exit, and the start-up's code, unwind tables, TLS directory and runtime
// relocation support would cost about a third of the program.  This entry
// hands WinMain what that start-up would: the module, no previous instance,
// the command line after the program's name and the show command that the
// starting process asked for, once the DLL search is restricted to the
// system folder (hardening/system_dlls.h).
#include <windows.h>

#include "hardening/system_dlls.h"
#include "setup/setup.h"

// The text of the command line after the program's name (quoted or not)
// and the blanks that follow it.  Characters are compared as signed 8-bit
// values, as the usual start-up does, so a byte of 0x80 or above counts as
// a blank outside quotes.
char* CommandLineArguments(char* commandLine) {
    signed char* p = reinterpret_cast<signed char*>(commandLine);
    bool quoted = false;
    while (*p > ' ' || (*p != '\0' && quoted)) {
        if (*p == '"') {
            quoted = !quoted;
        }
        ++p;
    }
    while (*p != '\0' && *p <= ' ') {
        ++p;
    }
    return reinterpret_cast<char*>(p);
}

extern "C" void SetupStart() {
    RestrictDllSearch();
    STARTUPINFOA startup;
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    const int show =
        (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
    const int status =
        WinMain(GetModuleHandleA(nullptr), nullptr, CommandLineArguments(GetCommandLineA()), show);
    ExitProcess(static_cast<UINT>(status));
}
