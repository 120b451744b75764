// The catalogue's store alone in a section of its own, compiled only to be
// copied out of the object file as bytes: the Windows build implodes them
// into the store that catalogue_store_packed.cpp expands.
#include "errors/catalogue_texts.h"

extern const char kCatalogueStoreImage[];
__attribute__((section(".bqstore"), used)) const char kCatalogueStoreImage[] = BQ_CATALOGUE_STORE;
