// Owns one idle hidden window for the whole test run, so that Wine keeps its
// desktop open between the programs the tests start.
#include "standin.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!CreateStandinWindow("BqKeepAliveWClass", StandinDefProc))
        return 1;
    return PumpMessages();
}
