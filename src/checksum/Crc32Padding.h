#pragma once
// The four bytes that steer a CRC-32 to a chosen value.
#include <array>
#include <cstdint>

namespace ostrak {

// The four bytes that, appended to data whose CRC-32 register (before the
// final inversion) is reg, make the CRC-32 of data + the four bytes equal
// target. Any target is reachable, whatever came before.
std::array<uint8_t, 4> Crc32Padding(uint32_t reg, uint32_t target);

} // namespace ostrak
