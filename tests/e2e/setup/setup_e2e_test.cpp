// setup.exe driven through its windows under Wine: installers built from
// data/main.bqm and data/broken.bqm, the stand-in engine recording its
// command line, and the stand-in scheduler and browser; and the same paths
// with a DLL planted beside the installer.
#include "tests/driver/driver.h"
#include "tests/e2e/planted/planted.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

const char kDialogTitle[] = "Bramblequist Setup";
const char kMainClass[] = "BramblequistSetupWClassV2";
const char kCurrentVersionKey[] = "Software\\Quintar\\Bramblequist\\CurrentVersion";
const char kFolderMessage[] = "Unable to create chosen folder.  Please select again.";

enum { kFolderEdit = 1001, kStatus = 1002, kDetail = 1003, kBrowse = 1005, kNext = 1006 };

std::string Data(const char* name) {
    return std::string(BQ_E2E_DATA_WIN) + "\\" + name;
}

// The installer's message boxes all carry this title.  (Its dialog has
// statics with the identifier of a message box's text too, so a box is
// found by its title.)
HWND ErrorBox(DWORD pid) {
    return driver::WaitWindow("#32770", "Bramblequist Setup Error", pid);
}

// Answers a message box and waits until it is gone, so that the next box
// looked for is not this one.
bool Dismiss(HWND box, int button) {
    driver::Answer(box, button);
    for (DWORD waited = 0; waited < driver::kWaitMs; waited += 20) {
        if (!IsWindow(box)) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

std::string Bytes(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(driver::ReadFile(path, &bytes)) << path;
    return bytes;
}

// One run of an installer: a fresh copy of the program, a fresh target
// folder (not yet created) and the engine's log.
struct Installer {
    driver::Process process;
    std::string exe;
    std::string folder;
    std::string engineLog;
    HWND dialog = nullptr;

    explicit Installer(const char* program = "tests\\e2e\\setup\\setup_e2e.exe") {
        exe = driver::FreshCopy(driver::Built(program), "setup.exe");
        folder = driver::FreshFolder("target") + "\\Client";
        engineLog = driver::FreshFolder("log") + "\\engine.log";
    }
    bool Start(const std::string& args, const std::string& moreEnv = "") {
        std::vector<std::string> env = {"BQ_ENGINE_LOG=" + engineLog};
        if (!moreEnv.empty()) {
            env.push_back(moreEnv);
        }
        return !exe.empty() && driver::Start(&process, exe, args, env);
    }
    DWORD Pid() const { return process.info.dwProcessId; }
    bool WaitDialog() {
        dialog = driver::WaitWindow("#32770", kDialogTitle, Pid());
        return dialog != nullptr;
    }
    // True when the installer ended with exit code 0.
    bool Ended() {
        DWORD code = 99;
        return process.WaitExit(driver::kWaitMs, &code) && code == 0;
    }
    // Waits for setup's next message box, expects its text and answers it
    // with `button`; false when no box came or it stayed.
    bool AnswerBox(const std::string& text, int button) {
        HWND box = ErrorBox(Pid());
        if (box == nullptr) {
            return false;
        }
        EXPECT_EQ(text, driver::MessageBoxText(box));
        return Dismiss(box, button);
    }
    // Ends setup as a user does: the close box, then Yes to the question.
    bool EndByCloseBox() {
        driver::Close(dialog);
        return AnswerBox("Are you sure you wish to end setup?", IDYES) && Ended();
    }
    std::string File(const char* name) const { return folder + "\\" + name; }
    // The engine's command line as it received it.
    std::string EngineCommandLine() {
        if (!driver::WaitFileLines(engineLog, 2)) {
            return "(no engine log)";
        }
        std::vector<std::string> lines = driver::ReadLines(engineLog);
        return lines.empty() ? "" : lines[0];
    }
    void ExpectInstalled() {
        EXPECT_EQ(Bytes(driver::Built("standins\\engine.exe")), Bytes(File("Bramblequist.exe")));
        EXPECT_EQ(Bytes(Data("notes.txt")), Bytes(File("notes.txt")));
        EXPECT_EQ(Bytes(Data("client.inz")), Bytes(File("Read Me.txt")));
        EXPECT_EQ(Bytes(Data("client.inz")), Bytes(File("Bramblequist.inz")));
    }
};

TEST(SetupE2e, SilentInstallWritesFilesAndStartsTheEngine) {
    Installer setup;
    ASSERT_TRUE(setup.Start("/S " + setup.folder + "\\"));
    ASSERT_TRUE(setup.Ended());
    setup.ExpectInstalled();
    EXPECT_EQ("cmdline: INITIALIZE " + setup.exe, setup.EngineCommandLine());
}

TEST(SetupE2e, SwitchesChooseTheEngineKeywordAndPath) {
    struct Case {
        const char* switches;
        const char* keyword;
        bool withPath;
    } cases[] = {
        {"/L", "INITIALIZE", false},
        {"-r /G", "INITIALIZEDR", true},
        {"/g", "INITIALIZEAUTOUP", true},
        {"/L /D /Silent", "INITIALIZE", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.switches);
        Installer setup;
        ASSERT_TRUE(setup.Start(std::string(c.switches) + " /S " + setup.folder + "   "));
        ASSERT_TRUE(setup.Ended());
        std::string expected = std::string("cmdline: ") + c.keyword;
        if (c.withPath) {
            expected += " " + setup.exe;
        }
        EXPECT_EQ(expected, setup.EngineCommandLine());
    }
}

TEST(SetupE2e, FilesOnlyWritesNoConfigurationAndStartsNothing) {
    Installer setup;
    ASSERT_TRUE(setup.Start("/Z /S " + setup.folder));
    ASSERT_TRUE(setup.Ended());
    EXPECT_EQ(Bytes(Data("notes.txt")), Bytes(setup.File("notes.txt")));
    EXPECT_FALSE(driver::FileExists(setup.File("Bramblequist.inz")));
    EXPECT_FALSE(driver::FileExists(setup.engineLog));
}

TEST(SetupE2e, DialogWaitsForNextAndInstallsTheTypedFolder) {
    Installer setup;
    ASSERT_TRUE(setup.Start(setup.folder + "-first"));
    ASSERT_TRUE(setup.WaitDialog());
    EXPECT_TRUE(IsWindowVisible(setup.dialog));
    EXPECT_EQ(setup.folder + "-first", driver::ControlText(setup.dialog, kFolderEdit));
    EXPECT_EQ("Initializing Install Folder", driver::ControlText(setup.dialog, kStatus));
    EXPECT_TRUE(driver::ControlEnabled(setup.dialog, kFolderEdit));
    EXPECT_TRUE(driver::ControlEnabled(setup.dialog, kBrowse));
    EXPECT_TRUE(driver::ControlEnabled(setup.dialog, kNext));
    std::vector<HWND> main = driver::WindowsOf(setup.Pid(), kMainClass);
    ASSERT_EQ(1u, main.size());
    EXPECT_TRUE(IsIconic(main[0]));

    // A second installer ends at once, without a window of its own.
    Installer second;
    ASSERT_TRUE(second.Start(""));
    EXPECT_TRUE(second.Ended());

    driver::TypeText(setup.dialog, kFolderEdit, setup.folder);
    ASSERT_TRUE(driver::Click(setup.dialog, kNext));
    ASSERT_TRUE(setup.Ended());
    setup.ExpectInstalled();
    EXPECT_FALSE(driver::FileExists(setup.folder + "-first"));
}

TEST(SetupE2e, CloseAsksFirstAndEscapeDoesNothing) {
    Installer setup;
    ASSERT_TRUE(setup.Start(setup.folder));
    ASSERT_TRUE(setup.WaitDialog());
    driver::Command(setup.dialog, IDCANCEL); // what Escape produces
    driver::Close(setup.dialog);
    ASSERT_TRUE(setup.AnswerBox("Are you sure you wish to end setup?", IDNO));
    ASSERT_TRUE(driver::WaitNoWindow("#32770", "Bramblequist Setup Error", setup.Pid()));
    EXPECT_TRUE(setup.process.Running());
    EXPECT_TRUE(IsWindowVisible(setup.dialog));

    EXPECT_TRUE(setup.EndByCloseBox());
    EXPECT_FALSE(driver::FileExists(setup.folder));
}

// A folder that cannot be created (it lies below a plain file), and a
// stand-in browser that serves its DDE service and logs what it is asked.
struct UncreatableFolder {
    std::string path;
    driver::Process browser;
    std::string browserLog;

    bool Prepare() {
        const std::string plain = driver::FreshFolder("plain") + "\\file";
        HANDLE file = CreateFileA(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        CloseHandle(file);
        path = plain + "\\sub";
        browserLog = driver::FreshFolder("browser") + "\\browser.log";
        return driver::Start(
                   &browser,
                   driver::FreshCopy(driver::Built("standins\\browser.exe"), "browser.exe"),
                   "--log " + browserLog) &&
               driver::WaitFileLines(browserLog, 1); // serving
    }
    // True once the browser was asked to exit.
    bool AskedToExit() {
        return driver::WaitFileLines(browserLog, 2) &&
               driver::ReadLines(browserLog).back() == "execute WWW_Exit";
    }
};

// A folder below a plain file cannot be created: the fixed message, the
// browser asked to exit, the dialog open for a corrected folder.
TEST(SetupE2e, FolderThatCannotBeCreatedThenAnotherAttempt) {
    Installer setup;
    UncreatableFolder target;
    ASSERT_TRUE(target.Prepare());

    ASSERT_TRUE(setup.Start(target.path));
    ASSERT_TRUE(setup.WaitDialog());
    ASSERT_TRUE(driver::Click(setup.dialog, kNext));
    ASSERT_TRUE(setup.AnswerBox(kFolderMessage, IDOK));
    EXPECT_TRUE(target.AskedToExit());
    EXPECT_TRUE(target.browser.WaitExit(driver::kWaitMs));

    EXPECT_TRUE(setup.process.Running());
    driver::TypeText(setup.dialog, kFolderEdit, setup.folder);
    ASSERT_TRUE(driver::Click(setup.dialog, kNext));
    ASSERT_TRUE(setup.Ended());
    setup.ExpectInstalled();
}

// An argument longer than a folder can be is shown for correction, even
// with /S, and refused as a folder that cannot be created.
TEST(SetupE2e, TooLongFolderArgumentIsShownAndRefused) {
    Installer setup;
    const std::string longFolder = "C:\\" + std::string(300, 'x');
    ASSERT_TRUE(setup.Start("/S " + longFolder));
    ASSERT_TRUE(setup.WaitDialog());
    EXPECT_TRUE(driver::ControlEnabled(setup.dialog, kFolderEdit));
    EXPECT_EQ(longFolder.substr(0, 259), driver::ControlText(setup.dialog, kFolderEdit));
    ASSERT_TRUE(driver::Click(setup.dialog, kNext));
    ASSERT_TRUE(setup.AnswerBox(kFolderMessage, IDOK));
    driver::TypeText(setup.dialog, kFolderEdit, setup.folder);
    ASSERT_TRUE(driver::Click(setup.dialog, kNext));
    ASSERT_TRUE(setup.Ended());
    setup.ExpectInstalled();
}

TEST(SetupE2e, DigestMismatchAndMissingEngineAreShownByCode) {
    {
        Installer setup("tests\\e2e\\setup\\setup_e2e_broken.exe");
        ASSERT_TRUE(setup.Start("/S " + setup.folder));
        ASSERT_TRUE(setup.WaitDialog());
        ASSERT_TRUE(setup.AnswerBox("LA4153 (" + setup.File("notes.txt") + ")", IDOK));
        EXPECT_EQ(Bytes(Data("client.inz")), Bytes(setup.File("first.txt")));
        // The folder stays fixed; Next retries it.
        EXPECT_FALSE(driver::ControlEnabled(setup.dialog, kFolderEdit));
        EXPECT_FALSE(driver::ControlEnabled(setup.dialog, kBrowse));
        ASSERT_TRUE(driver::Click(setup.dialog, kNext));
        ASSERT_TRUE(setup.AnswerBox("LA4153 (" + setup.File("notes.txt") + ")", IDOK));
        EXPECT_TRUE(setup.EndByCloseBox());
    }
    {
        // Without verification the files are written; the engine is missing.
        Installer setup("tests\\e2e\\setup\\setup_e2e_broken.exe");
        ASSERT_TRUE(setup.Start("/U /S " + setup.folder));
        ASSERT_TRUE(setup.WaitDialog());
        HWND box = ErrorBox(setup.Pid());
        ASSERT_NE(nullptr, box);
        EXPECT_EQ("LA4157 (" + setup.File("Missing.exe") + ")", driver::MessageBoxText(box));
        EXPECT_EQ(Bytes(Data("notes.txt")), Bytes(setup.File("notes.txt")));
        EXPECT_EQ(setup.File("Missing.exe"), driver::ControlText(setup.dialog, kDetail));
        EXPECT_EQ("Starting Bramblequist Engine", driver::ControlText(setup.dialog, kStatus));
        EXPECT_TRUE(Dismiss(box, IDOK));
        EXPECT_TRUE(setup.EndByCloseBox());
    }
}

// Each failure of an attempt is shown by its code and path, and the dialog
// stays for another attempt: a damaged chunk, a configuration text of 4097
// bytes, and a packaged or configuration file that cannot be created (a
// folder of that name is in the way).
TEST(SetupE2e, FailuresAreShownByCodeAndTheDialogStays) {
    struct Case {
        const char* program;
        const char* obstacle; // a folder made where a file goes, or null
        const char* text;     // expected message: code and path
        const char* path;     // the file named in it, or null
    } cases[] = {
        {"setup_e2e_chunk.exe", nullptr, "LA4151", nullptr},
        {"setup_e2e_config.exe", nullptr, "LA4156", "Bramblequist.inz"},
        {"setup_e2e.exe", "notes.txt", "LA4150", "notes.txt"},
        {"setup_e2e.exe", "Bramblequist.inz", "LA4150", "Bramblequist.inz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.text);
        Installer setup((std::string("tests\\e2e\\setup\\") + c.program).c_str());
        if (c.obstacle != nullptr) {
            ASSERT_TRUE(CreateDirectoryA(setup.folder.c_str(), nullptr));
            ASSERT_TRUE(CreateDirectoryA(setup.File(c.obstacle).c_str(), nullptr));
        }
        ASSERT_TRUE(setup.Start("/S " + setup.folder));
        ASSERT_TRUE(setup.WaitDialog());
        std::string expected = c.text;
        if (c.path != nullptr) {
            expected += " (" + setup.File(c.path) + ")";
        }
        ASSERT_TRUE(setup.AnswerBox(expected, IDOK));
        EXPECT_TRUE(setup.process.Running());
        EXPECT_TRUE(driver::ControlEnabled(setup.dialog, kNext));
        EXPECT_TRUE(setup.EndByCloseBox());
        EXPECT_FALSE(driver::FileExists(setup.engineLog));
    }
}

// A write that fails (the target leads to a full device) is shown by its
// code and path, for a packaged file and for the configuration file.
TEST(SetupE2e, WriteFailuresAreShownByCode) {
    struct Case {
        const char* folder;
        const char* failing;
    } cases[] = {{"file", "notes.txt"}, {"config", "Bramblequist.inz"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        Installer setup;
        setup.folder = std::string(BQ_E2E_DISK_FULL_WIN) + "\\" + c.folder;
        ASSERT_TRUE(setup.Start("/S " + setup.folder));
        ASSERT_TRUE(setup.WaitDialog());
        HWND box = ErrorBox(setup.Pid());
        ASSERT_NE(nullptr, box);
        EXPECT_EQ("LA4155 (" + setup.File(c.failing) + ")", driver::MessageBoxText(box));
        EXPECT_EQ("Saving File to Disk", driver::ControlText(setup.dialog, kStatus));
        EXPECT_TRUE(Dismiss(box, IDOK));
        EXPECT_TRUE(setup.EndByCloseBox());
        EXPECT_FALSE(driver::FileExists(setup.engineLog));
    }
}

// With a scheduler running, the folder of the earlier installation is taken
// from the registry and installed to at once; the scheduler is asked to end.
TEST(SetupE2e, RegistryFolderWhenTheSchedulerRuns) {
    driver::RegDeleteTree("Software\\Quintar\\Bramblequist");
    Installer setup;
    ASSERT_TRUE(driver::RegSetString(kCurrentVersionKey, "BaseDirectory", setup.folder));
    for (const char* switches : {"/N", ""}) {
        SCOPED_TRACE(switches);
        driver::Process scheduler;
        const std::string log = driver::FreshFolder("scheduler") + "\\scheduler.log";
        ASSERT_TRUE(driver::Start(
            &scheduler,
            driver::FreshCopy(driver::Built("standins\\scheduler.exe"), "scheduler.exe"),
            "--log " + log));
        ASSERT_NE(nullptr, driver::WaitWindow("ScheduleWClassV2", nullptr));
        Installer run;
        run.folder = setup.folder;
        ASSERT_TRUE(run.Start(std::string(switches) + " /A " + run.folder + "-other"));
        if (std::string(switches) == "/N") {
            // Registry not read: the command line's folder, editable.
            ASSERT_TRUE(run.WaitDialog());
            EXPECT_EQ(run.folder + "-other", driver::ControlText(run.dialog, kFolderEdit));
            EXPECT_TRUE(driver::ControlEnabled(run.dialog, kFolderEdit));
            EXPECT_TRUE(run.EndByCloseBox());
            scheduler.Stop();
        } else {
            ASSERT_TRUE(run.Ended());
            run.ExpectInstalled();
            EXPECT_TRUE(scheduler.WaitExit(driver::kWaitMs));
            std::vector<std::string> lines = driver::ReadLines(log);
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ("command 13201", lines.back());
        }
    }
    driver::RegDeleteTree("Software\\Quintar\\Bramblequist");
}

// A stand-in component started from a fresh copy, with its own log.
struct Component {
    driver::Process process;
    std::string log;

    bool Start(const char* program, const char* windowClass, const std::string& flags) {
        log = driver::FreshFolder("component") + "\\component.log";
        const std::string exe = driver::FreshCopy(driver::Built(program), "component.exe");
        return driver::Start(&process, exe, "--log " + log + " " + flags) &&
               driver::WaitWindow(windowClass, nullptr, process.info.dwProcessId) != nullptr;
    }
    std::vector<std::string> Lines() { return driver::ReadLines(log); }
};

// Running components are asked to end and waited for; the first one that
// does not end within 20 seconds fails the attempt, and the later ones are
// left alone.  Each failing case waits its 20 seconds.
TEST(SetupE2e, RunningComponentsAreStoppedOrFailTheAttempt) {
    {
        // Shell and scheduler that end on request: the install goes on.
        Component shell, scheduler;
        ASSERT_TRUE(shell.Start("standins\\shell.exe", "ClientShellWClassV2", ""));
        ASSERT_TRUE(scheduler.Start("standins\\scheduler.exe", "ScheduleWClassV2", ""));
        Installer setup;
        ASSERT_TRUE(setup.Start("/N /S " + setup.folder));
        ASSERT_TRUE(setup.Ended());
        setup.ExpectInstalled();
        EXPECT_TRUE(shell.process.WaitExit(driver::kWaitMs));
        EXPECT_TRUE(scheduler.process.WaitExit(driver::kWaitMs));
        EXPECT_EQ((std::vector<std::string>{"ready", "message 13210"}), shell.Lines());
        EXPECT_EQ((std::vector<std::string>{"ready", "command 13201"}), scheduler.Lines());
    }
    struct Case {
        bool engineStays;
        bool shellHangs;
        std::vector<std::string> shellLines;
        std::vector<std::string> schedulerLines;
    } cases[] = {
        {true, false, {"ready"}, {"ready"}},
        {false, true, {"ready", "message 13210"}, {"ready"}},
        {false, false, {"ready", "message 13210"}, {"ready", "command 13201"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.engineStays ? "engine" : c.shellHangs ? "shell" : "scheduler");
        Component engine, shell, scheduler;
        if (c.engineStays) {
            ASSERT_TRUE(
                engine.Start("standins\\engine.exe", "BackupRestoreEngineWClassV2", "--stay"));
        }
        ASSERT_TRUE(shell.Start("standins\\shell.exe", "ClientShellWClassV2",
                                c.shellHangs ? "--hang" : ""));
        ASSERT_TRUE(scheduler.Start("standins\\scheduler.exe", "ScheduleWClassV2",
                                    c.engineStays || c.shellHangs ? "" : "--hang"));
        Installer setup;
        ASSERT_TRUE(setup.Start("/N /S " + setup.folder));
        ASSERT_TRUE(setup.WaitDialog());
        HWND box = driver::WaitWindow("#32770", "Bramblequist Setup Error", setup.Pid(), 40000);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ("LA4161", driver::MessageBoxText(box));
        EXPECT_EQ(c.shellLines, shell.Lines());
        EXPECT_EQ(c.schedulerLines, scheduler.Lines());
        EXPECT_FALSE(driver::FileExists(setup.folder));
        EXPECT_TRUE(Dismiss(box, IDOK));
        EXPECT_TRUE(setup.EndByCloseBox());
    }
}

// The picker: a folder list selection copies the current folder into the
// name field; a drive list selection while the name field reads "*.*" ends
// the picker with the current folder as the choice.  (Wine's old-style
// dialog sends these notifications only in some cases, so the test sends
// them itself.)
TEST(SetupE2e, PickerNotificationsChooseTheCurrentFolder) {
    Installer setup;
    const std::string start = driver::FreshFolder("picker");
    ASSERT_TRUE(setup.Start(start));
    ASSERT_TRUE(setup.WaitDialog());
    ASSERT_TRUE(driver::Click(setup.dialog, kBrowse));
    HWND picker = driver::WaitWindow("#32770", "Install Directory", setup.Pid());
    ASSERT_NE(nullptr, picker);
    RECT where;
    GetWindowRect(picker, &where);
    EXPECT_EQ(160, where.left);
    EXPECT_EQ(160, where.top);
    const std::string current = driver::ControlText(picker, 1088);
    EXPECT_FALSE(current.empty());
    const UINT notify = RegisterWindowMessageA("commdlg_LBSelChangedNotify");

    SetDlgItemTextA(picker, 1152, "typed");
    SendMessageA(picker, notify, 1121, 0); // folder list
    EXPECT_EQ(current, driver::ControlText(picker, 1152));
    SendMessageA(picker, notify, 1137, 0); // drive list, name field not "*.*"
    EXPECT_TRUE(IsWindow(picker));

    SetDlgItemTextA(picker, 1152, "*.*");
    SendMessageA(picker, notify, 1137, 0);
    ASSERT_TRUE(driver::WaitNoWindow("#32770", "Install Directory", setup.Pid()));
    EXPECT_EQ(current, driver::ControlText(setup.dialog, kFolderEdit));

    // Cancel leaves the folder edit as it was.
    driver::TypeText(setup.dialog, kFolderEdit, setup.folder);
    ASSERT_TRUE(driver::Click(setup.dialog, kBrowse));
    picker = driver::WaitWindow("#32770", "Install Directory", setup.Pid());
    ASSERT_NE(nullptr, picker);
    PostMessageA(picker, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(driver::WaitNoWindow("#32770", "Install Directory", setup.Pid()));
    EXPECT_EQ(setup.folder, driver::ControlText(setup.dialog, kFolderEdit));

    ASSERT_TRUE(driver::Click(setup.dialog, kNext));
    ASSERT_TRUE(setup.Ended());
    setup.ExpectInstalled();
}

// The installer's interactive paths in one run: the dialog, the folder
// picker (cancelled), Next into a folder that cannot be created (its message
// box, and the browser asked to exit), and Next into a good folder.  look()
// is called at each step while the installer runs; moreEnv goes into its
// environment.
void DialogPaths(Installer& setup, const std::string& moreEnv, const std::function<void()>& look) {
    UncreatableFolder target;
    ASSERT_TRUE(target.Prepare());
    ASSERT_TRUE(setup.Start(target.path, moreEnv));
    ASSERT_TRUE(setup.WaitDialog());
    look();
    ASSERT_TRUE(driver::Click(setup.dialog, kBrowse));
    HWND picker = driver::WaitWindow("#32770", "Install Directory", setup.Pid());
    ASSERT_NE(nullptr, picker);
    look();
    PostMessageA(picker, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(driver::WaitNoWindow("#32770", "Install Directory", setup.Pid()));
    ASSERT_TRUE(driver::Click(setup.dialog, kNext));
    HWND box = ErrorBox(setup.Pid());
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(kFolderMessage, driver::MessageBoxText(box));
    look();
    EXPECT_TRUE(Dismiss(box, IDOK));
    EXPECT_TRUE(target.AskedToExit());
    look();
    driver::TypeText(setup.dialog, kFolderEdit, setup.folder);
    ASSERT_TRUE(driver::Click(setup.dialog, kNext));
    ASSERT_TRUE(setup.Ended());
    setup.ExpectInstalled();
}

// Each name of the list planted beside the installer and in its current
// folder: a silent install, and the interactive paths, load none of them.
class SetupPlantedDll : public ::testing::TestWithParam<std::string> {};

TEST_P(SetupPlantedDll, NoneIsLoaded) {
    {
        Installer setup;
        planted::Plant plant(setup.exe, GetParam());
        ASSERT_TRUE(plant.Ready());
        ASSERT_TRUE(setup.Start("/S " + setup.folder, plant.Env()));
        ASSERT_TRUE(setup.Ended());
        setup.ExpectInstalled();
        EXPECT_EQ(std::vector<std::string>(), plant.Loads()) << "silent install";
    }
    Installer setup;
    planted::Plant plant(setup.exe, GetParam());
    ASSERT_TRUE(plant.Ready());
    DialogPaths(setup, plant.Env(), [&] { plant.Look(setup.Pid()); });
    EXPECT_EQ(std::vector<std::string>(), plant.Loads()) << "dialog, picker, failed attempt";
}

INSTANTIATE_TEST_SUITE_P(Names, SetupPlantedDll, ::testing::ValuesIn(planted::Names()),
                         planted::TestName);

// The list holds every DLL the installer has loaded at any step of its
// paths, so that a DLL the system starts to load is planted too.
TEST(SetupE2e, PlantedNamesCoverEveryDllThePathsLoad) {
    std::set<std::string> loaded;
    Installer setup;
    DialogPaths(setup, "", [&] { planted::AddModuleNames(setup.Pid(), &loaded); });
    ASSERT_FALSE(loaded.empty());
    EXPECT_EQ(std::vector<std::string>(), planted::Unplanted(loaded));
}

} // namespace
