// Telling whether two paths name one file; see file_identity.h.
#include "tools/bqpack/file_identity.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

struct Identity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
};

bool Identify(const std::string& path, Identity* id) {
    if (path == "-") // standard input or output, never a file replaced
        return false;
#ifdef _WIN32
    // The C runtime's stat has no file number on Windows; the handle has.
    const HANDLE h =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok)
        return false;
    id->device = info.dwVolumeSerialNumber;
    id->file = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return true;
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    id->device = static_cast<std::uint64_t>(st.st_dev);
    id->file = static_cast<std::uint64_t>(st.st_ino);
    return true;
#endif
}

} // namespace

const CommandInput* InputAt(const std::string& output, const std::vector<CommandInput>& inputs) {
    Identity out;
    if (!Identify(output, &out))
        return nullptr;
    for (const CommandInput& input : inputs) {
        Identity in;
        if (Identify(input.path, &in) && in.device == out.device && in.file == out.file)
            return &input;
    }
    return nullptr;
}

std::string OutputIsInputMessage(const std::string& output, const CommandInput& input) {
    return output + ": is " + input.role + " (" + input.path +
           "), an input of this command; refusing to write over it";
}
