// Writes a test installer stub (stub_image.h) to a file, so that the
// command-line tests of the native tree build installers with -o without a
// Windows tree: write_test_stub x86|x64 FILE.
#include <cstdio>
#include <cstring>

#include "tests/unit/package/stub_image.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "x86") != 0 && std::strcmp(argv[1], "x64") != 0)) {
        std::fputs("usage: write_test_stub x86|x64 FILE\n", stderr);
        return 1;
    }
    const StubImage stub = BuildStubImage(std::strcmp(argv[1], "x64") == 0 ? 8 : 4);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out || std::fwrite(stub.bytes.data(), 1, stub.bytes.size(), out) != stub.bytes.size() ||
        std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
