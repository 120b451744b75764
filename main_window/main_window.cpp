#include "main_window/main_window.h"

LRESULT MainWindowDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam, HWND dialog) {
    switch (message) {
    case WM_SETFOCUS:
        if (dialog != nullptr) {
            SetFocus(dialog);
        }
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MOVE) {
            return 0; // the window stays where it is
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int RunMessageLoop(const HWND* dialog) {
    MSG message; // filled by GetMessageA, WM_QUIT's included
    while (GetMessageA(&message, nullptr, 0, 0)) {
        if (*dialog != nullptr && IsDialogMessageA(*dialog, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
