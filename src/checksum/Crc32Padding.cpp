#include "checksum/Crc32Padding.h"

#include "checksum/Crc32.h"

namespace ostrak {

namespace {

// The byte table of the reflected CRC-32, and for each top byte of a table
// entry the index of that entry (the top bytes of the 256 entries differ).
struct Tables {
    std::array<uint32_t, 256> Forward{};
    std::array<uint8_t, 256> IndexOfTop{};
    Tables() {
        for (uint32_t i = 0; i < 256; ++i) {
            const uint8_t b = static_cast<uint8_t>(i);
            // From a zero register, one byte b leaves exactly the table entry b.
            Forward[i] = Crc32Update(0, &b, 1);
            IndexOfTop[Forward[i] >> 24] = b;
        }
    }
};

const Tables& CrcTables() {
    static const Tables tables;
    return tables;
}

} // namespace

std::array<uint8_t, 4> Crc32Padding(uint32_t reg, uint32_t target) {
    // One byte step is reg' = (reg >> 8) ^ T[(reg ^ b) & 0xFF]. Feeding four
    // bytes w0..w3 into reg equals feeding four zero bytes into
    // reg ^ (w0 | w1 << 8 | w2 << 16 | w3 << 24). So run the wanted final
    // register back through four zero bytes (the top byte of reg' names the
    // table entry used, which gives back the low byte that went in) and XOR
    // the result with the register we have.
    const Tables& t = CrcTables();
    uint32_t r = ~target;
    for (int k = 0; k < 4; ++k) {
        const uint8_t index = t.IndexOfTop[r >> 24];
        r = ((r ^ t.Forward[index]) << 8) | index;
    }
    const uint32_t w = r ^ reg;
    return {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w >> 16),
            static_cast<uint8_t>(w >> 24)};
}

} // namespace ostrak
