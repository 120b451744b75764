// Generates the package sources: compresses each file into a chunk stream,
// writes the blob region file piece by piece, and renders the package table
// and configuration template as C++ initializers.
#include "tools/bqpack/generate.h"
#include "tools/bqpack/io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "digest/md5.h"
#include "package/chunk_stream.h"
#include "package/pe_image.h"
#include "tools/bqpack/input_file.h"
#include "tools/bqpack/progress.h"
#include "tools/bqpack/package_table_text.h"
#include "tools/bqpack/text_encoding.h"

const char* const kGeneratedTableSource = "package_table.cpp";
const char* const kGeneratedTableHeader = "package_table.h";
const char* const kGeneratedBlobAssembly = "package_blob.S";
const char* const kGeneratedBlobData = "package_blob.bin";

namespace {

enum : std::uint64_t {
    kMaxFileSize = kMaxStreamLength, // the most the installer expands
    kSlicesPerReport = 128,    // chunks compressed between two progress reports
};

// The blob region as it is written: to the blob file of --sources-only, or
// into the installer being written, from offset base on (adding its bytes
// to the installer's checksum sum as they pass).
struct Output {
    std::FILE* file = nullptr;
    const StagedFile* staged = nullptr;
    std::uint64_t base = 0;
    std::uint64_t written = 0;
    std::uint64_t checksum = 0;
    bool failed = false;
    std::string why; // of the first failure

    void Write(const void* bytes, std::size_t size) {
        WriteAt(written, bytes, size);
        written += size;
    }

    // Writes at an offset of the region, at its end or over bytes already
    // written, which were zeros.
    void WriteAt(std::uint64_t at, const void* bytes, std::size_t size) {
        const std::uint8_t* b = static_cast<const std::uint8_t*>(bytes);
        if (failed || size == 0)
            return;
        if (staged) {
            failed = !WriteStagedAt(*staged, base + at, b, size, &why);
            checksum = AddToPeChecksum(checksum, b, size, base + at);
            return;
        }
        std::fpos_t end;
        const bool back = at != written;
        if (back && (std::fgetpos(file, &end) != 0 || !Seek(at))) {
            failed = true;
        } else if (std::fwrite(b, 1, size, file) != size) {
            failed = true;
        } else if (back && std::fsetpos(file, &end) != 0) {
            failed = true;
        }
        if (failed)
            why = std::string("cannot write: ") + std::strerror(errno);
    }

