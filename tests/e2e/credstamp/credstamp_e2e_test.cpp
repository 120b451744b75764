// Credstamp.exe driven through its dialog under Wine, with the stand-in
// scheduler recording the commands it gets and a capturing handler of web
// addresses, also with a DLL planted beside it.  Registry values are read
// back here with RegQueryValueExA.
#include "digest/md5.h"
#include "tests/driver/driver.h"
#include "tests/e2e/planted/planted.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

const char kBramblequistKey[] = "Software\\Quintar\\Bramblequist";
const char kCurrentVersionKey[] = "Software\\Quintar\\Bramblequist\\CurrentVersion";
const char kPersistentKey[] = "Software\\Quintar\\Bramblequist\\CurrentVersion\\Persistent";
const char kWebUrlsKey[] = "Software\\Quintar\\Bramblequist\\CurrentVersion\\WebUrls";
const char kDialogTitle[] = "Quintar Credstamp Utility";
const char kBuiltInAddress[] =
    "https://accounts.bramblequist.example/signup/new?VendorID=1000&refcode=CREDSTAMP";

enum { kMachineIdBox = 1025, kPasswordBox = 1026, kOk = 1027, kCloseCmd = 1028, kSignUpCmd = 1029 };

std::string Md5Of(const std::string& text) {
    std::uint8_t digest[16];
    Md5Digest(text.data(), static_cast<std::uint32_t>(text.size()), digest);
    return std::string(reinterpret_cast<char*>(digest), 16);
}

struct Child {
    HWND window;
    std::string className;
    int id;
    std::string text;
    LONG style;
    LONG exStyle;
    RECT rect;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM lParam) {
    Child child;
    child.window = window;
    child.className = driver::ClassOf(window);
    child.id = static_cast<short>(GetDlgCtrlID(window));
    child.text = driver::Text(window);
    child.style = GetWindowLongA(window, GWL_STYLE);
    child.exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    GetWindowRect(window, &child.rect);
    reinterpret_cast<std::vector<Child>*>(lParam)->push_back(child);
    return TRUE;
}

// A running copy of the tool and its dialog.
struct Tool {
    driver::Process process;
    HWND dialog = nullptr;

    // The program run: one copy for every run, unless a test gives its own.
    std::string exe = SharedCopy();

    static std::string SharedCopy() {
        static const std::string shared =
            driver::FreshCopy(driver::Built("credstamp\\Credstamp.exe"), "Credstamp.exe");
        return shared;
    }
    bool Start(const std::vector<std::string>& env = {}) {
        if (exe.empty() || !driver::Start(&process, exe, "", env))
            return false;
        dialog = driver::WaitWindow("#32770", kDialogTitle, process.info.dwProcessId);
        return dialog != nullptr && IsWindowVisible(dialog);
    }
    DWORD Pid() const { return process.info.dwProcessId; }
    // Waits for the tool to end; true when it ended with exit code 0.
    bool Ended() {
        DWORD code = 99;
        return process.WaitExit(driver::kWaitMs, &code) && code == 0;
    }
};

class CredstampTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driver::RegDeleteTree(kBramblequistKey);
        schedulerLog = driver::FreshFolder("scheduler") + "\\log.txt";
        ASSERT_TRUE(driver::Start(&scheduler, driver::Built("standins\\scheduler.exe"),
                                  "--log " + schedulerLog));
        ASSERT_TRUE(driver::WaitFileLines(schedulerLog, 1));
    }
    void TearDown() override {
        scheduler.Stop();
        driver::RegDeleteTree(kBramblequistKey);
    }

    // Enters the two texts, presses OK and waits for the tool to end.
    void SaveWith(const std::string& machineId, const std::string& password) {
        Tool tool;
        ASSERT_TRUE(tool.Start());
        driver::TypeText(tool.dialog, kMachineIdBox, machineId);
        driver::TypeText(tool.dialog, kPasswordBox, password);
        ASSERT_TRUE(driver::Click(tool.dialog, kOk));
        ASSERT_TRUE(tool.Ended());
    }
    std::vector<std::string> SchedulerLog() { return driver::ReadLines(schedulerLog); }
    // The scheduler's log once `commands` credentials-changed commands arrived.
    bool Notified(size_t commands) { return driver::WaitFileLines(schedulerLog, 1 + commands); }
    bool Value(const char* name, DWORD* type, std::string* data) {
        return driver::RegGet(kPersistentKey, name, type, data);
    }
    bool PersistentKeyExists() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPersistentKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    driver::Process scheduler;
    std::string schedulerLog;
};

