// Stand-in engine.  Records its command line and working folder in the log
// named by the environment variable BQ_ENGINE_LOG (the installer passes its
// environment on), then exits.  With BQ_ENGINE_STAY=1 in the environment, or
// --stay on the command line, it keeps a window of the engine's class
// instead and runs until that window is closed.
#include "package/package_format.h"
#include "standin.h"

#include <stdio.h>
#include <string.h>

namespace {

char LogPath[MAX_PATH];

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* log = nullptr;
    if (GetEnvironmentVariableA("BQ_ENGINE_LOG", LogPath, sizeof LogPath) - 1 < sizeof LogPath - 1)
        log = LogPath;
    char line[2 * MAX_PATH + 16];
    snprintf(line, sizeof line, "cmdline:%s", GetCommandLineA());
    LogLine(log, line);
    char folder[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof folder, folder);
    snprintf(line, sizeof line, "cwd:%s", n && n < sizeof folder ? folder : "?");
    LogLine(log, line);

    char stay[4] = "";
    GetEnvironmentVariableA("BQ_ENGINE_STAY", stay, sizeof stay);
    if (strcmp(stay, "1") != 0 && !HasFlag("--stay"))
        return 0;
    if (!CreateStandinWindow(kClientEngineClass, StandinDefProc))
        return 1;
    LogLine(log, "ready");
    return PumpMessages();
}
