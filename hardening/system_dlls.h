// Where the Windows programs take their DLLs from.  A program runs from a
// folder that is not ours (a browser's download folder, where a page may
// have left a DLL of any name), so the DLL search never looks there, nor in
// the current folder: the import table names only DLLs that the system
// always takes from its own folder, the program restricts the search to the
// system folder before it does anything else, and every other DLL is loaded
// at its first use from the system folder by its full path.
#pragma once
#include <windows.h>

// The first thing each program does: the DLL search (of the program and of
// every DLL it loads later) is the system folder only, where the system
// knows SetDefaultDllDirectories; elsewhere the current folder is taken out
// of it.
void RestrictDllSearch();

// The function `name` of the system DLL `dll` (a file name such as
// "comdlg32.dll"), loaded from the system folder by its full path, with its
// own dependencies looked up there too.  Null when either is missing.  The
// DLL stays loaded for the life of the process.
FARPROC SystemFunction(const char* dll, const char* name);