TEST_F(CredstampTest, DialogTextsAndControls) {
    Tool tool;
    ASSERT_TRUE(tool.Start());
    std::vector<Child> children;
    EnumChildWindows(tool.dialog, CollectChild, reinterpret_cast<LPARAM>(&children));
    ASSERT_EQ(children.size(), 7u);
    const char kExplanation[] =
        "You need an Quintar account to use the Quintar client software.  If you have registered "
        "and received a Machine ID and Password, please enter below to complete the "
        "installation  ";
    struct Expected {
        const char* className;
        int id;
        const char* text;
        LONG style; // bits that must be set
    };
    const Expected expected[] = {
        {"Static", -1, nullptr, SS_ICON},
        {"Edit", 1025, "", WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL},
        {"Edit", 1026, "", WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL},
        {"Static", -1, "Machine ID:  ", SS_RIGHT | WS_GROUP},
        {"Static", -1, "Password:  ", SS_RIGHT | WS_GROUP},
        {"Button", 1027, "&OK", BS_DEFPUSHBUTTON | WS_TABSTOP},
        {"Static", -1, kExplanation, WS_GROUP},
    };
    for (size_t i = 0; i < children.size(); ++i) {
        EXPECT_EQ(children[i].className, expected[i].className) << i;
        EXPECT_EQ(children[i].id, expected[i].id) << i;
        if (expected[i].text) { // the icon control's text is its resource number
            EXPECT_EQ(children[i].text, expected[i].text) << i;
        }
        EXPECT_EQ(children[i].style & expected[i].style, expected[i].style) << i;
        EXPECT_TRUE(children[i].style & WS_VISIBLE) << i;
    }
    EXPECT_EQ(children[6].style & SS_TYPEMASK, SS_LEFT);
    // An edit control turns its border style into a sunken client edge.
    for (int i : {1, 2})
        EXPECT_TRUE((children[i].style & WS_BORDER) || (children[i].exStyle & WS_EX_CLIENTEDGE));
    EXPECT_TRUE(driver::ControlEnabled(tool.dialog, kOk));
    // The icon control shows the tool's icon.
    EXPECT_TRUE(SendMessageA(children[0].window, STM_GETICON, 0, 0));

    // The dialog stands at 50,50; its owner is the tool's main window, which
    // lies outside the desktop.
    RECT rect;
    GetWindowRect(tool.dialog, &rect);
    EXPECT_EQ(rect.left, 50);
    EXPECT_EQ(rect.top, 50);
    HWND owner = GetWindow(tool.dialog, GW_OWNER);
    ASSERT_TRUE(owner);
    EXPECT_EQ(driver::ClassOf(owner), "CredstampWClassName");
    EXPECT_EQ(driver::Text(owner), "Quintar Credstamp Tool");
    RECT desktop, main;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(owner, &main);
    EXPECT_GT(main.left, desktop.right);
    EXPECT_GT(main.top, desktop.bottom);

    driver::Command(tool.dialog, kCloseCmd);
    EXPECT_TRUE(tool.Ended());
}

