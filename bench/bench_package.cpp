// Speed and size figures of the compression core, each beside a peer:
// - DclDecode through the buffer pair, and the installer's decoder (the
//   compact one, built for size as the installer has it), vs StormLib's
//   SCompExplode on the same imploded chunks (output bytes per second);
// - Md5, and the installer's MD5 (compact steps, built for size), vs
//   OpenSSL's MD5 (bytes per second);
// - the chunk stream writer on one thread: input bytes per second, and as
//   counters the stream size, the exact optimum and StormLib's size with the
//   same chunking (SCompImplode per chunk, raw when that is not smaller).
// Corpus: a licence text and a Windows DLL (the 64-bit Wine's, which every
// way of building has; the 32-bit Wine's beside it where it is installed, for
// figures comparable with earlier ones), cut into 32768-byte chunks.
// After the run, the installer's figures as ratios to the others'.
#include "dcl/dcl_decode.h"
#include "dcl/dcl_encode.h"
#include "digest/md5.h"
#include "package/chunk_writer.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

// StormLib, used as a black box: raw DCL implode streams in and out of
// caller buffers; 1 on success.
extern "C" int SCompImplode(void* out, int* outSize, void* in, int inSize);
extern "C" int SCompExplode(void* out, int* outSize, void* in, int inSize);

// The installer's decoder and MD5, built as the installer builds them
// (bench_installer_code).
std::uint32_t InstallerDclDecode(DclReadFn read, DclWriteFn write, DclState* work,
                                 void* callerValue);
void InstallerMd5Digest(const void* bytes, std::uint32_t count, std::uint8_t digest[16]);

