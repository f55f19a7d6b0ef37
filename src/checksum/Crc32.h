#pragma once
// Raw CRC-32 (reflected polynomial 0xEDB88320) register arithmetic, the
// engine under clsCRC. The register is the running value before the final
// inversion: start with 0xFFFFFFFF, feed bytes, invert at the end.
//
// Runs the fastest kernel this processor offers (carry-less multiply folding
// where available, else slicing-by-16), chosen once at first use; the result
// is the same on every path. Thread-safe.
#include <cstddef>
#include <cstdint>

namespace ostrak {

// The register after feeding n bytes at data into reg (data may be null when
// n is 0).
uint32_t Crc32Update(uint32_t reg, const void* data, size_t n);

} // namespace ostrak