TEST_F(CredstampTest, OkStoresMachineIdAndTokenAndTellsTheScheduler) {
    SaveWith("123456", "  pass word \t");
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Value("MachineId", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, driver::DwordBytes(123456));
    ASSERT_TRUE(Value("AccessToken", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(data, Md5Of("pass word"));
    ASSERT_TRUE(Notified(1));
    EXPECT_EQ(SchedulerLog(), (std::vector<std::string>{"ready", "command 13200"}));
}

TEST_F(CredstampTest, MachineIdBoxCases) {
    struct Case {
        std::string text;
        bool written;
        DWORD value;
    };
    const Case cases[] = {
        {"", false, 0},
        {"0", false, 0},
        {"abc", false, 0},
        {"-12", true, 0xFFFFFFF4u},
        {"4294967298", true, 2},
        {"2147483648", true, 0x80000000u},
        // Only the first 39 characters are read.
        {std::string(38, '0') + "7" + "999", true, 7},
    };
    size_t notices = 0;
    for (const Case& c : cases) {
        ASSERT_TRUE(driver::RegSetDword(kPersistentKey, "MachineId", 555));
        SaveWith(c.text, "pw");
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(Value("MachineId", &type, &data));
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(data, driver::DwordBytes(c.written ? c.value : 555)) << '"' << c.text << '"';
        ASSERT_TRUE(Value("AccessToken", &type, &data));
        EXPECT_EQ(data, Md5Of("pw"));
        EXPECT_TRUE(Notified(++notices)) << '"' << c.text << '"';
    }
}

TEST_F(CredstampTest, PasswordBoxCases) {
    struct Case {
        std::string text;
        std::string digested; // empty: the token stays as it was
    };
    const Case cases[] = {
        {"", ""},
        {"    ", ""}, // blanks only: no token
        {"  abc  ", "abc"},
        {"a b  c", "a b  c"},
        // Only the first 119 characters are read.
        {std::string(119, 'x') + "yyy", std::string(119, 'x')},
    };
    const std::string oldToken = std::string(15, 'Z') + '\0';
    size_t notices = 0;
    for (const Case& c : cases) {
        ASSERT_TRUE(driver::RegSetString(kPersistentKey, "AccessToken", oldToken.substr(0, 15),
                                         REG_BINARY));
        SaveWith("77", c.text);
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(Value("AccessToken", &type, &data));
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(data, c.digested.empty() ? oldToken : Md5Of(c.digested)) << '"' << c.text << '"';
        EXPECT_TRUE(Notified(++notices));
    }
}

TEST_F(CredstampTest, StoredMachineIdIsShownSigned) {
    struct Case {
        bool stored;
        DWORD value;
        const char* shown;
    };
    const Case cases[] = {
        {false, 0, ""},
        {true, 0, ""},
        {true, 4711, "4711"},
        {true, 0xFFFFFFF6u, "-10"},
        {true, 0x80000000u, "-2147483648"},
    };
    for (const Case& c : cases) {
        driver::RegDeleteTree(kPersistentKey);
        if (c.stored) {
            ASSERT_TRUE(driver::RegSetDword(kPersistentKey, "MachineId", c.value));
        }
        Tool tool;
        ASSERT_TRUE(tool.Start());
        EXPECT_EQ(driver::ControlText(tool.dialog, kMachineIdBox), c.shown) << c.value;
        EXPECT_EQ(driver::ControlText(tool.dialog, kPasswordBox), "");
        // OK with the shown text stores the same value again.
        driver::TypeText(tool.dialog, kPasswordBox, "");
        ASSERT_TRUE(driver::Click(tool.dialog, kOk));
        ASSERT_TRUE(tool.Ended());
        DWORD type = 0;
        std::string data;
        EXPECT_EQ(Value("MachineId", &type, &data), c.stored);
        if (c.stored) {
            EXPECT_EQ(data, driver::DwordBytes(c.value));
        }
    }
}

TEST_F(CredstampTest, CloseWithoutSaving) {
    // The close command, the close box (the system menu's close) and a
    // close request all end the tool without writing or telling anybody.
    const UINT kWays = 3;
    for (UINT way = 0; way < kWays; ++way) {
        Tool tool;
        ASSERT_TRUE(tool.Start());
        driver::TypeText(tool.dialog, kMachineIdBox, "99");
        driver::TypeText(tool.dialog, kPasswordBox, "secret");
        if (way == 0)
            driver::Command(tool.dialog, kCloseCmd);
        else if (way == 1)
            PostMessageA(tool.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            driver::Close(tool.dialog);
        EXPECT_TRUE(tool.Ended()) << way;
    }
    EXPECT_FALSE(PersistentKeyExists());
    EXPECT_EQ(SchedulerLog(), (std::vector<std::string>{"ready"}));
}

// Registers a capturing handler for web addresses; returns its log file.
std::string CaptureWebAddresses() {
    static const std::string capture =
        driver::FreshCopy(driver::Built("standins\\urlcapture.exe"), "urlcapture.exe");
    const std::string log = driver::FreshFolder("signup") + "\\opened.txt";
    const std::string command = "\"" + capture + "\" --log " + log + " \"%1\"";
    EXPECT_TRUE(driver::RegSetString("https\\shell\\open\\command", "", command, REG_SZ,
                                     HKEY_CLASSES_ROOT));
    EXPECT_TRUE(
        driver::RegSetString("http\\shell\\open\\command", "", command, REG_SZ, HKEY_CLASSES_ROOT));
    return log;
}

TEST_F(CredstampTest, CancelCommandDoesNothing) {
    const std::string opened = CaptureWebAddresses();
    Tool tool;
    ASSERT_TRUE(tool.Start());
    driver::TypeText(tool.dialog, kMachineIdBox, "31");
    driver::Command(tool.dialog, IDCANCEL);
    driver::Command(tool.dialog, 4242);
    // Posted commands arrive in order: once the sign-up page opened, the two
    // before it were handled, and the tool is still there.
    driver::Command(tool.dialog, kSignUpCmd);
    ASSERT_TRUE(driver::WaitFileLines(opened, 1));
    EXPECT_TRUE(tool.process.Running());
    EXPECT_TRUE(IsWindowVisible(tool.dialog));
    EXPECT_FALSE(PersistentKeyExists());
    EXPECT_EQ(driver::ControlText(tool.dialog, kMachineIdBox), "31");
    ASSERT_TRUE(driver::Click(tool.dialog, kOk));
    ASSERT_TRUE(tool.Ended());
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Value("MachineId", &type, &data));
    EXPECT_EQ(data, driver::DwordBytes(31));
}

TEST_F(CredstampTest, SignUpOpensTheConfiguredOrBuiltInAddress) {
    const std::string opened = CaptureWebAddresses();
    Tool tool;
    ASSERT_TRUE(tool.Start());
    driver::Command(tool.dialog, kSignUpCmd); // no value: the built-in address
    ASSERT_TRUE(driver::WaitFileLines(opened, 1));
    ASSERT_TRUE(driver::RegSetString(kWebUrlsKey, "WebRegistration", ""));
    driver::Command(tool.dialog, kSignUpCmd); // empty value: the same
    ASSERT_TRUE(driver::WaitFileLines(opened, 2));
    ASSERT_TRUE(driver::RegSetString(kWebUrlsKey, "WebRegistration",
                                     "https://www.bramblequist.example/join"));
    ASSERT_TRUE(driver::RegSetString(kPersistentKey, "VendorId", "V77"));
    driver::Command(tool.dialog, kSignUpCmd);
    ASSERT_TRUE(driver::WaitFileLines(opened, 3));
    EXPECT_EQ(driver::ReadLines(opened),
              (std::vector<std::string>{
                  std::string("open ") + kBuiltInAddress, std::string("open ") + kBuiltInAddress,
                  "open https://www.bramblequist.example/join?VendorID=V77"}));
    // The tool stays open.
    EXPECT_TRUE(tool.process.Running());
    EXPECT_TRUE(IsWindowVisible(tool.dialog));
    driver::Command(tool.dialog, kCloseCmd);
    EXPECT_TRUE(tool.Ended());
}

TEST_F(CredstampTest, SecondCopyRunsIndependently) {
    Tool first, second;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    EXPECT_NE(first.dialog, second.dialog);
    driver::TypeText(first.dialog, kMachineIdBox, "1");
    driver::TypeText(second.dialog, kMachineIdBox, "2");
    driver::TypeText(second.dialog, kPasswordBox, "two");
    ASSERT_TRUE(driver::Click(second.dialog, kOk));
    ASSERT_TRUE(second.Ended());
    EXPECT_TRUE(first.process.Running());
    EXPECT_EQ(driver::ControlText(first.dialog, kMachineIdBox), "1");
    driver::Command(first.dialog, kCloseCmd);
    ASSERT_TRUE(first.Ended());
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Value("MachineId", &type, &data));
    EXPECT_EQ(data, driver::DwordBytes(2));
    ASSERT_TRUE(Value("AccessToken", &type, &data));
    EXPECT_EQ(data, Md5Of("two"));
    EXPECT_EQ(SchedulerLog(), (std::vector<std::string>{"ready", "command 13200"}));
}

// A volatile key cannot hold non-volatile keys below it: with the tool's
// parent key volatile, every write of the tool fails.
TEST_F(CredstampTest, FailedWriteIsShownAndTheToolStillEnds) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    for (const char* machineId : {"42", "0"}) { // the Machine ID's write, the token's write
        Tool tool;
        ASSERT_TRUE(tool.Start());
        driver::TypeText(tool.dialog, kMachineIdBox, machineId);
        driver::TypeText(tool.dialog, kPasswordBox, "secret");
        ASSERT_TRUE(driver::Click(tool.dialog, kOk));
        HWND box = driver::WaitMessageBox(tool.Pid());
        ASSERT_TRUE(box) << machineId;
        EXPECT_EQ(driver::MessageBoxText(box), "Error writing to Registry");
        EXPECT_EQ(driver::Text(box), "Saving Changes");
        EXPECT_EQ(GetWindow(box, GW_OWNER), GetWindow(tool.dialog, GW_OWNER));
        driver::Answer(box, IDOK);
        EXPECT_TRUE(tool.Ended()) << machineId;
    }
    EXPECT_FALSE(PersistentKeyExists());
    EXPECT_EQ(SchedulerLog(), (std::vector<std::string>{"ready"}));
}

