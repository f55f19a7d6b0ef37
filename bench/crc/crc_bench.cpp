// Throughput of our CRC kernels next to zlib's crc32(), ISA-L's
// crc32_gzip_refl and the speed of merely reading the buffer, over a
// cache-resident (1 MiB) and a memory-sized (64 MiB) buffer. Every case
// reports bytes per second; bench/crc/run prints the medians and ratios.
#include "checksum/Crc32.h"
#include "checksum/CrcKernels.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>

#ifdef HAVE_ZLIB
#include <zlib.h>
#endif
#ifdef HAVE_ISAL
#include <isa-l.h>
#endif

using namespace ostrak;

namespace {

constexpr size_t kSmall = size_t{1} << 20;
constexpr size_t kLarge = size_t{64} << 20;

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

// One random, 64-byte aligned buffer per size, shared by all cases.
const uint8_t* Buffer(size_t size) {
    static std::map<size_t, std::unique_ptr<uint8_t, FreeDeleter>> buffers;
    auto& b = buffers[size];
    if (!b) {
        b.reset(static_cast<uint8_t*>(std::aligned_alloc(64, size)));
        std::mt19937_64 gen(size);
        for (size_t i = 0; i < size; i += 8) {
            const uint64_t v = gen();
            std::memcpy(b.get() + i, &v, 8);
        }
    }
    return b.get();
}

template <typename F> void Run(benchmark::State& state, F f) {
    const auto size = static_cast<size_t>(state.range(0));
    const uint8_t* data = Buffer(size);
    for (auto _ : state) {
        auto r = f(data, size);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// Memory-read baseline: the buffer summed as 64-bit words.
uint64_t Sum64(const uint8_t* p, size_t n) {
    uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    for (size_t i = 0; i + 32 <= n; i += 32) {
        uint64_t w[4];
        std::memcpy(w, p + i, 32);
        s0 += w[0];
        s1 += w[1];
        s2 += w[2];
        s3 += w[3];
    }
    return s0 + s1 + s2 + s3;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same, compiled for AVX-512 registers: the read limit as wide loads see it.
__attribute__((target("avx512f"))) uint64_t Sum64Avx512(const uint8_t* p, size_t n) {
    uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0, s6 = 0, s7 = 0;
    for (size_t i = 0; i + 64 <= n; i += 64) {
        uint64_t w[8];
        std::memcpy(w, p + i, 64);
        s0 += w[0];
        s1 += w[1];
        s2 += w[2];
        s3 += w[3];
        s4 += w[4];
        s5 += w[5];
        s6 += w[6];
        s7 += w[7];
    }
    return s0 + s1 + s2 + s3 + s4 + s5 + s6 + s7;
}
bool Avx512() {
    return __builtin_cpu_supports("avx512f");
}
#else
uint64_t Sum64Avx512(const uint8_t* p, size_t n) {
    return Sum64(p, n);
}
bool Avx512() {
    return false;
}
#endif

void Crc32Ours(benchmark::State& s) {
    s.SetLabel(crc_kernels::BestCrc32KernelName());
    Run(s, [](const uint8_t* p, size_t n) { return ~Crc32Update(0xFFFFFFFFu, p, n); });
}
void Crc32Vpclmul512(benchmark::State& s) {
    if (!crc_kernels::Crc32Vpclmul512Supported())
        return s.SkipWithError("not supported here");
    Run(s, [](const uint8_t* p, size_t n) { return crc_kernels::Crc32Vpclmul512(~0u, p, n); });
}
void Crc32Vpclmul256(benchmark::State& s) {
    if (!crc_kernels::Crc32Vpclmul256Supported())
        return s.SkipWithError("not supported here");
    Run(s, [](const uint8_t* p, size_t n) { return crc_kernels::Crc32Vpclmul256(~0u, p, n); });
}
void Crc32Clmul(benchmark::State& s) {
    if (!crc_kernels::Crc32ClmulSupported())
        return s.SkipWithError("not supported here");
    Run(s, [](const uint8_t* p, size_t n) { return crc_kernels::Crc32Clmul(~0u, p, n); });
}
void Crc32Slice16(benchmark::State& s) {
    Run(s, [](const uint8_t* p, size_t n) { return crc_kernels::Crc32Slice16(~0u, p, n); });
}
void Crc32Bytewise(benchmark::State& s) {
    Run(s, [](const uint8_t* p, size_t n) { return crc_kernels::Crc32Bytewise(~0u, p, n); });
}
#ifdef HAVE_ZLIB
void Crc32Zlib(benchmark::State& s) {
    Run(s, [](const uint8_t* p, size_t n) {
        return crc32(0, p, static_cast<uInt>(n)); // n is well below 4 GiB
    });
}
#endif
#ifdef HAVE_ISAL
void Crc32Isal(benchmark::State& s) {
    Run(s, [](const uint8_t* p, size_t n) { return crc32_gzip_refl(0, p, n); });
}
#endif
void MemReadSum64(benchmark::State& s) {
    Run(s, Sum64);
}
void MemReadSum64Avx512(benchmark::State& s) {
    if (!Avx512())
        return s.SkipWithError("not supported here");
    Run(s, Sum64Avx512);
}
void Crc16Ours(benchmark::State& s) {
    Run(s, [](const uint8_t* p, size_t n) { return crc_kernels::Crc16Slice16(0, p, n); });
}
void Crc16Bytewise(benchmark::State& s) {
    Run(s, [](const uint8_t* p, size_t n) { return crc_kernels::Crc16Bytewise(0, p, n); });
}

#define SIZES Arg(kSmall)->Arg(kLarge)
BENCHMARK(MemReadSum64)->Name("memread/sum64")->SIZES;
BENCHMARK(MemReadSum64Avx512)->Name("memread/sum64_avx512")->SIZES;
BENCHMARK(Crc32Ours)->Name("crc32/ours")->SIZES;
BENCHMARK(Crc32Vpclmul512)->Name("crc32/vpclmul512")->SIZES;
BENCHMARK(Crc32Vpclmul256)->Name("crc32/vpclmul256")->SIZES;
BENCHMARK(Crc32Clmul)->Name("crc32/clmul")->SIZES;
BENCHMARK(Crc32Slice16)->Name("crc32/slice16")->SIZES;
BENCHMARK(Crc32Bytewise)->Name("crc32/bytewise")->SIZES;
#ifdef HAVE_ZLIB
BENCHMARK(Crc32Zlib)->Name("crc32/zlib")->SIZES;
#endif
#ifdef HAVE_ISAL
BENCHMARK(Crc32Isal)->Name("crc32/isal")->SIZES;
#endif
BENCHMARK(Crc16Ours)->Name("crc16/ours")->SIZES;
BENCHMARK(Crc16Bytewise)->Name("crc16/bytewise")->SIZES;

} // namespace

BENCHMARK_MAIN();
