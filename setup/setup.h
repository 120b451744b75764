// The installer: a hidden main window that owns the install folder dialog,
// the install procedure that the dialog's Next (or a fixed folder) starts,
// and the stopping of the client's running components before files are
// replaced.  All state is process-wide and lives in state.cpp.
#pragma once
#include <windows.h>

#include <cstdint>

struct ErrorRecord;

enum : std::uint32_t {
    kPathSize = 260, // every path and folder buffer, terminator included
};

// Commands posted to the main window (low word of wParam).
enum : WORD {
    CMD_OPEN_DIALOG = 1074,
    CMD_INSTALL = 1075,
    CMD_EXIT = 1076,
};

// Settings and window state.
extern char InstallFolder[kPathSize];
extern int UseRegistryFolder;
extern int SelectVerbDR;
extern int SelectVerbAutoUp;
extern int FilesOnly;
extern HINSTANCE InstanceHandle;
extern HWND FolderDialog;
extern HWND MainWindow;
extern std::uint32_t ProgressRangeKb;
extern char* PickerPathBuffer;
extern int* PickerChosenFlag;

// Entry, command line and main window.
char* CommandLineArguments(char* commandLine);
extern "C" void SetupStart();
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
void ParseCommandLine(char* text, char* folder);
ATOM RegisterMainWindowClass(HINSTANCE instance);
int CreateMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Install folder dialog and folder picker.
INT_PTR CALLBACK FolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int ChooseInstallFolder(HWND owner, HINSTANCE instance, char* path);
UINT_PTR CALLBACK PickerHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Install procedure.
void RunInstallAttempt();
std::uint32_t InstallPackage(ErrorRecord* record, const char* folder, int filesOnly);
std::uint32_t CreateFolderTree(ErrorRecord* record, const char* path);
std::uint32_t CreateDirectoryChain(ErrorRecord* record, const char* path);

// Stopping the client's running programs (engine, shell, scheduler) and asking
// browsers to exit.
std::uint32_t StopRunningComponents(ErrorRecord* record);
int CloseBrowserWindows();
int SendBrowserExit();
HDDEDATA CALLBACK DdeCallbackProc(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item,
                                  HDDEDATA data, ULONG_PTR value1, ULONG_PTR value2);
