#include "tools/bqpack/input_file.h"

#include <cerrno>
#include <cstdio>

InputRead ReadInputFile(const char* path, std::uint64_t limit, std::vector<std::uint8_t>* bytes,
                        int* error) {
    bytes->clear();
    *error = 0;
    std::FILE* file = std::fopen(path, "rb");
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
    std::fclose(file);
    return outcome;
}
