// The reader and the checks of a package's files on damaged setup images
// (inspect_image.h): every truncation and many byte changes end in a
// refusal with one line saying why, or in files that expand to the size
// the table gives; under the sanitizers also without a read out of bounds.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "package/image_reader.h"
#include "package/package_check.h"
#include "tests/unit/package/inspect_image.h"

namespace {

TEST(Inspect, DamageAnywhereNeverCrashes) {
    // Every truncation and many byte changes: each run ends with status 0
    // or 2 and, on 2, one line naming the file.  Under the sanitizers this
    // also shows no read out of bounds.
    const InspectImage clean = BuildInspectImage(StandardPackage());
    InstallerImage p;
    std::string error;
    std::uint32_t x = 12345;
    auto check = [&](const std::vector<std::uint8_t>& bytes) {
        if (!ReadInstallerImage(bytes.data(), bytes.size(), &p, &error)) {
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(error.find('\n'), std::string::npos);
            return;
        }
        for (const PackageFile& f : p.package.files) {
            FileCheck fc;
            std::vector<std::uint8_t> out;
            if (!CheckPackageFile(p.package, f, &fc, &out)) {
                EXPECT_FALSE(fc.problem.empty());
            } else {
                EXPECT_EQ(out.size(), f.expandedSize);
            }
        }
    };
    for (std::size_t size = 0; size < clean.bytes.size(); size += 13)
        check(std::vector<std::uint8_t>(clean.bytes.begin(),
                                        clean.bytes.begin() + static_cast<std::ptrdiff_t>(size)));
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> bytes = clean.bytes;
        for (int n = 0; n < 1 + round % 4; ++n) {
            x = x * 1103515245u + 12345u;
            const std::size_t at = (x >> 8) % bytes.size();
            x = x * 1103515245u + 12345u;
            bytes[at] = static_cast<std::uint8_t>(x >> 16);
        }
        check(bytes);
    }
}

} // namespace
