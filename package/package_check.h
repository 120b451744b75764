// Checks the package of a built setup image, as read by image_reader.h,
// without running the installer: the chunk headers of each stored stream,
// each file's digest and its expansion through ExpandStream as the
// installer does it, the configuration template, the seal computed again,
// and the image around the package (its checksum, what follows it).
// Each failure is a one-line reason that names what is wrong and where.
// Portable: no platform headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "package/image_reader.h"

enum : std::uint32_t {
    // A compressed chunk's cheapest item is a 518-byte match, which takes at
    // least 22 bits (flag 1, length code 7 + 8 extra bits, distance code 2
    // + 4 low bits): fewer than 24 output bytes per stored bit.
    kMaxExpansionPerStoredByte = 24 * 8,
};

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
    std::uint8_t computedDigest[kBlobDigestBytes] = {};
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
bool CheckPackageFile(const Package& package, const PackageFile& file, FileCheck* check,
                      std::vector<std::uint8_t>* expanded);

// The seal computed again (into computed) and compared with the one the
// anchor holds (package_seal.h): the image seal, or the package seal of an
// earlier build; Absent for an image without one (a stub, or built the old
// way), Broken for a seal state this reader does not know.
enum class SealCheck { Absent, Intact, Broken };
SealCheck CheckSeal(const InstallerImage& installer, std::uint8_t computed[kSealDigestBytes]);

// The header checksum is the image's (or 0, in an image a linker wrote
// without one; never in one bqpack build sealed).
bool CheckHeaderChecksum(const InstallerImage& installer, std::string* problem);

// What follows the sections' data is nothing, or exactly a signature's
// certificate table: on an 8-byte boundary, to the end of the file, as the
// directory entry says, each entry with a sound header.  Anything else
// there is damage (the installer never reads it).
bool CheckAfterSections(const InstallerImage& installer, std::string* problem);

// The configuration template as the installer writes it: a length of 1 to
// kConfigTextSize and, beyond it, the zeros that the build leaves (so that
// a length changed after the build shows as text beyond it).
bool CheckConfigTemplate(const InstallerImage& installer, std::string* problem);