namespace {

typedef std::vector<std::uint8_t> Bytes;

constexpr std::size_t kChunk = 32768;

struct Corpus {
    const char* name;
    const char* path;
    // The smallest chunk stream the format allows, by exhaustive parse; 0 where
    // it has not been worked out.
    std::size_t optimum;
    const char* package; // the Debian package that brings it
    bool required;       // false: measured where it is installed
};
const Corpus kCorpora[] = {
    {"GPL-3", "/usr/share/common-licenses/GPL-3", 13328, "base-files", true},
    {"comdlg32-x64.dll", "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/comdlg32.dll", 0, "wine64",
     true},
    {"comdlg32-x86.dll", "/usr/lib/i386-linux-gnu/wine/i386-windows/comdlg32.dll", 960626,
     "wine32:i386", false},
};

Bytes ReadFile(const char* path) {
    Bytes data;
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return data;
    std::uint8_t buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        data.insert(data.end(), buffer, buffer + n);
    std::fclose(f);
    return data;
}

const Bytes& Load(const Corpus& c) {
    static std::map<std::string, Bytes> cache;
    auto it = cache.find(c.path);
    if (it == cache.end())
        it = cache.emplace(c.path, ReadFile(c.path)).first;
    return it->second;
}

// Each chunk of a corpus imploded with its smallest setting.
struct Packed {
    std::vector<Bytes> streams;
    std::vector<std::size_t> sizes; // expanded size of each
    std::size_t total = 0;
};

const Packed& PackedChunks(const Corpus& c) {
    static std::map<std::string, Packed> cache;
    auto it = cache.find(c.path);
    if (it != cache.end())
        return it->second;
    Packed p;
    const Bytes& data = Load(c);
    for (std::size_t at = 0; at < data.size(); at += kChunk) {
        const std::size_t n = std::min(kChunk, data.size() - at);
        Bytes s;
        DclEncodeSmallest(data.data() + at, n, &s, nullptr, nullptr);
        p.streams.push_back(s);
        p.sizes.push_back(n);
        p.total += n;
    }
    return cache.emplace(c.path, p).first->second;
}

// Decodes every chunk of the corpus with decode(stream, &out), which gives
// the chunk's expanded size (kFailed when it fails); output bytes per second.
constexpr std::size_t kFailed = ~std::size_t(0);

template <typename DecodeChunk>
void DecodeEach(benchmark::State& state, const Corpus* corpus, const char* failure,
                DecodeChunk decode) {
    const Packed& p = PackedChunks(*corpus);
    Bytes out(65536 + 4096);
    for (auto _ : state) {
        for (std::size_t i = 0; i < p.streams.size(); ++i) {
            if (decode(p.streams[i], &out) != p.sizes[i]) {
                state.SkipWithError(failure);
                return;
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(p.total));
}

typedef std::uint32_t (*Decoder)(DclReadFn, DclWriteFn, DclState*, void*);

// One of our decoders through the buffer pair, as the installer runs it.
void DecodeWith(benchmark::State& state, const Corpus* corpus, Decoder decoder) {
    std::unique_ptr<DclState> work(new DclState);
    DecodeEach(state, corpus, "decoding failed", [&](const Bytes& in, Bytes* out) {
        DclBuffers b = {in.data(), std::uint32_t(in.size()), out->data(),
                        std::uint32_t(out->size()), 0};
        return decoder(DclBufferRead, DclBufferWrite, work.get(), &b) == DCL_OK
                   ? std::size_t(b.produced)
                   : kFailed;
    });
}

void DecodeDcl(benchmark::State& state, const Corpus* corpus) {
    DecodeWith(state, corpus, DclDecode);
}

void DecodeInstaller(benchmark::State& state, const Corpus* corpus) {
    DecodeWith(state, corpus, InstallerDclDecode);
}

void DecodeStorm(benchmark::State& state, const Corpus* corpus) {
    DecodeEach(state, corpus, "SCompExplode failed", [](const Bytes& in, Bytes* out) {
        int size = int(out->size());
        return SCompExplode(out->data(), &size, const_cast<std::uint8_t*>(in.data()),
                            int(in.size()))
                   ? std::size_t(size)
                   : kFailed;
    });
}

void DigestWith(benchmark::State& state, const Corpus* corpus,
                void (*digestOf)(const void*, std::uint32_t, std::uint8_t*)) {
    const Bytes& data = Load(*corpus);
    std::uint8_t digest[16];
    for (auto _ : state) {
        digestOf(data.data(), std::uint32_t(data.size()), digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
}

void DigestMd5(benchmark::State& state, const Corpus* corpus) {
    DigestWith(state, corpus, Md5Digest);
}

void DigestInstallerMd5(benchmark::State& state, const Corpus* corpus) {
    DigestWith(state, corpus, InstallerMd5Digest);
}

void DigestOpenSsl(benchmark::State& state, const Corpus* corpus) {
    const Bytes& data = Load(*corpus);
    std::uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    for (auto _ : state) {
        EVP_DigestInit_ex(ctx, EVP_md5(), nullptr);
        EVP_DigestUpdate(ctx, data.data(), data.size());
        EVP_DigestFinal_ex(ctx, digest, &length);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(ctx);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
}

// Chunk stream of StormLib's implode with the same chunking and rule.
std::size_t StormStreamSize(const Bytes& data) {
    std::size_t total = 0;
    Bytes out(2 * kChunk + 4096);
    for (std::size_t at = 0; at < data.size(); at += kChunk) {
        const std::size_t n = std::min(kChunk, data.size() - at);
        int size = int(out.size());
        Bytes in(data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + n));
        const bool ok = SCompImplode(out.data(), &size, in.data(), int(n)) != 0;
        total += 4 + (ok && std::size_t(size) < n ? std::size_t(size) : n);
    }
    return total;
}

// Exact sizes for the summary after the run, by corpus name.
std::map<std::string, std::pair<std::size_t, std::size_t>> StreamSizes; // ours, StormLib's

void WriteChunks(benchmark::State& state, const Corpus* corpus) {
    const Bytes& data = Load(*corpus);
    ChunkWriterOptions options;
    options.chunkSize = kChunk;
    options.threads = 1; // input per core
    std::size_t size = 0;
    for (auto _ : state) {
        const Bytes stream = WriteChunkStream(data.data(), data.size(), options);
        size = stream.size();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
    state.counters["stream_bytes"] = double(size);
    if (corpus->optimum) {
        state.counters["optimum_bytes"] = double(corpus->optimum);
        state.counters["vs_optimum"] = double(size) / double(corpus->optimum);
    }
    const std::size_t storm = StormStreamSize(data);
    state.counters["storm_bytes"] = double(storm);
    state.counters["vs_storm"] = double(size) / double(storm);
    StreamSizes[corpus->name] = {size, storm};
}

void ImplodeStorm(benchmark::State& state, const Corpus* corpus) {
    const Bytes& data = Load(*corpus);
    for (auto _ : state)
        benchmark::DoNotOptimize(StormStreamSize(data));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
}

// The corpora that are here.  A required one that is missing ends the run
// with a message; an optional one is left out with a message.
std::vector<const Corpus*> Present(bool* complete) {
    std::vector<const Corpus*> present;
    *complete = true;
    for (const Corpus& c : kCorpora) {
        if (!Load(c).empty()) {
            present.push_back(&c);
            continue;
        }
        std::fprintf(stderr, "bench: corpus %s: %s is missing or empty (package %s)%s\n", c.name,
                     c.path, c.package,
                     c.required ? ""
                                : "; measuring without it, as the 32-bit Wine is not installed");
        if (c.required)
            *complete = false;
    }
    return present;
}

void Register(const std::vector<const Corpus*>& corpora) {
    for (const Corpus* c : corpora) {
        const std::string n = c->name;
        benchmark::RegisterBenchmark(("Decode/DclDecode/" + n).c_str(), DecodeDcl, c);
        benchmark::RegisterBenchmark(("Decode/Installer/" + n).c_str(), DecodeInstaller, c);
        benchmark::RegisterBenchmark(("Decode/SCompExplode/" + n).c_str(), DecodeStorm, c);
    }
    for (const Corpus* c : corpora) {
        const std::string n = c->name;
        benchmark::RegisterBenchmark(("Digest/Md5/" + n).c_str(), DigestMd5, c);
        benchmark::RegisterBenchmark(("Digest/Installer-Md5/" + n).c_str(), DigestInstallerMd5,
                                     c);
        benchmark::RegisterBenchmark(("Digest/OpenSSL-MD5/" + n).c_str(), DigestOpenSsl, c);
    }
    for (const Corpus* c : corpora) {
        const std::string n = c->name;
        benchmark::RegisterBenchmark(("Implode/WriteChunkStream/" + n).c_str(), WriteChunks, c)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(2.0);
        benchmark::RegisterBenchmark(("Implode/SCompImplode/" + n).c_str(), ImplodeStorm, c)
            ->Unit(benchmark::kMillisecond);
    }
}

// Bytes per second of each benchmark run, by name (the mean of its
// repetitions), for the ratios after the run; the runs are shown by the
// display reporter that the flags ask for.
class RateReporter : public benchmark::BenchmarkReporter {
  public:
    std::map<std::string, std::pair<double, int>> rates; // sum, count

    bool ReportContext(const Context& context) override {
        return display_->ReportContext(context);
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto it = run.counters.find("bytes_per_second");
            if (run.run_type == Run::RT_Iteration && !run.error_occurred &&
                it != run.counters.end()) {
                std::pair<double, int>& r = rates[run.run_name.function_name];
                r.first += it->second.value;
                ++r.second;
            }
        }
        display_->ReportRuns(runs);
    }

    void Finalize() override { display_->Finalize(); }

    double Rate(const std::string& name) const {
        const auto it = rates.find(name);
        return it == rates.end() ? 0 : it->second.first / it->second.second;
    }

  private:
    std::unique_ptr<benchmark::BenchmarkReporter> display_{
        benchmark::CreateDefaultDisplayReporter()};
};

// "GPL-3: installer decoder 612 MB/s: 0.64x DclDecode, 1.92x SCompExplode".
void PrintRatios(const RateReporter& reporter, const char* corpus, const char* what,
                 const std::string& ours, const char* const* peers) {
    const double rate = reporter.Rate(ours + "/" + corpus);
    if (rate == 0)
        return;
    std::printf("%s: %s %.0f MB/s", corpus, what, rate / 1e6);
    for (const char* const* peer = peers; *peer != nullptr; ++peer) {
        const double other = reporter.Rate(std::string(*peer) + "/" + corpus);
        if (other > 0)
            std::printf("%s %.2fx %s", peer == peers ? ":" : ",", rate / other,
                        std::strchr(*peer, '/') + 1);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    bool complete = false;
    const std::vector<const Corpus*> corpora = Present(&complete);
    if (!complete)
        return 2;
    Register(corpora);
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    static const char* const kDecoders[] = {"Decode/DclDecode", "Decode/SCompExplode", nullptr};
    static const char* const kDigests[] = {"Digest/Md5", "Digest/OpenSSL-MD5", nullptr};
    for (const Corpus* c : corpora) {
        PrintRatios(reporter, c->name, "installer decoder", "Decode/Installer", kDecoders);
        PrintRatios(reporter, c->name, "installer MD5", "Digest/Installer-Md5", kDigests);
    }
    for (const Corpus& c : kCorpora) {
        auto it = StreamSizes.find(c.name);
        if (it == StreamSizes.end())
            continue;
        std::printf("%s: chunk stream %zu bytes", c.name, it->second.first);
        if (c.optimum)
            std::printf(", optimum %zu (x%.5f)", c.optimum,
                        double(it->second.first) / double(c.optimum));
        std::printf(", SCompImplode %zu (x%.5f)\n", it->second.second,
                    double(it->second.first) / double(it->second.second));
    }
    return 0;
}
