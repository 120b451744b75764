// Chunk stream writer.  Chunks are independent, so worker threads take them
// one at a time from a shared counter and each writes its chunk into a slot
// of its own; the slots are joined in order, so the result does not depend
// on the number of threads or on their timing.  The encoder's work buffers
// (a few MiB, touched for the first time at great cost) go back to a pool
// after each call and serve the next.
#include "package/chunk_writer.h"

#include "dcl/dcl_encode.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct WorkDeleter {
    void operator()(DclEncoderWork* work) const { DclDeleteEncoderWork(work); }
};
typedef std::unique_ptr<DclEncoderWork, WorkDeleter> WorkPtr;

std::mutex WorkPoolLock;
std::vector<WorkPtr> WorkPool;

WorkPtr TakeWork() {
    {
        std::lock_guard<std::mutex> hold(WorkPoolLock);
        if (!WorkPool.empty()) {
            WorkPtr work = std::move(WorkPool.back());
            WorkPool.pop_back();
            return work;
        }
    }
    return WorkPtr(DclNewEncoderWork());
}

void ReturnWork(WorkPtr work) {
    std::lock_guard<std::mutex> hold(WorkPoolLock);
    WorkPool.push_back(std::move(work));
}

void PutLength(std::vector<std::uint8_t>* out, std::size_t value) {
    out->push_back(std::uint8_t(value & 0xFF));
    out->push_back(std::uint8_t((value >> 8) & 0xFF));
}

// One chunk with its header: imploded with the smallest setting when that is
// shorter than the chunk itself, raw otherwise.  Equal lengths would read as
// raw, so an imploded chunk must be strictly shorter.
// packed is scratch space, kept by the caller so that its memory serves
// every chunk.
void WriteChunk(const std::uint8_t* in, std::size_t size, DclEncoderWork* work,
                std::vector<std::uint8_t>& packed, std::vector<std::uint8_t>* out) {
    packed.clear();
    DclEncodeSmallest(in, size, &packed, nullptr, nullptr, work);
    const bool imploded = !packed.empty() && packed.size() < size;
    out->clear();
    out->reserve(4 + (imploded ? packed.size() : size));
    PutLength(out, size);
    if (imploded) {
        PutLength(out, packed.size());
        out->insert(out->end(), packed.begin(), packed.end());
    } else {
        PutLength(out, size);
        out->insert(out->end(), in, in + size);
    }
}

} // namespace

std::vector<std::uint8_t> WriteChunkStream(const std::uint8_t* in, std::size_t size,
                                           const ChunkWriterOptions& options) {
    const std::size_t chunkSize =
        std::min<std::size_t>(std::max<std::uint32_t>(options.chunkSize, 1), 65535);
    const std::size_t count = (size + chunkSize - 1) / chunkSize;
    std::vector<std::vector<std::uint8_t>> chunks(count);
    std::atomic<std::size_t> next(0);
    auto worker = [&]() {
        WorkPtr work = TakeWork();
        std::vector<std::uint8_t> packed;
        for (std::size_t i = next++; i < count; i = next++) {
            const std::size_t begin = i * chunkSize;
            WriteChunk(in + begin, std::min(chunkSize, size - begin), work.get(), packed,
                       &chunks[i]);
        }
        ReturnWork(std::move(work));
    };
    unsigned threads = options.threads;
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    threads = unsigned(std::min<std::size_t>(threads, count));
    if (threads <= 1) {
        worker();
    } else {
        std::vector<std::thread> pool;
        for (unsigned t = 0; t < threads; ++t)
            pool.emplace_back(worker);
        for (std::thread& t : pool)
            t.join();
    }
    std::size_t total = 0;
    for (const auto& c : chunks)
        total += c.size();
    std::vector<std::uint8_t> stream;
    stream.reserve(total);
    for (const auto& c : chunks)
        stream.insert(stream.end(), c.begin(), c.end());
    return stream;
}
