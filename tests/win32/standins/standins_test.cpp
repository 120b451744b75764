// The stand-in client programs behave as the installer's and the credential
// tool's tests rely on: each owns its window or service, ends on its request
// unless told to hang, and records what it received.
#include "tests/driver/driver.h"

#include <ddeml.h>
#include <gtest/gtest.h>

namespace {

std::string Standin(const char* name) {
    return driver::Built(std::string("standins\\") + name);
}

// A stand-in run with --log naming a log in a fresh folder.
struct LoggedRun {
    driver::Process process;
    std::string log;

    bool Start(const char* name, const std::string& flags = "") {
        log = driver::FreshFolder(name) + "\\log.txt";
        return driver::Start(&process, Standin(name), flags + "--log " + log);
    }
    // Its window of the class given, once it has made it; null when it does not.
    HWND Window(const char* windowClass) {
        return driver::WaitWindow(windowClass, nullptr, process.info.dwProcessId);
    }
};

TEST(Standins, SchedulerRecordsCommandsAndEndsOnItsExitCommand) {
    LoggedRun scheduler;
    ASSERT_TRUE(scheduler.Start("scheduler.exe"));
    HWND w = scheduler.Window("ScheduleWClassV2");
    ASSERT_TRUE(w);
    PostMessageA(w, WM_COMMAND, 13200, 0);
    PostMessageA(w, WM_COMMAND, 13201, 0);
    DWORD code = 1;
    ASSERT_TRUE(scheduler.process.WaitExit(driver::kWaitMs, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(driver::ReadLines(scheduler.log),
              (std::vector<std::string>{"ready", "command 13200", "command 13201"}));
}

TEST(Standins, HangingShellKeepsRunning) {
    LoggedRun shell;
    ASSERT_TRUE(shell.Start("shell.exe", "--hang "));
    HWND w = shell.Window("ClientShellWClassV2");
    ASSERT_TRUE(w);
    PostMessageA(w, 13210, 0, 0);
    ASSERT_TRUE(driver::WaitFileLines(shell.log, 2));
    EXPECT_TRUE(shell.process.Running());
    EXPECT_EQ(driver::ReadLines(shell.log)[1], "message 13210");
}

TEST(Standins, EngineRecordsItsCommandLine) {
    std::string log = driver::FreshFolder("engine") + "\\log.txt";
    driver::Process p;
    ASSERT_TRUE(driver::Start(&p, Standin("engine.exe"), "INITIALIZE C:\\x\\setup.exe",
                              {"BQ_ENGINE_LOG=" + log}));
    ASSERT_TRUE(p.WaitExit(driver::kWaitMs));
    std::vector<std::string> lines = driver::ReadLines(log);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "cmdline:\"" + Standin("engine.exe") + "\" INITIALIZE C:\\x\\setup.exe");
    EXPECT_EQ(lines[1].rfind("cwd:", 0), 0u);
}

HDDEDATA CALLBACK IgnoreDde(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

TEST(Standins, BrowserTakesTheExitCommandOverDde) {
    LoggedRun browser;
    ASSERT_TRUE(browser.Start("browser.exe"));
    ASSERT_TRUE(driver::WaitFileLines(browser.log, 1));
    DWORD instance = 0;
    ASSERT_EQ(DdeInitializeA(&instance, IgnoreDde, APPCMD_CLIENTONLY, 0), 0u);
    HSZ service = DdeCreateStringHandleA(instance, "iexplore", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, "WWW_Exit", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, service, topic, nullptr);
    ASSERT_TRUE(conversation);
    char command[] = "WWW_Exit";
    DWORD result = 0;
    DdeClientTransaction(reinterpret_cast<LPBYTE>(command), sizeof command, conversation, nullptr,
                         CF_TEXT, XTYP_EXECUTE, 30000, &result);
    DdeDisconnect(conversation);
    DdeFreeStringHandle(instance, topic);
    DdeFreeStringHandle(instance, service);
    DdeUninitialize(instance);
    ASSERT_TRUE(browser.process.WaitExit(driver::kWaitMs));
    EXPECT_EQ(driver::ReadLines(browser.log),
              (std::vector<std::string>{"ready", "execute WWW_Exit"}));
}

} // namespace
