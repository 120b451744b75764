// System DLLs loaded by full path from the system folder, and the DLL
// search restricted to it: a DLL in the current folder loads before the
// restriction and not after.
#include "hardening/system_dlls.h"
#include "tests/driver/driver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The file of the module that holds address.
std::string ModuleFileOf(FARPROC address) {
    HMODULE module = nullptr;
    char path[MAX_PATH] = {};
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(address), &module) ||
        GetModuleFileNameA(module, path, MAX_PATH) == 0)
        return "";
    return path;
}

std::string Lower(std::string text) {
    if (!text.empty())
        CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

TEST(SystemDlls, FunctionsComeFromTheSystemFolder) {
    char system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryA(system, MAX_PATH));
    for (const char* dll : {"comctl32.dll", "comdlg32.dll", "shell32.dll"}) {
        SCOPED_TRACE(dll);
        EXPECT_EQ(nullptr, GetModuleHandleA(dll)); // not imported: loaded here first
    }
    const struct {
        const char* dll;
        const char* name;
    } wanted[] = {{"comctl32.dll", "InitCommonControls"},
                  {"comdlg32.dll", "GetSaveFileNameA"},
                  {"shell32.dll", "ShellExecuteA"}};
    for (const auto& w : wanted) {
        SCOPED_TRACE(w.name);
        const FARPROC function = SystemFunction(w.dll, w.name);
        ASSERT_NE(nullptr, function);
        EXPECT_EQ(Lower(std::string(system) + "\\" + w.dll), Lower(ModuleFileOf(function)));
        EXPECT_EQ(function, GetProcAddress(GetModuleHandleA(w.dll), w.name));
    }
    EXPECT_EQ(nullptr, SystemFunction("bq-no-such.dll", "Anything"));
    EXPECT_EQ(nullptr, SystemFunction("comdlg32.dll", "NoSuchFunction"));
    EXPECT_EQ(nullptr, SystemFunction(std::string(300, 'x').c_str(), "Anything"));
}

TEST(SystemDlls, RestrictedSearchSkipsTheCurrentFolder) {
    const std::string dll = driver::Built("tests\\e2e\\planted\\planted.dll");
    const std::string folder = driver::FreshFolder("search");
    ASSERT_TRUE(CopyFileA(dll.c_str(), (folder + "\\bqcontrol.dll").c_str(), TRUE));
    ASSERT_TRUE(CopyFileA(dll.c_str(), (folder + "\\bqplanted.dll").c_str(), TRUE));
    ASSERT_TRUE(SetEnvironmentVariableA("BQ_PLANTED_LOG", (folder + "\\loads.log").c_str()));
    char previous[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, previous));
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));

    // The usual search takes a DLL from the current folder...
    EXPECT_NE(nullptr, LoadLibraryA("bqcontrol.dll"));
    RestrictDllSearch();
    // ... the restricted one does not, and system DLLs still load.
    EXPECT_EQ(nullptr, LoadLibraryA("bqplanted.dll"));
    EXPECT_NE(nullptr, LoadLibraryA("version.dll"));
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(std::vector<std::string>{"LOADED " + folder + "\\bqcontrol.dll INTO " +
                                       driver::ProgramFolder() + "\\test_system_dlls.exe"},
              driver::ReadLines(folder + "\\loads.log"));
}

} // namespace
