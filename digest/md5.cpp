// MD5 as RFC 1321 defines it, written for speed: the 64 steps are unrolled
// and whole blocks are hashed straight from the caller's bytes.  Built with
// BQ_MD5_COMPACT (the Windows programs, which are built for size), each
// round runs as a loop over four steps instead (the rotations repeat every
// four steps), with the message words and constants from tables: half the
// code, at three quarters of the speed.
#include "digest/md5.h"

#include <cstring>

namespace {

inline std::uint32_t Rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline std::uint32_t Load32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

inline void Store32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

// One step per auxiliary function.  b is the value the previous step has
// just produced, so each form adds the message word and constant first and
// keeps b's part of the function short: the chain of dependent operations
// through b decides the speed.
#define MD5_STEP_F(a, b, c, d, x, t, s)                                                            \
    a += (x) + (t);                                                                                \
    a += (d) ^ ((b) & ((c) ^ (d)));                                                                \
    a = Rotl(a, s) + (b);
#define MD5_STEP_G(a, b, c, d, x, t, s)                                                            \
    a += (x) + (t) + ((c) & ~(d));                                                                 \
    a += (b) & (d);                                                                                \
    a = Rotl(a, s) + (b);
#define MD5_STEP_H(a, b, c, d, x, t, s)                                                            \
    a += (x) + (t);                                                                                \
    a += (b) ^ ((c) ^ (d));                                                                        \
    a = Rotl(a, s) + (b);
#define MD5_STEP_I(a, b, c, d, x, t, s)                                                            \
    a += (x) + (t);                                                                                \
    a += (c) ^ ((b) | ~(d));                                                                       \
    a = Rotl(a, s) + (b);

#if defined(BQ_MD5_COMPACT)

// The constants of the 64 steps (the integer part of 2^32 * |sin(i + 1)|).
const std::uint32_t kStepConstants[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};
// The message word of each step.
const std::uint8_t kStepWords[64] = {
    0, 1, 2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, // round 1: i
    1, 6, 11, 0,  5,  10, 15, 4,  9,  14, 3,  8,  13, 2,  7,  12, // round 2: 5i + 1
    5, 8, 11, 14, 1,  4,  7,  10, 13, 0,  3,  6,  9,  12, 15, 2,  // round 3: 3i + 5
    0, 7, 14, 5,  12, 3,  10, 1,  8,  15, 6,  13, 4,  11, 2,  9,  // round 4: 7i
};

// Hashes `count` consecutive 64-byte blocks into state: each round as a
// loop over four steps, whose rotations repeat every four steps.
void Transform(std::uint32_t state[4], const std::uint8_t* data, std::size_t count) {
    for (; count > 0; --count, data += 64) {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = Load32(data + 4 * i);
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        unsigned i = 0;
#define MD5_FOUR_STEPS(STEP, s0, s1, s2, s3)                                                       \
    STEP(a, b, c, d, x[kStepWords[i]], kStepConstants[i], s0)                                      \
    STEP(d, a, b, c, x[kStepWords[i + 1]], kStepConstants[i + 1], s1)                              \
    STEP(c, d, a, b, x[kStepWords[i + 2]], kStepConstants[i + 2], s2)                              \
    STEP(b, c, d, a, x[kStepWords[i + 3]], kStepConstants[i + 3], s3)
        for (; i < 16; i += 4) {
            MD5_FOUR_STEPS(MD5_STEP_F, 7, 12, 17, 22)
        }
        for (; i < 32; i += 4) {
            MD5_FOUR_STEPS(MD5_STEP_G, 5, 9, 14, 20)
        }
        for (; i < 48; i += 4) {
            MD5_FOUR_STEPS(MD5_STEP_H, 4, 11, 16, 23)
        }
        for (; i < 64; i += 4) {
            MD5_FOUR_STEPS(MD5_STEP_I, 6, 10, 15, 21)
        }
#undef MD5_FOUR_STEPS
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
    }
}

#else

// Hashes `count` consecutive 64-byte blocks into state.
void Transform(std::uint32_t state[4], const std::uint8_t* data, std::size_t count) {
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; count > 0; --count, data += 64) {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = Load32(data + 4 * i);
        const std::uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

        MD5_STEP_F(a, b, c, d, x[0], 0xd76aa478, 7)
        MD5_STEP_F(d, a, b, c, x[1], 0xe8c7b756, 12)
        MD5_STEP_F(c, d, a, b, x[2], 0x242070db, 17)
        MD5_STEP_F(b, c, d, a, x[3], 0xc1bdceee, 22)
        MD5_STEP_F(a, b, c, d, x[4], 0xf57c0faf, 7)
        MD5_STEP_F(d, a, b, c, x[5], 0x4787c62a, 12)
        MD5_STEP_F(c, d, a, b, x[6], 0xa8304613, 17)
        MD5_STEP_F(b, c, d, a, x[7], 0xfd469501, 22)
        MD5_STEP_F(a, b, c, d, x[8], 0x698098d8, 7)
        MD5_STEP_F(d, a, b, c, x[9], 0x8b44f7af, 12)
        MD5_STEP_F(c, d, a, b, x[10], 0xffff5bb1, 17)
        MD5_STEP_F(b, c, d, a, x[11], 0x895cd7be, 22)
        MD5_STEP_F(a, b, c, d, x[12], 0x6b901122, 7)
        MD5_STEP_F(d, a, b, c, x[13], 0xfd987193, 12)
        MD5_STEP_F(c, d, a, b, x[14], 0xa679438e, 17)
        MD5_STEP_F(b, c, d, a, x[15], 0x49b40821, 22)

        MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562, 5)
        MD5_STEP_G(d, a, b, c, x[6], 0xc040b340, 9)
        MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51, 14)
        MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aa, 20)
        MD5_STEP_G(a, b, c, d, x[5], 0xd62f105d, 5)
        MD5_STEP_G(d, a, b, c, x[10], 0x02441453, 9)
        MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681, 14)
        MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8, 20)
        MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6, 5)
        MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6, 9)
        MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87, 14)
        MD5_STEP_G(b, c, d, a, x[8], 0x455a14ed, 20)
        MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905, 5)
        MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8, 9)
        MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9, 14)
        MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8a, 20)

        MD5_STEP_H(a, b, c, d, x[5], 0xfffa3942, 4)
        MD5_STEP_H(d, a, b, c, x[8], 0x8771f681, 11)
        MD5_STEP_H(c, d, a, b, x[11], 0x6d9d6122, 16)
        MD5_STEP_H(b, c, d, a, x[14], 0xfde5380c, 23)
        MD5_STEP_H(a, b, c, d, x[1], 0xa4beea44, 4)
        MD5_STEP_H(d, a, b, c, x[4], 0x4bdecfa9, 11)
        MD5_STEP_H(c, d, a, b, x[7], 0xf6bb4b60, 16)
        MD5_STEP_H(b, c, d, a, x[10], 0xbebfbc70, 23)
        MD5_STEP_H(a, b, c, d, x[13], 0x289b7ec6, 4)
        MD5_STEP_H(d, a, b, c, x[0], 0xeaa127fa, 11)
        MD5_STEP_H(c, d, a, b, x[3], 0xd4ef3085, 16)
        MD5_STEP_H(b, c, d, a, x[6], 0x04881d05, 23)
        MD5_STEP_H(a, b, c, d, x[9], 0xd9d4d039, 4)
        MD5_STEP_H(d, a, b, c, x[12], 0xe6db99e5, 11)
        MD5_STEP_H(c, d, a, b, x[15], 0x1fa27cf8, 16)
        MD5_STEP_H(b, c, d, a, x[2], 0xc4ac5665, 23)

        MD5_STEP_I(a, b, c, d, x[0], 0xf4292244, 6)
        MD5_STEP_I(d, a, b, c, x[7], 0x432aff97, 10)
        MD5_STEP_I(c, d, a, b, x[14], 0xab9423a7, 15)
        MD5_STEP_I(b, c, d, a, x[5], 0xfc93a039, 21)
        MD5_STEP_I(a, b, c, d, x[12], 0x655b59c3, 6)
        MD5_STEP_I(d, a, b, c, x[3], 0x8f0ccc92, 10)
        MD5_STEP_I(c, d, a, b, x[10], 0xffeff47d, 15)
        MD5_STEP_I(b, c, d, a, x[1], 0x85845dd1, 21)
        MD5_STEP_I(a, b, c, d, x[8], 0x6fa87e4f, 6)
        MD5_STEP_I(d, a, b, c, x[15], 0xfe2ce6e0, 10)
        MD5_STEP_I(c, d, a, b, x[6], 0xa3014314, 15)
        MD5_STEP_I(b, c, d, a, x[13], 0x4e0811a1, 21)
        MD5_STEP_I(a, b, c, d, x[4], 0xf7537e82, 6)
        MD5_STEP_I(d, a, b, c, x[11], 0xbd3af235, 10)
        MD5_STEP_I(c, d, a, b, x[2], 0x2ad7d2bb, 15)
        MD5_STEP_I(b, c, d, a, x[9], 0xeb86d391, 21)

        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#endif

} // namespace

