// The installer stub's package: an empty one (no files, the client's usual
// settings, a one-line configuration text) in the section of its own that
// `bqpack build` fills in a copy of the stub.  The section begins with the
// anchor, which leads the tool to the table and the template.
//
// Every pointer field of the table points somewhere, the unused file slots
// at a placeholder, so that the linker records a base relocation for each:
// the tool writes the package's own addresses into those fields and keeps
// the relocations of the ones it uses (and turns the others off), so the
// installer keeps its dynamic base.
#include "package/package_layout.h"
#include "package/package_table.h"

namespace {

const char kUnused[] = "";
const std::uint8_t kNoBlob[kBlobDigestBytes] = {};

} // namespace

// No files: every slot at the placeholder, the settings at the release's.
#define BQ_EMPTY_TEXT kUnused
#define BQ_EMPTY_DATA kNoBlob

// The ".bqpkg$x" parts are joined into one section ".bqpkg" in the order of
// their suffixes: the anchor first.
__attribute__((section(".bqpkg$b"))) PackageTable Package = BQ_EMPTY_PACKAGE_TABLE;

__attribute__((section(".bqpkg$c"))) extern const ConfigTemplate Configuration = {
    "YYYinzYYY",
    {2, 0, 0, 0},
    "",
    "\r\n",
};

// Referenced by nothing in the program: the link keeps it by name
// (-u bq_package_anchor).
extern "C" __attribute__((section(".bqpkg$a"), used)) const PackageAnchor bq_package_anchor = {
    "BQPKGSTUB", kLayoutVersion, &Package, &Configuration, kSealAbsent, {},
};
