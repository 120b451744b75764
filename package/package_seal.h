// The seal of a built installer, stored in the stub's anchor where the
// installer never looks, and computed again by `bqpack verify`.  It guards
// against damage, not tampering: that is what signing is for.
//
// The image seal (kSealImage, what `bqpack build` writes): an MD5 digest
// over every byte of the image, from its first byte to the end of its
// sections' data, with three places taken as zero: the header checksum and
// the certificate table's directory entry, which signing rewrites, and the
// seal itself.  What a signature appends after the sections is not part of
// it.  So any change to the program, the package or the headers is caught,
// before and after signing.
//
// The package seal (kSealPresent, written by earlier builds and still
// checked): an MD5 digest over everything the installer reads from the
// package (the table's values, not its addresses: the file count, each used
// file's name, sizes, digest and stored stream, every setting; and the
// template's length, source name and text).
#pragma once
#include <cstddef>
#include <cstdint>

#include "digest/md5.h"
#include "package/package.h"

// The package seal of a package whose region is held: fileCount and
// configLength as the table and template hold them (a written package's
// are files.size() and configText.size()), each file's digest and stored
// stream, and the template's text region, its kConfigTextSize bytes the
// configText and zeros after it.
void ComputeSeal(const Package& package, std::int32_t fileCount, std::uint32_t configLength,
                 std::uint8_t seal[kSealDigestBytes]);

// The places of an image that the image seal takes as zero, as file
// offsets (certEntry 0: the image has none), and where it ends.
struct ImageSealPlaces {
    std::size_t checksum = 0;  // 4 bytes
    std::size_t certEntry = 0; // 8 bytes
    std::size_t seal = 0;      // 16 bytes
    std::size_t end = 0;       // the end of the sections' data
};

// The image seal, computed as the image's bytes pass: Update takes them in
// file order, in pieces of any size (so a writer may feed its output as it
// goes, or read it back), and ignores what lies at or past places.end.
struct ImageSealer {
    Md5Context md5;
    ImageSealPlaces places;
    std::size_t at = 0; // file offset of the next byte given
};
void ImageSealInit(ImageSealer* sealer, const ImageSealPlaces& places);
void ImageSealUpdate(ImageSealer* sealer, const std::uint8_t* bytes, std::size_t count);
void ImageSealFinal(ImageSealer* sealer, std::uint8_t seal[kSealDigestBytes]);

// The same in one call, over data[0 .. places.end).
void ComputeImageSeal(const std::uint8_t* data, const ImageSealPlaces& places,
                      std::uint8_t seal[kSealDigestBytes]);
