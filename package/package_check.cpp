// Checking the package of a built setup image; see package_check.h.
#include "package/package_check.h"

#include <algorithm>
#include <cstring>

#include "digest/md5.h"
#include "errors/error_record.h"
#include "package/chunk_stream.h"
#include "package/little_endian.h"
#include "package/message_text.h"
#include "package/package_rules.h"
#include "package/package_seal.h"

namespace {

enum : std::uint32_t {
    kMaxChunkExpanded = 65535,
    kExpandScratchBytes = 65536,
};

} // namespace

bool WalkChunks(const std::uint8_t* stream, std::uint32_t length, std::vector<ChunkInfo>* chunks,
                std::uint64_t* expandedTotal, std::string* problem) {
    *expandedTotal = 0;
    std::uint32_t offset = 0;
    std::uint64_t index = 0;
    while (offset < length) {
        const std::string chunk = "chunk " + Num(index) + " at stream offset " + Num(offset);
        const std::uint32_t left = length - offset;
        if (left < kChunkHeaderBytes) {
            *problem = chunk + ": header cut short (" + Num(left) + " of 4 bytes)";
            return false;
        }
        ChunkInfo info;
        info.offset = offset;
        const ChunkHeader header = ReadChunkHeader(stream + offset);
        info.expanded = header.expanded;
        info.stored = header.stored;
        if (info.stored > left - kChunkHeaderBytes) {
            *problem = chunk + ": stored length " + Num(info.stored) +
                       " runs past the end of the stream (" + Num(left - kChunkHeaderBytes) +
                       " bytes left)";
            return false;
        }
        const std::uint64_t most = std::min<std::uint64_t>(
            kMaxChunkExpanded, std::uint64_t{info.stored} * kMaxExpansionPerStoredByte);
        if (info.expanded != info.stored && info.expanded > most) {
            *problem = chunk + ": expanded length " + Num(info.expanded) + " is more than " +
                       Num(info.stored) + " stored bytes can give";
            return false;
        }
        if (chunks)
            chunks->push_back(info);
        *expandedTotal += info.expanded;
        offset += kChunkHeaderBytes + info.stored;
        ++index;
    }
    return true;
}

namespace {

// Names the first chunk that fails to expand on its own.
std::string FailingChunk(const std::uint8_t* stream, std::uint32_t length) {
    std::vector<std::uint8_t> scratch(kExpandScratchBytes);
    std::uint32_t offset = 0;
    for (std::uint64_t index = 0; offset + kChunkHeaderBytes <= length; ++index) {
        const ChunkHeader header = ReadChunkHeader(stream + offset);
        const std::uint16_t expanded = header.expanded;
        const std::uint16_t stored = header.stored;
        const std::string chunk = "chunk " + Num(index) + " at stream offset " + Num(offset) +
                                  " (" + Num(expanded) + " bytes from " + Num(stored) + ")";
        if (expanded != stored) {
            const std::uint32_t n =
                ExpandChunk(stream + offset + kChunkHeaderBytes, stored, scratch.data());
            if (n == 0)
                return chunk + " fails to expand: the decoder stops with an error";
            if (n != expanded)
                return chunk + " expands to " + Num(n) + " bytes";
        }
        offset += kChunkHeaderBytes + stored;
    }
    return "the stream fails to expand";
}

} // namespace

bool CheckPackageFile(const Package& package, const PackageFile& file, FileCheck* check,
                      std::vector<std::uint8_t>* expanded) {
    *check = FileCheck();
    std::vector<std::string> problems;
    const std::uint8_t* digest = file.digest;
    const std::uint8_t* stream = StoredStream(package, file);
    Md5Digest(stream, file.storedSize, check->computedDigest);
    check->digestOk = DigestsEqual(digest, check->computedDigest) == 1;
    if (!check->digestOk)
        problems.push_back("digest mismatch (stored " + DigestHex(digest) + ", computed " +
                           DigestHex(check->computedDigest) + ")");

    std::vector<std::uint8_t> local;
    std::vector<std::uint8_t>* out = expanded ? expanded : &local;
    out->clear();
    std::uint64_t total = 0;
    std::string problem;
    if (!WalkChunks(stream, file.storedSize, nullptr, &total, &problem)) {
        problems.push_back(problem);
    } else if (total != file.expandedSize) {
        problems.push_back("sizes disagree: the table says " + Num(file.expandedSize) +
                           " bytes, the chunks give " + Num(total));
    } else if (!StreamLengthFits(file.storedSize) || !StreamLengthFits(file.expandedSize)) {
        problems.push_back("too large for the installer (" + Num(file.expandedSize) +
                           " bytes from " + Num(file.storedSize) + ")");
    } else {
        // The walk bounds the expanded size by the stored size, and the
        // stored stream lies in the file: no allocation beyond a fixed
        // multiple of the file's size.
        out->assign(file.expandedSize, 0);
        ErrorRecord record;
        const std::uint32_t code =
            ExpandStream(&record, stream, static_cast<std::int32_t>(file.storedSize), out->data(),
                         static_cast<std::int32_t>(file.expandedSize));
        if (code != 0) {
            problems.push_back(FailingChunk(stream, file.storedSize));
        } else {
            check->expandOk = true;
        }
    }
    // Chunks that the stream holds (for the report), counted by headers.
    for (std::uint64_t offset = 0; offset + kChunkHeaderBytes <= file.storedSize;) {
        offset += kChunkHeaderBytes + ReadChunkHeader(stream + offset).stored;
        ++check->chunkCount;
    }
    for (const std::string& p : problems)
        check->problem += (check->problem.empty() ? "" : "; ") + p;
    return problems.empty();
}

