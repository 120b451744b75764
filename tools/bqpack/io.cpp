#include "tools/bqpack/io.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/bqpack/input_file.h"
#include "tools/bqpack/output_file.h"

void Complain(const char* format, ...) {
    std::fputs("bqpack: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

bool ReadWholeFile(const char* path, std::vector<std::uint8_t>* data) {
    int error = 0;
    switch (ReadInputFile(path, UINT64_MAX, data, &error)) {
    case InputRead::Ok:
        return true;
    case InputRead::CannotOpen:
        Complain("cannot open %s: %s", path, std::strerror(error));
        return false;
    default:
        Complain("cannot read %s: %s", path, std::strerror(error));
        return false;
    }
}

bool WriteWholeFile(const char* path, const std::uint8_t* data, std::size_t size) {
    std::string why;
    if (WriteOutputFile(path, data, size, &why))
        return true;
    Complain("%s: %s", path, why.c_str());
    return false;
}
