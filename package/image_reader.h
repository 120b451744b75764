// Reads the package out of a built setup image without running it: the
// PE headers (PE32 of an x86 installer, PE32+ of an x64 one) and the section
// table map virtual addresses to file offsets; the blobs are found by their "XXX" markers, the
// package table by the pointers that lead to them, the configuration template by its "YYYinzYYY"
// marker.  After that everything is read through the table's fields, as the installer reads it.
// Every pointer, size and offset taken from the file is checked against the image before it is
// used, so a truncated or hostile file gives a one-line reason, never a crash. Portable: no
// platform headers, explicit little-endian reads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "package/package_layout.h"
#include "package/package_settings.h"
#include "package/package_table.h"
#include "package/pe_image.h"

enum : std::uint32_t {
    kImageTextMax = 259, // texts of the table: 260-byte buffers in setup
    kBlobDigestBytes = 16,
    // A compressed chunk's cheapest item is a 518-byte match, which takes at
    // least 22 bits (flag 1, length code 7 + 8 extra bits, distance code 2
    // + 4 low bits): fewer than 24 output bytes per stored bit.
    kMaxExpansionPerStoredByte = 24 * 8,
};

// Reads a NUL-terminated text of at most kImageTextMax bytes at va.
bool ReadImageText(const PeImage& image, std::uint64_t va, std::string* text);

struct PackageFileEntry {
    std::string name;
    std::uint32_t expandedSize = 0;
    std::uint32_t storedSize = 0;
    std::uint64_t dataVa = 0;     // FileData: the digest
    std::size_t digestOffset = 0; // its file offset; the stream follows
};

struct PackageImage {
    PeImage pe;
    bool anchored = false;  // found through the stub's anchor, not by searching
    bool signature = false; // the image carries a certificate table (is signed)
    std::uint32_t sealState = kSealAbsent;
    std::uint8_t seal[16] = {};
    std::uint64_t tableVa = 0;
    std::int32_t fileCount = 0;
    std::vector<PackageFileEntry> files; // fileCount entries, table order
    PackageSettings settings;

    std::uint64_t configVa = 0;
    std::size_t configOffset = 0;   // file offset of the template's marker
    std::uint32_t configLength = 0; // as stored; not yet checked against 1..4096
    std::string configSourceName;
};

// Finds and reads the package of a setup image held in data[0 .. size).
// The image must outlive *package (it keeps pointers into it).
bool ReadPackageImage(const std::uint8_t* data, std::size_t size, PackageImage* package,
                      std::string* error);

// The stored digest and chunk stream of a file of the package.
const std::uint8_t* StoredDigest(const PackageImage& package, const PackageFileEntry& file);
const std::uint8_t* StoredStream(const PackageImage& package, const PackageFileEntry& file);
// The template's text region (kConfigTextSize bytes).
const std::uint8_t* ConfigText(const PackageImage& package);

// One chunk of a stream, as its header says.
struct ChunkInfo {
    std::uint32_t offset = 0; // of the header, from the stream's start
    std::uint16_t expanded = 0;
    std::uint16_t stored = 0;
};

// Walks the chunk headers of a stream without expanding anything.  Fails
// with a reason naming the chunk when a header is cut short, a chunk runs
// past the stream's end, or a compressed chunk claims more output than its
// stored bytes can give.  *expandedTotal is the sum of the chunks' expanded
// lengths.
bool WalkChunks(const std::uint8_t* stream, std::uint32_t length, std::vector<ChunkInfo>* chunks,
                std::uint64_t* expandedTotal, std::string* problem);

// The outcome of checking one packaged file.
struct FileCheck {
    bool digestOk = false;
    std::uint8_t computedDigest[16] = {};
    bool expandOk = false;
    std::size_t chunkCount = 0;
    std::string problem; // empty when all is well; several joined by "; "
};

// Checks the stored digest, walks the chunk headers, and expands the whole
// stream through ExpandStream into a buffer of the file's expanded size, as
// the installer does.  The expanded bytes go to *expanded when it is not
// null.  Returns true when the file is sound; otherwise check->problem says
// what is wrong (the digest, the chunk that fails and where, sizes that
// disagree).  A bad digest does not stop the check: the stream is still
// walked and expanded, so that damage in it can be named.
bool CheckPackageFile(const PackageImage& package, const PackageFileEntry& file, FileCheck* check,
                      std::vector<std::uint8_t>* expanded);

// The package's seal computed again (into computed) and compared with the
// one the anchor holds: Absent for an image without one (built the old way).
enum class SealCheck { Absent, Intact, Broken };
SealCheck CheckSeal(const PackageImage& package, std::uint8_t computed[16]);

// Checks the configuration length (1 to 4096).
bool CheckConfigLength(const PackageImage& package, std::string* problem);

// Text from the image for a message or a terminal: bytes outside printable
// ASCII become \xNN, so that a hostile name cannot send control sequences.
std::string Printable(const std::string& text);

// Lower-case hexadecimal form of a 16-byte digest.
std::string DigestHex(const std::uint8_t* digest);