bool CheckConfigTemplate(const InstallerImage& installer, std::string* problem) {
    const std::uint32_t length = installer.configLength;
    if (!ConfigLengthFits(length)) {
        *problem =
            "configuration length " + Num(length) + " is outside 1 to " + Num(kConfigTextSize);
        return false;
    }
    // The reader keeps the text up to its last byte that is not zero.
    const std::string& text = installer.package.configText;
    for (std::size_t i = length; i < text.size(); ++i) {
        if (text[i] != 0) {
            *problem = "configuration text: byte " + Num(i) + ", beyond the length " + Num(length) +
                       ", is not zero (the length does not match the text)";
            return false;
        }
    }
    return true;
}

SealCheck CheckSeal(const InstallerImage& installer, std::uint8_t computed[kSealDigestBytes]) {
    if (installer.sealState == kSealImage) {
        ImageSealPlaces places;
        places.checksum = installer.pe.checksumOffset;
        places.certEntry = installer.pe.certEntryOffset;
        places.seal = installer.sealOffset;
        places.end = EndOfSectionData(installer.pe);
        ComputeImageSeal(installer.pe.data, places, computed);
    } else {
        ComputeSeal(installer.package, installer.fileCount, installer.configLength, computed);
    }
    if (installer.sealState == kSealAbsent)
        return SealCheck::Absent;
    const bool known = installer.sealState == kSealPresent || installer.sealState == kSealImage;
    return known && std::memcmp(computed, installer.seal, kSealDigestBytes) == 0
               ? SealCheck::Intact
               : SealCheck::Broken;
}

bool CheckHeaderChecksum(const InstallerImage& installer, std::string* problem) {
    const PeImage& pe = installer.pe;
    const auto [stored, computed] = ReadHeaderChecksum(pe);
    // A linker leaves 0 (no checksum); bqpack build always writes one.
    if (stored == computed || (stored == 0 && installer.sealState != kSealImage))
        return true;
    *problem = "the header checksum " + HexVa(stored) + " is not the image's " + HexVa(computed);
    return false;
}

bool CheckAfterSections(const InstallerImage& installer, std::string* problem) {
    const PeImage& pe = installer.pe;
    const std::size_t end = EndOfSectionData(pe);
    if (pe.certSize == 0) {
        if (pe.certOffset != 0) {
            *problem =
                "the certificate table's entry names offset " + Num(pe.certOffset) + " but no size";
            return false;
        }
        if (pe.size > end) {
            *problem = Num(pe.size - end) + " bytes follow the image's sections, and it is not "
                                            "signed (nothing may follow them)";
            return false;
        }
        return true;
    }
    // A signature: the certificate table, on an 8-byte boundary right after
    // the sections, to the end of the file; each entry (WIN_CERTIFICATE) a
    // length, revision 2.0 and a type, on 8-byte boundaries.
    const std::size_t start = (end + 7) / 8 * 8;
    if (pe.certOffset != start || std::uint64_t{pe.certOffset} + pe.certSize != pe.size) {
        *problem = "the certificate table (" + Num(pe.certSize) + " bytes at offset " +
                   Num(pe.certOffset) + ") is not what follows the sections (offset " + Num(start) +
                   " to the end of the file, " + Num(pe.size) + " bytes)";
        return false;
    }
    for (std::size_t i = end; i < start; ++i) {
        if (pe.data[i] != 0) {
            *problem = "the padding before the certificate table is not zero";
            return false;
        }
    }
    for (std::size_t at = start; at < pe.size;) {
        const std::uint32_t length = pe.size - at >= 8 ? Read32(pe.data + at) : 0;
        if (length < 8 || length > pe.size - at || Read16(pe.data + at + 4) != 0x0200 ||
            Read16(pe.data + at + 6) == 0) {
            *problem = "the certificate table's entry at offset " + Num(at) + " is damaged";
            return false;
        }
        at += (std::size_t{length} + 7) / 8 * 8;
        if (at > pe.size) // the last entry's padding may be left out
            break;
    }
    return true;
}
