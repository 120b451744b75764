// The package seal; see package_seal.h.
#include "package/package_seal.h"

#include "digest/md5.h"
#include "package/little_endian.h"
#include "package/package_layout.h"
#include "package/package_table.h"

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

void ComputeSeal(const SealInput& in, std::uint8_t seal[16]) {
    Md5Context md5;
    Md5Init(&md5);
    Md5Update(&md5, "bqpack seal 1", 14);
    Number(&md5, static_cast<std::uint32_t>(in.fileCount));
    for (std::size_t i = 0; i < in.files.size(); ++i) {
        const SealFile& f = in.files[i];
        Text(&md5, *f.name);
        Number(&md5, f.expandedSize);
        Number(&md5, f.storedSize);
        if (in.feedBlob)
            in.feedBlob(i, &md5);
        else
            Bytes(&md5, f.blob, std::uint64_t{16} + f.storedSize);
    }
    // Every setting in the table's order: a text with its NUL, a number or
    // flag as its 32-bit word.
    const PackageSettings& s = *in.settings;
    ForEachSettingInTableOrder([&](const PackageSetting& setting) {
        if (setting.text)
            Text(&md5, s.*setting.text);
        else
            Number(&md5, SettingWord(s, setting));
    });
    Number(&md5, in.configLength);
    Text(&md5, *in.configSourceName);
    Bytes(&md5, in.configText, kConfigTextSize);
    Md5Final(seal, &md5);
}
