// Reads package manifests: one `key = value` per line, `#` comment lines,
// ${NAME} references, up to six `file` lines and one `config` line.
#include "tools/bqpack/manifest.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "package/package_rules.h"
#include "tools/bqpack/input_file.h"
#include "tools/bqpack/text_encoding.h"

namespace {

struct Parser {
    const ManifestOptions* options;
    Manifest* manifest;
    std::string* error;
    std::string folder;              // the manifest's folder, for relative paths
    std::map<std::string, int> seen; // key -> first line, for duplicates and messages

    bool Fail(int line, const std::string& what) {
        *error =
            manifest->path + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + what;
        return false;
    }
};

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// A value in double quotes keeps its blanks; the quotes are dropped.
std::string Unquote(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        return s.substr(1, s.size() - 2);
    return s;
}

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Replaces each ${NAME} by its definition (options first, then the environment).
bool Substitute(Parser& p, int line, const std::string& in, std::string* out) {
    out->clear();
    for (std::size_t i = 0; i < in.size();) {
        if (in[i] != '$' || i + 1 >= in.size() || in[i + 1] != '{') {
            out->push_back(in[i++]);
            continue;
        }
        std::size_t end = in.find('}', i + 2);
        if (end == std::string::npos)
            return p.Fail(line, "unterminated ${ reference");
        std::string name = in.substr(i + 2, end - i - 2);
        bool valid = !name.empty();
        for (char c : name)
            valid = valid && IsNameChar(c);
        if (!valid)
            return p.Fail(line, "bad variable name \"" + name + "\"");
        auto it = p.options->defines.find(name);
        if (it != p.options->defines.end()) {
            *out += it->second;
        } else if (const char* env =
                       p.options->useEnvironment ? std::getenv(name.c_str()) : nullptr) {
            *out += env;
        } else {
            return p.Fail(line,
                          "undefined variable " + name + " (define it with -D " + name + "=VALUE)");
        }
        i = end + 1;
    }
    return true;
}

bool ParseUnsigned(const std::string& s, std::uint64_t limit, std::uint64_t* value) {
    if (s.empty())
        return false;
    std::size_t i = 0;
    unsigned base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        i = 2;
    }
    std::uint64_t v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = unsigned(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = unsigned(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = unsigned(c - 'A' + 10);
        else
            return false;
        v = v * base + d;
        if (v > limit)
            return false;
    }
    *value = v;
    return true;
}

bool IsAbsolute(const std::string& path) {
#ifdef _WIN32
    if (path.size() > 1 && path[1] == ':')
        return true;
    if (!path.empty() && path[0] == '\\')
        return true;
#endif
    return !path.empty() && path[0] == '/';
}

std::string ResolvePath(const Parser& p, const std::string& path) {
    if (IsAbsolute(path))
        return path;
    return p.folder + "/" + path;
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name or text setting as the installer holds it: the manifest's UTF-8
// converted to Windows-1252, without control characters.
bool ToInstallerText(Parser& p, int line, const std::string& what, const std::string& utf8,
                     std::string* bytes) {
    std::string why;
    if (!Utf8ToWindows1252(utf8, bytes, &why))
        return p.Fail(line, what + " \"" + ShownInputText(utf8) + "\": " + why);
    for (unsigned char c : *bytes)
        if (c < 0x20 || c == 0x7F)
            return p.Fail(line, what + " \"" + ShownInputText(utf8) +
                                    "\" holds a control character, which no setting may hold");
    return true;
}

// A file name the installer can append to its folder, by the rule that
// extract and verify apply to what they read (package_rules.h).
bool CheckName(Parser& p, int line, const std::string& name, const char* what) {
    std::string why;
    if (!CheckFileName(name, &why))
        return p.Fail(line,
                      std::string(what) + " \"" + ShownImageText(name) + "\" is refused: " + why);
    if (!TableTextFits(name))
        return p.Fail(line, std::string(what) + " is " + std::to_string(name.size()) +
                                " bytes long; the installer takes at most " +
                                std::to_string(kTableTextMax));
    return true;
}

bool SetText(Parser& p, int line, const std::string& key, const std::string& value,
             std::string* field) {
    if (!TableTextFits(value))
        return p.Fail(line, key + " is " + std::to_string(value.size()) +
                                " bytes long; the installer takes at most " +
                                std::to_string(kTableTextMax));
    *field = value;
    return true;
}

bool SetNumber(Parser& p, int line, const std::string& key, const std::string& value,
               std::uint32_t* field) {
    std::uint64_t v;
    if (!ParseUnsigned(value, 0xFFFFFFFFu, &v))
        return p.Fail(line, key + " must be an unsigned 32-bit number, not \"" + value + "\"");
    *field = std::uint32_t(v);
    return true;
}

bool SetFlag(Parser& p, int line, const std::string& key, const std::string& value,
             std::int32_t* field) {
    if (value != "0" && value != "1")
        return p.Fail(line, key + " must be 0 or 1, not \"" + value + "\"");
    *field = value == "1" ? 1 : 0;
    return true;
}

// `file = NAME SOURCEPATH`; NAME may be in double quotes when it holds blanks.
bool AddFile(Parser& p, int line, const std::string& value) {
    Manifest& m = *p.manifest;
    if (!FileCountFits(m.files.size() + 1))
        return p.Fail(line, "more than " + std::to_string(kMaxPackageFiles) +
                                " files; a package holds at most " +
                                std::to_string(kMaxPackageFiles));
    std::string name, rest;
    if (!value.empty() && value[0] == '"') {
        std::size_t close = value.find('"', 1);
        if (close == std::string::npos)
            return p.Fail(line, "file name has no closing quote");
        name = value.substr(1, close - 1);
        rest = value.substr(close + 1);
    } else {
        std::size_t blank = value.find_first_of(" \t");
        name = value.substr(0, blank);
        rest = blank == std::string::npos ? std::string() : value.substr(blank);
    }
    if (!rest.empty() && rest[0] != ' ' && rest[0] != '\t')
        return p.Fail(line, "expected \"file = NAME SOURCEPATH\"");
    std::string source = Unquote(Trim(rest));
    if (source.empty())
        return p.Fail(line, "expected \"file = NAME SOURCEPATH\"");
    const std::string utf8 = name;
    if (!ToInstallerText(p, line, "file name", utf8, &name) ||
        !CheckName(p, line, name, "file name"))
        return false;
    for (const ManifestFile& f : m.files)
        if (SameFileName(f.name, name))
            return p.Fail(line, "file name \"" + ShownInputText(utf8) +
                                    "\" is already used on line " + std::to_string(f.line));
    ManifestFile file;
    file.name = name;
    file.source = ResolvePath(p, source);
    file.line = line;
    m.files.push_back(file);
    return true;
}

bool SetKey(Parser& p, int line, const std::string& key, const std::string& raw) {
    Manifest& m = *p.manifest;
    if (key != "file") {
        auto it = p.seen.find(key);
        if (it != p.seen.end())
            return p.Fail(line, key + " is already set on line " + std::to_string(it->second));
    }
    p.seen.emplace(key, line);
    if (key == "file")
        return AddFile(p, line, raw);
    std::string value = Unquote(raw);
    if (key == "config") {
        if (value.empty())
            return p.Fail(line, "config needs the path of the configuration template");
        m.config = ResolvePath(p, value);
        m.configLine = line;
        return true;
    }
    if (key == "config-source-name") {
        if (!ToInstallerText(p, line, key, Unquote(raw), &value))
            return false;
        if (!ConfigSourceNameFits(value))
            return p.Fail(line, "config-source-name is " + std::to_string(value.size()) +
                                    " bytes long; the template holds at most " +
                                    std::to_string(kConfigSourceNameMax));
        m.configSourceName = value;
        return true;
    }
    for (const PackageSetting& setting : kPackageSettings) {
        if (key != setting.key)
            continue;
        if (setting.number)
            return SetNumber(p, line, key, value, &(m.settings.*setting.number));
        if (setting.flag)
            return SetFlag(p, line, key, value, &(m.settings.*setting.flag));
        if (!ToInstallerText(p, line, key, Unquote(raw), &value))
            return false;
        // The configuration file is written into the install folder by this
        // name, and the engine program started from it by this one.
        if ((setting.field == kFieldConfigFileName || setting.field == kFieldEngineProgram) &&
            !CheckName(p, line, value, setting.key))
            return false;
        std::string why;
        if (setting.field == kFieldDefaultFolder && !CheckInstallFolder(value, &why))
            return p.Fail(line, std::string(setting.key) + " \"" + ShownImageText(value) +
                                    "\" is refused: " + why);
        return SetText(p, line, key, value, &(m.settings.*setting.text));
    }

    return p.Fail(line, "unknown key \"" + key + "\"");
}

// Checks that need the whole manifest.
bool Finish(Parser& p) {
    Manifest& m = *p.manifest;
    if (m.config.empty())
        return p.Fail(0, "no configuration template (add \"config = PATH\")");
    if (m.configSourceName.empty()) {
        m.configSourceName = BaseName(m.config);
        if (!ConfigSourceNameFits(m.configSourceName))
            return p.Fail(m.configLine, "the template's file name is longer than " +
                                            std::to_string(kConfigSourceNameMax) +
                                            " bytes; set config-source-name");
    }
    for (const ManifestFile& f : m.files)
        if (SameFileName(f.name, m.settings.configFileName))
            return p.Fail(f.line,
                          "file name \"" + f.name + "\" is also the configuration file's name");
    // The installer builds each path in a 260-byte buffer: folder, '\', name.
    std::size_t longest =
        std::max(m.settings.configFileName.size(), m.settings.engineProgram.size());
    int line = 0;
    for (const ManifestFile& f : m.files)
        if (f.name.size() > longest) {
            longest = f.name.size();
            line = f.line;
        }
    if (!InstallPathFits(m.settings.defaultFolder.size(), longest)) {
        auto it = p.seen.find("default-folder");
        return p.Fail(line ? line : (it != p.seen.end() ? it->second : 0),
                      "default-folder with a file name appended is longer than " +
                          std::to_string(kTableTextMax) + " bytes");
    }
    // The installer starts the engine program from the install folder: it
    // is normally one of the packaged files (or put there otherwise).
    bool packaged = false;
    for (const ManifestFile& f : m.files)
        packaged = packaged || SameFileName(f.name, m.settings.engineProgram);
    if (!packaged) {
        auto it = p.seen.find("engine-program");
        const int line = it != p.seen.end() ? it->second : 0;
        m.warnings.push_back(m.path + (line ? ":" + std::to_string(line) : std::string()) +
                             ": warning: engine-program \"" +
                             ShownImageText(m.settings.engineProgram) +
                             "\" is not one of the packaged files");
    }
    return true;
}

} // namespace

bool ParseManifest(const std::string& text, const std::string& path, const ManifestOptions& options,
                   Manifest* manifest, std::string* error) {
    *manifest = Manifest();
    manifest->path = path;
    Parser p;
    p.options = &options;
    p.manifest = manifest;
    p.error = error;
#ifdef _WIN32
    std::size_t slash = path.find_last_of("/\\");
#else
    std::size_t slash = path.find_last_of('/');
#endif
    p.folder = slash == std::string::npos ? "." : slash == 0 ? "" : path.substr(0, slash);

    std::size_t start = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = 3;
    // Lines end in LF, CR LF or CR alike.
    for (int line = 1; start <= text.size(); ++line) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::string raw = text.substr(start, end - start);
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (raw.find('\0') != std::string::npos)
            return p.Fail(line, "line contains a NUL byte");
        std::string why;
        if (!CheckUtf8(raw, &why))
            return p.Fail(line, "the manifest is UTF-8 text, and " + why);
        for (unsigned char c : raw)
            if ((c < 0x20 && c != '\t') || c == 0x7F)
                return p.Fail(line, "line contains a control character (" +
                                        ShownInputText(std::string(1, char(c))) + ")");
        std::string content = Trim(raw);
        if (content.empty() || content[0] == '#')
            continue;
        std::size_t eq = content.find('=');
        if (eq == std::string::npos)
            return p.Fail(line, "expected \"key = value\"");
        std::string key = Lower(Trim(content.substr(0, eq)));
        std::string value;
        if (!Substitute(p, line, Trim(content.substr(eq + 1)), &value))
            return false;
        if (!SetKey(p, line, key, value))
            return false;
    }
    return Finish(p);
}

bool ReadManifest(const std::string& path, const ManifestOptions& options, Manifest* manifest,
                  std::string* error) {
    std::vector<std::uint8_t> bytes;
    std::string why;
    if (!ReadInput(path, kMaxManifestBytes, "a manifest", &bytes, &why)) {
        *error = path + ": " + why;
        return false;
    }
    return ParseManifest(std::string(bytes.begin(), bytes.end()), path, options, manifest, error);
}
