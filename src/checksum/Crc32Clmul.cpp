// CRC-32 by carry-less multiply folding (see Crc32Fold.h for the algebra).
//
// The data is cut into 128-bit blocks. Several accumulators each take every
// n-th block: an accumulator is moved forward by the distance to its next
// block and the block is XOR-ed in. At the end the accumulators are folded
// into one 128-bit block, which is congruent to the whole message; its
// sixteen bytes and the last few bytes go through the table kernel. The
// incoming register is XOR-ed into the first four bytes, which turns the
// running CRC into a CRC with register 0 of the altered data.
//
// Only these functions are compiled for the extended instruction sets
// (function target attributes); callers check the CPU first.
#include "checksum/Crc32Fold.h"
#include "checksum/CrcKernels.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define OSTRAK_CRC_X86 1
#include <immintrin.h>
#endif

namespace ostrak {

namespace crc_kernels {

#ifdef OSTRAK_CRC_X86

#define TARGET_CLMUL __attribute__((target("sse4.1,pclmul")))
#define TARGET_VPCLMUL256 __attribute__((target("sse4.1,pclmul,avx2,vpclmulqdq")))
#define TARGET_VPCLMUL                                                                             \
    __attribute__((target("sse4.1,pclmul,avx2,avx512f,avx512vl,avx512bw,vpclmulqdq")))

namespace {

using crc32_fold::FoldBy;
using crc32_fold::FoldPair;

constexpr FoldPair k128 = FoldBy(128);   // to the next block
constexpr FoldPair k256 = FoldBy(256);   // two blocks on
constexpr FoldPair k384 = FoldBy(384);   // three blocks on
constexpr FoldPair k512 = FoldBy(512);   // one 512-bit register on
constexpr FoldPair k1024 = FoldBy(1024); // eight blocks on
constexpr FoldPair k2048 = FoldBy(2048); // sixteen blocks on

TARGET_CLMUL inline __m128i Pair128(FoldPair k) {
    return _mm_set_epi64x(static_cast<long long>(k.hi), static_cast<long long>(k.lo));
}

// a moved forward by the distance of k, XOR data.
TARGET_CLMUL inline __m128i Fold128(__m128i a, __m128i k, __m128i data) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00), _mm_clmulepi64_si128(a, k, 0x11)), data);
}

TARGET_CLMUL inline __m128i Load128(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Register of the folded block followed by the remaining bytes.
TARGET_CLMUL inline uint32_t Finish(__m128i acc, const uint8_t* p, size_t n) {
    alignas(16) uint8_t block[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(block), acc);
    return Crc32Slice16(Crc32Slice16(0, block, 16), p, n);
}

// Folds the blocks from p on into acc (which stands for the 16 bytes just
// before p), then finishes.
TARGET_CLMUL uint32_t FoldTail(__m128i acc, const uint8_t* p, size_t n) {
    const __m128i k = Pair128(k128);
    while (n >= 16) {
        acc = Fold128(acc, k, Load128(p));
        p += 16;
        n -= 16;
    }
    return Finish(acc, p, n);
}

TARGET_VPCLMUL256 inline __m256i Pair256(FoldPair k) {
    return _mm256_set_epi64x(static_cast<long long>(k.hi), static_cast<long long>(k.lo),
                             static_cast<long long>(k.hi), static_cast<long long>(k.lo));
}

TARGET_VPCLMUL256 inline __m256i Fold256(__m256i a, __m256i k, __m256i data) {
    return _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(a, k, 0x00),
                                             _mm256_clmulepi64_epi128(a, k, 0x11)),
                            data);
}

TARGET_VPCLMUL256 inline __m256i Load256(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

inline long long I64(uint64_t v) {
    return static_cast<long long>(v);
}

// Four 128-bit lanes of multipliers, lane 0 first.
TARGET_VPCLMUL inline __m512i Lanes512(FoldPair k0, FoldPair k1, FoldPair k2, FoldPair k3) {
    return _mm512_set_epi64(I64(k3.hi), I64(k3.lo), I64(k2.hi), I64(k2.lo), I64(k1.hi), I64(k1.lo),
                            I64(k0.hi), I64(k0.lo));
}

TARGET_VPCLMUL inline __m512i Pair512(FoldPair k) {
    return Lanes512(k, k, k, k);
}

TARGET_VPCLMUL inline __m512i Fold512(__m512i a, __m512i k, __m512i data) {
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(a, k, 0x00),
                                     _mm512_clmulepi64_epi128(a, k, 0x11), data, 0x96);
}

// 128-bit lane i of a (the zero-masked form keeps the compiler from
// warning about the unmasked form's undefined pass-through value).
#define Lane(a, i) _mm512_maskz_extracti32x4_epi32(0xF, (a), (i))

TARGET_VPCLMUL inline __m512i Load512(const uint8_t* p) {
    return _mm512_loadu_si512(p);
}

} // namespace

