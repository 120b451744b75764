// Stopping the client's components and asking browsers to exit, with none
// of them running.
#include <gtest/gtest.h>

#include "errors/error_record.h"
#include "setup/setup.h"

namespace {

TEST(Components, NoneRunningReturnsAtOnce) {
    ErrorRecord record;
    record.code = 0x20001041; // cleared on entry
    const DWORD start = GetTickCount();
    EXPECT_EQ(0u, StopRunningComponents(&record));
    EXPECT_EQ(0u, record.hresult);
    EXPECT_LT(GetTickCount() - start, 5000u);
}

TEST(Components, NoBrowserEndsTheExitRequests) {
    EXPECT_EQ(3, SendBrowserExit());
    EXPECT_EQ(3, CloseBrowserWindows());
}

} // namespace
