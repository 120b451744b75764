// `bqpack info`, `list`, `verify` and `extract`: read the package of a built
// installer through package/image_reader and report, check or write it out.
#include "tools/bqpack/cmd_inspect.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

#include "package/image_reader.h"
#include "tools/bqpack/file_names.h"
#include "tools/bqpack/output_file.h"

namespace {

// Installers are 32-bit images; anything larger cannot be one.
const std::uint64_t kMaxImageFile = 0x7FFFFFFF;

const char kInfoUsage[] = "usage: bqpack info SETUP.EXE\n"
                          "  Shows the package settings of an installer: default folder, flags,\n"
                          "  engine program and verbs, the client's window classes and messages,\n"
                          "  configuration file name, build folder and file count.\n"
                          "\n" BQPACK_EXIT_STATUS_HELP;
const char kListUsage[] =
    "usage: bqpack list SETUP.EXE [--json]\n"
    "  Lists the packaged files (name, expanded and stored size, ratio, digest)\n"
    "  and the configuration file.\n"
    "  --json   the same as one JSON object\n"
    "\n" BQPACK_EXIT_STATUS_HELP;
const char kVerifyUsage[] =
    "usage: bqpack verify SETUP.EXE\n"
    "  Checks every stored digest, expands every file as the installer would and\n"
    "  checks the configuration length.\n"
    "\n" BQPACK_EXIT_STATUS_HELP;
const char kExtractUsage[] =
    "usage: bqpack extract SETUP.EXE [-d DIR] [--config] [--force]\n"
    "  Writes the packaged files into DIR (default: the current folder) after\n"
    "  verifying them.\n"
    "  -d DIR     output folder, created when missing\n"
    "  --config   also write the configuration file\n"
    "  --force    overwrite existing files\n"
    "\n" BQPACK_EXIT_STATUS_HELP;

struct Output {
    std::string* out;
    std::string* err;
};

std::string Num(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
    return text;
}

// A JSON string; bytes of 0x80 and above are taken as Latin-1.
std::string Json(const std::string& text) {
    std::string json = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            json += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            json += hex;
        }
    }
    return json + "\"";
}

int Usage(const Output& o, const char* command, const std::string& problem) {
    *o.err += std::string("bqpack ") + command + ": " + problem + " (see bqpack " + command +
              " --help)\n";
    return kExitUsage;
}

int Fail(const Output& o, const std::string& file, const std::string& problem, int status) {
    *o.err += "bqpack: " + file + ": " + problem + "\n";
    return status;
}

// Reads the whole file, refusing anything larger than an image can be.
bool LoadFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    bytes->clear();
    std::vector<std::uint8_t> buffer(1 << 20);
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
        if (bytes->size() + n > kMaxImageFile) {
            *error = "too large to be an installer (more than 2 GiB)";
            ok = false;
            break;
        }
        bytes->insert(bytes->end(), buffer.begin(), buffer.begin() + n);
        if (n < buffer.size()) {
            if (std::ferror(file)) {
                *error = std::string("cannot read: ") + std::strerror(errno);
                ok = false;
            }
            break;
        }
    }
    std::fclose(file);
    return ok;
}

// Parsed command line of one command.
struct Args {
    std::string image;
    std::string dir = ".";
    bool json = false;
    bool config = false;
    bool force = false;
    bool help = false;
};

// Options each command accepts: bit 1 --json, bit 2 -d/--config/--force.
enum : unsigned { kOptJson = 1, kOptExtract = 2 };

int ParseArgs(const std::vector<std::string>& args, const char* command, unsigned options,
              const Output& o, Args* parsed) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            parsed->help = true;
        } else if (a == "--json" && (options & kOptJson)) {
            parsed->json = true;
        } else if (a == "--config" && (options & kOptExtract)) {
            parsed->config = true;
        } else if (a == "--force" && (options & kOptExtract)) {
            parsed->force = true;
        } else if (a == "-d" && (options & kOptExtract)) {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return Usage(o, command, "-d needs a folder");
            parsed->dir = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage(o, command, "unknown option " + a);
        } else if (a.empty()) {
            return Usage(o, command, "an empty installer name");
        } else if (parsed->image.empty()) {
            parsed->image = a;
        } else {
            return Usage(o, command, "more than one installer given");
        }
    }
    if (!parsed->help && parsed->image.empty())
        return Usage(o, command, "no installer given");
    return kExitOk;
}

