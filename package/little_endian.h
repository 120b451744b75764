// Little-endian reads and writes of 16, 32 and 64-bit numbers in byte
// buffers: the byte order of every number in a setup image.
#pragma once
#include <cstdint>

inline std::uint16_t Read16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t Read32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t Read64(const std::uint8_t* p) {
    return Read32(p) | (std::uint64_t{Read32(p + 4)} << 32);
}

inline void Write16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void Write32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void Write64(std::uint8_t* p, std::uint64_t v) {
    Write32(p, static_cast<std::uint32_t>(v));
    Write32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
