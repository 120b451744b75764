// `bqpack build`: reads a manifest, compresses its files and writes the
// package into a copy of the installer stub, which gives setup.exe: no
// compiler or linker runs.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "package/stub_writer.h"
#include "tools/bqpack/commands.h"
#include "tools/bqpack/exit_status.h"
#include "tools/bqpack/file_identity.h"
#include "tools/bqpack/input_file.h"
#include "tools/bqpack/io.h"
#include "tools/bqpack/json_text.h"
#include "tools/bqpack/manifest.h"
#include "tools/bqpack/output_file.h"
#include "tools/bqpack/pack.h"
#include "tools/bqpack/text_encoding.h"

namespace {

const char kUsage[] =
    "usage: bqpack build MANIFEST -o SETUP.EXE [options]\n"
    "  -o FILE              the installer to write\n"
    "  --arch x86|x64       the installer's architecture (default: the stub's with\n"
    "                       --stub, else x86, the product); it must be the stub's\n"
    "  --stub FILE          the installer stub to write the package into (default:\n"
    "                       setup-stub-ARCH.exe beside bqpack, in ../share/bqpack,\n"
    "                       or in a folder of $BQPACK_STUB_PATH)\n"
    "  -D NAME=VALUE        value of ${NAME} in the manifest (also --define)\n"
    "  --chunk-size N       bytes per chunk, 1 to 65535 (default 32768)\n"
    "  --jobs N             compression threads (default: one per core)\n"
    "  --depfile FILE       write the inputs read as a make dependency file\n"
    "  -q, --quiet          no progress or warnings on stderr (-v, --verbose: them)\n"
    "  --json               say what was built as one JSON object on stdout, and\n"
    "                       a failure as {\"ok\": false, \"error\": ...}\n"
    "\n"
    "-o replaces an existing file as a compiler replaces its output, and only when\n"
    "the build succeeds; no output may be one of the build's inputs.  The manifest\n"
    "is UTF-8; names and text settings go into the installer as Windows-1252.\n"
    "\n" BQPACK_EXIT_STATUS_HELP "A bad manifest or stub is a damaged input (2).\n";

int Usage(const std::string& problem) {
    return UsageError("build", problem);
}

bool ParseCount(const char* text, unsigned long limit, unsigned long* value) {
    char* end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(text, &end, 10);
    if (errno || end == text || *end || v == 0 || v > limit || text[0] == '-')
        return false;
    *value = v;
    return true;
}

bool IsDirectory(const std::string& path) {
    return KindOf(path, true) == EntryKind::Folder;
}

bool IsFile(const std::string& path) {
    return KindOf(path, true) == EntryKind::File;
}

// The folder a path's last component lies in ("." for a bare name).
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

// The folder this program was started from.
std::string ProgramFolder() {
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? FolderOf(std::string(path, n)) : std::string();
#else
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path);
    return n > 0 && std::size_t(n) < sizeof path ? FolderOf(std::string(path, std::size_t(n)))
                                                 : std::string();
#endif
}

#ifdef _WIN32
const char kListSeparator = ';', kPathSeparator = '\\';
#else
const char kListSeparator = ':', kPathSeparator = '/';
#endif

// Folders of a search list such as $BQPACK_STUB_PATH, separated as in PATH.
std::vector<std::string> SearchFolders(const char* list) {
    std::vector<std::string> folders;
    std::string rest = list ? list : "";
    while (!rest.empty()) {
        const std::size_t end = rest.find(kListSeparator);
        if (end != 0)
            folders.push_back(rest.substr(0, end));
        rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    }
    return folders;
}

// The stub of an architecture: beside bqpack (a folder unpacked as it is),
// in ../share/bqpack (installed), else in a folder of $BQPACK_STUB_PATH (a
// source tree's build, whose scripts name the Windows trees there).  When
// there is none, *looked says where it looked.
std::string FindStub(const std::string& arch, std::string* looked) {
    const std::string name = "setup-stub-" + arch + ".exe";
    std::vector<std::string> folders;
    const std::string self = ProgramFolder();
    if (!self.empty()) {
        folders.push_back(self);
        folders.push_back(self + kPathSeparator + ".." + kPathSeparator + "share" + kPathSeparator +
                          "bqpack");
    }
    const char* list = std::getenv("BQPACK_STUB_PATH");
    for (const std::string& folder : SearchFolders(list))
        folders.push_back(folder);
    for (const std::string& folder : folders)
        if (IsFile(folder + kPathSeparator + name))
            return folder + kPathSeparator + name;
    *looked = "";
    for (const std::string& folder : folders)
        *looked += (looked->empty() ? "" : ", ") + folder;
    if (!list || !*list)
        *looked += std::string(looked->empty() ? "" : ", ") + "$BQPACK_STUB_PATH (not set)";
    return std::string();
}

