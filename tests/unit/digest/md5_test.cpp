#include "digest/md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Hex(const std::uint8_t* d) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 16; ++i) {
        s += digits[d[i] >> 4];
        s += digits[d[i] & 15];
    }
    return s;
}

std::string DigestOf(const std::string& text) {
    std::uint8_t d[16];
    Md5Digest(text.data(), std::uint32_t(text.size()), d);
    return Hex(d);
}

TEST(Md5, Rfc1321TestSuite) {
    struct Case {
        const char* text;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DigestOf(c.text), c.digest) << '"' << c.text << '"';
}

// Feeding in pieces of any size gives the one-shot digest; lengths around
// the 56-byte padding boundary take the extra padding block.
TEST(Md5, PiecesGiveTheOneShotDigest) {
    std::vector<std::uint8_t> data(1000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i * 7 + (i >> 5));
    for (std::uint32_t length : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
        std::uint8_t whole[16];
        Md5Digest(data.data(), length, whole);
        for (std::uint32_t piece : {1u, 63u, 64u, 65u}) {
            Md5Context context;
            Md5Init(&context);
            for (std::uint32_t at = 0; at < length; at += piece) {
                std::uint32_t n = length - at < piece ? length - at : piece;
                Md5Update(&context, data.data() + at, n);
                Md5Update(&context, data.data(), 0);
            }
            std::uint8_t pieces[16];
            Md5Final(pieces, &context);
            EXPECT_EQ(Hex(pieces), Hex(whole)) << "length " << length << " piece " << piece;
        }
    }
    // A known value across the boundary: 56 bytes of 'a'.
    EXPECT_EQ(DigestOf(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
}

TEST(Md5, DigestsEqualComparesAllSixteenBytes) {
    std::uint8_t a[16], b[16];
    Md5Digest("x", 1, a);
    std::memcpy(b, a, 16);
    EXPECT_EQ(DigestsEqual(a, b), 1);
    for (int i = 0; i < 16; ++i) {
        b[i] ^= 1;
        EXPECT_EQ(DigestsEqual(a, b), 0) << "byte " << i;
        b[i] ^= 1;
    }
}

} // namespace
