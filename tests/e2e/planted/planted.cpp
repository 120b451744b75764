#include "tests/e2e/planted/planted.h"

#include "tests/driver/driver.h"

#include <tlhelp32.h>

#include <algorithm>

namespace planted {

const std::vector<std::string>& Names() {
    static const std::vector<std::string> names = {
        // Names that public reports against installers give.
        "apphelp.dll",
        "clbcatq.dll",
        "comctl32.dll",
        "compstui.dll",
        "cryptbase.dll",
        "dwmapi.dll",
        "imm32.dll",
        "msimg32.dll",
        "ntmarta.dll",
        "oleacc.dll",
        "profapi.dll",
        "propsys.dll",
        "setupapi.dll",
        "shcore.dll",
        "textshaping.dll",
        "userenv.dll",
        "uxtheme.dll",
        "version.dll",
        "winspool.drv",
        "wtsapi32.dll",
        // The rest of what WINEDEBUG=+loaddll shows setup.exe and Credstamp.exe
        // loading on their paths under Wine 8 (x64).
        "advapi32.dll",
        "combase.dll",
        "comdlg32.dll",
        "gdi32.dll",
        "kernel32.dll",
        "kernelbase.dll",
        "msvcrt.dll",
        "ntdll.dll",
        "ole32.dll",
        "rpcrt4.dll",
        "sechost.dll",
        "shell32.dll",
        "shlwapi.dll",
        "ucrtbase.dll",
        "user32.dll",
        "win32u.dll",
        "winex11.drv",
        "zlib1.dll",
    };
    return names;
}

std::string TestName(const ::testing::TestParamInfo<std::string>& dll) {
    std::string name = dll.param;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !IsCharAlphaNumericA(c); }, '_');
    return name;
}

namespace {

std::string Lower(std::string text) {
    if (!text.empty())
        CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

struct Module {
    std::string path;
    BYTE* base;
};

// A process's modules, its program first.
std::vector<Module> ModulesOf(DWORD pid) {
    std::vector<Module> modules;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE)
        return modules;
    MODULEENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry))
        modules.push_back({entry.szExePath, entry.modBaseAddr});
    CloseHandle(snapshot);
    return modules;
}

// The section table of a DLL's image (its offset in the file and in the
// mapped image, and its bytes), which the loader maps unchanged.
bool SectionTable(const std::string& image, size_t* offset, std::string* table) {
    if (image.size() < 0x40)
        return false;
    const DWORD pe = *reinterpret_cast<const DWORD*>(&image[0x3C]);
    if (pe > image.size() || image.size() - pe < 24)
        return false;
    const WORD sections = *reinterpret_cast<const WORD*>(&image[pe + 6]);
    const WORD optional = *reinterpret_cast<const WORD*>(&image[pe + 20]);
    *offset = pe + 24 + optional;
    if (*offset + 40u * sections > image.size())
        return false;
    *table = image.substr(*offset, 40u * sections);
    return true;
}

} // namespace

void AddModuleNames(DWORD pid, std::set<std::string>* loaded) {
    const std::vector<Module> modules = ModulesOf(pid);
    for (size_t i = 1; i < modules.size(); ++i) {
        const std::string& path = modules[i].path;
        loaded->insert(Lower(path.substr(path.find_last_of('\\') + 1)));
    }
}

std::vector<std::string> Unplanted(const std::set<std::string>& loaded) {
    std::vector<std::string> unplanted;
    for (const std::string& name : loaded)
        if (std::find(Names().begin(), Names().end(), name) == Names().end())
            unplanted.push_back(name);
    return unplanted;
}

Plant::Plant(const std::string& exe, const std::string& name) {
    const std::string dll = driver::Built("tests\\e2e\\planted\\planted.dll");
    programFolder_ = FolderOf(exe);
    currentFolder_ = driver::FreshFolder("current");
    log_ = driver::FreshFolder("planted") + "\\loads.log";
    char current[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, current);
    previousCurrent_ = n > 0 && n < MAX_PATH ? current : "";
    std::string image;
    ready_ = driver::ReadFile(dll, &image) && SectionTable(image, &tableOffset_, &table_) &&
             !programFolder_.empty() && !currentFolder_.empty() &&
             CopyFileA(dll.c_str(), (programFolder_ + "\\" + name).c_str(), TRUE) &&
             CopyFileA(dll.c_str(), (currentFolder_ + "\\" + name).c_str(), TRUE) &&
             SetCurrentDirectoryA(currentFolder_.c_str());
}

Plant::~Plant() {
    if (!previousCurrent_.empty())
        SetCurrentDirectoryA(previousCurrent_.c_str());
}

// Wine gives a DLL of its own that an import table names the path of a file
// of that name that it found first, in the program's folder too, but maps
// and runs its own: a module counts as the planted one when its section
// table is the recording DLL's.
void Plant::Look(DWORD pid) {
    const std::vector<Module> modules = ModulesOf(pid);
    HANDLE process = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (process == nullptr)
        return;
    for (size_t i = 1; i < modules.size(); ++i) { // the program itself is first
        const std::string folder = Lower(FolderOf(modules[i].path));
        if (folder != Lower(currentFolder_) && folder != Lower(programFolder_))
            continue;
        std::string mapped(table_.size(), '\0');
        SIZE_T read = 0;
        const std::string note = "MAPPED " + modules[i].path;
        if (ReadProcessMemory(process, modules[i].base + tableOffset_, &mapped[0], mapped.size(),
                              &read) &&
            read == mapped.size() && mapped == table_ &&
            std::find(seen_.begin(), seen_.end(), note) == seen_.end())
            seen_.push_back(note);
    }
    CloseHandle(process);
}

std::vector<std::string> Plant::Loads() const {
    std::vector<std::string> loads =
        driver::FileExists(log_) ? driver::ReadLines(log_) : std::vector<std::string>();
    loads.insert(loads.end(), seen_.begin(), seen_.end());
    return loads;
}

} // namespace planted
