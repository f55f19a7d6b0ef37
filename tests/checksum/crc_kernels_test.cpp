// Every kernel against the bit-at-a-time definition, for every length up to
// a few thousand bytes at every offset 0..63 (so every alignment and every
// way a length splits into the folding kernels' blocks), and a few large
// lengths.
#include "checksum/Crc32.h"
#include "checksum/Crc32Fold.h"
#include "checksum/CrcKernels.h"
#include "checksum/CrcReference.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

using namespace ostrak;

namespace {

constexpr size_t kMaxLength = 5000;
constexpr size_t kOffsets = 64;

using Crc32Fn = std::function<uint32_t(uint32_t, const uint8_t*, size_t)>;
using Crc16Fn = std::function<uint16_t(uint16_t, const uint8_t*, size_t)>;

struct Crc32Case {
    const char* name;
    Crc32Fn fn;
    bool (*supported)();
    size_t maxLength = kMaxLength; // shorter for the slow byte-at-a-time kernel
    friend void PrintTo(const Crc32Case& c, std::ostream* os) { *os << c.name; }
};

bool Always() {
    return true;
}

class Crc32KernelTest : public testing::TestWithParam<Crc32Case> {};

TEST_P(Crc32KernelTest, EqualsDefinitionForEveryLengthAndOffset) {
    const Crc32Case& c = GetParam();
    if (!c.supported())
        GTEST_SKIP() << c.name << " is not supported by this processor";
    const size_t maxLength = c.maxLength;
    const auto data = RandomBytes(maxLength + kOffsets, 1);
    std::vector<uint32_t> prefix(maxLength + 1);
    for (size_t off = 0; off < kOffsets; ++off) {
        // Registers of every prefix of the data at this offset, from a start
        // register that differs per offset.
        const uint32_t start = 0xFFFFFFFFu ^ static_cast<uint32_t>(off * 0x9E3779B9u);
        prefix[0] = start;
        for (size_t n = 0; n < maxLength; ++n)
            prefix[n + 1] = RefCrc32Byte(prefix[n], data[off + n]);
        for (size_t n = 0; n <= maxLength; ++n)
            ASSERT_EQ(c.fn(start, data.data() + off, n), prefix[n])
                << c.name << " offset " << off << " length " << n;
    }
}

TEST_P(Crc32KernelTest, EqualsDefinitionForLargeLengths) {
    const Crc32Case& c = GetParam();
    if (!c.supported())
        GTEST_SKIP() << c.name << " is not supported by this processor";
    const auto data = RandomBytes((3 << 20) + 64, 2);
    for (size_t n :
         {size_t{65536} + 1, size_t{65536} + 4096 + 17, size_t{1} << 20, (size_t{3} << 20) + 61}) {
        for (size_t off : {0, 3}) {
            EXPECT_EQ(c.fn(0xFFFFFFFFu, data.data() + off, n),
                      RefCrc32(0xFFFFFFFFu, data.data() + off, n))
                << c.name << " offset " << off << " length " << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, Crc32KernelTest,
    testing::Values(Crc32Case{"bytewise", crc_kernels::Crc32Bytewise, Always, 1200},
                    Crc32Case{"slice16", crc_kernels::Crc32Slice16, Always},
                    Crc32Case{"clmul", crc_kernels::Crc32Clmul, crc_kernels::Crc32ClmulSupported},
                    Crc32Case{"vpclmul256", crc_kernels::Crc32Vpclmul256,
                              crc_kernels::Crc32Vpclmul256Supported},
                    Crc32Case{"vpclmul512", crc_kernels::Crc32Vpclmul512,
                              crc_kernels::Crc32Vpclmul512Supported},
                    Crc32Case{
                        "Crc32Update",
                        [](uint32_t r, const uint8_t* p, size_t n) { return Crc32Update(r, p, n); },
                        Always}),
    [](const testing::TestParamInfo<Crc32Case>& info) { return std::string(info.param.name); });

struct Crc16Case {
    const char* name;
    Crc16Fn fn;
    size_t maxLength = kMaxLength;
    friend void PrintTo(const Crc16Case& c, std::ostream* os) { *os << c.name; }
};

class Crc16KernelTest : public testing::TestWithParam<Crc16Case> {};

TEST_P(Crc16KernelTest, EqualsDefinitionForEveryLengthAndOffset) {
    const Crc16Case& c = GetParam();
    const size_t maxLength = c.maxLength;
    const auto data = RandomBytes(maxLength + kOffsets, 3);
    std::vector<uint16_t> prefix(maxLength + 1);
    for (size_t off = 0; off < kOffsets; ++off) {
        const auto start = static_cast<uint16_t>(off * 0x3B5D);
        prefix[0] = start;
        for (size_t n = 0; n < maxLength; ++n)
            prefix[n + 1] = RefCrc16Byte(prefix[n], data[off + n]);
        for (size_t n = 0; n <= maxLength; ++n)
            ASSERT_EQ(c.fn(start, data.data() + off, n), prefix[n])
                << c.name << " offset " << off << " length " << n;
    }
    const auto big = RandomBytes((size_t{1} << 20) + 5, 4);
    EXPECT_EQ(c.fn(0, big.data(), big.size()), RefCrc16(0, big.data(), big.size()));
}

INSTANTIATE_TEST_SUITE_P(Kernels, Crc16KernelTest,
                         testing::Values(Crc16Case{"bytewise", crc_kernels::Crc16Bytewise, 1200},
                                         Crc16Case{"slice16", crc_kernels::Crc16Slice16}),
                         [](const testing::TestParamInfo<Crc16Case>& info) {
                             return std::string(info.param.name);
                         });

TEST(Crc32Update, IsTheFastestSupportedKernel) {
    const std::string name = crc_kernels::BestCrc32KernelName();
    if (crc_kernels::Crc32Vpclmul512Supported())
        EXPECT_EQ(name, "vpclmul512");
    else if (crc_kernels::Crc32Vpclmul256Supported())
        EXPECT_EQ(name, "vpclmul256");
    else if (crc_kernels::Crc32ClmulSupported())
        EXPECT_EQ(name, "clmul");
    else
        EXPECT_EQ(name, "slice16");
}

// The folding multipliers against the table CRC: a single 1 bit followed by
// zero bits is x^e, and its CRC with register 0 is x^(e+32) mod P, reflected.
TEST(Crc32Fold, PowersOfXMatchTheTableCrc) {
    for (unsigned zeros : {0u, 1u, 7u, 15u, 63u, 255u, 300u}) {
        std::vector<uint8_t> msg(zeros + 1, 0);
        msg[0] = 0x01; // the first bit of the message: x^(8 * (zeros + 1) - 1)
        const unsigned e = 8 * (zeros + 1) - 1 + 32;
        EXPECT_EQ(crc32_fold::Reflect32(crc32_fold::XPowModP(e)),
                  RefCrc32(0, msg.data(), msg.size()))
            << "zeros " << zeros;
    }
}

} // namespace