  private:
    // Moves the blob file to offset at (from its start; a 64-bit offset
    // wherever long is narrower).
    bool Seek(std::uint64_t at) {
#ifdef _WIN32
        return _fseeki64(file, static_cast<__int64>(at), SEEK_SET) == 0;
#else
        return fseeko(file, static_cast<off_t>(at), SEEK_SET) == 0;
#endif
    }
};

std::string At(const Manifest& manifest, int line) {
    return manifest.path + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": ";
}

// Every input is there, a file, and small enough, before any is read or
// compressed: a mistake in the last file is not found after minutes of work,
// and a file too large is refused without reading it.
bool CheckInputs(const Manifest& manifest, std::string* error) {
    for (const ManifestFile& file : manifest.files) {
        struct stat st;
        if (stat(file.source.c_str(), &st) != 0) {
            *error =
                At(manifest, file.line) + file.source + ": cannot read: " + std::strerror(errno);
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            *error = At(manifest, file.line) + file.source + ": not a file";
            return false;
        }
        if (std::uint64_t(st.st_size) > kMaxFileSize) {
            *error = At(manifest, file.line) + file.source + ": larger than " +
                     std::to_string(std::uint64_t{kMaxFileSize}) +
                     " bytes, the most a package takes";
            return false;
        }
    }
    return true;
}

// Damages the first compressed chunk: its first data byte (the literal mode
// of the DCL header) becomes 2, which no decoder accepts.
bool CorruptFirstCompressedChunk(std::vector<std::uint8_t>* stream) {
    std::size_t pos = 0;
    while (pos + kChunkHeaderBytes <= stream->size()) {
        const ChunkHeader h = ReadChunkHeader(stream->data() + pos);
        if (h.expanded != h.stored && h.stored > 0) {
            (*stream)[pos + kChunkHeaderBytes] = 2;
            return true;
        }
        pos += kChunkHeaderBytes + h.stored;
    }
    return false;
}

bool Contains(const std::vector<std::size_t>& slots, std::size_t slot) {
    for (std::size_t s : slots)
        if (s == slot)
            return true;
    return false;
}

// Packs one file into the region as it is read: the marker, the digest's
// place, the chunk stream compressed a slice of whole chunks at a time (so
// that only a slice is held, and progress can be shown between them:
// chunks are independent, so the stream is the same as in one call), then
// the digest over the stream in its place and padding to 4 bytes.
bool PackFile(const Manifest& manifest, std::size_t slot, const GenerateOptions& options,
              Output* out, PackedFile* packed, std::string* error) {
    static const std::uint8_t zeros[16] = {};
    const ManifestFile& file = manifest.files[slot];
    std::FILE* in = std::fopen(file.source.c_str(), "rb");
    if (!in) {
        *error = At(manifest, file.line) + file.source + ": cannot read: " + std::strerror(errno);
        return false;
    }
    struct stat st;
    const std::uint64_t total = stat(file.source.c_str(), &st) == 0 ? std::uint64_t(st.st_size) : 0;

    const std::string marker = BlobMarker(file.name);
    out->Write(marker.data(), marker.size());
    packed->name = file.name;
    packed->dataOffset = std::uint32_t(out->written);
    out->Write(zeros, sizeof zeros);
    bool corrupt = Contains(manifest.broken.corruptChunk, slot);
    const bool overExpanded = Contains(manifest.broken.digestOverExpanded, slot);
    Md5Context digest;
    Md5Init(&digest);
    const std::string shownName = ShownImageText(file.name);
    Progress progress(shownName, options.progress, {});

    std::vector<std::uint8_t> slice(std::size_t(options.writer.chunkSize) * kSlicesPerReport);
    std::uint64_t expanded = 0;
    std::uint64_t stored = 0;
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(slice.data(), 1, slice.size(), in);
        if (n == 0) {
            if (std::ferror(in)) {
                *error = At(manifest, file.line) + file.source + ": cannot read: " +
                         std::strerror(errno);
                ok = false;
            }
            break;
        }
        expanded += n;
        if (expanded > kMaxFileSize) {
            *error = At(manifest, file.line) + file.source + ": larger than " +
                     std::to_string(std::uint64_t{kMaxFileSize}) +
                     " bytes, the most a package takes";
            ok = false;
            break;
        }
        std::vector<std::uint8_t> stream = WriteChunkStream(slice.data(), n, options.writer);
        if (corrupt && CorruptFirstCompressedChunk(&stream))
            corrupt = false;
        stored += stream.size();
        if (stored > kMaxFileSize) {
            *error = At(manifest, file.line) + file.source + ": stored stream too large";
            ok = false;
            break;
        }
        if (overExpanded)
            Md5Update(&digest, slice.data(), std::uint32_t(n));
        else
            Md5Update(&digest, stream.data(), std::uint32_t(stream.size()));
        out->Write(stream.data(), stream.size());
        progress.Update(expanded, std::max(total, expanded));
    }
    std::fclose(in);
    if (!ok)
        return false;
    if (corrupt) {
        *error = At(manifest, file.line) + "broken-chunk: " + shownName +
                 " has no compressed chunk to damage";
        return false;
    }
    if (options.progress)
        Tell(std::string(progress.terminal ? "\r" : "") + "bqpack: " + shownName + ": " +
             std::to_string(expanded) + " -> " + std::to_string(stored) + " bytes\n");
    std::uint8_t sum[16];
    Md5Final(sum, &digest);
    out->WriteAt(packed->dataOffset, sum, sizeof sum);
    out->Write(zeros, std::size_t((4 - out->written % 4) % 4));
    packed->expandedSize = std::uint32_t(expanded);
    packed->storedSize = std::uint32_t(stored);
    return true;
}

bool WriteBlobRegion(const Manifest& manifest, const GenerateOptions& options, Output* out,
                     PackageLayout* layout, std::vector<std::string>* inputs, std::string* error,
                     bool* outputFailed) {
    for (std::size_t slot = 0; slot < manifest.files.size(); ++slot) {
        const ManifestFile& file = manifest.files[slot];
        inputs->push_back(file.source);
        PackedFile packed;
        if (!PackFile(manifest, slot, options, out, &packed, error))
            return false;
        if (out->failed) {
            *error = out->why;
            *outputFailed = true;
            return false;
        }
        if (out->written > 0xFFFFFFFFu) {
            *error = At(manifest, file.line) + "the package grows beyond 4 GiB";
            return false;
        }
        layout->files.push_back(packed);
    }
    layout->regionSize = out->written;
    return true;
}

std::string OctalEscape(unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\%03o", unsigned(c));
    return buffer;
}

std::string Literal(const std::string& text) {
    return "\"" + EscapeText(text) + "\"";
}

