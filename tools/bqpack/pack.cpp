// Packs the files of a manifest into the installer being written; see
// pack.h.
#include "tools/bqpack/pack.h"
#include "tools/bqpack/io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "digest/md5.h"
#include "package/chunk_stream.h"
#include "package/package_rules.h"
#include "package/pe_image.h"
#include "tools/bqpack/input_file.h"
#include "tools/bqpack/progress.h"
#include "tools/bqpack/text_encoding.h"

namespace {

enum : std::uint64_t {
    kSlicesPerReport = 128, // chunks compressed between two progress reports
};

// The blob region as it is written into the installer being written, from
// offset base on (adding its bytes to the installer's checksum sum as they
// pass).
struct Output {
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
        failed = !WriteStagedAt(*staged, base + at, b, size, &why);
        checksum = AddToPeChecksum(checksum, b, size, base + at);
    }
};

std::string At(const Manifest& manifest, int line) {
    return manifest.path + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": ";
}

// A file larger than the installer expands, as found before or while it
// is read.
std::string TooLarge(const Manifest& manifest, const ManifestFile& file) {
    return At(manifest, file.line) + file.source + ": larger than " +
           std::to_string(std::uint64_t{kMaxStreamLength}) + " bytes, the most a package takes";
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
        if (!StreamLengthFits(std::uint64_t(st.st_size))) {
            *error = TooLarge(manifest, file);
            return false;
        }
    }
    return true;
}

// Packs one file into the region as it is read: the marker, the digest's
// place, the chunk stream compressed a slice of whole chunks at a time (so
// that only a slice is held, and progress can be shown between them:
// chunks are independent, so the stream is the same as in one call), then
// the digest over the stream in its place and padding to 4 bytes.
bool PackFile(const Manifest& manifest, std::size_t slot, const PackOptions& options, Output* out,
              PackageFile* packed, std::string* error) {
    static const std::uint8_t zeros[kBlobDigestBytes] = {};
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
    packed->source = file.source;
    packed->dataOffset = out->written;
    out->Write(zeros, sizeof zeros);
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
                *error = At(manifest, file.line) + file.source +
                         ": cannot read: " + std::strerror(errno);
                ok = false;
            }
            break;
        }
        expanded += n;
        if (!StreamLengthFits(expanded)) {
            *error = TooLarge(manifest, file);
            ok = false;
            break;
        }
        const std::vector<std::uint8_t> stream = WriteChunkStream(slice.data(), n, options.writer);
        stored += stream.size();
        if (!StreamLengthFits(stored)) {
            *error = At(manifest, file.line) + file.source + ": stored stream too large";
            ok = false;
            break;
        }
        Md5Update(&digest, stream.data(), std::uint32_t(stream.size()));
        out->Write(stream.data(), stream.size());
        progress.Update(expanded, std::max(total, expanded));
    }
    std::fclose(in);
    if (!ok)
        return false;
    if (options.progress)
        Tell(std::string(progress.terminal ? "\r" : "") + "bqpack: " + shownName + ": " +
             std::to_string(expanded) + " -> " + std::to_string(stored) + " bytes\n");
    Md5Final(packed->digest, &digest);
    out->WriteAt(packed->dataOffset, packed->digest, sizeof packed->digest);
    out->Write(zeros, std::size_t((4 - out->written % 4) % 4));
    packed->expandedSize = std::uint32_t(expanded);
    packed->storedSize = std::uint32_t(stored);
    return true;
}

bool WriteBlobRegion(const Manifest& manifest, const PackOptions& options, Output* out,
                     Package* package, std::vector<std::string>* inputs, std::string* error,
                     bool* outputFailed) {
    for (std::size_t slot = 0; slot < manifest.files.size(); ++slot) {
        const ManifestFile& file = manifest.files[slot];
        inputs->push_back(file.source);
        PackageFile packed;
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
        package->files.push_back(packed);
    }
    package->regionSize = out->written;
    return true;
}

} // namespace

bool ReadConfigText(const Manifest& manifest, std::string* text, std::string* error) {
    std::vector<std::uint8_t> bytes;
    std::string why;
    if (!ReadInput(manifest.config, kConfigTextSize, "a configuration template", &bytes, &why)) {
        *error = At(manifest, manifest.configLine) + manifest.config + ": " + why;
        return false;
    }
    if (bytes.empty()) {
        *error = At(manifest, manifest.configLine) + manifest.config +
                 ": the configuration text is empty";
        return false;
    }
    text->assign(bytes.begin(), bytes.end());
    return true;
}

bool CheckPackageInputs(const Manifest& manifest, Package* package,
                        std::vector<std::string>* inputs, std::string* error) {
    *package = Package();
    package->settings = manifest.settings;
    package->configSourceName = manifest.configSourceName;
    inputs->push_back(manifest.path);
    inputs->push_back(manifest.config);
    return ReadConfigText(manifest, &package->configText, error) && CheckInputs(manifest, error);
}

bool PackFiles(const Manifest& manifest, const PackOptions& options, const StagedFile& staged,
               std::uint64_t base, Package* package, std::uint64_t* checksum,
               std::vector<std::string>* inputs, std::string* error, bool* outputFailed) {
    Output out;
    out.staged = &staged;
    out.base = base;
    package->files.clear();
    package->regionSize = 0;
    *outputFailed = false;
    if (!WriteBlobRegion(manifest, options, &out, package, inputs, error, outputFailed))
        return false;
    *checksum = out.checksum;
    return true;
}
