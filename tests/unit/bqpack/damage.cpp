// Test-only damage to built installers; see damage.h.
#include "tests/unit/bqpack/damage.h"

#include <cstdlib>
#include <cstring>

#include "digest/md5.h"
#include "errors/error_record.h"
#include "package/chunk_stream.h"
#include "package/image_reader.h"
#include "package/little_endian.h"
#include "package/pe_image.h"

namespace {

const PackageFile* FileNamed(const Package& p, const std::string& name) {
    for (const PackageFile& f : p.files)
        if (f.name == name)
            return &f;
    return nullptr;
}

bool Number(const std::string& text, std::uint32_t* value) {
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end || v > 0xFFFFFFFFu)
        return false;
    *value = static_cast<std::uint32_t>(v);
    return true;
}

} // namespace

bool DamageInstaller(std::vector<std::uint8_t>* image, const std::string& change,
                     std::string* error) {
    InstallerImage p;
    if (!ReadInstallerImage(image->data(), image->size(), &p, error))
        return false;
    const std::size_t eq = change.find('=');
    const std::string key = change.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : change.substr(eq + 1);
    std::vector<std::uint8_t> bytes = *image;
    std::uint32_t n = 0;
    if (key == "digest" || key == "chunk") {
        const PackageFile* f = FileNamed(p.package, value);
        if (!f) {
            *error = "no packaged file is named \"" + value + "\"";
            return false;
        }
        std::uint8_t* digest = bytes.data() + f->dataOffset;
        std::uint8_t* stream = digest + 16;
        if (key == "digest") {
            std::vector<std::uint8_t> expanded(std::size_t{f->expandedSize} + 1);
            ErrorRecord record;
            if (ExpandStream(&record, stream, static_cast<std::int32_t>(f->storedSize),
                             expanded.data(), static_cast<std::int32_t>(f->expandedSize)) != 0) {
                *error = value + " does not expand";
                return false;
            }
            Md5Digest(expanded.data(), f->expandedSize, digest);
        } else {
            std::size_t at = 0;
            for (;;) {
                if (at + kChunkHeaderBytes > f->storedSize) {
                    *error = value + " has no compressed chunk to damage";
                    return false;
                }
                const ChunkHeader h = ReadChunkHeader(stream + at);
                if (h.expanded != h.stored && h.stored > 0)
                    break;
                at += kChunkHeaderBytes + h.stored;
            }
            stream[at + kChunkHeaderBytes] = 2;
            Md5Digest(stream, f->storedSize, digest);
        }
    } else if (key == "config-length" && Number(value, &n)) {
        Write32(bytes.data() + p.configOffset + kConfigLengthOffset, n);
    } else if (key == "file-count" && Number(value, &n)) {
        std::size_t table = 0;
        const TableLayout& layout = *TableLayoutFor(p.layoutVersion, p.pe.pointerBytes);
        MapVirtualRange(p.pe, p.tableVa, layout.size, &table);
        Write32(bytes.data() + table + layout.At(kFieldFileCount), n);
    } else {
        *error = "not a change this helper makes: " + change;
        return false;
    }
    if (!SealImageAgain(&bytes)) {
        *error = "no package section to seal";
        return false;
    }
    *image = bytes;
    return true;
}
