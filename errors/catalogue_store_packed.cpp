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
char ExpandedStore[kCatalogueStoreBytes + 1];
DclState DecoderWork;
bool StoreExpanded;

} // namespace

const char* CatalogueStore() {
    if (!StoreExpanded) {
        StoreExpanded = true;
        // Keeps what fits the store and counts everything.  The bytes copied
        // out of the object may end in padding; short of the whole store,
        // every text reads as the empty one.
        std::uint32_t written = 0;
        if (DclDecodeBuffer(kImploded, sizeof kImploded,
                            reinterpret_cast<std::uint8_t*>(ExpandedStore), kCatalogueStoreBytes,
                            &DecoderWork, &written) != DCL_OK ||
            written < kCatalogueStoreBytes) {
            std::memset(ExpandedStore, 0, sizeof ExpandedStore);
        }
    }
    return ExpandedStore;
}
