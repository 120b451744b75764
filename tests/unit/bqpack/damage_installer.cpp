// Damages a built installer for the tests that need one (damage.h), so that
// the Windows trees' installers of damaged packages are made by the build:
// damage_installer IN OUT CHANGE...
#include <cstdio>
#include <string>
#include <vector>

#include "tests/unit/bqpack/damage.h"
#include "tests/unit/test_file.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: damage_installer IN OUT KEY=VALUE...\n", stderr);
        return 1;
    }
    std::vector<std::uint8_t> image = ReadTestFile(argv[1]);
    for (int i = 3; i < argc; ++i) {
        std::string error;
        if (!DamageInstaller(&image, argv[i], &error)) {
            std::fprintf(stderr, "damage_installer: %s: %s\n", argv[1], error.c_str());
            return 1;
        }
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out || std::fwrite(image.data(), 1, image.size(), out) != image.size() ||
        std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