// The tool's paths in one run: the dialog, the sign-up page, and a save.
// look() is called at each step while the tool runs.
void ToolPaths(Tool& tool, const std::vector<std::string>& env, const std::function<void()>& look) {
    const std::string opened = CaptureWebAddresses();
    ASSERT_TRUE(tool.Start(env));
    look();
    driver::Command(tool.dialog, kSignUpCmd);
    ASSERT_TRUE(driver::WaitFileLines(opened, 1));
    EXPECT_EQ(driver::ReadLines(opened),
              std::vector<std::string>{std::string("open ") + kBuiltInAddress});
    look();
    driver::TypeText(tool.dialog, kMachineIdBox, "4711");
    driver::TypeText(tool.dialog, kPasswordBox, "planted");
    look();
    ASSERT_TRUE(driver::Click(tool.dialog, kOk));
    ASSERT_TRUE(tool.Ended());
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(driver::RegGet(kPersistentKey, "AccessToken", &type, &data));
    EXPECT_EQ(Md5Of("planted"), data);
}

// Each name of the list planted beside the tool and in its current folder:
// none of them is loaded on the tool's paths.
class CredstampPlantedDll : public CredstampTest,
                            public ::testing::WithParamInterface<std::string> {};

TEST_P(CredstampPlantedDll, NoneIsLoaded) {
    Tool tool;
    tool.exe = driver::FreshCopy(driver::Built("credstamp\\Credstamp.exe"), "Credstamp.exe");
    planted::Plant plant(tool.exe, GetParam());
    ASSERT_TRUE(plant.Ready());
    ToolPaths(tool, {plant.Env()}, [&] { plant.Look(tool.Pid()); });
    EXPECT_TRUE(Notified(1));
    EXPECT_EQ(std::vector<std::string>(), plant.Loads());
}

INSTANTIATE_TEST_SUITE_P(Names, CredstampPlantedDll, ::testing::ValuesIn(planted::Names()),
                         planted::TestName);

// The list holds every DLL the tool has loaded at any step of its paths.
TEST_F(CredstampTest, PlantedNamesCoverEveryDllThePathsLoad) {
    std::set<std::string> loaded;
    Tool tool;
    ToolPaths(tool, {}, [&] { planted::AddModuleNames(tool.Pid(), &loaded); });
    ASSERT_FALSE(loaded.empty());
    EXPECT_EQ(std::vector<std::string>(), planted::Unplanted(loaded));
}

} // namespace
