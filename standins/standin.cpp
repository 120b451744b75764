#include "standin.h"

#include <string.h>

namespace {

char ArgBuffer[1024];

// Finds token `name` in the command line; returns a pointer just past it.
const char* FindToken(const char* name) {
    const char* line = GetCommandLineA();
    size_t n = strlen(name);
    for (const char* p = line; (p = strstr(p, name)) != nullptr; p += n) {
        bool starts = p == line || p[-1] == ' ' || p[-1] == '\t';
        bool ends = p[n] == '\0' || p[n] == ' ' || p[n] == '\t';
        if (starts && ends)
            return p + n;
    }
    return nullptr;
}

} // namespace

void LogLine(const char* path, const char* text) {
    if (!path)
        return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, text, DWORD(strlen(text)), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

const char* ArgValue(const char* name) {
    const char* p = FindToken(name);
    if (!p)
        return nullptr;
    while (*p == ' ' || *p == '\t')
        ++p;
    size_t n = 0;
    bool quoted = *p == '"';
    if (quoted)
        ++p;
    while (p[n] && n + 1 < sizeof ArgBuffer &&
           (quoted ? p[n] != '"' : (p[n] != ' ' && p[n] != '\t')))
        ++n;
    memcpy(ArgBuffer, p, n);
    ArgBuffer[n] = '\0';
    return n ? ArgBuffer : nullptr;
}

const char* LogArg() {
    static char log[MAX_PATH];
    const char* value = ArgValue("--log");
    if (!value)
        return nullptr;
    lstrcpynA(log, value, sizeof log);
    return log;
}

int HasFlag(const char* name) {
    return FindToken(name) != nullptr;
}

HWND CreateStandinWindow(const char* className, WNDPROC proc) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc))
        return nullptr;
    return CreateWindowExA(0, className, className, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                           nullptr, wc.hInstance, nullptr);
}

LRESULT CALLBACK StandinDefProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int PumpMessages() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return int(msg.wParam);
}

const char* StandinLog;
int StandinHangs;

int RunWindowStandin(const char* className, WNDPROC proc) {
    StandinLog = LogArg();
    StandinHangs = HasFlag("--hang");
    if (!CreateStandinWindow(className, proc))
        return 1;
    LogLine(StandinLog, "ready");
    return PumpMessages();
}
