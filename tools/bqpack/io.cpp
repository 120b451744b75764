#include "tools/bqpack/io.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

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
    data->clear();
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        Complain("cannot open %s: %s", path, std::strerror(errno));
        return false;
    }
    std::uint8_t buffer[65536];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
        data->insert(data->end(), buffer, buffer + n);
        if (n < sizeof buffer)
            break;
    }
    const bool failed = std::ferror(f) != 0;
    const int error = errno;
    std::fclose(f);
    if (failed) {
        Complain("cannot read %s: %s", path, std::strerror(error));
        return false;
    }
    return true;
}

bool WriteWholeFile(const char* path, const std::uint8_t* data, std::size_t size) {
    std::string why;
    if (WriteOutputFile(path, data, size, &why))
        return true;
    Complain("%s: %s", path, why.c_str());
    return false;
}
