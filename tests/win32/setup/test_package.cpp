// A small package for the installer's tests: two files stored as raw
// chunks, the client's usual settings, and a configuration text whose
// length field is BQ_TEST_CONFIG_LENGTH (4096 unless the build says).
// With BQ_TEST_EMPTY_PACKAGE the package has no files.
// The table is writable so that tests can change its settings.
#include "package/package_table.h"

#include <cstddef>

#ifndef BQ_TEST_CONFIG_LENGTH
#define BQ_TEST_CONFIG_LENGTH 4096
#endif

#ifndef BQ_TEST_EMPTY_PACKAGE
namespace {

// "hello world" as one raw chunk; its stream is longer than the file.
std::uint8_t AlphaBlob[16 + 15] = {0xfb, 0xb4, 0xf5, 0x71, 0xad, 0xdb, 0x5c, 0xfb, 0x45, 0x04, 0xe4,
                                   0xe0, 0x3f, 0xeb, 0x41, 0xea, 11,   0,    11,   0,    'h',  'e',
                                   'l',  'l',  'o',  ' ',  'w',  'o',  'r',  'l',  'd'};

// 2000 bytes as two raw chunks of 1000: byte i of chunk k is (7i + 3k) mod 256.
struct BetaBlobData {
    std::uint8_t bytes[16 + 2 * (4 + 1000)];
    constexpr BetaBlobData() : bytes{} {
        const std::uint8_t digest[16] = {0x27, 0xe1, 0x5e, 0x61, 0x1b, 0x84, 0xa8, 0xcf,
                                         0xf7, 0xea, 0xab, 0xa3, 0x27, 0x8b, 0x42, 0x88};
        for (std::size_t i = 0; i < 16; ++i) {
            bytes[i] = digest[i];
        }
        std::size_t at = 16;
        for (std::size_t k = 0; k < 2; ++k) {
            bytes[at++] = 0xe8;
            bytes[at++] = 0x03;
            bytes[at++] = 0xe8;
            bytes[at++] = 0x03;
            for (std::size_t i = 0; i < 1000; ++i) {
                bytes[at++] = static_cast<std::uint8_t>((i * 7 + k * 3) & 0xff);
            }
        }
    }
};
BetaBlobData BetaBlob;

} // namespace
#endif

#ifdef BQ_TEST_EMPTY_PACKAGE
#define BQ_EMPTY_TEXT nullptr
#define BQ_EMPTY_DATA nullptr
PackageTable Package = BQ_EMPTY_PACKAGE_TABLE;
#else
#define BQ_INIT_FileNames                                                                          \
    { "alpha.txt", "beta.bin", nullptr, nullptr, nullptr, nullptr }
#define BQ_INIT_ExpandedSizes                                                                      \
    { 11, 2000, 0, 0, 0, 0 }
#define BQ_INIT_StoredSizes                                                                        \
    { 15, 2008, 0, 0, 0, 0 }
#define BQ_INIT_FileData                                                                           \
    { AlphaBlob, BetaBlob.bytes, nullptr, nullptr, nullptr, nullptr }
#define BQ_INIT_FileCount 2
PackageTable Package = BQ_RELEASE_PACKAGE_TABLE;
#endif

extern const ConfigTemplate Configuration = {
    "YYYinzYYY",
    {BQ_TEST_CONFIG_LENGTH & 0xff, (BQ_TEST_CONFIG_LENGTH >> 8) & 0xff,
     (BQ_TEST_CONFIG_LENGTH >> 16) & 0xff, (BQ_TEST_CONFIG_LENGTH >> 24) & 0xff},
    "test.inz",
    "[Subdirectories]\r\nRestoreSets=.\r\n",
};
