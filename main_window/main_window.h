// The main window of each Windows program: it shows nothing of its own and
// owns the program's one modeless dialog, which is all the user sees.  What
// the programs' main windows do alike lives here: the focus passes to the
// dialog, the window cannot be moved, destroying it ends the program, and
// the message loop hands the dialog its keyboard navigation.
#pragma once
#include <windows.h>

// The main window's answer to every message its own procedure leaves:
// `dialog` is the dialog it owns, null until it exists.
LRESULT MainWindowDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam, HWND dialog);

// Runs the program's message loop until WM_QUIT and returns its code.
// *dialog is the dialog the main window owns, read at each message (null
// until it exists).
int RunMessageLoop(const HWND* dialog);
