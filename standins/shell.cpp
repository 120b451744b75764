// Stand-in client shell: a window of the shell's class that ends on message
// 13210 unless --hang is given.  Logs "ready" and every 13210 to --log FILE.
#include "package/package_format.h"
#include "standin.h"

namespace {

const UINT kShellExit = 13210;

LRESULT CALLBACK ShellProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kShellExit) {
        LogLine(StandinLog, "message 13210");
        if (!StandinHangs)
            DestroyWindow(hwnd);
        return 0;
    }
    return StandinDefProc(hwnd, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunWindowStandin(kClientShellClass, ShellProc);
}
