// libFuzzer target for the image reader: whatever the bytes, finding the
// package, checking each file (digest, chunk walk, expansion), the
// configuration template and the seal must end with a result, never a
// crash, a hang or an allocation beyond a fixed multiple of the input.  Seeds:
// fuzz/seeds/fuzz_image_reader (a small installer image with compressed and raw chunks).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "package/image_reader.h"
#include "package/package_check.h"
#include "package/package_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InstallerImage installer;
    std::string error;
    if (!ReadInstallerImage(data, size, &installer, &error))
        return 0;
    const Package& package = installer.package;
    std::string why;
    for (const PackageFile& file : package.files) {
        CheckFileName(file.name, &why);
        FileCheck check;
        std::vector<std::uint8_t> expanded;
        if (CheckPackageFile(package, file, &check, &expanded) &&
            expanded.size() != file.expandedSize)
            __builtin_trap();
    }
    CheckFileName(package.settings.configFileName, &why);
    std::uint8_t seal[kSealDigestBytes];
    CheckSeal(installer, seal);
    // A template that passes is its length's bytes.
    if (CheckConfigTemplate(installer, &why) && package.configText.size() != installer.configLength)
        __builtin_trap();
    return 0;
}
