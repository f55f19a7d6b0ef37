#pragma once
// The individual CRC kernels behind Crc32Update and clsCRC. Internal to the
// checksum library; the tests and the benchmark call them directly so that
// every path is checked and measured on its own.
//
// Every kernel takes the running register and returns it after feeding n
// bytes (n may be 0, data may then be null). CRC-32 registers are the
// reflected register before the final inversion; CRC-16 registers are the
// 16-bit XMODEM register. All kernels of one algorithm give identical results
// for every length and alignment. Thread-safe: no kernel keeps state.
#include <cstddef>
#include <cstdint>

namespace ostrak {

namespace crc_kernels {

// CRC-32, one table lookup per byte: the definition the others are held to.
uint32_t Crc32Bytewise(uint32_t reg, const uint8_t* data, size_t n);
// CRC-32, sixteen bytes per step through sixteen tables; portable C++.
uint32_t Crc32Slice16(uint32_t reg, const uint8_t* data, size_t n);
// CRC-32 by carry-less multiply folding on 128-bit registers (PCLMULQDQ,
// SSE4.1). Call only when Crc32ClmulSupported().
uint32_t Crc32Clmul(uint32_t reg, const uint8_t* data, size_t n);
// CRC-32 by carry-less multiply folding on 256-bit registers (VPCLMULQDQ,
// AVX2). Call only when Crc32Vpclmul256Supported().
uint32_t Crc32Vpclmul256(uint32_t reg, const uint8_t* data, size_t n);
// CRC-32 by carry-less multiply folding on 512-bit registers (VPCLMULQDQ,
// AVX-512). Call only when Crc32Vpclmul512Supported().
uint32_t Crc32Vpclmul512(uint32_t reg, const uint8_t* data, size_t n);

// Whether this processor (and its operating system) runs the kernel above.
bool Crc32ClmulSupported();
bool Crc32Vpclmul256Supported();
bool Crc32Vpclmul512Supported();

// The fastest CRC-32 kernel this processor runs, chosen once.
using Crc32Kernel = uint32_t (*)(uint32_t, const uint8_t*, size_t);
Crc32Kernel BestCrc32Kernel();
// Name of the kernel BestCrc32Kernel() picks: "vpclmul512", "vpclmul256",
// "clmul" or "slice16".
const char* BestCrc32KernelName();

// CRC-16/XMODEM tables are built at run time on first use (thread-safe, once
// per process); this builds them now. The kernels below call it themselves.
void PrepareCrc16Tables();
// Whether the CRC-16 tables have been built in this process.
bool Crc16TablesBuilt();
// CRC-16, one table lookup per byte.
uint16_t Crc16Bytewise(uint16_t reg, const uint8_t* data, size_t n);
// CRC-16, sixteen bytes per step through sixteen tables.
uint16_t Crc16Slice16(uint16_t reg, const uint8_t* data, size_t n);

} // namespace crc_kernels

} // namespace ostrak