// Make-style dependency list: the output depends on every input read.
bool WriteDepfile(const std::string& path, const std::string& target,
                  const std::vector<std::string>& inputs) {
    auto escape = [](const std::string& s) {
        std::string e;
        for (char c : s) {
            if (c == ' ' || c == '#' || c == '\\')
                e += '\\';
            if (c == '$')
                e += '$';
            e += c;
        }
        return e;
    };
    std::string text = escape(target) + ":";
    for (const std::string& in : inputs)
        text += " \\\n  " + escape(in);
    text += "\n";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return bool(out);
}

// The build's outputs must not be any of its inputs (nor one another):
// checked after the manifest is read, before anything is compressed or
// written.  Returns the message of the first that is, or an empty text.
std::string OutputOverInput(const Manifest& m, const std::string& stubPath,
                            const std::vector<std::string>& outputs) {
    std::vector<CommandInput> inputs = {{m.path, "the manifest"},
                                        {m.config, "the configuration template"}};
    for (const ManifestFile& f : m.files)
        inputs.push_back({f.source, "the source of packed file " + ShownImageText(f.name) +
                                        " (line " + std::to_string(f.line) + ")"});
    if (!stubPath.empty())
        inputs.push_back({stubPath, "the installer stub"});
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (const CommandInput* in = InputAt(outputs[i], inputs))
            return OutputIsInputMessage(outputs[i], *in);
        inputs.push_back({outputs[i], "another output"});
    }
    return "";
}

// --json: what was built, as one object on standard output.
void PrintBuilt(const std::string& output, const std::string& arch, const Package& package) {
    std::string json = "{\"ok\": true, \"output\": " + JsonString(ShownInputText(output)) +
                       ", \"architecture\": " + JsonString(arch) + ",\n \"files\": [";
    for (std::size_t i = 0; i < package.files.size(); ++i) {
        const PackageFile& f = package.files[i];
        json += std::string(i ? ",\n  " : "\n  ") + "{\"name\": " + JsonImageText(f.name) +
                ", \"expandedSize\": " + std::to_string(f.expandedSize) +
                ", \"storedSize\": " + std::to_string(f.storedSize) + "}";
    }
    Say(json + (package.files.empty() ? "" : "\n") + "]}\n");
}

// What the manifest allows but is likely a mistake, once the build has
// succeeded (a failure says one line only).
void ShowWarnings(const Manifest& manifest, bool quiet) {
    if (!quiet)
        for (const std::string& warning : manifest.warnings)
            Note("%s", warning.c_str());
}

} // namespace

