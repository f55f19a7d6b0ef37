#include "checksum/Crc32.h"

#include "checksum/CrcKernels.h"

namespace ostrak {

namespace crc_kernels {

namespace {
struct Choice {
    Crc32Kernel kernel;
    const char* name;
};

Choice Choose() {
    if (Crc32Vpclmul512Supported())
        return {Crc32Vpclmul512, "vpclmul512"};
    if (Crc32Vpclmul256Supported())
        return {Crc32Vpclmul256, "vpclmul256"};
    if (Crc32ClmulSupported())
        return {Crc32Clmul, "clmul"};
    return {Crc32Slice16, "slice16"};
}

const Choice& TheChoice() {
    static const Choice choice = Choose();
    return choice;
}
} // namespace

Crc32Kernel BestCrc32Kernel() {
    return TheChoice().kernel;
}
const char* BestCrc32KernelName() {
    return TheChoice().name;
}

} // namespace crc_kernels

uint32_t Crc32Update(uint32_t reg, const void* data, size_t n) {
    static const crc_kernels::Crc32Kernel kernel = crc_kernels::BestCrc32Kernel();
    return kernel(reg, static_cast<const uint8_t*>(data), n);
}

} // namespace ostrak
