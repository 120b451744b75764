// Speed and size figures of the compression core, each beside a peer:
// - DclDecode through its callbacks vs StormLib's SCompExplode on the same
//   imploded chunks (output bytes per second);
// - Md5 vs OpenSSL's MD5 (bytes per second);
// - the chunk stream writer on one thread: input bytes per second, and as
//   counters the stream size, the exact optimum and StormLib's size with the
//   same chunking (SCompImplode per chunk, raw when that is not smaller).
// Corpus: a licence text and a Windows DLL (the 64-bit Wine's, which every
// way of building has; the 32-bit Wine's beside it where it is installed, for
// figures comparable with earlier ones), cut into 32768-byte chunks.
#include "digest/md5.h"
#include "package/chunk_writer.h"
#include "package/dcl_decode.h"
#include "package/dcl_encode.h"

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

struct Cursor {
    const std::uint8_t* in;
    std::uint32_t left;
    std::uint8_t* out;
};

std::uint32_t ReadChunk(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    Cursor* c = static_cast<Cursor*>(callerValue);
    const std::uint32_t n = *size < c->left ? *size : c->left;
    std::memcpy(buffer, c->in, n);
    c->in += n;
    c->left -= n;
    return n;
}

void WriteChunk(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    Cursor* c = static_cast<Cursor*>(callerValue);
    std::memcpy(c->out, buffer, *size);
    c->out += *size;
}

void DecodeDcl(benchmark::State& state, const Corpus* corpus) {
    const Packed& p = PackedChunks(*corpus);
    std::unique_ptr<DclState> work(new DclState);
    Bytes out(65536 + 4096);
    for (auto _ : state) {
        for (std::size_t i = 0; i < p.streams.size(); ++i) {
            Cursor c{p.streams[i].data(), std::uint32_t(p.streams[i].size()), out.data()};
            if (DclDecode(ReadChunk, WriteChunk, work.get(), &c) != DCL_OK ||
                std::size_t(c.out - out.data()) != p.sizes[i]) {
                state.SkipWithError("decoding failed");
                return;
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(p.total));
}

void DecodeStorm(benchmark::State& state, const Corpus* corpus) {
    const Packed& p = PackedChunks(*corpus);
    Bytes out(65536 + 4096);
    for (auto _ : state) {
        for (std::size_t i = 0; i < p.streams.size(); ++i) {
            int size = int(out.size());
            Bytes& in = const_cast<Bytes&>(p.streams[i]);
            if (!SCompExplode(out.data(), &size, in.data(), int(in.size())) ||
                std::size_t(size) != p.sizes[i]) {
                state.SkipWithError("SCompExplode failed");
                return;
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(p.total));
}

void DigestMd5(benchmark::State& state, const Corpus* corpus) {
    const Bytes& data = Load(*corpus);
    std::uint8_t digest[16];
    for (auto _ : state) {
        Md5Digest(data.data(), std::uint32_t(data.size()), digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
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
std::map<std::string, std::pair<std::size_t, std::size_t>> gSizes; // ours, StormLib's

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
    gSizes[corpus->name] = {size, storm};
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
        benchmark::RegisterBenchmark(("Decode/SCompExplode/" + n).c_str(), DecodeStorm, c);
    }
    for (const Corpus* c : corpora) {
        const std::string n = c->name;
        benchmark::RegisterBenchmark(("Digest/Md5/" + n).c_str(), DigestMd5, c);
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

} // namespace

int main(int argc, char** argv) {
    bool complete = false;
    const std::vector<const Corpus*> corpora = Present(&complete);
    if (!complete)
        return 2;
    Register(corpora);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const Corpus& c : kCorpora) {
        auto it = gSizes.find(c.name);
        if (it == gSizes.end())
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
