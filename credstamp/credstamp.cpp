// Credstamp: stores the Machine ID and access token of the user's service
// account for the client software.  A zero-size main window outside the
// desktop owns a modeless dialog; OK stores the values and ends the tool.
#include "credstamp/credentials.h"
#include "credstamp/resource.h"
#include "credstamp/web_launch.h"
#include "hardening/system_dlls.h"
#include "main_window/main_window.h"
#include "registry/client_keys.h"
#include "registry/registry.h"

#include <windows.h>

namespace {

const char kToolClass[] = "CredstampWClassName";
const char kToolTitle[] = "Quintar Credstamp Tool";

HINSTANCE InstanceHandle;
HWND MainWindow;
HWND CredentialDialog; // null until the dialog exists; the message loop reads it
HWND DialogOwner;      // the main window, as the dialog received it

void PostCloseTool() {
    PostMessageA(DialogOwner, WM_COMMAND, CMD_CLOSE_TOOL, 0);
}

void OpenDialog(HWND dialog, LPARAM owner) {
    DialogOwner = reinterpret_cast<HWND>(owner);
    // The result is not consulted: a missing value leaves 0, an empty box.
    DWORD machineId = 0;
    RegReadDword(kPersistentKey, "MachineId", &machineId, HKEY_LOCAL_MACHINE);
    char text[kMachineIdTextSize] = {};
    if (machineId != 0)
        wsprintfA(text, "%ld", static_cast<long>(machineId));
    SendDlgItemMessageA(dialog, IDC_MACHINE_ID, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    SetWindowPos(dialog, nullptr, 50, 50, 0, 0, SWP_NOSIZE);
    ShowWindow(dialog, SW_SHOW);
}

void Save(HWND dialog) {
    char machineId[kMachineIdTextSize] = {};
    SendDlgItemMessageA(dialog, IDC_MACHINE_ID, WM_GETTEXT, kMachineIdTextSize,
                        reinterpret_cast<LPARAM>(machineId));
    char password[kPasswordTextSize] = {};
    SendDlgItemMessageA(dialog, IDC_PASSWORD, WM_GETTEXT, kPasswordTextSize,
                        reinterpret_cast<LPARAM>(password));
    // StoreCredentials clears the password buffer on every path.
    if (!StoreCredentials(machineId, password))
        MessageBoxA(DialogOwner, "Error writing to Registry", "Saving Changes",
                    MB_OK | MB_ICONERROR);
}

INT_PTR CALLBACK CredentialDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OpenDialog(dialog, lParam);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SAVE:
            Save(dialog);
            PostCloseTool(); // the tool ends after OK, also when a write failed
            break;
        case IDC_CLOSE:
            PostCloseTool();
            break;
        case IDC_SIGN_UP:
            OpenSignUpPage(DialogOwner);
            break;
        default: // such as the cancel command of the Esc key
            break;
        }
        return 0;
    case WM_CLOSE:
        PostCloseTool();
        return 0;
    default:
        return 0;
    }
}

LRESULT CALLBACK ToolWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        if (LOWORD(wParam) == CMD_SHOW_DIALOG) {
            CredentialDialog =
                CreateDialogParamA(InstanceHandle, MAKEINTRESOURCEA(IDD_CREDENTIALS), window,
                                   CredentialDialogProc, reinterpret_cast<LPARAM>(window));
            if (!CredentialDialog)
                DestroyWindow(window);
            return 0;
        }
        if (LOWORD(wParam) == CMD_CLOSE_TOOL) {
            DestroyWindow(window); // and with it the dialog that it owns
            return 0;
        }
    }
    return MainWindowDefault(window, message, wParam, lParam, CredentialDialog);
}

ATOM RegisterToolClass(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_NOCLOSE;
    windowClass.lpfnWndProc = ToolWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kToolClass;
    return RegisterClassA(&windowClass);
}

int CreateToolWindow(HINSTANCE instance, int showCommand) {
    InstanceHandle = instance;
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    // Outside the visible desktop and without area: it only owns the dialog.
    HWND window =
        CreateWindowExA(0, kToolClass, kToolTitle, WS_CAPTION | WS_SYSMENU, desktop.right + 1,
                        desktop.bottom + 1, 0, 0, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 0;
    MainWindow = window;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    PostMessageA(window, WM_COMMAND, CMD_SHOW_DIALOG, 0);
    return 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand) {
    RestrictDllSearch();
    if (!previous && !RegisterToolClass(instance))
        return 0;
    if (!CreateToolWindow(instance, showCommand))
        return 0;
    return RunMessageLoop(&CredentialDialog);
}