// Loads and reads the installer named by args; on failure reports it.
int OpenPackage(const Args& args, const Output& o, std::vector<std::uint8_t>* bytes,
                PackageImage* package) {
    std::string error;
    if (!LoadFile(args.image, bytes, &error) ||
        !ReadPackageImage(bytes->data(), bytes->size(), package, &error))
        return Fail(o, args.image, error, kExitInput);
    return kExitOk;
}

// The start every command shares: parse its arguments, answer --help, load
// and read the installer.  Returns the status to end with, or kGoOn when the
// command goes on with args, bytes and package.
const int kGoOn = -1;
int Begin(const std::vector<std::string>& arguments, const char* command, unsigned options,
          const char* usage, const Output& o, Args* args, std::vector<std::uint8_t>* bytes,
          PackageImage* package) {
    if (int status = ParseArgs(arguments, command, options, o, args))
        return status;
    if (args->help) {
        *o.out += usage;
        return kExitOk;
    }
    if (int status = OpenPackage(*args, o, bytes, package))
        return status;
    return kGoOn;
}

std::string Bytes(std::uint64_t count) {
    return Num(count) + (count == 1 ? " byte" : " bytes");
}

std::string Flag(std::int32_t value) {
    if (value == 0)
        return "no";
    if (value == 1)
        return "yes";
    return "yes (" + std::to_string(value) + ")";
}

std::string Ratio(std::uint32_t stored, std::uint32_t expanded) {
    if (expanded == 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * stored / expanded);
    return text;
}

std::string Padded(const std::string& text, std::size_t width, bool right) {
    if (text.size() >= width)
        return text;
    const std::string pad(width - text.size(), ' ');
    return right ? pad + text : text + pad;
}

#ifdef _WIN32
const char kSeparator = '\\';
#else
const char kSeparator = '/';
#endif

bool MakeFolder(const std::string& path) {
#ifdef _WIN32
    return _mkdir(path.c_str()) == 0;
#else
    return mkdir(path.c_str(), 0755) == 0;
#endif
}

// Creates the folder and any missing parents.  A prefix that cannot be
// made (a drive "C:", a share, a parent that exists) is passed over; what
// counts is that the folder exists at the end.  Links to folders are
// followed: the user named them.
bool MakeFolders(const std::string& path, std::string* error) {
    int lastError = 0;
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/' && path[i] != kSeparator)
            continue;
        const std::string prefix = path.substr(0, i);
        if (KindOf(prefix, true) != EntryKind::Folder && !MakeFolder(prefix))
            lastError = errno;
    }
    if (KindOf(path, true) == EntryKind::Folder)
        return true;
    *error = std::string("cannot create the folder: ") + std::strerror(lastError);
    return false;
}

} // namespace

int RunInfo(const std::vector<std::string>& arguments, std::string* out, std::string* err) {
    const Output o{out, err};
    Args args;
    std::vector<std::uint8_t> bytes;
    PackageImage p;
    const int status = Begin(arguments, "info", 0, kInfoUsage, o, &args, &bytes, &p);
    if (status != kGoOn)
        return status;
    auto line = [out](const char* label, const std::string& value) {
        *out += Padded(label, 20, false) + value + "\n";
    };
    line("Default folder:", Printable(p.settings.defaultFolder));
    line("Ask for folder:", Flag(p.settings.askForFolder));
    line("Pass setup path:", Flag(p.settings.passSetupPath));
    line("Verify digests:", Flag(p.settings.verifyDigests));
    line("Engine program:", Printable(p.settings.engineProgram));
    line("Init verb:", Printable(p.settings.initVerb));
    line("Init verb (/R):", Printable(p.settings.initVerbDR));
    line("Init verb (/G):", Printable(p.settings.initVerbAutoUp));
    line("Scheduler class:", Printable(p.settings.schedulerClass));
    line("Scheduler command:", Num(p.settings.schedulerCommand));
    line("Shell class:", Printable(p.settings.shellClass));
    line("Shell message:", Num(p.settings.shellMessage));
    line("Engine class:", Printable(p.settings.engineClass));
    line("Configuration file:",
         Printable(p.settings.configFileName) + " (" + Num(p.configLength) + " bytes)");
    line("Build folder:", Printable(p.settings.buildFolder));
    line("File count:", Num(static_cast<std::uint32_t>(p.fileCount)));
    return kExitOk;
}