std::string Unsigned(std::uint32_t v) {
    return std::to_string(v) + "u";
}

// The folder as an absolute path, so the assembler finds the blob file from
// wherever the compiler runs.
std::string Absolute(const std::string& folder) {
    if ((!folder.empty() && folder[0] == '/') || (folder.size() > 1 && folder[1] == ':'))
        return folder;
    char buffer[4096];
    if (!getcwd(buffer, sizeof buffer))
        return folder;
    return std::string(buffer) + "/" + folder;
}

// The template text: string literal pieces broken after each line end, or,
// when the text fills the whole region (no room for a literal's NUL), a
// list of character constants.
std::string ConfigTextInitializer(const std::string& text) {
    std::string s;
    if (text.size() < kConfigTextSize) {
        std::string piece;
        for (std::size_t i = 0; i < text.size(); ++i) {
            piece += text[i];
            if (text[i] == '\n' || i + 1 == text.size()) {
                s += "        " + Literal(piece) + "\n";
                piece.clear();
            }
        }
        if (text.empty())
            s += "        \"\"\n";
        return s;
    }
    s += "        {";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i % 16 == 0)
            s += "\n            ";
        s += "'" + OctalEscape(static_cast<unsigned char>(text[i])) + "',";
    }
    s += "\n        }\n";
    return s;
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), std::streamsize(text.size()));
    out.close();
    if (!out) {
        *error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

std::int32_t TableFileCount(const Manifest& m, const PackageLayout& layout) {
    return m.broken.fileCountSet ? m.broken.fileCount : std::int32_t(layout.files.size());
}

std::uint32_t TemplateLength(const Manifest& m, const std::string& configText) {
    return m.broken.configLengthSet ? m.broken.configLength : std::uint32_t(configText.size());
}

std::string EscapeText(const std::string& text) {
    std::string s;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\\' || c == '"' || c == '?')
            s += std::string("\\") + ch;
        else if (c >= 0x20 && c < 0x7F)
            s += ch;
        else
            s += OctalEscape(c);
    }
    return s;
}

std::string TableSource(const Manifest& m, const PackageLayout& layout,
                        const std::string& configText) {
    const std::size_t slots = kMaxPackageFiles;
    // The file slots' four arrays, by table field.
    std::string slotLists[kTableFieldCount];
    for (std::size_t i = 0; i < slots; ++i) {
        const bool used = i < layout.files.size();
        const PackedFile* f = used ? &layout.files[i] : nullptr;
        const char* sep = i + 1 < slots ? ", " : "";
        slotLists[kFieldFileNames] += (used ? Literal(f->name) : "nullptr") + sep;
        slotLists[kFieldExpandedSizes] += (used ? Unsigned(f->expandedSize) : "0u") + sep;
        slotLists[kFieldStoredSizes] += (used ? Unsigned(f->storedSize) : "0u") + sep;
        slotLists[kFieldFileData] +=
            (used ? "bq_package_blob + " + std::to_string(f->dataOffset) : "nullptr") + sep;
    }
    const std::int32_t fileCount = TableFileCount(m, layout);
    const std::uint32_t length = TemplateLength(m, configText);
    char lengthBytes[64];
    std::snprintf(lengthBytes, sizeof lengthBytes, "{0x%02X, 0x%02X, 0x%02X, 0x%02X}",
                  unsigned(length & 0xFF), unsigned((length >> 8) & 0xFF),
                  unsigned((length >> 16) & 0xFF), unsigned(length >> 24));

    std::string s;
    s += "// Generated by bqpack build from " + m.path + "; do not edit.\n";
    s += "// The package table and configuration template of one setup image.\n"
         "#include \"package_table.h\"\n\n";
    s += "static_assert(sizeof(void*) != 4 || sizeof(PackageTable) == " +
         std::to_string(kTableLayout32.size) + ",\n";
    s += R"(              "every table field is 32 bits wide");

// The blob region (package_blob.S); each FileData entry points at a digest.
extern "C" const std::uint8_t bq_package_blob[] __asm__("bq_package_blob");

PackageTable Package = {
)";
    for (std::uint32_t field = 0; field < kTableFieldCount; ++field) {
        const PackageSetting* setting = SettingOfField(field);
        std::string value;
        if (kTableFields[field].count != 1)
            value = "{" + slotLists[field] + "}";
        else if (field == kFieldFileCount)
            value = std::to_string(fileCount);
        else if (setting->text)
            value = Literal(m.settings.*setting->text);
        else if (setting->number)
            value = Unsigned(m.settings.*setting->number);
        else
            value = std::to_string(m.settings.*setting->flag);
        s += "    " + value + ",\n";
    }
    s += "};\n\nconst ConfigTemplate Configuration = {\n";
    s += "    \"" + std::string(kConfigMarker) + "\",\n";
    s += "    " + std::string(lengthBytes) + ",\n";
    s += "    " + Literal(m.configSourceName) + ",\n";
    s += ConfigTextInitializer(configText);
    s += "};\n";
    return s;
}

