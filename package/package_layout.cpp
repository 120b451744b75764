// Ties the table's and the anchor's descriptions (package_layout.h) to
// PackageTable and PackageAnchor as this compiler lays them out: a build for
// either pointer width fails here when the two disagree, so the tools read
// and write the record the installer reads.
#include <cstddef>

#include "package/package_layout.h"
#include "package/package_table.h"

namespace {

constexpr TableLayout kLayout = MakeTableLayout(sizeof(void*));
static_assert(TableLayoutFor(kLayoutVersion, sizeof(void*))->size == kLayout.size,
              "the layout written is the current one");
static_assert(sizeof(PackageTable) == kLayout.size, "PackageTable size");
constexpr bool SameText(const char* a, const char* b) {
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b;
}

// Each field of PackageTable at the offset of its kField... entry, which
// gives its name (in the readers' messages) as the member's.
#define BQ_TABLE_FIELD_AT(member)                                                                  \
    static_assert(offsetof(PackageTable, member) == kLayout.offset[kField##member] &&              \
                      SameText(kTableFields[kField##member].name, #member),                        \
                  #member)
#define BQ_SLOTS_AT(Name, Kind, layout) BQ_TABLE_FIELD_AT(Name);
#define BQ_COUNT_AT(Name, layout) BQ_TABLE_FIELD_AT(Name);
#define BQ_SETTING_AT(Name, Kind, member, key, label, release, shown, nullable, layout)            \
    BQ_TABLE_FIELD_AT(Name);
BQ_PACKAGE_TABLE(BQ_SLOTS_AT, BQ_COUNT_AT, BQ_SETTING_AT)
#undef BQ_SLOTS_AT
#undef BQ_COUNT_AT
#undef BQ_SETTING_AT
#undef BQ_TABLE_FIELD_AT

constexpr AnchorLayout kAnchor = MakeAnchorLayout(sizeof(void*));
static_assert(sizeof(PackageAnchor) == kAnchor.size, "PackageAnchor size");
#define BQ_ANCHOR_FIELD_AT(name) static_assert(offsetof(PackageAnchor, name) == kAnchor.name, #name)
BQ_ANCHOR_FIELD_AT(version);
BQ_ANCHOR_FIELD_AT(table);
BQ_ANCHOR_FIELD_AT(config);
BQ_ANCHOR_FIELD_AT(sealState);
BQ_ANCHOR_FIELD_AT(seal);
#undef BQ_ANCHOR_FIELD_AT
static_assert(sizeof(ConfigTemplate) == kConfigTemplateBytes, "ConfigTemplate");

} // namespace
