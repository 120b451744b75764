// MD5 message digest (RFC 1321).  The installer checks each packaged
// file's stored stream with it; the credential tool turns a password into
// its access token.  Portable: no platform headers, fixed-width types.
#pragma once
#include <cstdint>

struct Md5Context {
    std::uint32_t state[4];    // chaining words A, B, C, D
    std::uint32_t bitCount[2]; // message length in bits, low word first
    std::uint8_t block[64];    // bytes of the block not yet processed
};

void Md5Init(Md5Context* context);
void Md5Update(Md5Context* context, const void* bytes, std::uint32_t count);
void Md5Final(std::uint8_t digest[16], Md5Context* context);
void Md5Digest(const void* bytes, std::uint32_t count, std::uint8_t digest[16]);
// 1 when the two 16-byte digests are equal, 0 otherwise.
int DigestsEqual(const std::uint8_t* a, const std::uint8_t* b);
