// The module table laid out as rows of number and name.  Its own object,
// so that a program that only looks names up does not link it.
#include "errors/catalogue.h"
#include "errors/module_list.h"

const ModuleEntry kModuleTable[] = {
#define BQ_MODULE_ENTRY(number, name) {number, name},
    BQ_MODULE_ROWS(BQ_MODULE_ENTRY)
#undef BQ_MODULE_ENTRY
        {0, ""},
};
