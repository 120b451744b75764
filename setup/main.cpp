// Entry point, command line and the hidden main window that hosts the
// install folder dialog and runs install attempts.
#include <windows.h>

#include "hardening/system_dlls.h"
#include "main_window/main_window.h"
#include "package/package_table.h"
#include "registry/client_keys.h"
#include "registry/registry.h"
#include "setup/resource.h"
#include "setup/setup.h"
#include "text/bounded_text.h"
#include "text/code_page_text.h"

namespace {

const char kMainClass[] = "BramblequistSetupWClassV2";
const char kMainTitle[] = "Bramblequist Setup";

// The folder of an installation whose scheduler is running replaces the
// package's or the command line's folder and fixes it.
void TakeRegistryFolder() {
    if (Package.SchedulerClass == nullptr || Package.SchedulerClass[0] == '\0' ||
        FindWindowA(Package.SchedulerClass, nullptr) == nullptr) {
        return;
    }
    char value[kPathSize + 1];
    DWORD size = kPathSize;
    value[kPathSize] = '\0'; // a value stored without terminator stays bounded
    if (RegReadString(kCurrentVersionKey, "BaseDirectory", value, &size, HKEY_LOCAL_MACHINE) == 1 &&
        size > 1) {
        TextCopyBounded(InstallFolder, kPathSize, value);
        Package.AskForFolder = 0;
    }
}

// Loads the common controls, which register the progress bar's class.
void InitCommonControlsFromSystem() {
    typedef void(WINAPI * InitProc)();
    const InitProc init = reinterpret_cast<InitProc>(
        reinterpret_cast<void*>(SystemFunction("comctl32.dll", "InitCommonControls")));
    if (init != nullptr) {
        init();
    }
}

} // namespace

void ParseCommandLine(char* text, char* folder) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    // Set while the folder in effect came from an argument too long for it.
    bool folderCut = false;
    while (*p != 0) {
        while (*p != 0 && *p <= 0x20) {
            ++p;
        }
        if (*p == 0) {
            break;
        }
        const unsigned char* token = p;
        while (*p > 0x20) {
            ++p;
        }
        const std::uint32_t length = static_cast<std::uint32_t>(p - token);
        if (token[0] == '/' || token[0] == '-') {
            switch (token[1] & 0xDF) { // upper case; a blank or NUL matches nothing
            case 'A':
                Package.AskForFolder = 1;
                break;
            case 'S':
                Package.AskForFolder = 0;
                break;
            case 'D':
                Package.PassSetupPath = 1;
                break;
            case 'L':
                Package.PassSetupPath = 0;
                break;
            case 'V':
                Package.VerifyDigests = 1;
                break;
            case 'U':
                Package.VerifyDigests = 0;
                break;
            case 'N':
                UseRegistryFolder = 0;
                break;
            case 'R':
                SelectVerbDR = 1;
                break;
            case 'G':
                SelectVerbAutoUp = 1;
                break;
            case 'Z':
                FilesOnly = 1;
                break;
            default:
                break;
            }
        } else {
            // A folder of kPathSize bytes or more is kept as its first 259: a
            // folder of that length leaves no room for a file name, so an
            // install attempt refuses it as a folder that cannot be created,
            // and the user sees it.
            folderCut = CopyBounded(folder, kPathSize, reinterpret_cast<const char*>(token),
                                    length) == nullptr;
            if (!folderCut && EndsWithBackslash(folder)) {
                folder[length - 1] = '\0';
            }
        }
    }
    if (folderCut) {
        // The cut folder is shown for correction, never installed to unseen.
        Package.AskForFolder = 1;
    }
}

ATOM RegisterMainWindowClass(HINSTANCE instance) {
    if (FindWindowA(kMainClass, nullptr) != nullptr) {
        return 0;
    }
    WNDCLASSA windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = CreateSolidBrush(RGB(128, 128, 128));
    windowClass.lpszClassName = kMainClass;
    return RegisterClassA(&windowClass);
}

int CreateMainWindow(HINSTANCE instance, int /*showCommand*/) {
    InstanceHandle = instance;
    HWND window = CreateWindowExA(0, kMainClass, kMainTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) {
        return 0;
    }
    PostMessageA(window, WM_COMMAND, CMD_OPEN_DIALOG, 0);
    return 1;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case CMD_OPEN_DIALOG:
            InitCommonControlsFromSystem();
            FolderDialog = CreateDialogParamA(InstanceHandle, MAKEINTRESOURCEA(IDD_FOLDER), window,
                                              FolderDialogProc, reinterpret_cast<LPARAM>(window));
            if (FolderDialog == nullptr) {
                DestroyWindow(window);
            }
            return 0;
        case CMD_INSTALL:
            RunInstallAttempt();
            return 0;
        case CMD_EXIT:
            PostQuitMessage(static_cast<int>(lParam));
            return 0;
        default:
            break;
        }
    }
    return MainWindowDefault(window, message, wParam, lParam, FolderDialog);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    TextCopyBounded(InstallFolder, kPathSize,
                    Package.DefaultFolder != nullptr ? Package.DefaultFolder : "");
    UseRegistryFolder = 1;
    ParseCommandLine(commandLine, InstallFolder);
    if (UseRegistryFolder) {
        TakeRegistryFolder();
    }
    if (previous == nullptr && RegisterMainWindowClass(instance) == 0) {
        return 0;
    }
    if (!CreateMainWindow(instance, showCommand)) {
        return 0;
    }
    return RunMessageLoop(&FolderDialog);
}
