// The catalogue's store imploded: the Windows build's.  The build copies the
// store's bytes out of catalogue_store_bytes.cpp's object, implodes them
// with bqpack and makes them the initialiser below; the first lookup
// expands them into a zero-initialised area, which costs the image nothing.
// Less than half the bytes of the texts as they stand.  The Windows
// programs look texts up on one thread.
#include <cstring>

#include "dcl/dcl_decode.h"
#include "errors/catalogue_texts.h"

namespace {

const std::uint8_t kImploded[] = {
#include "catalogue_store.inc"
};

// The expanded store, and a NUL after it in case the expansion fell short.
char gStore[kCatalogueStoreBytes + 1];
DclState gWork;
bool gExpanded;

struct Cursors {
    std::uint32_t read;
    std::uint32_t written;
};

std::uint32_t ReadImploded(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    Cursors* c = static_cast<Cursors*>(callerValue);
    const std::uint32_t left = sizeof kImploded - c->read;
    const std::uint32_t count = *size < left ? *size : left;
    std::memcpy(buffer, kImploded + c->read, count);
    c->read += count;
    return count;
}

// Keeps what fits the store and counts everything.
void WriteStore(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    Cursors* c = static_cast<Cursors*>(callerValue);
    if (c->written < kCatalogueStoreBytes) {
        const std::uint32_t room = kCatalogueStoreBytes - c->written;
        std::memcpy(gStore + c->written, buffer, *size < room ? *size : room);
    }
    c->written += *size;
}

} // namespace

const char* CatalogueStore() {
    if (!gExpanded) {
        gExpanded = true;
        Cursors c = {0, 0};
        // The bytes copied out of the object may end in padding; short of
        // the whole store, every text reads as the empty one.
        if (DclDecode(ReadImploded, WriteStore, &gWork, &c) != DCL_OK ||
            c.written < kCatalogueStoreBytes) {
            std::memset(gStore, 0, sizeof gStore);
        }
    }
    return gStore;
}