TARGET_CLMUL uint32_t Crc32Clmul(uint32_t reg, const uint8_t* p, size_t n) {
    if (n < 64)
        return Crc32Slice16(reg, p, n);
    const __m128i first = _mm_cvtsi32_si128(static_cast<int>(reg));
    if (n < 256)
        return FoldTail(_mm_xor_si128(Load128(p), first), p + 16, n - 16);

    // Eight accumulators, 128 bytes per step (written out so that they stay
    // in registers).
    __m128i x0 = _mm_xor_si128(Load128(p), first), x1 = Load128(p + 16), x2 = Load128(p + 32),
            x3 = Load128(p + 48), x4 = Load128(p + 64), x5 = Load128(p + 80), x6 = Load128(p + 96),
            x7 = Load128(p + 112);
    p += 128;
    n -= 128;
    const __m128i k8 = Pair128(k1024);
    while (n >= 128) {
        x0 = Fold128(x0, k8, Load128(p));
        x1 = Fold128(x1, k8, Load128(p + 16));
        x2 = Fold128(x2, k8, Load128(p + 32));
        x3 = Fold128(x3, k8, Load128(p + 48));
        x4 = Fold128(x4, k8, Load128(p + 64));
        x5 = Fold128(x5, k8, Load128(p + 80));
        x6 = Fold128(x6, k8, Load128(p + 96));
        x7 = Fold128(x7, k8, Load128(p + 112));
        p += 128;
        n -= 128;
    }
    const __m128i k1 = Pair128(k128);
    x1 = Fold128(x0, k1, x1);
    x2 = Fold128(x1, k1, x2);
    x3 = Fold128(x2, k1, x3);
    x4 = Fold128(x3, k1, x4);
    x5 = Fold128(x4, k1, x5);
    x6 = Fold128(x5, k1, x6);
    x7 = Fold128(x6, k1, x7);
    return FoldTail(x7, p, n);
}

TARGET_VPCLMUL256 uint32_t Crc32Vpclmul256(uint32_t reg, const uint8_t* p, size_t n) {
    if (n < 256)
        return Crc32Clmul(reg, p, n);

    // Four 256-bit accumulators (eight blocks), 128 bytes per step.
    __m256i y0 =
        _mm256_xor_si256(Load256(p), _mm256_set_epi32(0, 0, 0, 0, 0, 0, 0, static_cast<int>(reg)));
    __m256i y1 = Load256(p + 32), y2 = Load256(p + 64), y3 = Load256(p + 96);
    p += 128;
    n -= 128;
    const __m256i k4 = Pair256(k1024);
    while (n >= 128) {
        y0 = Fold256(y0, k4, Load256(p));
        y1 = Fold256(y1, k4, Load256(p + 32));
        y2 = Fold256(y2, k4, Load256(p + 64));
        y3 = Fold256(y3, k4, Load256(p + 96));
        p += 128;
        n -= 128;
    }
    const __m256i k1 = Pair256(k256);
    y1 = Fold256(y0, k1, y1);
    y2 = Fold256(y1, k1, y2);
    y3 = Fold256(y2, k1, y3);
    while (n >= 32) {
        y3 = Fold256(y3, k1, Load256(p));
        p += 32;
        n -= 32;
    }
    // The first block of y3 into its second.
    const __m128i acc =
        Fold128(_mm256_castsi256_si128(y3), Pair128(k128), _mm256_extracti128_si256(y3, 1));
    return FoldTail(acc, p, n);
}

TARGET_VPCLMUL uint32_t Crc32Vpclmul512(uint32_t reg, const uint8_t* p, size_t n) {
    if (n < 512)
        return Crc32Clmul(reg, p, n);

    // Four 512-bit accumulators (sixteen blocks), 256 bytes per step.
    __m512i x0 = _mm512_xor_si512(Load512(p),
                                  _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m512i x1 = Load512(p + 64);
    __m512i x2 = Load512(p + 128);
    __m512i x3 = Load512(p + 192);
    p += 256;
    n -= 256;
    const __m512i k4 = Pair512(k2048);
    while (n >= 256) {
        x0 = Fold512(x0, k4, Load512(p));
        x1 = Fold512(x1, k4, Load512(p + 64));
        x2 = Fold512(x2, k4, Load512(p + 128));
        x3 = Fold512(x3, k4, Load512(p + 192));
        p += 256;
        n -= 256;
    }
    const __m512i k1 = Pair512(k512);
    x1 = Fold512(x0, k1, x1);
    x2 = Fold512(x1, k1, x2);
    x3 = Fold512(x2, k1, x3);
    while (n >= 64) {
        x3 = Fold512(x3, k1, Load512(p));
        p += 64;
        n -= 64;
    }

    // The four blocks of x3 into its last one: each moved forward by its
    // distance to the last block.
    const __m512i kLanes = Lanes512(k384, k256, k128, FoldPair{0, 0});
    const __m512i moved = _mm512_xor_si512(_mm512_clmulepi64_epi128(x3, kLanes, 0x00),
                                           _mm512_clmulepi64_epi128(x3, kLanes, 0x11));
    __m128i acc = Lane(x3, 3);
    acc = _mm_ternarylogic_epi64(acc, Lane(moved, 0), Lane(moved, 1), 0x96);
    acc = _mm_xor_si128(acc, Lane(moved, 2));
    return FoldTail(acc, p, n);
}

bool Crc32ClmulSupported() {
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}

bool Crc32Vpclmul256Supported() {
    return Crc32ClmulSupported() && __builtin_cpu_supports("avx2") &&
           __builtin_cpu_supports("vpclmulqdq");
}

bool Crc32Vpclmul512Supported() {
    return Crc32ClmulSupported() && __builtin_cpu_supports("avx512f") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("vpclmulqdq");
}

#else // not x86-64: the folding kernels are never chosen.

uint32_t Crc32Clmul(uint32_t reg, const uint8_t* p, size_t n) {
    return Crc32Slice16(reg, p, n);
}
uint32_t Crc32Vpclmul256(uint32_t reg, const uint8_t* p, size_t n) {
    return Crc32Slice16(reg, p, n);
}
uint32_t Crc32Vpclmul512(uint32_t reg, const uint8_t* p, size_t n) {
    return Crc32Slice16(reg, p, n);
}
bool Crc32ClmulSupported() {
    return false;
}
bool Crc32Vpclmul256Supported() {
    return false;
}

bool Crc32Vpclmul512Supported() {
    return false;
}

#endif

} // namespace crc_kernels

} // namespace ostrak
