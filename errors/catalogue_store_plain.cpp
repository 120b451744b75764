// The catalogue's store as it stands: the native build's.
#include "errors/catalogue_texts.h"

namespace {

const char kStore[] = BQ_CATALOGUE_STORE;

} // namespace

const char* CatalogueStore() {
    return kStore;
}
