// SHA-256 throughput of Sha256 (the wrapper the installer hashes downloads
// with) over buffers of the sizes the HTTP client hands to its body file,
// beside CRC-32 over the same buffers. Bytes per second are the figure:
//   build/bench/signature/sha256_bench --benchmark_repetitions=5
//     --benchmark_report_aggregates_only=true
#include "checksum/Crc32.h"
#include "signature/Sha256.h"

#include <benchmark/benchmark.h>
#include <string>

using namespace ostrak;

namespace {

std::string Buffer(size_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 12345;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

void BM_Sha256(benchmark::State& state) {
    const std::string bytes = Buffer(static_cast<size_t>(state.range(0)));
    Sha256 sha;
    for (auto _ : state) {
        sha.Update(bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    benchmark::DoNotOptimize(sha.Final());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Crc32(benchmark::State& state) {
    const std::string bytes = Buffer(static_cast<size_t>(state.range(0)));
    uint32_t reg = 0xFFFFFFFFu;
    for (auto _ : state)
        benchmark::DoNotOptimize(reg = Crc32Update(reg, bytes.data(), bytes.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

} // namespace

BENCHMARK(BM_Sha256)->Arg(16 << 10)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_Crc32)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK_MAIN();
