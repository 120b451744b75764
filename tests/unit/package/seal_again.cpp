// Test-only: an image sealed again; see seal_again.h.
#include "tests/unit/package/seal_again.h"

#include <cstring>
#include <string>

#include "package/little_endian.h"
#include "package/package_layout.h"
#include "package/package_seal.h"
#include "package/pe_image.h"

bool SealImageAgain(std::vector<std::uint8_t>* image) {
    PeImage pe;
    std::string error;
    if (!ParsePeImage(image->data(), image->size(), &pe, &error))
        return false;
    const ImageSection* section = FindSectionNamed(pe, kPackageSection);
    const AnchorLayout anchor = MakeAnchorLayout(pe.pointerBytes);
    if (!section || section->rawOffset + std::size_t{anchor.size} > image->size())
        return false;
    ImageSealPlaces places;
    places.checksum = pe.checksumOffset;
    places.certEntry = pe.certEntryOffset;
    places.seal = section->rawOffset + anchor.seal;
    places.end = EndOfSectionData(pe);
    std::uint8_t seal[kSealDigestBytes];
    ComputeImageSeal(image->data(), places, seal);
    std::memcpy(image->data() + places.seal, seal, sizeof seal);
    Write32(image->data() + pe.checksumOffset,
            PeChecksum(image->data(), image->size(), pe.checksumOffset));
    return true;
}
