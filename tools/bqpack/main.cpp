// bqpack: the package tool.  Dispatches to one command; each command group
// lives in a file of its own (see commands.h).
#include "tools/bqpack/commands.h"
#include "tools/bqpack/exit_status.h"
#include "tools/bqpack/io.h"
#include "tools/bqpack/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

struct Command {
    const char* name;
    CommandFunction run;
    const char* summary;
};

const Command kCommands[] = {
    {"implode", CmdImplode, "compress a file into one raw DCL implode stream"},
    {"explode", CmdExplode, "expand one raw DCL implode stream"},
    {"build", CmdBuild, "pack the files of a manifest into setup.exe"},
    {"info", CmdInfo, "show the settings of a built installer's package"},
    {"list", CmdList, "list the files packed in a built installer"},
    {"verify", CmdVerify, "check the digests and chunk streams of a built installer"},
    {"extract", CmdExtract, "write the files of a built installer's package"},
};

void PrintHelp(std::FILE* to) {
    std::fputs("usage: bqpack COMMAND [ARGS...]\n\ncommands:\n", to);
    for (const Command& c : kCommands)
        std::fprintf(to, "  %-10s %s\n", c.name, c.summary);
    std::fputs("\n'bqpack help COMMAND' or 'bqpack COMMAND --help' describes a command;\n"
               "'bqpack --version' (also after any command) says which bqpack this is.\n"
               "\n"
               "Every command takes --json, -q (--quiet), -v (--verbose), --opt=value as\n"
               "well as --opt value, and -- to end its options; build takes -j N (--jobs).\n"
               "A manifest is UTF-8; the installer holds its names and settings in\n"
               "Windows-1252 (see bqpack-manifest(5)).  No command writes over one of its\n"
               "inputs; build, implode and explode replace the output named, extract\n"
               "replaces existing files only with --force.\n\n" BQPACK_EXIT_STATUS_HELP,
               to);
}

// The arguments after the command's name in the one form every command
// parses: --opt=value becomes --opt and value; -q, -v and -j N (or -jN)
// become --quiet, --verbose and --jobs N; after --, an argument that
// begins with - is a file name, and is given as ./NAME.
std::vector<std::string> CommonForm(int argc, char** argv) {
    std::vector<std::string> args;
    bool options = true;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (!options) {
            args.push_back(!a.empty() && a[0] == '-' ? "./" + a : a);
        } else if (a == "--") {
            options = false;
        } else if (a.compare(0, 2, "--") == 0 && a.find('=') != std::string::npos) {
            const std::size_t eq = a.find('=');
            args.push_back(a.substr(0, eq));
            args.push_back(a.substr(eq + 1));
        } else if (a == "-q") {
            args.push_back("--quiet");
        } else if (a == "-v") {
            args.push_back("--verbose");
        } else if (a.compare(0, 2, "-j") == 0) {
            args.push_back("--jobs");
            if (a.size() > 2)
                args.push_back(a.substr(2));
        } else {
            args.push_back(a);
        }
    }
    return args;
}

// Runs the command; memory that cannot be had ends it as one failure.
int RunCommand(const Command& c, const CommandArgs& args) {
    try {
        return c.run(args);
    } catch (const std::bad_alloc&) {
        Complain("out of memory");
        return kExitInput;
    }
}

// A standard stream the caller closed is opened on /dev/null the wrong way
// round, so that no file of the command takes its number and every read or
// write through it fails (and is reported) as on the closed stream.
void KeepStandardNumbersTaken() {
#ifndef _WIN32
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int opened = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
            if (opened >= 0 && opened != fd)
                close(opened);
        }
    }
#endif
}

// Every byte the command printed must have reached standard output and
// standard error: a failed or short write, or a failed close, ends the
// command with kExitOutput whatever it would have ended with.
int CloseStandardStreams(int status) {
    bool failed = false;
    int error = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        failed = true;
        error = errno;
    }
    if (std::fclose(stdout) != 0 && !failed) {
        failed = true;
        error = errno;
    }
    if (failed)
        Complain("standard output: cannot write: %s", std::strerror(error ? error : EIO));
    if (std::fflush(stderr) != 0 || std::ferror(stderr) || std::fclose(stderr) != 0)
        failed = true;
    return failed ? kExitOutput : status;
}

int Run(int argc, char** argv) {
    // --version anywhere among the options, for every command.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("bqpack " BQPACK_VERSION);
            return kExitOk;
        }
    }
    if (argc < 2) {
        PrintHelp(stderr);
        return kExitUsage;
    }
    const bool help = std::strcmp(argv[1], "help") == 0;
    if (help && argc >= 3) {
        for (const Command& c : kCommands)
            if (std::strcmp(argv[2], c.name) == 0)
                return RunCommand(c, {"--help"});
        Complain("no command '%s' (see bqpack --help)", argv[2]);
        return kExitUsage;
    }
    if (help || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintHelp(stdout);
        return 0;
    }
    for (const Command& c : kCommands)
        if (std::strcmp(argv[1], c.name) == 0)
            return RunCommand(c, CommonForm(argc - 2, argv + 2));
    Complain("unknown command '%s' (see bqpack --help)", argv[1]);
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    KeepStandardNumbersTaken();
    RemoveOutputsWhenInterrupted();
    return CloseStandardStreams(Run(argc, argv));
}
