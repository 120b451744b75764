// The install folder dialog (the installer's visible face: folder edit,
// Browse, Next and the status of an install attempt) and the folder picker
// built on the old-style common Save dialog.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include "hardening/system_dlls.h"
#include "package/package_table.h"
#include "setup/resource.h"
#include "setup/setup.h"
#include "text/bounded_text.h"

namespace {

// Controls of the picker template that the old-style common dialog knows.
enum : int {
    kPickerFolderPath = 1088, // stc1: the current folder
    kPickerName = 1152,       // edt1: the name field
    kPickerFolderList = 1121, // lst2
    kPickerDriveList = 1137,  // cmb2
};

// Size of OPENFILENAMEA without the later additions (76 bytes in the
// 32-bit program, 136 in the 64-bit one): the old-style dialog.  A fixed 76
// is refused by the 64-bit common dialog as a wrong structure size.
const DWORD kOpenFileNameSize = OPENFILENAME_SIZE_VERSION_400A;
const DWORD kPickerFlags = OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_NOTESTFILECREATE |
                           OFN_NONETWORKBUTTON | OFN_NODEREFERENCELINKS | OFN_LONGNAMES;

// The common dialog's list selection notification, known once the picker
// has started.
UINT SelectionChangedMessage = 0;

bool TextEquals(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

void InitFolderDialog(HWND dialog, LPARAM lParam) {
    MainWindow = reinterpret_cast<HWND>(lParam);
    // Kibibytes of all packaged files; summed wide so no size wraps.
    std::uint64_t total = 0;
    const std::int32_t count = Package.FileCount < static_cast<std::int32_t>(kMaxPackageFiles)
                                   ? Package.FileCount
                                   : static_cast<std::int32_t>(kMaxPackageFiles);
    for (std::int32_t i = 0; i < count; ++i) {
        total += Package.ExpandedSizes[i];
    }
    ProgressRangeKb = static_cast<std::uint32_t>(total >> 10);
    // The 32-bit range keeps the bar right for packages of 64 MiB and more.
    SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETRANGE32, 0,
                        static_cast<LPARAM>(ProgressRangeKb));
    SetDlgItemTextA(dialog, IDC_FOLDER, InstallFolder);
    SetDlgItemTextA(dialog, IDC_STATUS, "Initializing Install Folder");
    const BOOL editable = Package.AskForFolder != 0;
    EnableWindow(GetDlgItem(dialog, IDC_FOLDER), editable);
    EnableWindow(GetDlgItem(dialog, IDC_BROWSE), editable);
    SetFocus(GetDlgItem(dialog, IDC_FOLDER));
    ShowWindow(MainWindow, SW_SHOWMINIMIZED);
    ShowWindow(dialog, SW_SHOW);
    if (!editable) {
        // Posted: the install runs once FolderDialog holds this dialog.
        PostMessageA(MainWindow, WM_COMMAND, CMD_INSTALL, 0);
    }
}

} // namespace

INT_PTR CALLBACK FolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitFolderDialog(dialog, lParam);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_FOLDER:
            if (HIWORD(wParam) == EN_CHANGE) {
                SendMessageA(dialog, DM_SETDEFID, IDC_NEXT, 0);
                return TRUE;
            }
            return FALSE;
        case IDC_BROWSE:
            GetDlgItemTextA(dialog, IDC_FOLDER, InstallFolder, kPathSize);
            if (ChooseInstallFolder(dialog, InstanceHandle, InstallFolder)) {
                SetDlgItemTextA(dialog, IDC_FOLDER, InstallFolder);
            }
            SetFocus(GetDlgItem(dialog, IDC_FOLDER));
            return TRUE;
        case IDC_NEXT:
            GetDlgItemTextA(dialog, IDC_FOLDER, InstallFolder, kPathSize);
            PostMessageA(MainWindow, WM_COMMAND, CMD_INSTALL, 0);
            return FALSE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        if (MessageBoxA(dialog, "Are you sure you wish to end setup?", "Bramblequist Setup Error",
                        MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2 | MB_TOPMOST) == IDYES) {
            PostMessageA(MainWindow, WM_COMMAND, CMD_EXIT, 0);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

int ChooseInstallFolder(HWND owner, HINSTANCE instance, char* path) {
    char local[kPathSize];
    CopyBounded(local, kPathSize, path);
    int chosen = 0;

    OPENFILENAMEA request = {};
    request.lStructSize = kOpenFileNameSize;
    request.hwndOwner = owner;
    request.hInstance = instance;
    request.lpstrFile = local;
    request.nMaxFile = kPathSize;
    request.lpstrInitialDir = local;
    request.lpstrTitle = "Install Directory";
    request.Flags = kPickerFlags;
    request.lCustData = reinterpret_cast<LPARAM>(&chosen);
    request.lpfnHook = PickerHookProc;
    request.lpTemplateName = "FILEOPENORD2";
    typedef BOOL(WINAPI * GetSaveFileNameProc)(OPENFILENAMEA*);
    const GetSaveFileNameProc getSaveFileName = reinterpret_cast<GetSaveFileNameProc>(
        reinterpret_cast<void*>(SystemFunction("comdlg32.dll", "GetSaveFileNameA")));
    const BOOL saved = getSaveFileName != nullptr ? getSaveFileName(&request) : FALSE;

    CopyBounded(path, kPathSize, local);
    return saved | chosen;
}

UINT_PTR CALLBACK PickerHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const OPENFILENAMEA* request = reinterpret_cast<const OPENFILENAMEA*>(lParam);
        SetWindowPos(dialog, nullptr, 160, 160, 0, 0, SWP_NOSIZE);
        PickerPathBuffer = request->lpstrFile;
        PickerChosenFlag = reinterpret_cast<int*>(request->lCustData);
        SelectionChangedMessage = RegisterWindowMessageA("commdlg_LBSelChangedNotify");
        SetDlgItemTextA(dialog, kPickerFolderPath, request->lpstrInitialDir);
        return 0;
    }
    if (SelectionChangedMessage == 0 || message != SelectionChangedMessage) {
        return 0;
    }
    char text[kPathSize];
    if (wParam == kPickerFolderList) {
        // The name field always holds the current folder.
        GetDlgItemTextA(dialog, kPickerFolderPath, text, kPathSize);
        SetDlgItemTextA(dialog, kPickerName, text);
    } else if (wParam == kPickerDriveList) {
        GetDlgItemTextA(dialog, kPickerName, text, kPathSize);
        if (TextEquals(text, "*.*")) {
            if (PickerPathBuffer != nullptr) {
                GetDlgItemTextA(dialog, kPickerFolderPath, PickerPathBuffer, kPathSize);
                if (PickerChosenFlag != nullptr) {
                    *PickerChosenFlag = 1;
                }
            }
            PostMessageA(dialog, WM_COMMAND, IDABORT, 0);
        }
    }
    return 0;
}
