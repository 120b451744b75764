// The one description of the package's settings, and the seals that cover
// them: the seal's input written out by hand, byte by byte, so that a change
// of the description's order or of a setting's kind shows as a different
// seal, which would break every installer built before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "digest/md5.h"
#include "package/package_format.h"
#include "package/package_seal.h"
#include "package/package_settings.h"

namespace {

struct Bytes {
    std::vector<std::uint8_t> b;
    void Text(const std::string& text) {
        b.insert(b.end(), text.begin(), text.end());
        b.push_back(0);
    }
    void Word(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
};

TEST(PackageSeal, CoversTheSettingsInTheTablesOrder) {
    PackageSettings s;
    s.buildFolder = "b";
    s.engineProgram = "e";
    s.initVerb = "v1";
    s.initVerbDR = "v2";
    s.initVerbAutoUp = "v3";
    s.schedulerClass = "sc";
    s.schedulerCommand = 0x01020304;
    s.shellClass = "sh";
    s.engineClass = "en";
    s.shellMessage = 0x0A0B0C0D;
    s.configFileName = "c.inz";
    s.passSetupPath = 0;
    s.verifyDigests = -2;
    s.defaultFolder = "d";
    s.askForFolder = 5;
    const std::string name = "f.bin";
    std::uint8_t blob[16 + 3] = {};
    for (std::size_t i = 0; i < sizeof blob; ++i)
        blob[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<std::uint8_t> text(kConfigTextSize, 0);
    std::memcpy(text.data(), "[x]\r\n", 5);
    const std::string source = "src.inz";

    Package package;
    package.settings = s;
    PackageFile file;
    file.name = name;
    file.expandedSize = 9;
    file.storedSize = 3;
    std::memcpy(file.digest, blob, 16);
    package.files.push_back(file);
    package.region = blob;
    package.regionSize = sizeof blob;
    package.configText = "[x]\r\n";
    package.configSourceName = source;
    std::uint8_t seal[16];
    ComputeSeal(package, 1, 5, seal);

    Bytes e;
    e.b.assign({'b', 'q', 'p', 'a', 'c', 'k', ' ', 's', 'e', 'a', 'l', ' ', '1', 0});
    e.Word(1);
    e.Text("f.bin");
    e.Word(9);
    e.Word(3);
    e.b.insert(e.b.end(), blob, blob + sizeof blob);
    e.Text("b");
    e.Text("e");
    e.Text("v1");
    e.Text("v2");
    e.Text("v3");
    e.Text("sc");
    e.Word(0x01020304);
    e.Text("sh");
    e.Text("en");
    e.Word(0x0A0B0C0D);
    e.Text("c.inz");
    e.Word(0);
    e.Word(0xFFFFFFFEu);
    e.Text("d");
    e.Word(5);
    e.Word(5);
    e.Text("src.inz");
    e.b.insert(e.b.end(), text.begin(), text.end());
    std::uint8_t expected[16];
    Md5Digest(e.b.data(), static_cast<std::uint32_t>(e.b.size()), expected);
    EXPECT_EQ(std::memcmp(seal, expected, 16), 0);

    // Every setting counts: changing any one changes the seal.
    for (const PackageSetting& setting : kPackageSettings) {
        PackageSettings changed = s;
        if (setting.text)
            changed.*setting.text += "!";
        else if (setting.number)
            changed.*setting.number += 1;
        else
            changed.*setting.flag += 1;
        Package other = package;
        other.settings = changed;
        std::uint8_t otherSeal[16];
        ComputeSeal(other, 1, 5, otherSeal);
        EXPECT_NE(std::memcmp(seal, otherSeal, 16), 0) << setting.key;
    }
}

// Keys and labels are what users type and read: a repeated one would hide
// a setting.  Each label ends in a colon, as `info` aligns them.
// The image seal: its input written out by hand (the three places as
// zeros, nothing past the end), the same when the bytes come in pieces of
// any size, and changed by any byte outside the three places.
TEST(ImageSeal, CoversEveryByteButItsThreePlaces) {
    std::vector<std::uint8_t> image(700);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + 1);
    ImageSealPlaces places;
    places.checksum = 100;
    places.certEntry = 200;
    places.seal = 300;
    places.end = 650;

    std::vector<std::uint8_t> input(image.begin(), image.begin() + 650);
    std::memset(&input[100], 0, 4);
    std::memset(&input[200], 0, 8);
    std::memset(&input[300], 0, 16);
    Md5Context md5;
    Md5Init(&md5);
    Md5Update(&md5, "bqpack image seal 2", 20);
    Md5Update(&md5, input.data(), static_cast<std::uint32_t>(input.size()));
    std::uint8_t expected[16], seal[16];
    Md5Final(expected, &md5);
    ComputeImageSeal(image.data(), places, seal);
    EXPECT_EQ(std::memcmp(seal, expected, 16), 0);

    for (std::size_t piece : {1u, 3u, 64u, 99u, 700u}) {
        ImageSealer sealer;
        ImageSealInit(&sealer, places);
        for (std::size_t at = 0; at < image.size(); at += piece)
            ImageSealUpdate(&sealer, image.data() + at, std::min(piece, image.size() - at));
        ImageSealFinal(&sealer, seal);
        EXPECT_EQ(std::memcmp(seal, expected, 16), 0) << "pieces of " << piece;
    }

    for (std::size_t at = 0; at < image.size(); ++at) {
        std::vector<std::uint8_t> changed = image;
        changed[at] ^= 0x80;
        ComputeImageSeal(changed.data(), places, seal);
        const bool zeroed = (at >= 100 && at < 104) || (at >= 200 && at < 208) ||
                            (at >= 300 && at < 316) || at >= 650;
        EXPECT_EQ(std::memcmp(seal, expected, 16) == 0, zeroed) << "byte " << at;
    }
}

TEST(PackageSettings, KeysAndLabelsAreDistinct) {
    std::set<std::string> keys, labels;
    for (const PackageSetting& setting : kPackageSettings) {
        EXPECT_TRUE(keys.insert(setting.key).second) << setting.key;
        EXPECT_TRUE(labels.insert(setting.label).second) << setting.label;
        EXPECT_EQ(std::string(setting.label).back(), ':') << setting.label;
        EXPECT_EQ(std::string(SettingOfField(setting.field)->key), setting.key);
    }
    EXPECT_EQ(keys.size(), 15u);
    EXPECT_EQ(SettingOfField(kFieldFileCount), nullptr);
    EXPECT_EQ(SettingOfField(kFieldFileData), nullptr);
}

} // namespace
