// `bqpack info`, `list`, `verify` and `extract`: read the package of a built
// installer through package/image_reader, check it through package/package_check,
// and report, check or write it out.
#include "tools/bqpack/commands.h"
#include "tools/bqpack/exit_status.h"
#include "tools/bqpack/io.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

#include "digest/md5.h"
#include "package/image_reader.h"
#include "package/little_endian.h"
#include "package/message_text.h"
#include "package/package_check.h"
#include "package/package_rules.h"
#include "package/pe_hardening.h"
#include "package/stub_writer.h"
#include "tools/bqpack/file_identity.h"
#include "tools/bqpack/input_file.h"
#include "tools/bqpack/json_text.h"
#include "tools/bqpack/output_file.h"
#include "tools/bqpack/text_encoding.h"

namespace {

#define BQPACK_JSON_HELP                                                                           \
    "  --json   the same as one JSON object.  Texts from the installer (names,\n"                  \
    "           settings) are bytes of the Windows code page; each is given as\n"                  \
    "           {\"text\": ..., \"hex\": ...}: the exact bytes in hexadecimal, and the\n"          \
    "           text they are in Windows-1252 (null when a byte has no character\n"                \
    "           there: 0x81, 0x8D, 0x8F, 0x90, 0x9D).  A failure gives\n"                          \
    "           {\"ok\": false, \"error\": ...} on standard output as well.\n"

// What every inspect command takes.
#define BQPACK_INSPECT_HELP                                                                        \
    "  -q, --quiet  only failures (info, list: no warnings; verify: no report;\n"                  \
    "           extract: no list of the files written); -v, --verbose undoes it\n"                 \
    "  SETUP.EXE may be - (standard input).  Names and settings are printed in\n"                  \
    "  UTF-8; messages show bytes from the installer that are not printable\n"                     \
    "  ASCII as \\xNN.\n"

const char kInfoUsage[] =
    "usage: bqpack info SETUP.EXE [--json] [-q]\n"
    "  Shows the package settings of an installer: default folder, flags,\n"
    "  engine program and verbs, the client's window classes and messages,\n"
    "  configuration file name, build folder and file count; and the protections\n"
    "  the image asks the loader for (Hardening).\n" BQPACK_JSON_HELP BQPACK_INSPECT_HELP
    "\n" BQPACK_EXIT_STATUS_HELP;
const char kListUsage[] =
    "usage: bqpack list SETUP.EXE [--json] [-q]\n"
    "  Lists the packaged files and the configuration file: name, expanded and\n"
    "  stored size, ratio, the file's own MD5 (of its expanded bytes, as a checksum\n"
    "  of the installed file gives; \"-\" when it does not expand) and the MD5 of\n"
    "  the stored stream that the installer checks.\n" BQPACK_JSON_HELP BQPACK_INSPECT_HELP
    "\n" BQPACK_EXIT_STATUS_HELP;
const char kVerifyUsage[] =
    "usage: bqpack verify SETUP.EXE [--json] [-q]\n"
    "  Checks everything extract checks before it writes: every name by the file\n"
    "  name rule (bqpack build's), every stored digest, every pointer and size,\n"
    "  the expansion of every file as the installer does it, and the configuration\n"
    "  template's length and text.  Status 2 on anything extract would refuse.\n" BQPACK_JSON_HELP
        BQPACK_INSPECT_HELP "\n" BQPACK_EXIT_STATUS_HELP;
const char kExtractUsage[] =
    "usage: bqpack extract SETUP.EXE [NAME...] [-d DIR] [--config] [--force] [--json] [-q]\n"
    "  Writes the packaged files (the NAMEs given, or all) into DIR (default: the\n"
    "  current folder) after verifying them, all or nothing: each goes to a new\n"
    "  file beside its place, and all are moved into place only when all are\n"
    "  written.  A NAME may be the configuration file's.\n"
    "  -d DIR     output folder, created when missing (a link to a folder is followed)\n"
    "  --config   also write the configuration file\n"
    "  --json     say what was written as one JSON object: each file's name (as\n"
    "             {\"text\": ..., \"hex\": ...}), path and size\n"
    "  --force    replace existing files (never a folder, device or FIFO; a link is\n"
    "             replaced, not written through).  Without it an existing file is\n"
    "             refused: extract writes names the installer chose, not ones you\n"
    "             named (build, implode and explode replace the one output you\n"
    "             name, as a compiler does).  The installer itself is never written.\n"
    "  Names are written as the installer's characters in UTF-8 (on Windows,\n"
    "  as its bytes in the system code page).\n" BQPACK_INSPECT_HELP "\n" BQPACK_EXIT_STATUS_HELP;

// --json among a command's options: a failure then also gives a JSON object
// on standard output.
void AnswerInJsonWhenAsked(const CommandArgs& args) {
    bool json = false;
    for (const std::string& a : args)
        json = json || a == "--json";
    AnswerFailuresInJson(json);
}

// Parsed command line of one command.
struct Args {
    std::string image;
    std::string dir = ".";
    bool json = false;
    bool config = false;
    bool force = false;
    bool help = false;
    bool quiet = false;            // no report but failures (and what info and list are for)
    std::vector<std::string> only; // extract: the files named, as the command line spells them
};

// Options each command accepts: bit 1 --json, bit 2 -d/--config/--force.
enum : unsigned { kOptJson = 1, kOptExtract = 2 };

int ParseArgs(const CommandArgs& args, const char* command, unsigned options, Args* parsed) {
    bool dirGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            parsed->help = true;
        } else if (a == "--quiet" || a == "--verbose") {
            parsed->quiet = a == "--quiet";
        } else if (a == "--json" && (options & kOptJson)) {
            parsed->json = true;
        } else if (a == "--config" && (options & kOptExtract)) {
            parsed->config = true;
        } else if (a == "--force" && (options & kOptExtract)) {
            parsed->force = true;
        } else if (a == "-d" && (options & kOptExtract)) {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return UsageError(command, "-d needs a folder");
            if (dirGiven)
                return UsageError(command, "-d given twice");
            dirGiven = true;
            parsed->dir = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError(command, "unknown option " + a);
        } else if (a.empty()) {
            return UsageError(command, "an empty installer name");
        } else if (parsed->image.empty()) {
            parsed->image = a;
        } else if (options & kOptExtract) {
            parsed->only.push_back(a);
        } else {
            return UsageError(command, "more than one installer given");
        }
    }
    if (!parsed->help && parsed->image.empty())
        return UsageError(command, "no installer given");
    return kExitOk;
}

