// Table-driven CRC-16/XMODEM (polynomial 0x1021, most significant bit first,
// no reflection): the byte-at-a-time definition and slicing-by-16. The
// tables are built at run time the first time CRC-16 is used.
#include "checksum/CrcKernels.h"

#include <array>
#include <atomic>

namespace ostrak {

namespace crc_kernels {
namespace {

using Table = std::array<uint16_t, 256>;
using Tables = std::array<Table, 16>;

std::atomic<bool> built{false};

// tables[k][b]: register change of byte b followed by k zero bytes.
Tables BuildTables() {
    Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t v = i << 8;
        uint32_t h = 0;
        for (int k = 0; k < 8; ++k) {
            h = ((h ^ v) & 0x8000) ? (h << 1) ^ 0x1021 : h << 1;
            v <<= 1;
        }
        t[0][i] = static_cast<uint16_t>(h);
    }
    for (size_t k = 1; k < 16; ++k)
        for (size_t i = 0; i < 256; ++i)
            t[k][i] = static_cast<uint16_t>((t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 8]);
    built = true;
    return t;
}

const Tables& TheTables() {
    static const Tables tables = BuildTables();
    return tables;
}

} // namespace

void PrepareCrc16Tables() {
    (void)TheTables();
}

bool Crc16TablesBuilt() {
    return built;
}

uint16_t Crc16Bytewise(uint16_t reg, const uint8_t* p, size_t n) {
    const Table& t = TheTables()[0];
    uint32_t r = reg;
    for (size_t i = 0; i < n; ++i)
        r = ((r << 8) ^ t[((r >> 8) ^ p[i]) & 0xFF]) & 0xFFFF;
    return static_cast<uint16_t>(r);
}

uint16_t Crc16Slice16(uint16_t reg, const uint8_t* p, size_t n) {
    const Tables& t = TheTables();
    uint32_t r = reg;
    while (n >= 16) {
        // The terms that do not depend on the register first: a short chain.
        const uint32_t rest =
            (t[13][p[2]] ^ t[12][p[3]] ^ t[11][p[4]] ^ t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]]) ^
            (t[7][p[8]] ^ t[6][p[9]] ^ t[5][p[10]] ^ t[4][p[11]] ^ t[3][p[12]] ^ t[2][p[13]] ^
             t[1][p[14]] ^ t[0][p[15]]);
        r = rest ^ t[15][p[0] ^ (r >> 8)] ^ t[14][p[1] ^ (r & 0xFF)];
        p += 16;
        n -= 16;
    }
    return Crc16Bytewise(static_cast<uint16_t>(r), p, n);
}

} // namespace crc_kernels

} // namespace ostrak
