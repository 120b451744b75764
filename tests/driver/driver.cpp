#include "driver.h"

#include <stdio.h>
#include <string.h>

namespace driver {

namespace {

const DWORD kPollMs = 20;

struct FindWindowQuery {
    const char* className;
    const char* title;
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM lParam) {
    FindWindowQuery* query = reinterpret_cast<FindWindowQuery*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (query->pid && pid != query->pid)
        return TRUE;
    if (query->className && ClassOf(window) != query->className)
        return TRUE;
    if (query->title && Text(window) != query->title)
        return TRUE;
    query->found.push_back(window);
    return TRUE;
}

std::vector<HWND> FindWindows(const char* className, const char* title, DWORD pid) {
    FindWindowQuery query = {className, title, pid, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// Polls `done` every kPollMs until it is true or timeoutMs have passed.
template <typename F> bool Poll(DWORD timeoutMs, F done) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(kPollMs);
    }
}

} // namespace

bool Process::Running() const {
    return info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!info.hProcess || WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(info.hProcess, exitCode);
    return true;
}

void Process::Stop() {
    if (info.hProcess) {
        if (Running()) {
            TerminateProcess(info.hProcess, 99);
            WaitForSingleObject(info.hProcess, 5000);
        }
        CloseHandle(info.hProcess);
    }
    if (info.hThread)
        CloseHandle(info.hThread);
    info = {};
}

bool Start(Process* process, const std::string& exe, const std::string& args,
           const std::vector<std::string>& env) {
    process->Stop();
    // The child's environment: ours plus the given entries.
    std::string block;
    if (!env.empty()) {
        char* own = GetEnvironmentStringsA();
        for (const char* p = own; *p; p += strlen(p) + 1)
            block.append(p, strlen(p) + 1);
        FreeEnvironmentStringsA(own);
        for (const std::string& e : env)
            block.append(e.c_str(), e.size() + 1);
        block.push_back('\0');
    }
    std::string line = "\"" + exe + "\"";
    if (!args.empty())
        line += " " + args;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0,
                          env.empty() ? nullptr : const_cast<char*>(block.data()), nullptr,
                          &startup, &process->info) != 0;
}

HWND WaitWindow(const char* className, const char* title, DWORD pid, DWORD timeoutMs) {
    HWND window = nullptr;
    Poll(timeoutMs, [&] {
        std::vector<HWND> found = FindWindows(className, title, pid);
        window = found.empty() ? nullptr : found.front();
        return window != nullptr;
    });
    return window;
}

bool WaitNoWindow(const char* className, const char* title, DWORD pid, DWORD timeoutMs) {
    return Poll(timeoutMs, [&] { return FindWindows(className, title, pid).empty(); });
}

std::vector<HWND> WindowsOf(DWORD pid, const char* className) {
    return FindWindows(className, nullptr, pid);
}

std::string Text(HWND window) {
    char text[4096] = "";
    // WM_GETTEXT works across processes for standard controls.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    text[sizeof text - 1] = '\0';
    return text;
}

std::string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? Text(control) : std::string("<no control>");
}

bool ControlEnabled(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control && IsWindowEnabled(control);
}

bool ControlVisible(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control && IsWindowVisible(control);
}

std::string ClassOf(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

void TypeText(HWND dialog, int id, const std::string& text) {
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, nullptr);
}

bool Click(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control || !IsWindowEnabled(control))
        return false;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return true;
}

void Command(HWND window, int id) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void Close(HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
}

HWND WaitMessageBox(DWORD pid, DWORD timeoutMs) {
    HWND box = nullptr;
    Poll(timeoutMs, [&] {
        for (HWND w : FindWindows("#32770", nullptr, pid)) {
            if (GetDlgItem(w, 0xFFFF) && IsWindowVisible(w)) {
                box = w;
                return true;
            }
        }
        return false;
    });
    return box;
}

std::string MessageBoxText(HWND box) {
    return ControlText(box, 0xFFFF);
}

void Answer(HWND box, int buttonId) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
}

bool ReadFile(const std::string& path, std::string* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes->clear();
    char chunk[65536];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes->append(chunk, got);
    CloseHandle(file);
    return true;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::string bytes;
    std::vector<std::string> lines;
    if (!ReadFile(path, &bytes))
        return lines;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            break; // a line still being written
        size_t stop = end > at && bytes[end - 1] == '\r' ? end - 1 : end;
        lines.push_back(bytes.substr(at, stop - at));
        at = end + 1;
    }
    return lines;
}

bool WaitFileLines(const std::string& path, size_t minLines, DWORD timeoutMs) {
    return Poll(timeoutMs, [&] { return ReadLines(path).size() >= minLines; });
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string DwordBytes(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

bool RegGet(const std::string& key, const std::string& value, DWORD* type, std::string* data,
            HKEY root) {
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return false;
    char buffer[4096];
    DWORD size = sizeof buffer;
    LONG result = RegQueryValueExA(handle, value.c_str(), nullptr, type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS)
        return false;
    data->assign(buffer, size);
    return true;
}

bool RegSetString(const std::string& key, const std::string& value, const std::string& text,
                  DWORD type, HKEY root) {
    HKEY handle;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG result =
        RegSetValueExA(handle, value.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                       DWORD(text.size() + 1));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

bool RegSetDword(const std::string& key, const std::string& value, DWORD number, HKEY root) {
    HKEY handle;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(handle, value.c_str(), 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

void RegDeleteTree(const std::string& key, HKEY root) {
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &handle) == ERROR_SUCCESS) {
        char name[256];
        for (;;) {
            DWORD size = sizeof name;
            if (RegEnumKeyExA(handle, 0, name, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            RegDeleteTree(key + "\\" + name, root);
        }
        RegCloseKey(handle);
    }
    RegDeleteKeyA(root, key.c_str());
}

std::string FreshFolder(const std::string& stem) {
    static unsigned counter;
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    std::string base = n && n < sizeof temp ? std::string(temp, n) : std::string("C:\\");
    if (base.back() != '\\')
        base += '\\';
    for (;;) {
        char name[64];
        snprintf(name, sizeof name, "%s-%lu-%u", stem.c_str(), GetCurrentProcessId(), ++counter);
        std::string path = base + name;
        if (CreateDirectoryA(path.c_str(), nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::string();
    }
}

std::string FreshCopy(const std::string& source, const std::string& name) {
    std::string folder = FreshFolder("prog");
    std::string target = folder + "\\" + name;
    return CopyFileA(source.c_str(), target.c_str(), FALSE) ? target : std::string();
}

std::string Built(const std::string& relative) {
    return std::string(BQ_BUILD_DIR_WIN) + "\\" + relative;
}

std::string ProgramFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n < sizeof path ? n : 0);
    size_t slash = s.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

} // namespace driver
