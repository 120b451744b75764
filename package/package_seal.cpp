// The package seal; see package_seal.h.
#include "package/package_seal.h"

#include <algorithm>

#include "package/little_endian.h"
#include "package/package_format.h"
#include "package/package_layout.h"

namespace {

void Number(Md5Context* md5, std::uint32_t value) {
    std::uint8_t bytes[4];
    Write32(bytes, value);
    Md5Update(md5, bytes, 4);
}

// A text and its NUL, so that no two lists of texts hash alike.
void Text(Md5Context* md5, const std::string& text) {
    Md5Update(md5, text.c_str(), static_cast<std::uint32_t>(text.size() + 1));
}

// Bytes of any length, in pieces the digest takes.
void Bytes(Md5Context* md5, const std::uint8_t* bytes, std::uint64_t count) {
    while (count > 0) {
        const std::uint32_t piece = count > 0x40000000u ? 0x40000000u : std::uint32_t(count);
        Md5Update(md5, bytes, piece);
        bytes += piece;
        count -= piece;
    }
}

} // namespace

void ComputeSeal(const Package& package, std::int32_t fileCount, std::uint32_t configLength,
                 std::uint8_t seal[kSealDigestBytes]) {
    Md5Context md5;
    Md5Init(&md5);
    Md5Update(&md5, "bqpack seal 1", 14);
    Number(&md5, static_cast<std::uint32_t>(fileCount));
    for (const PackageFile& f : package.files) {
        Text(&md5, f.name);
        Number(&md5, f.expandedSize);
        Number(&md5, f.storedSize);
        Bytes(&md5, f.digest, kBlobDigestBytes);
        Bytes(&md5, StoredStream(package, f), f.storedSize);
    }
    // Every setting in the table's order: a text with its NUL, a number or
    // flag as its 32-bit word.
    const PackageSettings& s = package.settings;
    ForEachSettingInTableOrder([&](const PackageSetting& setting) {
        // Only the first layout's builds wrote this seal: it covers its
        // settings, whatever rows later layouts add.
        if (kTableFields[setting.field].layout > kLayoutVersion1)
            return;
        if (setting.text)
            Text(&md5, s.*setting.text);
        else
            Number(&md5, SettingWord(s, setting));
    });
    Number(&md5, configLength);
    Text(&md5, package.configSourceName);
    const std::string& text = package.configText;
    static const std::uint8_t zeros[kConfigTextSize] = {};
    const std::size_t used = std::min<std::size_t>(text.size(), kConfigTextSize);
    Bytes(&md5, reinterpret_cast<const std::uint8_t*>(text.data()), used);
    Bytes(&md5, zeros, kConfigTextSize - used);
    Md5Final(seal, &md5);
}

void ImageSealInit(ImageSealer* sealer, const ImageSealPlaces& places) {
    Md5Init(&sealer->md5);
    Md5Update(&sealer->md5, "bqpack image seal 2", 20);
    sealer->places = places;
    sealer->at = 0;
}

void ImageSealUpdate(ImageSealer* sealer, const std::uint8_t* bytes, std::size_t count) {
    const ImageSealPlaces& places = sealer->places;
    const struct {
        std::size_t at, size;
    } zeroed[] = {{places.checksum, 4},
                  {places.certEntry, places.certEntry ? 8u : 0u},
                  {places.seal, kSealDigestBytes}};
    if (sealer->at >= places.end)
        return;
    if (count > places.end - sealer->at)
        count = places.end - sealer->at;
    // Byte by byte only where a zeroed place meets this piece.
    while (count > 0) {
        std::size_t plain = count;
        bool inPlace = false;
        for (const auto& z : zeroed) {
            if (z.size == 0)
                continue;
            if (sealer->at >= z.at && sealer->at < z.at + z.size)
                inPlace = true;
            else if (z.at > sealer->at && z.at - sealer->at < plain)
                plain = z.at - sealer->at;
        }
        if (inPlace) {
            static const std::uint8_t zero = 0;
            Md5Update(&sealer->md5, &zero, 1);
            plain = 1;
        } else {
            Bytes(&sealer->md5, bytes, plain);
        }
        bytes += plain;
        count -= plain;
        sealer->at += plain;
    }
}

void ImageSealFinal(ImageSealer* sealer, std::uint8_t seal[kSealDigestBytes]) {
    Md5Final(seal, &sealer->md5);
}

void ComputeImageSeal(const std::uint8_t* data, const ImageSealPlaces& places,
                      std::uint8_t seal[kSealDigestBytes]) {
    ImageSealer sealer;
    ImageSealInit(&sealer, places);
    ImageSealUpdate(&sealer, data, places.end);
    ImageSealFinal(&sealer, seal);
}
