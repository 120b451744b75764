// `bqpack build`: reads a manifest, generates the package sources and, unless
// only the sources are wanted, compiles them with the MinGW compiler and
// links them with the installer's code into setup.exe.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "tools/bqpack/cmd_build.h"
#include "tools/bqpack/exit_status.h"
#include "tools/bqpack/generate.h"
#include "tools/bqpack/manifest.h"

#ifndef BQPACK_DEFAULT_RUNTIME
#define BQPACK_DEFAULT_RUNTIME ""
#endif

namespace {

const char kDefaultCompiler[] = "i686-w64-mingw32-g++-posix";
const char kRuntimeList[] = "link.txt"; // the installer's link inputs, one per line
// The compiler the runtime folder's objects were built with (one line): the
// one that links them, whatever the architecture.
const char kRuntimeCompiler[] = "compiler.txt";

const char kUsage[] =
    "usage: bqpack build MANIFEST (-o SETUP.EXE | --sources-only DIR) [options]\n"
    "  -o FILE              the installer to write\n"
    "  --sources-only DIR   only write the generated sources into DIR\n"
    "  -D NAME=VALUE        value of ${NAME} in the manifest (also --define)\n"
    "  --chunk-size N       bytes per chunk, 1 to 65535 (default 32768)\n"
    "  --jobs N             compression threads (default: one per core)\n"
    "  --cxx PROGRAM        MinGW C++ compiler (default $BQPACK_CXX, else the\n"
    "                       runtime's own, else i686-w64-mingw32-g++-posix)\n"
    "  --runtime DIR        the installer's code (default $BQPACK_RUNTIME or the build's)\n"
    "  --depfile FILE       write the inputs read as a make dependency file\n"
    "  --quiet              no progress on stderr\n"
    "  --allow-broken       for tests only: accept broken-* manifest keys\n"
    "\n" BQPACK_EXIT_STATUS_HELP
    "A bad manifest is a damaged input (2); a failed link leaves no output (3).\n";

int Fail(const std::string& message, int status) {
    std::fprintf(stderr, "bqpack: %s\n", message.c_str());
    return status;
}

int UsageError(const std::string& message) {
    return Fail(message + " (see bqpack build --help)", kExitUsage);
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
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

int RunProgram(const std::vector<std::string>& args) {
#ifdef _WIN32
    std::vector<std::string> quoted;
    for (const std::string& a : args)
        quoted.push_back("\"" + a + "\"");
    std::vector<const char*> argv;
    for (const std::string& a : quoted)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    return int(_spawnvp(_P_WAIT, args[0].c_str(), argv.data()));
#else
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "bqpack: cannot run %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

// A fresh folder for the generated sources of one link.
bool MakeWorkFolder(const std::string& output, std::string* folder) {
#ifdef _WIN32
    *folder = output + ".bqpack-work";
    return _mkdir(folder->c_str()) == 0;
#else
    (void)output;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bqpack-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        return false;
    *folder = buffer.data();
    return true;
#endif
}

void RemoveWorkFolder(const std::string& folder) {
    for (const char* name :
         {kGeneratedTableSource, kGeneratedTableHeader, kGeneratedBlobAssembly, kGeneratedBlobData})
        std::remove((folder + "/" + name).c_str());
    rmdir(folder.c_str());
}

// The link inputs listed in the runtime folder; relative entries that are
// not options are taken from the folder.
bool ReadRuntime(const std::string& folder, std::vector<std::string>* inputs, std::string* error) {
    std::string list = folder + "/" + kRuntimeList;
    std::ifstream in(list);
    if (!in) {
        *error = list + ": cannot open the installer's link list (give --runtime DIR)";
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        bool relative = line[0] != '-' && line[0] != '/';
        inputs->push_back(relative ? folder + "/" + line : line);
    }
    return true;
}

// The compiler recorded in the runtime folder, else the default.
std::string RuntimeCompiler(const std::string& folder) {
    std::ifstream in(folder + "/" + kRuntimeCompiler);
    std::string line;
    if (in && std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty())
            return line;
    }
    return kDefaultCompiler;
}

} // namespace

int CmdBuild(int argc, char** argv) {
    std::string manifestPath, output, sourcesDir, depfile, compiler, runtime;
    ManifestOptions manifestOptions;
    GenerateOptions generate;
    generate.progress = true;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string* into) {
            if (i + 1 >= argc)
                return false;
            *into = argv[++i];
            return true;
        };
        std::string v;
        unsigned long n;
        if (a == "-o") {
            if (!value(&output))
                return UsageError("-o needs a file name");
        } else if (a == "--sources-only") {
            if (!value(&sourcesDir))
                return UsageError("--sources-only needs a folder");
        } else if (a == "--depfile") {
            if (!value(&depfile))
                return UsageError("--depfile needs a file name");
        } else if (a == "--cxx") {
            if (!value(&compiler))
                return UsageError("--cxx needs a program");
        } else if (a == "--runtime") {
            if (!value(&runtime))
                return UsageError("--runtime needs a folder");
        } else if (a == "-D" || a == "--define" || (a.size() > 2 && a.compare(0, 2, "-D") == 0)) {
            if (a.size() > 2 && a[1] == 'D')
                v = a.substr(2);
            else if (!value(&v))
                return UsageError(a + " needs NAME=VALUE");
            std::size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0)
                return UsageError(a + " needs NAME=VALUE, not \"" + v + "\"");
            manifestOptions.defines[v.substr(0, eq)] = v.substr(eq + 1);
        } else if (a == "--chunk-size") {
            if (!value(&v) || !ParseCount(v.c_str(), 65535, &n))
                return UsageError("--chunk-size needs a number from 1 to 65535");
            generate.writer.chunkSize = std::uint32_t(n);
        } else if (a == "--jobs") {
            if (!value(&v) || !ParseCount(v.c_str(), 256, &n))
                return UsageError("--jobs needs a number from 1 to 256");
            generate.writer.threads = unsigned(n);
        } else if (a == "--quiet") {
            generate.progress = false;
        } else if (a == "--allow-broken") {
            manifestOptions.allowBroken = true;
        } else if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("unknown option " + a);
        } else if (manifestPath.empty()) {
            manifestPath = a;
        } else {
            return UsageError("more than one manifest given: " + a);
        }
    }
    if (manifestPath.empty() || (output.empty() && sourcesDir.empty())) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if (!sourcesDir.empty() && !IsDirectory(sourcesDir))
        return Fail(sourcesDir + ": no such folder", kExitOutput);

    Manifest manifest;
    std::string error;
    if (!ReadManifest(manifestPath, manifestOptions, &manifest, &error))
        return Fail(error, kExitInput);

    std::vector<std::string> inputs;
    bool outputFailed = false;
    if (!sourcesDir.empty()) {
        if (!GenerateSources(manifest, generate, sourcesDir, &inputs, nullptr, &error,
                             &outputFailed))
            return Fail(error, outputFailed ? kExitOutput : kExitInput);
        if (!depfile.empty() &&
            !WriteDepfile(depfile, sourcesDir + "/" + kGeneratedTableSource, inputs))
            return Fail(depfile + ": cannot write", kExitOutput);
        return kExitOk;
    }

    if (runtime.empty()) {
        const char* env = std::getenv("BQPACK_RUNTIME");
        runtime = env && *env ? env : BQPACK_DEFAULT_RUNTIME;
    }
    if (compiler.empty()) {
        const char* env = std::getenv("BQPACK_CXX");
        compiler = env && *env ? env : RuntimeCompiler(runtime);
    }
    std::vector<std::string> runtimeInputs;
    if (!ReadRuntime(runtime, &runtimeInputs, &error))
        return Fail(error, kExitInput);

    std::string work;
    if (!MakeWorkFolder(output, &work))
        return Fail("cannot create a work folder: " + std::string(std::strerror(errno)),
                    kExitOutput);
    if (!GenerateSources(manifest, generate, work, &inputs, nullptr, &error, &outputFailed)) {
        RemoveWorkFolder(work);
        return Fail(error, outputFailed ? kExitOutput : kExitInput);
    }
    // Link beside the output and rename, so a failed link leaves no file.
    std::string partial = output + ".part";
    std::vector<std::string> command = {compiler,
                                        "-std=c++17",
                                        "-Os",
                                        "-mwindows",
                                        "-static",
                                        "-s",
                                        "-Wl,--no-insert-timestamp",
                                        "-o",
                                        partial,
                                        work + "/" + kGeneratedTableSource,
                                        work + "/" + kGeneratedBlobAssembly};
    command.insert(command.end(), runtimeInputs.begin(), runtimeInputs.end());
    if (generate.progress)
        std::fprintf(stderr, "bqpack: linking %s\n", output.c_str());
    int status = RunProgram(command);
    RemoveWorkFolder(work);
    if (status != 0) {
        std::remove(partial.c_str());
        return Fail(output + ": the compiler " + compiler + " failed (status " +
                        std::to_string(status) + ")",
                    kExitOutput);
    }
#ifdef _WIN32
    std::remove(output.c_str()); // rename does not replace a file there
#endif
    if (std::rename(partial.c_str(), output.c_str()) != 0) {
        std::remove(partial.c_str());
        return Fail(output + ": cannot write: " + std::strerror(errno), kExitOutput);
    }
    if (!depfile.empty() && !WriteDepfile(depfile, output, inputs))
        return Fail(depfile + ": cannot write", kExitOutput);
    return kExitOk;
}
