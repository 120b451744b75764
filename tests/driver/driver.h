// The Win32 test driver: starts the programs under test, finds their windows
// by class and title, reads control texts and states, types, clicks, reads
// and answers message boxes, and reads back files and registry values.
// Every wait is bounded polling; nothing sleeps for a fixed time.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace driver {

// Default bound of every wait, in milliseconds.
const DWORD kWaitMs = 15000;

// A started process; Stop() ends it (if still running) and closes handles.
struct Process {
    PROCESS_INFORMATION info = {};
    bool Running() const;
    // Waits for the process to end; true with its exit code when it did.
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    void Stop();
    ~Process() { Stop(); }
};

// Starts `exe` with the command-line tail `args` (a blank is put between).
// `env` entries "NAME=VALUE" are added to this process's environment for the
// child. Returns false when CreateProcess fails.
bool Start(Process* process, const std::string& exe, const std::string& args,
           const std::vector<std::string>& env = {});

// Waits for a visible or hidden top-level window of the given class and/or
// title (null: any) owned by process `pid` (0: any process).
HWND WaitWindow(const char* className, const char* title, DWORD pid = 0, DWORD timeoutMs = kWaitMs);
// Waits until no such top-level window exists.
bool WaitNoWindow(const char* className, const char* title, DWORD pid = 0,
                  DWORD timeoutMs = kWaitMs);
// Top-level windows of a process, of class `className` (null: any).
std::vector<HWND> WindowsOf(DWORD pid, const char* className = nullptr);

std::string Text(HWND window);
std::string ControlText(HWND dialog, int id);
bool ControlEnabled(HWND dialog, int id);
bool ControlVisible(HWND dialog, int id);
std::string ClassOf(HWND window);

// Sets an edit's text (the edit notifies its parent with EN_CHANGE).
void TypeText(HWND dialog, int id, const std::string& text);
// Posts a click of a button (BN_CLICKED) after checking that it is enabled:
// a posted click would reach a disabled button too.  False when disabled.
bool Click(HWND dialog, int id);
// Posts WM_COMMAND with an identifier no control may have (Escape's IDCANCEL, etc.).
void Command(HWND window, int id);
// Sends WM_CLOSE, as the close box does.
void Close(HWND window);

// A message box of process pid: a dialog of class #32770 holding the static 0xFFFF.
HWND WaitMessageBox(DWORD pid, DWORD timeoutMs = kWaitMs);
std::string MessageBoxText(HWND box);
// Presses IDOK, IDYES, IDNO... on a message box.
void Answer(HWND box, int buttonId);

// Polls until the file exists and holds at least `minLines` lines.
bool WaitFileLines(const std::string& path, size_t minLines, DWORD timeoutMs = kWaitMs);
bool ReadFile(const std::string& path, std::string* bytes);
std::vector<std::string> ReadLines(const std::string& path);
bool FileExists(const std::string& path);

// Registry under HKEY_LOCAL_MACHINE (or another root).
bool RegGet(const std::string& key, const std::string& value, DWORD* type, std::string* data,
            HKEY root = HKEY_LOCAL_MACHINE);
bool RegSetString(const std::string& key, const std::string& value, const std::string& text,
                  DWORD type = REG_SZ, HKEY root = HKEY_LOCAL_MACHINE);
bool RegSetDword(const std::string& key, const std::string& value, DWORD number,
                 HKEY root = HKEY_LOCAL_MACHINE);
void RegDeleteTree(const std::string& key, HKEY root = HKEY_LOCAL_MACHINE);
// The four bytes RegGet gives for a REG_DWORD of this value.
std::string DwordBytes(DWORD value);

// A fresh folder under the temp folder (unique per call); its path without a
// trailing backslash.
std::string FreshFolder(const std::string& stem);
// Copies a file to a fresh path (never overwrite an .exe Wine may still map).
std::string FreshCopy(const std::string& source, const std::string& name);
// A file of the build tree, given relative to its top (e.g.
// "standins\\engine.exe"), as a Windows path.
std::string Built(const std::string& relative);
// The folder of this test program, without a trailing backslash.
std::string ProgramFolder();

} // namespace driver
