// Stand-in client shell: a window of the shell's class that ends on message
// 13210 unless --hang is given.  Logs "ready" and every 13210 to --log FILE.
#include "standin.h"

namespace {

const UINT kShellExit = 13210;
const char* Log;
int Hang;

LRESULT CALLBACK ShellProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kShellExit) {
        LogLine(Log, "message 13210");
        if (!Hang)
            DestroyWindow(hwnd);
        return 0;
    }
    return StandinDefProc(hwnd, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Log = LogArg();
    Hang = HasFlag("--hang");
    if (!CreateStandinWindow("ClientShellWClassV2", ShellProc))
        return 1;
    LogLine(Log, "ready");
    return PumpMessages();
}
