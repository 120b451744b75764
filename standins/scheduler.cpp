// Stand-in scheduler: a window of the scheduler's class that records every
// WM_COMMAND identifier it gets ("command N") in --log FILE, and ends on
// command 13201 unless --hang is given.
#include "package/package_format.h"
#include "standin.h"

#include <stdio.h>

namespace {

const WORD kSchedulerExit = 13201;

LRESULT CALLBACK SchedulerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        char line[64];
        snprintf(line, sizeof line, "command %u", unsigned(LOWORD(wParam)));
        LogLine(StandinLog, line);
        if (LOWORD(wParam) == kSchedulerExit && !StandinHangs)
            DestroyWindow(hwnd);
        return 0;
    }
    return StandinDefProc(hwnd, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunWindowStandin(kClientSchedulerClass, SchedulerProc);
}
