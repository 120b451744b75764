#include "tools/bqpack/input_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

enum class InputRead { Ok, CannotOpen, NotAFile, TooLarge, CannotRead };

// What stat says of path: NotAFile, TooLarge, CannotOpen (with *error) or Ok.
InputRead CheckEntry(const char* path, std::uint64_t limit, int* error) {
#ifdef _WIN32
    struct _stat64 st;
    if (_stat64(path, &st) != 0) {
#else
    struct stat st;
    if (stat(path, &st) != 0) {
#endif
        *error = errno;
        return InputRead::CannotOpen;
    }
    if (!(st.st_mode & S_IFREG))
        return InputRead::NotAFile;
    if (static_cast<std::uint64_t>(st.st_size) > limit)
        return InputRead::TooLarge;
    return InputRead::Ok;
}

// Reads the file whole; *error gets errno when opening or reading fails.
InputRead ReadInputFile(const char* path, std::uint64_t limit, std::vector<std::uint8_t>* bytes,
                        int* error) {
    bytes->clear();
    *error = 0;
    const bool standardInput = std::strcmp(path, "-") == 0;
    if (!standardInput) {
        const InputRead entry = CheckEntry(path, limit, error);
        if (entry != InputRead::Ok)
            return entry;
    }
#ifdef _WIN32
    if (standardInput)
        _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::FILE* file = standardInput ? stdin : std::fopen(path, "rb");
    if (!file) {
        *error = errno;
        return InputRead::CannotOpen;
    }
    InputRead outcome = InputRead::Ok;
    std::vector<std::uint8_t> buffer(1 << 16);
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
        if (bytes->size() + n > limit) {
            outcome = InputRead::TooLarge;
            break;
        }
        bytes->insert(bytes->end(), buffer.begin(), buffer.begin() + n);
        if (n < buffer.size()) {
            if (std::ferror(file)) {
                *error = errno;
                outcome = InputRead::CannotRead;
            }
            break;
        }
    }
    if (!standardInput)
        std::fclose(file);
    return outcome;
}

} // namespace

bool ReadInput(const std::string& path, std::uint64_t limit, const char* what,
               std::vector<std::uint8_t>* bytes, std::string* problem) {
    int error = 0;
    const std::string role = what;
    switch (ReadInputFile(path.c_str(), limit, bytes, &error)) {
    case InputRead::Ok:
        return true;
    case InputRead::CannotOpen:
        *problem = std::string("cannot open: ") + std::strerror(error);
        break;
    case InputRead::NotAFile:
        *problem = "not a regular file (a folder, device or FIFO is never read)";
        break;
    case InputRead::TooLarge:
        *problem = "too large to be " + role + " (more than " + std::to_string(limit) + " bytes)";
        break;
    case InputRead::CannotRead:
        *problem = std::string("cannot read: ") + std::strerror(error);
        break;
    }
    return false;
}
