#pragma once
// Constants of carry-less multiply folding for the reflected CRC-32, derived
// here at compile time from the generator polynomial.
//
// Data is folded as 128-bit blocks loaded little-endian: bit k of a block is
// the coefficient of x^(127-k), so the low 64-bit half holds the leading
// terms. A 64-bit multiplier M encodes a polynomial with the coefficient of
// x^d at bit 63-d. Multiplying a half h (encoded the same way) by M without
// carries yields bit k = coefficient of x^(126-k), which read as a block is
// h * M * x. To move a block A = H*x^64 + L forward by D bits (A * x^D mod P)
// one therefore multiplies H by x^(D+63) mod P and L by x^(D-1) mod P.
#include <cstdint>

namespace ostrak {

namespace crc32_fold {

// Generator polynomial without its x^32 term, most significant bit first.
inline constexpr uint32_t kPolyNormal = 0x04C11DB7u;

constexpr uint32_t Reflect32(uint32_t v) {
    uint32_t r = 0;
    for (int i = 0; i < 32; ++i)
        if (v & (1u << i))
            r |= 1u << (31 - i);
    return r;
}

// The reflected form is the table polynomial of the byte-at-a-time CRC-32.
static_assert(Reflect32(kPolyNormal) == 0xEDB88320u);

// x^e mod P, bit d = coefficient of x^d.
constexpr uint32_t XPowModP(unsigned e) {
    uint32_t r = 1;
    for (unsigned i = 0; i < e; ++i)
        r = (r & 0x80000000u) ? (r << 1) ^ kPolyNormal : r << 1;
    return r;
}

// x^e mod P as a folding multiplier (coefficient of x^d at bit 63-d).
constexpr uint64_t Multiplier(unsigned e) {
    return static_cast<uint64_t>(Reflect32(XPowModP(e))) << 32;
}

// The two multipliers that move a 128-bit block forward by bits: lo for the
// block's low (leading) half, hi for its high half.
struct FoldPair {
    uint64_t lo;
    uint64_t hi;
};
constexpr FoldPair FoldBy(unsigned bits) {
    return {Multiplier(bits + 63), Multiplier(bits - 1)};
}

} // namespace crc32_fold

} // namespace ostrak
