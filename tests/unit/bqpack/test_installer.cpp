// Test-only installers built through the build command; see test_installer.h.
#include "tests/unit/bqpack/test_installer.h"

#include <fstream>

#include "tests/unit/package/stub_image.h"
#include "tests/unit/test_file.h"
#include "tools/bqpack/commands.h"

int BuildTestInstaller(const std::string& manifest, const std::string& folder,
                       std::uint32_t pointerBytes, const std::vector<std::string>& options,
                       std::string* setup, const std::string& name) {
    const std::string stub = folder + (pointerBytes == 8 ? "/stub-x64.exe" : "/stub-x86.exe");
    const StubImage image = BuildStubImage(pointerBytes);
    WriteTestFile(stub, image.bytes);
    *setup = folder + "/" + name;
    CommandArgs args = {manifest, "--stub", stub, "-o", *setup, "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    return CmdBuild(args);
}