int CmdBuild(const CommandArgs& args) {
    std::string manifestPath, output, depfile, stubPath, arch;
    ManifestOptions manifestOptions;
    PackOptions packing;
    packing.progress = true;
    bool json = false; // --json: what was built, or the failure, on standard output
    AnswerFailuresInJson(false);
    // The options that take a file or folder name, and what each needs.
    const struct {
        const char* name;
        std::string* into;
        const char* needs;
    } kNameOptions[] = {{"-o", &output, "a file name"},
                        {"--depfile", &depfile, "a file name"},
                        {"--stub", &stubPath, "a file name"}};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* into) {
            if (i + 1 >= args.size())
                return false;
            *into = args[++i];
            return true;
        };
        std::string v;
        unsigned long n;
        auto named = std::find_if(std::begin(kNameOptions), std::end(kNameOptions),
                                  [&a](const auto& option) { return a == option.name; });
        if (named != std::end(kNameOptions)) {
            if (!value(named->into))
                return Usage(a + " needs " + named->needs);
        } else if (a == "--arch") {
            if (!value(&arch) || (arch != "x86" && arch != "x64"))
                return Usage("--arch needs x86 or x64");
        } else if (a == "-D" || a == "--define" || (a.size() > 2 && a.compare(0, 2, "-D") == 0)) {
            if (a.size() > 2 && a[1] == 'D')
                v = a.substr(2);
            else if (!value(&v))
                return Usage(a + " needs NAME=VALUE");
            std::size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0)
                return Usage(a + " needs NAME=VALUE, not \"" + v + "\"");
            manifestOptions.defines[v.substr(0, eq)] = v.substr(eq + 1);
        } else if (a == "--chunk-size") {
            if (!value(&v) || !ParseCount(v.c_str(), 65535, &n))
                return Usage("--chunk-size needs a number from 1 to 65535");
            packing.writer.chunkSize = std::uint32_t(n);
        } else if (a == "--jobs") {
            if (!value(&v) || !ParseCount(v.c_str(), 256, &n))
                return Usage("--jobs needs a number from 1 to 256");
            packing.writer.threads = unsigned(n);
        } else if (a == "--quiet" || a == "--verbose") {
            packing.progress = a == "--verbose";
        } else if (a == "--json") {
            json = true;
            AnswerFailuresInJson(true);
        } else if (a == "-h" || a == "--help") {
            Say(kUsage);
            return kExitOk;
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option " + a);
        } else if (manifestPath.empty()) {
            manifestPath = a;
        } else {
            return Usage("more than one manifest given: " + a);
        }
    }
    if (manifestPath.empty())
        return Usage("no manifest given");
    if (output.empty())
        return Usage("no output given (-o SETUP.EXE)");

    // Everything that can be found wrong before the compression is checked
    // first: the output's folder, the stub, the manifest.
    std::vector<std::uint8_t> stub;
    std::string error, stubArch;
    if (!IsDirectory(FolderOf(output)))
        return Fail(kExitOutput,
                    output + ": cannot write: the folder " + FolderOf(output) + " does not exist");
    std::string why;
    if (!MayReplace(output, &why))
        return Fail(kExitOutput, output + ": " + why);
    if (stubPath.empty()) {
        const std::string want = arch.empty() ? "x86" : arch;
        std::string looked;
        stubPath = FindStub(want, &looked);
        if (stubPath.empty())
            return Fail(kExitInput, "no installer stub setup-stub-" + want + ".exe: looked in " +
                                        looked + " (give --stub FILE)");
    }
    if (!ReadInput(stubPath, kMaxInputFile, "an installer stub", &stub, &why))
        return Fail(kExitInput, stubPath + ": " + why);
    if (!CheckStub(stub.data(), stub.size(), &stubArch, &why))
        return Fail(kExitInput, stubPath + ": " + why);
    if (!arch.empty() && arch != stubArch)
        return Fail(kExitInput, stubPath + ": an " + stubArch + " stub, not " + arch);

    Manifest manifest;
    if (!ReadManifest(manifestPath, manifestOptions, &manifest, &error))
        return Fail(kExitInput, error);
    std::vector<std::string> outputs(1, output);
    if (!depfile.empty())
        outputs.push_back(depfile);
    const std::string overInput = OutputOverInput(manifest, stubPath, outputs);
    if (!overInput.empty())
        return Usage(overInput);
    // Progress begins once nothing more can be found wrong without work, so
    // that a failure until here is one line.
    if (packing.progress)
        Note("stub %s (%s)", stubPath.c_str(), stubArch.c_str());

    std::vector<std::string> inputs;
    // The installer is written as it is made: the blob region straight into
    // a new file beside the output, then the bytes after it, then the stub's
    // bytes with the package filled in, over the start; only then is it
    // moved onto the output's name.
    Package package;
    if (!CheckPackageInputs(manifest, &package, &inputs, &error))
        return Fail(kExitInput, error);
    InstallerHead head;
    if (!StartInstaller(stub.data(), stub.size(), !manifest.files.empty(), &head, &error))
        return Fail(kExitInput, stubPath + ": " + error);
    std::vector<std::uint8_t>().swap(stub);
    StagedFile staged;
    if (!OpenStaged(output, &staged, &why))
        return Fail(kExitOutput, output + ": " + why);
    std::uint64_t checksum = 0;
    bool outputFailed = false;
    if (!PackFiles(manifest, packing, staged, head.bytes.size(), &package, &checksum, &inputs,
                   &error, &outputFailed)) {
        DiscardStaged(&staged);
        return outputFailed ? Fail(kExitOutput, output + ": " + error) : Fail(kExitInput, error);
    }
    inputs.push_back(stubPath);
    bool readFailed = false;
    auto readRegion = [&](std::uint64_t at, std::uint8_t* buffer, std::size_t size) {
        readFailed = !ReadStagedAt(staged, head.bytes.size() + at, buffer, size);
        return !readFailed;
    };
    std::vector<std::uint8_t> tail;
    if (!FinishInstaller(&head, package, checksum, readRegion, &tail, &error)) {
        DiscardStaged(&staged);
        return readFailed ? Fail(kExitOutput, output + ": cannot read back what was written")
                          : Fail(kExitInput, manifestPath + ": " + error);
    }
    if (!WriteStagedAt(staged, head.bytes.size() + package.regionSize, tail.data(), tail.size(),
                       &why) ||
        !WriteStagedAt(staged, 0, head.bytes.data(), head.bytes.size(), &why)) {
        DiscardStaged(&staged);
        return Fail(kExitOutput, output + ": " + why);
    }
    if (!CloseStaged(&staged, &why))
        return Fail(kExitOutput, output + ": " + why);
    std::vector<StagedFile> placed(1, staged);
    std::size_t failed = 0;
    if (!CommitStaged(&placed, true, &failed, &why))
        return Fail(kExitOutput, output + ": " + why);
    if (!depfile.empty() && !WriteDepfile(depfile, output, inputs))
        return Fail(kExitOutput, depfile + ": cannot write");
    ShowWarnings(manifest, !packing.progress);
    if (json)
        PrintBuilt(output, stubArch, package);
    return kExitOk;
}