std::string BlobAssembly(const std::string& blobDataPath) {
    std::string path;
    for (char c : blobDataPath) {
        if (c == '\\' || c == '"')
            path += '\\';
        path += c;
    }
    std::string s;
    s += R"(/* Generated by bqpack build; do not edit.  The package's blob region:
   per file a marker, the digest, the chunk stream and padding to 4 bytes. */
#if defined(_WIN32)
    .section .rdata,"dr"
#else
    .section .rodata
#endif
    .balign 4
    .globl bq_package_blob
bq_package_blob:
    .incbin ")" +
         path + R"("
#if defined(__ELF__)
    .section .note.GNU-stack,"",%progbits
#endif
)";
    return s;
}

bool ReadConfigText(const Manifest& manifest, std::string* text, std::string* error) {
    std::vector<std::uint8_t> bytes;
    std::string why;
    if (!ReadInput(manifest.config, kConfigTextSize, "a configuration template", &bytes, &why)) {
        *error = At(manifest, manifest.configLine) + manifest.config + ": " + why;
        return false;
    }
    if (bytes.empty() && !manifest.broken.configLengthSet) {
        *error = At(manifest, manifest.configLine) + manifest.config +
                 ": the configuration text is empty";
        return false;
    }
    text->assign(bytes.begin(), bytes.end());
    return true;
}

bool GenerateSources(const Manifest& manifest, const GenerateOptions& options,
                     const std::string& folder, std::vector<std::string>* inputs,
                     PackageLayout* layoutOut, std::string* error, bool* outputFailed) {
    bool unused = false;
    bool& writeFailed = outputFailed ? *outputFailed : unused;
    writeFailed = false;
    const std::string table = folder + "/" + kGeneratedTableSource;
    const std::string header = folder + "/" + kGeneratedTableHeader;
    const std::string assembly = folder + "/" + kGeneratedBlobAssembly;
    const std::string blob = folder + "/" + kGeneratedBlobData;
    auto removeAll = [&] {
        for (const std::string* p : {&table, &header, &assembly, &blob})
            std::remove(p->c_str());
    };

    inputs->push_back(manifest.path);
    inputs->push_back(manifest.config);
    std::string configText;
    if (!ReadConfigText(manifest, &configText, error) || !CheckInputs(manifest, error))
        return false;

    Output out;
    out.file = std::fopen(blob.c_str(), "wb");
    if (!out.file) {
        *error = blob + ": cannot write: " + std::strerror(errno);
        writeFailed = true;
        return false;
    }
    PackageLayout layout;
    bool ok = WriteBlobRegion(manifest, options, &out, &layout, inputs, error, &writeFailed);
    if (!ok && writeFailed)
        *error = blob + ": " + *error;
    if (std::fclose(out.file) != 0 && ok) {
        *error = blob + ": cannot write: " + std::strerror(errno);
        ok = false;
        writeFailed = true;
    }
    if (ok && !(WriteTextFile(header, kPackageTableHeaderText, error) &&
                WriteTextFile(table, TableSource(manifest, layout, configText), error) &&
                WriteTextFile(assembly, BlobAssembly(Absolute(folder) + "/" + kGeneratedBlobData),
                              error))) {
        ok = false;
        writeFailed = true;
    }
    if (!ok)
        removeAll();
    else if (layoutOut)
        *layoutOut = layout;
    return ok;
}

bool CheckPackageInputs(const Manifest& manifest, std::string* configText,
                        std::vector<std::string>* inputs, std::string* error) {
    inputs->push_back(manifest.path);
    inputs->push_back(manifest.config);
    return ReadConfigText(manifest, configText, error) && CheckInputs(manifest, error);
}

bool GeneratePackage(const Manifest& manifest, const GenerateOptions& options,
                     const StagedFile& staged, std::uint64_t base, PackageLayout* layout,
                     std::uint64_t* checksum, std::vector<std::string>* inputs, std::string* error,
                     bool* outputFailed) {
    Output out;
    out.staged = &staged;
    out.base = base;
    *layout = PackageLayout();
    *outputFailed = false;
    if (!WriteBlobRegion(manifest, options, &out, layout, inputs, error, outputFailed))
        return false;
    *checksum = out.checksum;
    return true;
}
