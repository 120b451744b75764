// Stand-in web browser for the shell: registered as the handler of http and
// https addresses, it records "open ADDRESS" in --log FILE and exits.  The
// address is the last token of its command line (registered as "%1").
#include "standin.h"

#include <stdio.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    static char log[MAX_PATH];
    const char* v = ArgValue("--log");
    if (!v)
        return 1;
    lstrcpynA(log, v, sizeof log);
    // Everything after the log path's token is the address.
    const char* line = GetCommandLineA();
    const char* rest = strstr(line, v);
    rest = rest ? rest + strlen(v) : "";
    if (*rest == '"')
        ++rest;
    while (*rest == ' ')
        ++rest;
    char address[2048];
    lstrcpynA(address, rest, sizeof address);
    size_t n = strlen(address);
    if (n && address[n - 1] == '"')
        address[n - 1] = '\0';
    if (address[0] == '"')
        memmove(address, address + 1, strlen(address));
    char out[2100];
    snprintf(out, sizeof out, "open %s", address);
    LogLine(log, out);
    return 0;
}
