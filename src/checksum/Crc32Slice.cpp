// Table-driven CRC-32: the byte-at-a-time definition and the portable
// slicing-by-16 kernel. The tables are computed at compile time.
#include "checksum/CrcKernels.h"

#include <array>
#include <bit>
#include <cstring>

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

} // namespace

uint32_t Crc32Bytewise(uint32_t reg, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        reg = (reg >> 8) ^ kTables[0][(reg ^ p[i]) & 0xFF];
    return reg;
}

uint32_t Crc32Slice16(uint32_t reg, const uint8_t* p, size_t n) {
    const auto& t = kTables;
    while (n >= 16) {
        const uint64_t a = Load64LE(p) ^ reg;
        const uint64_t b = Load64LE(p + 8);
        reg = t[15][Byte(a, 0)] ^ t[14][Byte(a, 1)] ^ t[13][Byte(a, 2)] ^ t[12][Byte(a, 3)] ^
              t[11][Byte(a, 4)] ^ t[10][Byte(a, 5)] ^ t[9][Byte(a, 6)] ^ t[8][Byte(a, 7)] ^
              t[7][Byte(b, 0)] ^ t[6][Byte(b, 1)] ^ t[5][Byte(b, 2)] ^ t[4][Byte(b, 3)] ^
              t[3][Byte(b, 4)] ^ t[2][Byte(b, 5)] ^ t[1][Byte(b, 6)] ^ t[0][Byte(b, 7)];
        p += 16;
        n -= 16;
    }
    return Crc32Bytewise(reg, p, n);
}

} // namespace crc_kernels