int RunList(const std::vector<std::string>& arguments, std::string* out, std::string* err) {
    const Output o{out, err};
    Args args;
    std::vector<std::uint8_t> bytes;
    PackageImage p;
    const int status = Begin(arguments, "list", kOptJson, kListUsage, o, &args, &bytes, &p);
    if (status != kGoOn)
        return status;
    if (args.json) {
        *out += "{\"files\": [";
        for (std::size_t i = 0; i < p.files.size(); ++i) {
            const PackageFileEntry& f = p.files[i];
            *out += std::string(i ? ",\n  " : "\n  ") + "{\"name\": " + Json(f.name) +
                    ", \"expandedSize\": " + Num(f.expandedSize) +
                    ", \"storedSize\": " + Num(f.storedSize) + ", \"digest\": \"" +
                    DigestHex(StoredDigest(p, f)) + "\"}";
        }
        *out += std::string(p.files.empty() ? "" : "\n") +
                "],\n \"configFileName\": " + Json(p.settings.configFileName) +
                ",\n \"configLength\": " + Num(p.configLength) + "}\n";
        return kExitOk;
    }
    std::size_t width = 16;
    for (const PackageFileEntry& f : p.files)
        width = std::max(width, Printable(f.name).size());
    *out += Padded("Name", width, false) + "  " + Padded("Expanded", 10, true) + "  " +
            Padded("Stored", 10, true) + "  " + Padded("Ratio", 6, true) + "  Digest\n";
    for (const PackageFileEntry& f : p.files) {
        *out += Padded(Printable(f.name), width, false) + "  " +
                Padded(Num(f.expandedSize), 10, true) + "  " + Padded(Num(f.storedSize), 10, true) +
                "  " + Padded(Ratio(f.storedSize, f.expandedSize), 6, true) + "  " +
                DigestHex(StoredDigest(p, f)) + "\n";
    }
    *out += "Configuration file " + Printable(p.settings.configFileName) + ": " +
            Num(p.configLength) + " bytes\n";
    return kExitOk;
}

int RunVerify(const std::vector<std::string>& arguments, std::string* out, std::string* err) {
    const Output o{out, err};
    Args args;
    std::vector<std::uint8_t> bytes;
    PackageImage p;
    const int status = Begin(arguments, "verify", 0, kVerifyUsage, o, &args, &bytes, &p);
    if (status != kGoOn)
        return status;
    std::vector<std::string> problems;
    for (const PackageFileEntry& f : p.files) {
        FileCheck check;
        if (CheckPackageFile(p, f, &check, nullptr)) {
            *out += Printable(f.name) + ": ok (" + Bytes(f.expandedSize) + " from " +
                    Num(f.storedSize) + " in " + Num(check.chunkCount) +
                    (check.chunkCount == 1 ? " chunk, digest " : " chunks, digest ") +
                    DigestHex(check.computedDigest) + ")\n";
        } else {
            *out += Printable(f.name) + ": DAMAGED: " + check.problem + "\n";
            problems.push_back(Printable(f.name) + ": " + check.problem);
        }
    }
    std::string problem;
    if (CheckConfigLength(p, &problem)) {
        *out += Printable(p.settings.configFileName) + ": ok (" + Num(p.configLength) +
                " bytes of configuration text)\n";
    } else {
        *out += Printable(p.settings.configFileName) + ": DAMAGED: " + problem + "\n";
        problems.push_back(Printable(p.settings.configFileName) + ": " + problem);
    }
    if (!problems.empty()) {
        std::string first = "damaged: " + problems[0];
        if (problems.size() > 1)
            first += " (and " + Num(problems.size() - 1) + " more)";
        return Fail(o, args.image, first, kExitInput);
    }
    *out += args.image + ": ok\n";
    return kExitOk;
}

