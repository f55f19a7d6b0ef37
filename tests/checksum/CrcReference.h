#pragma once
// Bit-at-a-time CRCs straight from the polynomials, the yardstick of the
// checksum tests, and random test data.
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace ostrak {

inline uint32_t RefCrc32Byte(uint32_t reg, uint8_t b) {
    reg ^= b;
    for (int k = 0; k < 8; ++k)
        reg = (reg & 1) ? (reg >> 1) ^ 0xEDB88320u : reg >> 1;
    return reg;
}

inline uint32_t RefCrc32(uint32_t reg, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        reg = RefCrc32Byte(reg, p[i]);
    return reg;
}

inline uint16_t RefCrc16Byte(uint16_t reg, uint8_t b) {
    uint32_t r = reg ^ (uint32_t{b} << 8);
    for (int k = 0; k < 8; ++k)
        r = (r & 0x8000) ? (r << 1) ^ 0x1021 : r << 1;
    return static_cast<uint16_t>(r);
}

inline uint16_t RefCrc16(uint16_t reg, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        reg = RefCrc16Byte(reg, p[i]);
    return reg;
}

inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(gen());
    return v;
}

} // namespace ostrak
