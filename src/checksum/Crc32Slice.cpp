// Table-driven CRC-32: the byte-at-a-time definition and the portable
// slicing-by-16 kernel. The tables are computed at compile time.
//
// One slicing-by-16 chain waits on its own table lookups, so longer inputs
// run four chains at once over neighbouring stretches of the data and join
// their registers afterwards: the register after stretches A then B is
// the register of B started from 0, XOR the register of A moved on by the
// length of B (multiplied by x^(8 |B|) mod P, a linear map done through
// four more tables).
#include "checksum/Crc32Fold.h"
#include "checksum/CrcKernels.h"

#include <array>
#include <bit>
#include <cstring>

namespace ostrak {

namespace crc_kernels {
namespace {

using Table = std::array<uint32_t, 256>;

// tables[k][b]: register change of byte b followed by k zero bytes.
constexpr std::array<Table, 16> MakeTables() {
    std::array<Table, 16> t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t v = n;
        for (int k = 0; k < 8; ++k)
            v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
        t[0][n] = v;
    }
    for (size_t k = 1; k < 16; ++k)
        for (size_t n = 0; n < 256; ++n)
            t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    return t;
}

constexpr auto kTables = MakeTables();
static_assert(kTables[0][1] == 0x77073096u);

inline uint64_t Load64LE(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) {
        uint64_t r = 0;
        for (int i = 0; i < 8; ++i)
            r |= ((v >> (8 * i)) & 0xFF) << (8 * (7 - i));
        v = r;
    }
    return v;
}

inline uint32_t Byte(uint64_t v, int i) {
    return static_cast<uint32_t>(v >> (8 * i)) & 0xFF;
}

// One slicing-by-16 step. The terms that do not depend on the register are
// gathered first so that the chain from one step to the next stays short;
// half the bytes are picked out of a loaded word, half loaded one by one,
// which spreads the work over the processor's units.
inline uint32_t Step16(uint32_t reg, const uint8_t* p) {
    const auto& t = kTables;
    const uint64_t a = Load64LE(p);
    const uint32_t rest =
        (t[11][Byte(a, 4)] ^ t[10][Byte(a, 5)] ^ t[9][Byte(a, 6)] ^ t[8][Byte(a, 7)]) ^
        (t[7][p[8]] ^ t[6][p[9]] ^ t[5][p[10]] ^ t[4][p[11]]) ^
        (t[3][p[12]] ^ t[2][p[13]] ^ t[1][p[14]] ^ t[0][p[15]]);
    const uint32_t x = static_cast<uint32_t>(a) ^ reg;
    return rest ^
           ((t[15][Byte(x, 0)] ^ t[14][Byte(x, 1)]) ^ (t[13][Byte(x, 2)] ^ t[12][Byte(x, 3)]));
}

// Product of two polynomials mod P in the register's form (bit i is the
// coefficient of x^(31-i)).
constexpr uint32_t MulModP(uint32_t a, uint32_t b) {
    uint32_t product = 0;
    for (uint32_t bit = 0x80000000u; bit != 0; bit >>= 1) {
        if (a & bit)
            product ^= b;
        b = (b & 1) ? (b >> 1) ^ 0xEDB88320u : b >> 1; // b * x
    }
    return product;
}

// shift[j][b]: byte j (b at bits 8j..8j+7) of a register moved on by
// `bytes` zero bytes.
template <size_t bytes> constexpr std::array<Table, 4> MakeShiftTables() {
    const uint32_t x = crc32_fold::Reflect32(crc32_fold::XPowModP(8 * bytes));
    std::array<Table, 4> t{};
    for (uint32_t j = 0; j < 4; ++j)
        for (uint32_t b = 0; b < 256; ++b)
            t[j][b] = MulModP(b << (8 * j), x);
    return t;
}

template <size_t bytes> constexpr std::array<Table, 4> kShift = MakeShiftTables<bytes>();

template <size_t bytes> inline uint32_t Shift(uint32_t reg) {
    const auto& t = kShift<bytes>;
    return t[0][reg & 0xFF] ^ t[1][(reg >> 8) & 0xFF] ^ t[2][(reg >> 16) & 0xFF] ^ t[3][reg >> 24];
}

// Four chains side by side over neighbouring stretches of `stretch` bytes,
// while the data fills all four; leaves p and n at the rest.
template <size_t stretch> inline uint32_t FourChains(uint32_t reg, const uint8_t*& p, size_t& n) {
    static_assert(stretch % 16 == 0);
    while (n >= 4 * stretch) {
        uint32_t r0 = reg, r1 = 0, r2 = 0, r3 = 0;
        for (size_t i = 0; i < stretch; i += 16) {
            r0 = Step16(r0, p + i);
            r1 = Step16(r1, p + stretch + i);
            r2 = Step16(r2, p + 2 * stretch + i);
            r3 = Step16(r3, p + 3 * stretch + i);
        }
        reg = Shift<stretch>(Shift<stretch>(Shift<stretch>(r0) ^ r1) ^ r2) ^ r3;
        p += 4 * stretch;
        n -= 4 * stretch;
    }
    return reg;
}

} // namespace

uint32_t Crc32Bytewise(uint32_t reg, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        reg = (reg >> 8) ^ kTables[0][(reg ^ p[i]) & 0xFF];
    return reg;
}

uint32_t Crc32Slice16(uint32_t reg, const uint8_t* p, size_t n) {
    // Long stretches first: each chain then reads several whole pages in
    // order, which the memory prefetchers follow well.
    reg = FourChains<16384>(reg, p, n);
    reg = FourChains<1024>(reg, p, n);
    while (n >= 16) {
        reg = Step16(reg, p);
        p += 16;
        n -= 16;
    }
    return Crc32Bytewise(reg, p, n);
}

} // namespace crc_kernels

} // namespace ostrak
