#include "checksum/Crc32.h"

#include <array>

namespace {
constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t v = n;
        for (int k = 0; k < 8; ++k)
            v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
        t[n] = v;
    }
    return t;
}
constexpr auto kTable = MakeTable();
} // namespace

uint32_t Crc32Update(uint32_t reg, const void* data, size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i)
        reg = (reg >> 8) ^ kTable[(reg ^ p[i]) & 0xFF];
    return reg;
}
