// Ending the client's running engine, shell and scheduler before an install
// attempt replaces their files, and asking browsers to exit after a failed
// attempt (they may hold files open).
#include <windows.h>

#include <ddeml.h>

#include "errors/error_codes.h"
#include "errors/error_places.h"
#include "errors/error_record.h"
#include "package/package_table.h"
#include "setup/setup.h"

namespace {

enum : std::uint32_t {
    kComponentWaitMs = 20000,
    kDdeTimeoutMs = 30000,
    kMaxBrowserRequests = 16, // a server that accepts but never exits
};

enum BrowserOutcome {
    kBrowserAsked = 0,
    kNoDdeInstance = 1,
    kNoStringHandle = 2,
    kNoBrowser = 3,
};

enum Request { kNoRequest, kPostMessage, kPostCommand };

// Finds the component's window, posts its request and waits for its
// process to end.  Returns 0 when it ended or was not running.
std::uint32_t StopComponent(ErrorRecord* record, const char* windowClass, Request request,
                            UINT value, std::uint32_t line) {
    if (windowClass == nullptr || windowClass[0] == '\0') {
        return 0;
    }
    HWND window = FindWindowA(windowClass, nullptr);
    if (window == nullptr) {
        return 0;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    if (request == kPostMessage) {
        PostMessageA(window, value, 0, 0);
    } else if (request == kPostCommand) {
        PostMessageA(window, WM_COMMAND, value, 0);
    }
    if (process != nullptr) {
        if (WaitForSingleObject(process, kComponentWaitMs) != WAIT_OBJECT_0) {
            SetError(record, MODULE_FILE_UNPACK, line, ERR_WAIT_TIMEOUT);
        }
        CloseHandle(process);
    }
    return record->code;
}

} // namespace

std::uint32_t StopRunningComponents(ErrorRecord* record) {
    record->code = 0;
    record->hresult = 0;
    if (StopComponent(record, Package.EngineClass, kNoRequest, 0, kLineEngineWait) == 0 &&
        StopComponent(record, Package.ShellClass, kPostMessage, Package.ShellMessage,
                      kLineShellWait) == 0) {
        StopComponent(record, Package.SchedulerClass, kPostCommand, Package.SchedulerCommand,
                      kLineSchedulerWait);
    }
    return record->code;
}

HDDEDATA CALLBACK DdeCallbackProc(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return reinterpret_cast<HDDEDATA>(DDE_FACK);
}

int SendBrowserExit() {
    DWORD instance = 0;
    if (DdeInitializeA(&instance, DdeCallbackProc, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        return kNoDdeInstance;
    }
    int outcome = kNoStringHandle;
    HSZ service = DdeCreateStringHandleA(instance, "iexplore", CP_WINANSI);
    HSZ topic = nullptr;
    if (service != nullptr) {
        topic = DdeCreateStringHandleA(instance, "WWW_Exit", CP_WINANSI);
    }
    if (topic != nullptr) {
        HCONV conversation = DdeConnect(instance, service, topic, nullptr);
        if (conversation == nullptr) {
            outcome = kNoBrowser;
        } else {
            char command[] = "WWW_Exit";
            DWORD result = 0;
            DdeClientTransaction(reinterpret_cast<BYTE*>(command), sizeof(command), conversation,
                                 nullptr, CF_TEXT, XTYP_EXECUTE, kDdeTimeoutMs, &result);
            DdeDisconnect(conversation);
            outcome = kBrowserAsked;
        }
    }
    if (topic != nullptr) {
        DdeFreeStringHandle(instance, topic);
    }
    if (service != nullptr) {
        DdeFreeStringHandle(instance, service);
    }
    DdeUninitialize(instance);
    return outcome;
}

int CloseBrowserWindows() {
    int outcome = kBrowserAsked;
    for (std::uint32_t i = 0; i < kMaxBrowserRequests && outcome == kBrowserAsked; ++i) {
        outcome = SendBrowserExit();
    }
    return outcome;
}
