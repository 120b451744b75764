// Stopping the client's running programs with none of them running, and asking
// browsers to exit.
#include <gtest/gtest.h>

#include "errors/error_record.h"
#include "setup/setup.h"
#include "tests/driver/driver.h"

#include <string>

namespace {

TEST(RunningPrograms, NoneRunningReturnsAtOnce) {
    ErrorRecord record;
    record.code = 0x20001041; // cleared on entry
    const DWORD start = GetTickCount();
    EXPECT_EQ(0u, StopRunningComponents(&record));
    EXPECT_EQ(0u, record.hresult);
    EXPECT_LT(GetTickCount() - start, 5000u);
}

TEST(RunningPrograms, NoBrowserEndsTheExitRequests) {
    EXPECT_EQ(3, SendBrowserExit());
    EXPECT_EQ(3, CloseBrowserWindows());
}

// A browser that accepts every exit request but never exits is asked a
// bounded number of times.
TEST(RunningPrograms, BrowserThatStaysIsAskedSixteenTimes) {
    driver::Process browser;
    const std::string log = driver::FreshFolder("browser") + "\\browser.log";
    const std::string exe =
        driver::FreshCopy(driver::Built("standins\\browser.exe"), "browser.exe");
    ASSERT_TRUE(driver::Start(&browser, exe, "--stay --log " + log));
    ASSERT_TRUE(driver::WaitFileLines(log, 1)); // serving
    EXPECT_EQ(0, CloseBrowserWindows());
    const std::vector<std::string> lines = driver::ReadLines(log);
    ASSERT_EQ(17u, lines.size());
    EXPECT_EQ("execute WWW_Exit", lines.back());
    EXPECT_TRUE(browser.Running());
}

} // namespace
