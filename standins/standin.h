// Shared helpers of the stand-in client programs.  The stand-ins play the
// client's engine, shell, scheduler and a browser for tests and the demo:
// they own the windows and services the installer and the credential tool
// look for, and record what they receive in a log file, one line per event.
#pragma once
#include <windows.h>

// Appends text and CR LF to the log file; does nothing when path is null.
void LogLine(const char* path, const char* text);
// The value after `name` in the command line (e.g. --log FILE), or null.
// Values run to the end of their blank-separated token.
const char* ArgValue(const char* name);
// The log file named by --log FILE, or null when none is given.
const char* LogArg();
// Nonzero when the command line holds the token `name`.
int HasFlag(const char* name);
// Registers a window class with the default procedure replaced by proc and
// creates one hidden top-level window of it; returns the window or null.
HWND CreateStandinWindow(const char* className, WNDPROC proc);
// Default window procedure of the stand-ins: as DefWindowProcA, and the
// program ends when its window is destroyed.
LRESULT CALLBACK StandinDefProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the message loop until WM_QUIT; returns its wParam.
int PumpMessages();

// A stand-in that owns one window and ends when asked, unless --hang is
// given: its log (--log FILE, or null) and whether it hangs.
extern const char* StandinLog;
extern int StandinHangs;
// Reads --log and --hang, creates the window, logs "ready" and runs the
// message loop; returns 1 when the window cannot be made.
int RunWindowStandin(const char* className, WNDPROC proc);
