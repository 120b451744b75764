// Stand-in browser: serves the DDE service "iexplore" with topic "WWW_Exit",
// records each execute command ("execute TEXT") in --log FILE and exits after
// it, unless --stay is given.
#include "standin.h"

#include <ddeml.h>
#include <stdio.h>

namespace {

DWORD Instance;
HSZ Service;
HSZ Topic;
const char* Log;
int Stay;

HDDEDATA CALLBACK BrowserDdeProc(UINT type, UINT, HCONV, HSZ topic, HSZ, HDDEDATA data, ULONG_PTR,
                                 ULONG_PTR) {
    switch (type) {
    case XTYP_CONNECT:
        return HDDEDATA(UINT_PTR(DdeCmpStringHandles(topic, Topic) == 0));
    case XTYP_EXECUTE: {
        char text[256] = "";
        DWORD n = DdeGetData(data, reinterpret_cast<LPBYTE>(text), sizeof text - 1, 0);
        text[n < sizeof text ? n : sizeof text - 1] = '\0';
        char line[300];
        snprintf(line, sizeof line, "execute %s", text);
        LogLine(Log, line);
        if (!Stay)
            PostQuitMessage(0);
        return HDDEDATA(UINT_PTR(DDE_FACK));
    }
    default:
        return nullptr;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Log = LogArg();
    Stay = HasFlag("--stay");
    if (DdeInitializeA(&Instance, BrowserDdeProc, APPCLASS_STANDARD | CBF_SKIP_ALLNOTIFICATIONS,
                       0) != DMLERR_NO_ERROR)
        return 1;
    Service = DdeCreateStringHandleA(Instance, "iexplore", CP_WINANSI);
    Topic = DdeCreateStringHandleA(Instance, "WWW_Exit", CP_WINANSI);
    if (!Service || !Topic || !DdeNameService(Instance, Service, nullptr, DNS_REGISTER))
        return 1;
    LogLine(Log, "ready");
    int code = PumpMessages();
    DdeNameService(Instance, Service, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(Instance, Topic);
    DdeFreeStringHandle(Instance, Service);
    DdeUninitialize(Instance);
    return code;
}