void Md5Init(Md5Context* context) {
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
    context->bitCount[0] = 0;
    context->bitCount[1] = 0;
}

void Md5Update(Md5Context* context, const void* bytes, std::uint32_t count) {
    const std::uint8_t* in = static_cast<const std::uint8_t*>(bytes);
    const std::uint32_t used = (context->bitCount[0] >> 3) & 63;
    const std::uint32_t low = context->bitCount[0] + (count << 3);
    if (low < context->bitCount[0])
        ++context->bitCount[1];
    context->bitCount[0] = low;
    context->bitCount[1] += count >> 29;

    std::uint32_t taken = 0;
    if (used > 0) {
        const std::uint32_t room = 64 - used;
        if (count < room) {
            if (count > 0)
                std::memcpy(context->block + used, in, count);
            return;
        }
        std::memcpy(context->block + used, in, room);
        Transform(context->state, context->block, 1);
        taken = room;
    }
    const std::uint32_t blocks = (count - taken) / 64;
    if (blocks > 0) {
        Transform(context->state, in + taken, blocks);
        taken += blocks * 64;
    }
    if (count > taken)
        std::memcpy(context->block, in + taken, count - taken);
}

void Md5Final(std::uint8_t digest[16], Md5Context* context) {
    std::uint8_t length[8];
    Store32(length, context->bitCount[0]);
    Store32(length + 4, context->bitCount[1]);
    // 0x80, then zeros up to 56 bytes modulo 64, then the bit count.
    static const std::uint8_t padding[64] = {0x80};
    const std::uint32_t used = (context->bitCount[0] >> 3) & 63;
    Md5Update(context, padding, used < 56 ? 56 - used : 120 - used);
    Md5Update(context, length, 8);
    for (int i = 0; i < 4; ++i)
        Store32(digest + 4 * i, context->state[i]);
}

void Md5Digest(const void* bytes, std::uint32_t count, std::uint8_t digest[16]) {
    Md5Context context;
    Md5Init(&context);
    Md5Update(&context, bytes, count);
    Md5Final(digest, &context);
}

int DigestsEqual(const std::uint8_t* a, const std::uint8_t* b) {
    for (int i = 0; i < 16; i += 4) {
        if (Load32(a + i) != Load32(b + i))
            return 0;
    }
    return 1;
}
