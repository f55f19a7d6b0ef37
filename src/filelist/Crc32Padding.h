#pragma once
// CRC-32 helpers of the publisher's side of the release file list: the
// checksum text, and the four bytes that steer a file's CRC-32 to a chosen
// value (so that the list's own checksum text equals the version text).
#include <array>
#include <cstdint>
#include <string>

namespace ostrak {

// The CRC-32 of bytes (final value, after the inversion).
uint32_t Crc32Of(const std::string& bytes);

// The checksum text of a CRC-32: the value as a signed 32-bit integer in
// plain decimal ("-873187034" for the CRC-32 of "123456789").
std::string Crc32Text(uint32_t crc);

// The four bytes that, appended to data whose CRC-32 register (before the
// final inversion) is reg, make the CRC-32 of data + the four bytes equal
// target. Any target is reachable, whatever came before.
std::array<uint8_t, 4> Crc32Padding(uint32_t reg, uint32_t target);

} // namespace ostrak