int RunExtract(const std::vector<std::string>& arguments, std::string* out, std::string* err) {
    const Output o{out, err};
    Args args;
    std::vector<std::uint8_t> bytes;
    PackageImage p;
    const int status =
        Begin(arguments, "extract", kOptExtract, kExtractUsage, o, &args, &bytes, &p);
    if (status != kGoOn)
        return status;

    // Everything is checked before anything is written: names, digests,
    // expansion, and that no output exists already.
    std::vector<std::string> names;
    for (const PackageFileEntry& f : p.files)
        names.push_back(f.name);
    if (args.config) {
        std::string problem;
        if (!CheckConfigLength(p, &problem))
            return Fail(o, args.image, problem, kExitInput);
        names.push_back(p.settings.configFileName);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string why;
        if (!CheckFileName(names[i], &why))
            return Fail(o, args.image, "refusing to write \"" + Printable(names[i]) + "\": " + why,
                        kExitInput);
        for (std::size_t j = 0; j < i; ++j) {
            if (SameFileName(names[i], names[j]))
                return Fail(o, args.image, "two files named \"" + Printable(names[i]) + "\"",
                            kExitInput);
        }
    }
    for (const PackageFileEntry& f : p.files) {
        FileCheck check;
        if (!CheckPackageFile(p, f, &check, nullptr))
            return Fail(o, args.image, "damaged: " + Printable(f.name) + ": " + check.problem,
                        kExitInput);
    }

    std::string error;
    if (KindOf(args.dir, true) != EntryKind::Folder && !MakeFolders(args.dir, &error))
        return Fail(o, args.dir, error, kExitOutput);
    std::string prefix = args.dir;
    if (prefix.back() != '/' && prefix.back() != kSeparator)
        prefix += kSeparator;
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        if (!MayReplace(path, &error))
            return Fail(o, Printable(path), error, kExitOutput);
        if (KindOf(path, false) != EntryKind::None && !args.force)
            return Fail(o, Printable(path), "exists (use --force to overwrite)", kExitOutput);
        paths.push_back(path);
    }

    // All or nothing: every file goes to a new name beside its target, and
    // only when all are written are they moved into place (an existing
    // entry, with --force, is replaced, never written through).
    std::vector<StagedFile> staged(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::vector<std::uint8_t> data;
        if (i < p.files.size()) {
            FileCheck check;
            if (!CheckPackageFile(p, p.files[i], &check, &data)) {
                DiscardStaged(&staged);
                return Fail(o, args.image, "damaged: " + Printable(names[i]) + ": " + check.problem,
                            kExitInput);
            }
        } else {
            const std::uint8_t* text = ConfigText(p);
            data.assign(text, text + p.configLength);
        }
        if (!StageFile(paths[i], data.data(), data.size(), &staged[i], &error)) {
            DiscardStaged(&staged);
            return Fail(o, Printable(paths[i]), error + "; nothing was extracted", kExitOutput);
        }
    }
    std::size_t failed = 0;
    if (!CommitStaged(&staged, args.force, &failed, &error))
        return Fail(o, Printable(paths[failed]), error + "; nothing was extracted", kExitOutput);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::size_t size = i < p.files.size() ? p.files[i].expandedSize : p.configLength;
        *out += "extracted " + Printable(paths[i]) + " (" + Bytes(size) + ")\n";
    }
    return kExitOk;
}

namespace {

int Print(int status, const std::string& out, const std::string& err) {
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    std::fputs(err.c_str(), stderr);
    return status;
}

template <typename Run> int Guarded(Run run, int argc, char** argv) {
    std::string out, err;
    int status;
    try {
        status = run(std::vector<std::string>(argv, argv + argc), &out, &err);
    } catch (const std::bad_alloc&) {
        err += "bqpack: out of memory\n";
        status = kExitInput;
    }
    return Print(status, out, err);
}

} // namespace

int CmdInfo(int argc, char** argv) {
    return Guarded(RunInfo, argc, argv);
}

int CmdList(int argc, char** argv) {
    return Guarded(RunList, argc, argv);
}

int CmdVerify(int argc, char** argv) {
    return Guarded(RunVerify, argc, argv);
}

int CmdExtract(int argc, char** argv) {
    return Guarded(RunExtract, argc, argv);
}
