// libFuzzer target for the image reader: whatever the bytes, finding the
// package, checking each file (digest, chunk walk, expansion) and the
// configuration length and the seal must end with a result, never a crash, a hang or an
// allocation beyond a fixed multiple of the input.  Seeds: fuzz/seeds/fuzz_image_reader
// (a small installer image with compressed and raw chunks).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "package/package_rules.h"
#include "package/image_reader.h"
#include "package/package_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PackageImage package;
    std::string error;
    if (!ReadPackageImage(data, size, &package, &error))
        return 0;
    std::string why;
    for (const PackageFileEntry& file : package.files) {
        CheckFileName(file.name, &why);
        FileCheck check;
        std::vector<std::uint8_t> expanded;
        if (CheckPackageFile(package, file, &check, &expanded) &&
            expanded.size() != file.expandedSize)
            __builtin_trap();
    }
    CheckFileName(package.settings.configFileName, &why);
    std::uint8_t seal[16];
    CheckSeal(package, seal);
    if (CheckConfigLength(package, &why)) {
        // The text must be readable up to its length.
        const std::uint8_t* text = ConfigText(package);
        volatile std::uint8_t sink = 0;
        for (std::uint32_t i = 0; i < package.configLength; ++i)
            sink = static_cast<std::uint8_t>(sink + text[i]);
    }
    return 0;
}