// What a command does with the installer it was given, once read.
typedef int (*InspectBody)(const Args& args, const InstallerImage& installer);

// What every command shares: parse its arguments, answer --help, load and
// read the installer (on failure report it), and hand it to body.
int RunInspect(const CommandArgs& arguments, const char* command, unsigned options,
               const char* usage, InspectBody body) {
    AnswerInJsonWhenAsked(arguments);
    Args args;
    if (int status = ParseArgs(arguments, command, options, &args))
        return status;
    if (args.help) {
        Say(usage);
        return kExitOk;
    }
    std::vector<std::uint8_t> bytes;
    InstallerImage installer;
    std::string error;
    if (!ReadInput(args.image, kMaxInputFile, "an installer", &bytes, &error) ||
        !ReadInstallerImage(bytes.data(), bytes.size(), &installer, &error))
        return Fail(kExitInput, args.image + ": " + error);
    return body(args, installer);
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

// The columns UTF-8 text takes: one per character.
std::size_t ShownWidth(const std::string& text) {
    std::size_t width = 0;
    for (unsigned char c : text)
        width += (c & 0xC0) != 0x80;
    return width;
}

std::string Padded(const std::string& text, std::size_t width, bool right) {
    const std::size_t shown = ShownWidth(text);
    if (shown >= width)
        return text;
    const std::string pad(width - shown, ' ');
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

// Why names[i] cannot be written into a folder beside the names before it:
// the file name rule, or the same name as one before it (Windows compares
// names without case; *duplicate is then set).  Empty when it may be.
std::string NameProblem(const std::vector<std::string>& names, std::size_t i, bool* duplicate) {
    *duplicate = false;
    std::string why;
    if (!CheckFileName(names[i], &why))
        return why;
    for (std::size_t j = 0; j < i; ++j) {
        if (SameFileName(names[i], names[j])) {
            *duplicate = true;
            return "the name is also that of \"" + Printable(names[j]) + "\"";
        }
    }
    return "";
}

// A name from the installer as this system's file names spell it: on
// Linux its characters in UTF-8, on Windows the system code page's bytes,
// as setup writes them.  False when a byte has no character.
bool LocalName(const std::string& name, std::string* local) {
#ifdef _WIN32
    *local = name;
    return true;
#else
    return Windows1252ToUtf8(name, local);
#endif
}

// A name from the installer as the command line spells it.
std::string CommandLineName(const std::string& name) {
    std::string local;
    return LocalName(name, &local) ? local : name;
}

// The names extract writes: the packaged files, then the configuration file.
std::vector<std::string> OutputNames(const Package& p, bool withConfig) {
    std::vector<std::string> names;
    for (const PackageFile& f : p.files)
        names.push_back(f.name);
    if (withConfig)
        names.push_back(p.settings.configFileName);
    return names;
}

std::string FileMd5(const std::vector<std::uint8_t>& data) {
    std::uint8_t digest[16];
    Md5Digest(data.data(), static_cast<std::uint32_t>(data.size()), digest);
    return DigestHex(digest);
}

// The header checksum as stored, and whether it is the image's.
std::string ChecksumText(const PeImage& pe) {
    const auto [stored, computed] = ReadHeaderChecksum(pe);
    char text[64];
    if (stored == 0)
        std::snprintf(text, sizeof text, "none (the image's is 0x%08x)", unsigned(computed));
    else if (stored == computed)
        std::snprintf(text, sizeof text, "0x%08x, correct", unsigned(stored));
    else
        std::snprintf(text, sizeof text, "0x%08x, not the image's 0x%08x", unsigned(stored),
                      unsigned(computed));
    return text;
}

// The header checksum for --json: as stored, as computed, and whether the
// stored one is correct.
std::string JsonChecksum(const PeImage& pe) {
    const auto [stored, computed] = ReadHeaderChecksum(pe);
    return "{\"stored\": " + Num(stored) + ", \"computed\": " + Num(computed) +
           ", \"correct\": " + (stored == computed ? "true" : "false") + "}";
}

// The seal's state as --json names it: "intact", "broken" or "absent".
const char* SealName(SealCheck seal) {
    return seal == SealCheck::Intact ? "intact" : seal == SealCheck::Broken ? "broken" : "absent";
}

// An installer stub as it is shipped: its anchor, but no package written
// into it (no blob section, no seal).
bool HoldsNoPackage(const InstallerImage& installer) {
    return installer.sealState == kSealAbsent && !FindSectionNamed(installer.pe, kBlobSection);
}

// The installer's architecture, as its image says.
std::string Architecture(const PeImage& pe) {
    return pe.pointerBytes == 8 ? "x64" : "x86";
}

// A setting as `info` shows it: a text made printable, a flag as yes or no,
// a number in decimal.
std::string ShownValue(const PackageSettings& s, const PackageSetting& setting) {
    if (setting.text)
        return ShownImageText(s.*setting.text);
    if (setting.flag)
        return Flag(s.*setting.flag);
    return Num(s.*setting.number);
}

// A setting's name in `info --json`: its table field's, lower-case first.
std::string JsonName(const PackageSetting& setting) {
    std::string name = kTableFields[setting.field].name;
    name[0] = static_cast<char>(name[0] - 'A' + 'a');
    return name;
}

std::string JsonValue(const PackageSettings& s, const PackageSetting& setting) {
    if (setting.text)
        return JsonImageText(s.*setting.text);
    if (setting.flag)
        return std::to_string(s.*setting.flag);
    return Num(s.*setting.number);
}

std::string JsonList(const std::vector<std::string>& texts) {
    std::string json = "[";
    for (std::size_t i = 0; i < texts.size(); ++i)
        json += (i ? ", " : "") + JsonString(texts[i]);
    return json + "]";
}

// The facts of info's Hardening line as one JSON object: highEntropyAslr
// is null for a PE32 image, executionLevel null without one.
std::string HardeningJson(const PeImage& pe, const ImageHardening& h) {
    auto flag = [](bool value) { return std::string(value ? "true" : "false"); };
    std::vector<std::string> sections;
    for (const std::string& name : h.writableExecutable)
        sections.push_back(Printable(name));
    return "{\"dynamicBase\": " + flag(h.dynamicBase) + ", \"dep\": " + flag(h.dep) +
           ", \"highEntropyAslr\": " + (pe.pointerBytes == 8 ? flag(h.highEntropyAslr) : "null") +
           ", \"terminalServerAware\": " + flag(h.terminalServerAware) +
           ", \"relocations\": " + flag(h.relocations) +
           ", \"writableExecutableSections\": " + JsonList(sections) +
           ", \"manifest\": " + flag(h.manifest) + ", \"executionLevel\": " +
           (h.executionLevel.empty() ? "null" : JsonString(Printable(h.executionLevel))) + "}";
}

int InfoPackage(const Args& args, const InstallerImage& installer) {
    const Package& p = installer.package;
    const PackageSettings& s = p.settings;
    const ImageHardening hardening = ReadImageHardening(installer.pe);
    std::uint8_t computed[kSealDigestBytes];
    const SealCheck seal = CheckSeal(installer, computed);
    if (args.json) {
        std::string json;
        for (const PackageSetting& setting : kPackageSettings) {
            json += (json.empty() ? "{" : ",\n ") + JsonString(JsonName(setting)) + ": " +
                    JsonValue(s, setting);
            if (setting.field == kFieldConfigFileName)
                json += ",\n \"configLength\": " + Num(installer.configLength);
        }
        Say(json + ",\n \"fileCount\": " + std::to_string(installer.fileCount) +
            ",\n \"architecture\": " + JsonString(Architecture(installer.pe)) +
            ",\n \"foundBy\": \"anchor\",\n \"seal\": " + JsonString(SealName(seal)) +
            ",\n \"signed\": " + (installer.signature ? "true" : "false") +
            ",\n \"checksum\": " + JsonChecksum(installer.pe) +
            ",\n \"hardening\": " + HardeningJson(installer.pe, hardening) + "}\n");
        return kExitOk;
    }
    auto line = [](const char* label, const std::string& value) {
        Say(Padded(label, 20, false) + value + "\n");
    };
    for (const PackageSetting& setting : kPackageSettings) {
        std::string value = ShownValue(s, setting);
        if (setting.field == kFieldConfigFileName)
            value += " (" + Num(installer.configLength) + " bytes)";
        line(setting.label, value);
    }
    line("File count:", Num(static_cast<std::uint32_t>(installer.fileCount)));
    line("Architecture:",
         Architecture(installer.pe) + (installer.pe.pointerBytes == 8 ? " (PE32+)" : " (PE32)"));
    line("Package found by:", "the stub's anchor");
    line("Seal:", seal == SealCheck::Intact   ? "sealed"
                  : seal == SealCheck::Broken ? "sealed, but the seal is broken (see bqpack verify)"
                                              : "not sealed");
    line("Signature:", installer.signature ? "present" : "none");
    line("Checksum:", ChecksumText(installer.pe));
    line("Hardening:", HardeningText(installer.pe, hardening));
    return kExitOk;
}

int ListPackage(const Args& args, const InstallerImage& installer) {
    const Package& p = installer.package;
    // The file's own MD5 is that of its expanded bytes, what a checksum of
    // the installed file gives; a file that does not expand has none.
    std::vector<std::string> fileMd5s;
    for (const PackageFile& f : p.files) {
        FileCheck check;
        std::vector<std::uint8_t> data;
        CheckPackageFile(p, f, &check, &data);
        fileMd5s.push_back(check.expandOk ? FileMd5(data) : "");
        if (!check.expandOk && !args.quiet)
            Tell("bqpack: " + args.image + ": " + Printable(f.name) +
                 ": does not expand, so it has no file MD5 (see bqpack verify)\n");
    }
    if (args.json) {
        Say("{\"files\": [");
        for (std::size_t i = 0; i < p.files.size(); ++i) {
            const PackageFile& f = p.files[i];
            Say(std::string(i ? ",\n  " : "\n  ") + "{\"name\": " + JsonImageText(f.name) +
                ", \"expandedSize\": " + Num(f.expandedSize) +
                ", \"storedSize\": " + Num(f.storedSize) + ", \"fileMd5\": " +
                (fileMd5s[i].empty() ? std::string("null") : JsonString(fileMd5s[i])) +
                ", \"storedStreamMd5\": " + JsonString(DigestHex(f.digest)) + "}");
        }
        Say(std::string(p.files.empty() ? "" : "\n") +
            "],\n \"configFileName\": " + JsonImageText(p.settings.configFileName) +
            ",\n \"configLength\": " + Num(installer.configLength) + "}\n");
        return kExitOk;
    }
    std::size_t width = 16;
    for (const PackageFile& f : p.files)
        width = std::max(width, ShownWidth(ShownImageText(f.name)));
    Say(Padded("Name", width, false) + "  " + Padded("Expanded", 10, true) + "  " +
        Padded("Stored", 10, true) + "  " + Padded("Ratio", 6, true) + "  " +
        Padded("File MD5", 32, false) + "  Stored stream MD5\n");
    for (std::size_t i = 0; i < p.files.size(); ++i) {
        const PackageFile& f = p.files[i];
        Say(Padded(ShownImageText(f.name), width, false) + "  " +
            Padded(Num(f.expandedSize), 10, true) + "  " + Padded(Num(f.storedSize), 10, true) +
            "  " + Padded(Ratio(f.storedSize, f.expandedSize), 6, true) + "  " +
            Padded(fileMd5s[i].empty() ? "-" : fileMd5s[i], 32, false) + "  " +
            DigestHex(f.digest) + "\n");
    }
    Say("Configuration file " + ShownImageText(p.settings.configFileName) + ": " +
        Num(installer.configLength) + " bytes\n");
    return kExitOk;
}

int VerifyPackage(const Args& args, const InstallerImage& installer) {
    const Package& p = installer.package;

    if (HoldsNoPackage(installer))
        return Fail(
            kExitInput,
            args.image + ": " +
                "holds no package (it is an installer stub; bqpack build writes one into it)");

    // Everything extract checks before it writes: the names by the file
    // name rule, each file's digest and expansion, the template.
    const std::vector<std::string> names = OutputNames(p, true);
    std::vector<std::string> problems; // "NAME: what", for the closing message
    std::string text, json;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool isConfig = i == p.files.size();
        std::vector<std::string> found;
        bool duplicate = false;
        const std::string nameProblem = NameProblem(names, i, &duplicate);
        if (!nameProblem.empty())
            found.push_back(nameProblem);
        FileCheck check;
        std::vector<std::uint8_t> data;
        std::string problem;
        if (!isConfig) {
            if (!CheckPackageFile(p, p.files[i], &check, &data))
                found.push_back(check.problem);
        } else if (!CheckConfigTemplate(installer, &problem)) {
            found.push_back(problem);
        }
        std::string joined;
        for (const std::string& f : found)
            joined += (joined.empty() ? "" : "; ") + f;
        const std::string shown = ShownImageText(names[i]);
        if (!found.empty()) {
            text += shown + ": DAMAGED: " + joined + "\n";
            problems.push_back(Printable(names[i]) + ": " + joined);
        } else if (!isConfig) {
            const PackageFile& f = p.files[i];
            text += shown + ": ok (" + Bytes(f.expandedSize) + " from " + Num(f.storedSize) +
                    " in " + Num(check.chunkCount) +
                    (check.chunkCount == 1 ? " chunk, stream MD5 " : " chunks, stream MD5 ") +
                    DigestHex(check.computedDigest) + ", file MD5 " + FileMd5(data) + ")\n";
        } else {
            text +=
                shown + ": ok (" + Num(installer.configLength) + " bytes of configuration text)\n";
        }
        if (isConfig) {
            json += "],\n \"config\": {\"name\": " + JsonImageText(names[i]) +
                    ", \"length\": " + Num(installer.configLength) +
                    ", \"ok\": " + (found.empty() ? "true" : "false") +
                    ", \"problems\": " + JsonList(found) + "}";
        } else {
            const PackageFile& f = p.files[i];
            json += std::string(i ? ",\n  " : "\n  ") + "{\"name\": " + JsonImageText(f.name) +
                    ", \"ok\": " + (found.empty() ? "true" : "false") +
                    ", \"expandedSize\": " + Num(f.expandedSize) +
                    ", \"storedSize\": " + Num(f.storedSize) +
                    ", \"chunks\": " + Num(check.chunkCount) +
                    ", \"storedStreamMd5\": " + JsonString(DigestHex(f.digest)) +
                    ", \"computedStreamMd5\": " + JsonString(DigestHex(check.computedDigest)) +
                    ", \"fileMd5\": " + (check.expandOk ? JsonString(FileMd5(data)) : "null") +
                    ", \"problems\": " + JsonList(found) + "}";
        }
    }
    // The image as a whole: what follows its sections, the seal, which
    // covers every byte of an image bqpack build wrote, and the header
    // checksum.
    std::string problem;
    // An image written into the stub carries nothing after its sections but
    // a signature.
    if (!CheckAfterSections(installer, &problem)) {
        text += "Image end: DAMAGED: " + problem + "\n";
        problems.push_back("image end: " + problem);
    }
    std::uint8_t computed[kSealDigestBytes];
    const SealCheck seal = CheckSeal(installer, computed);
    if (seal == SealCheck::Broken) {
        const std::string why =
            std::string(installer.sealState == kSealPresent ? "the package" : "the image") +
            " is not what was sealed (sealed " + DigestHex(installer.seal) + ", computed " +
            DigestHex(computed) + ")";
        text += "Seal: DAMAGED: " + why + "\n";
        problems.push_back("seal: " + why);
    } else if (seal == SealCheck::Intact) {
        text += "Seal: ok (sealed " + DigestHex(installer.seal) + ")\n";
    } else {
        // Built from the stub, yet no seal: the anchor is damaged.
        text += "Seal: DAMAGED: missing\n";
        problems.push_back("seal: missing");
    }
    if (!CheckHeaderChecksum(installer, &problem)) {
        text += "Checksum: DAMAGED: " + problem + "\n";
        problems.push_back("checksum: " + problem);
    }
    if (args.json) {
        Say(std::string("{\"ok\": ") + (problems.empty() ? "true" : "false") + ",\n \"files\": [" +
            json + ",\n \"seal\": " + JsonString(SealName(seal)) + ",\n \"checksum\": " +
            JsonChecksum(installer.pe) + ",\n \"problems\": " + JsonList(problems) + "}\n");
    } else if (!args.quiet) {
        Say(text);
    }
    if (!problems.empty()) {
        std::string first = "damaged: " + problems[0];
        if (problems.size() > 1)
            first += " (and " + Num(problems.size() - 1) + " more)";
        return Fail(kExitInput, args.image + ": " + first);
    }
    if (!args.json && !args.quiet)
        Say(ShownInputText(args.image) + ": ok\n");
    return kExitOk;
}

int ExtractPackage(const Args& args, const InstallerImage& installer) {
    const Package& p = installer.package;

    // The files named on the command line, or all of them: indices into
    // names (the packaged files, then the configuration file).
    std::vector<std::size_t> pick;
    bool withConfig = args.config;
    const std::vector<std::string> all = OutputNames(p, true);
    for (const std::string& wanted : args.only) {
        std::size_t i = 0;
        while (i < all.size() && !SameFileName(CommandLineName(all[i]), wanted))
            ++i;
        if (i == all.size())
            return Fail(kExitInput, args.image + ": " + "holds no file named \"" + wanted + "\"");
        withConfig = withConfig || i == p.files.size();
        pick.push_back(i);
    }
    const std::vector<std::string> names = OutputNames(p, withConfig);
    if (args.only.empty())
        for (std::size_t i = 0; i < names.size(); ++i)
            pick.push_back(i);

    // Everything is checked before anything is written: names, digests,
    // expansion, the template, and that no output exists already.
    if (withConfig) {
        std::string problem;
        if (!CheckConfigTemplate(installer, &problem))
            return Fail(kExitInput, args.image + ": " + problem);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        bool duplicate = false;
        const std::string why = NameProblem(names, i, &duplicate);
        if (duplicate)
            return Fail(kExitInput,
                        args.image + ": " + "two files named \"" + Printable(names[i]) + "\"");
        if (!why.empty())
            return Fail(kExitInput, args.image + ": " + "refusing to write \"" +
                                        Printable(names[i]) + "\": " + why);
    }
    for (const PackageFile& f : p.files) {
        FileCheck check;
        if (!CheckPackageFile(p, f, &check, nullptr))
            return Fail(kExitInput,
                        args.image + ": " + "damaged: " + Printable(f.name) + ": " + check.problem);
    }

    std::string error;
    if (KindOf(args.dir, true) != EntryKind::Folder && !MakeFolders(args.dir, &error))
        return Fail(kExitOutput, args.dir + ": " + error);
    std::string prefix = args.dir;
    if (prefix.back() != '/' && prefix.back() != kSeparator)
        prefix += kSeparator;
    std::vector<std::string> paths;
    const std::vector<CommandInput> inputs = {{args.image, "the installer"}};
    for (std::size_t i : pick) {
        std::string local;
        if (!LocalName(names[i], &local))
            return Fail(kExitInput,
                        args.image + ": " + "refusing to write \"" + Printable(names[i]) +
                            "\": the name holds a byte that is no Windows-1252 character");
        const std::string path = prefix + local;
        if (!MayReplace(path, &error))
            return Fail(kExitOutput, Printable(path) + ": " + error);
        if (const CommandInput* same = InputAt(path, inputs))
            return UsageError("extract", OutputIsInputMessage(Printable(path), *same));
        if (KindOf(path, false) != EntryKind::None && !args.force)
            return Fail(kExitOutput, Printable(path) + ": exists (use --force to overwrite)");
        paths.push_back(path);
    }

    // All or nothing: every file goes to a new name beside its target, and
    // only when all are written are they moved into place (an existing
    // entry, with --force, is replaced, never written through).
    std::vector<StagedFile> staged(pick.size());
    for (std::size_t k = 0; k < pick.size(); ++k) {
        const std::size_t i = pick[k];
        std::vector<std::uint8_t> data;
        if (i < p.files.size()) {
            FileCheck check;
            if (!CheckPackageFile(p, p.files[i], &check, &data)) {
                DiscardStaged(&staged);
                return Fail(kExitInput, args.image + ": " + "damaged: " + Printable(names[i]) +
                                            ": " + check.problem);
            }
        } else {
            // Checked above: the text is its length's bytes.
            data.assign(p.configText.begin(), p.configText.end());
        }
        if (!StageFile(paths[k], data.data(), data.size(), &staged[k], &error)) {
            DiscardStaged(&staged);
            return Fail(kExitOutput,
                        Printable(paths[k]) + ": " + error + "; nothing was extracted");
        }
    }
    std::size_t failed = 0;
    if (!CommitStaged(&staged, args.force, &failed, &error))
        return Fail(kExitOutput,
                    Printable(paths[failed]) + ": " + error + "; nothing was extracted");
    std::string json;
    for (std::size_t k = 0; k < pick.size(); ++k) {
        const std::size_t i = pick[k];
        const std::size_t size =
            i < p.files.size() ? p.files[i].expandedSize : installer.configLength;
        json += std::string(k ? ",\n  " : "\n  ") + "{\"name\": " + JsonImageText(names[i]) +
                ", \"path\": " + JsonString(ShownInputText(paths[k])) + ", \"size\": " + Num(size) +
                "}";
        if (!args.quiet && !args.json)
            Say("extracted " + ShownInputText(paths[k]) + " (" + Bytes(size) + ")\n");
    }
    if (args.json)
        Say("{\"ok\": true, \"files\": [" + json + (json.empty() ? "" : "\n") + "]}\n");
    return kExitOk;
}

} // namespace

int CmdInfo(const CommandArgs& arguments) {
    return RunInspect(arguments, "info", kOptJson, kInfoUsage, InfoPackage);
}

int CmdList(const CommandArgs& arguments) {
    return RunInspect(arguments, "list", kOptJson, kListUsage, ListPackage);
}

int CmdVerify(const CommandArgs& arguments) {
    return RunInspect(arguments, "verify", kOptJson, kVerifyUsage, VerifyPackage);
}

int CmdExtract(const CommandArgs& arguments) {
    return RunInspect(arguments, "extract", kOptExtract | kOptJson, kExtractUsage, ExtractPackage);
}
