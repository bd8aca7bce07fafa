// Carry-less multiplication kernels for x86-64. Each keeps several 128-bit blocks in flight and folds
// them forward over the data; at the end the blocks are folded into one, and that block and the last
// few bytes are finished with the table kernel. The instruction sets are enabled per function, so the
// program still runs on any x86-64 and these run only where the processor has them.
#include "core/Crc32Kernels.h"
#include "core/Crc32Tables.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>

namespace tv {

namespace {

using namespace crc32detail;

#define TV_TARGET_PCLMUL __attribute__((target("sse4.1,pclmul")))
#define TV_TARGET_V256 __attribute__((target("avx2,pclmul,vpclmulqdq")))
#define TV_TARGET_V512 __attribute__((target("avx512f,avx512vl,avx512bw,avx2,pclmul,vpclmulqdq")))

TV_TARGET_PCLMUL inline __m128i Pair128(FoldPair k) {
    return _mm_set_epi64x(static_cast<long long>(k.High), static_cast<long long>(k.Low));
}

// `x` carried forward by the distance of `k`, plus the block `next` found there.
TV_TARGET_PCLMUL inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

TV_TARGET_PCLMUL inline __m128i Load128(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Folds the remaining whole 16-byte blocks into `x`, then finishes `x` and the last bytes.
TV_TARGET_PCLMUL std::uint32_t Finish(__m128i x, const unsigned char* p, std::size_t size) {
    const __m128i k = Pair128(Fold128);
    for (; size >= 16; p += 16, size -= 16) x = Fold(x, k, Load128(p));
    // The block holds the register's contribution already: its CRC from a zero register is the
    // register after it.
    alignas(16) unsigned char block[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(block), x);
    return Crc32UpdateSlice16(Crc32UpdateSlice16(0, block, 16), p, size);
}

// The fold loop of every register width: four registers in flight, each carried forward over the
// data by four registers' distance, then folded into one: `x` holds the first register on entry and
// the result on return. The caller has the instruction set of V; the loop is inlined into it so that
// V's steps are inlined too. The registers go by pointer: by value they would pass differently in a
// function compiled without V's instructions, which this loop is until it is inlined.
template <class V>
__attribute__((always_inline)) inline void FoldFour(typename V::Reg* x, const unsigned char*& p, std::size_t& size) {
    using Reg = typename V::Reg;
    constexpr std::size_t W = sizeof(Reg);
    Reg r[4], k;
    r[0] = *x;
    for (std::size_t i = 1; i < 4; ++i) V::Load(&r[i], p + i * W);
    p += 4 * W;
    size -= 4 * W;
    V::Pair(&k, V::FourAhead);
    for (; size >= 4 * W; p += 4 * W, size -= 4 * W)
        for (std::size_t i = 0; i < 4; ++i) V::FoldLoad(&r[i], &k, p + i * W);
    V::Pair(&k, V::OneAhead);
    for (std::size_t i = 1; i < 4; ++i) V::FoldReg(&r[0], &k, &r[i]);
    *x = r[0];
}

struct V128 {
    using Reg = __m128i;
    static constexpr FoldPair FourAhead = Fold512, OneAhead = Fold128;
    TV_TARGET_PCLMUL static void Pair(Reg* k, FoldPair c) { *k = Pair128(c); }
    TV_TARGET_PCLMUL static void Load(Reg* x, const unsigned char* p) { *x = Load128(p); }
    // x carried forward by k plus the data at p, or plus the register `next`.
    TV_TARGET_PCLMUL static void FoldLoad(Reg* x, const Reg* k, const unsigned char* p) { *x = Fold(*x, *k, Load128(p)); }
    TV_TARGET_PCLMUL static void FoldReg(Reg* x, const Reg* k, const Reg* next) { *x = Fold(*x, *k, *next); }
};

} // namespace

TV_TARGET_PCLMUL std::uint32_t Crc32UpdatePclmul(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size < 64) return Crc32UpdateSlice16(reg, p, size);
    __m128i x = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
    FoldFour<V128>(&x, p, size);
    return Finish(x, p, size);
}

namespace {

TV_TARGET_V256 inline __m256i Pair256(FoldPair k) {
    return _mm256_set_epi64x(static_cast<long long>(k.High), static_cast<long long>(k.Low),
                             static_cast<long long>(k.High), static_cast<long long>(k.Low));
}

TV_TARGET_V256 inline __m256i Fold(__m256i x, __m256i k, __m256i next) {
    const __m256i lo = _mm256_clmulepi64_epi128(x, k, 0x00);
    const __m256i hi = _mm256_clmulepi64_epi128(x, k, 0x11);
    return _mm256_xor_si256(_mm256_xor_si256(lo, hi), next);
}

TV_TARGET_V256 inline __m256i Load256(const unsigned char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

struct V256 {
    using Reg = __m256i;
    static constexpr FoldPair FourAhead = Fold1024, OneAhead = Fold256;
    TV_TARGET_V256 static void Pair(Reg* k, FoldPair c) { *k = Pair256(c); }
    TV_TARGET_V256 static void Load(Reg* x, const unsigned char* p) { *x = Load256(p); }
    // x carried forward by k plus the data at p, or plus the register `next`.
    TV_TARGET_V256 static void FoldLoad(Reg* x, const Reg* k, const unsigned char* p) { *x = Fold(*x, *k, Load256(p)); }
    TV_TARGET_V256 static void FoldReg(Reg* x, const Reg* k, const Reg* next) { *x = Fold(*x, *k, *next); }
};

} // namespace

TV_TARGET_V256 std::uint32_t Crc32UpdateVpclmul256(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size < 256) return Crc32UpdatePclmul(reg, p, size);
    __m256i y = _mm256_xor_si256(Load256(p), _mm256_set_epi32(0, 0, 0, 0, 0, 0, 0, static_cast<int>(reg)));
    FoldFour<V256>(&y, p, size);
    const __m128i x = Fold(_mm256_castsi256_si128(y), Pair128(Fold128), _mm256_extracti128_si256(y, 1));
    return Finish(x, p, size);
}

namespace {

TV_TARGET_V512 inline __m512i Pair512(FoldPair k) {
    const auto lo = static_cast<long long>(k.Low), hi = static_cast<long long>(k.High);
    return _mm512_set_epi64(hi, lo, hi, lo, hi, lo, hi, lo);
}

TV_TARGET_V512 inline __m512i Fold(__m512i x, __m512i k, __m512i next) {
    const __m512i lo = _mm512_clmulepi64_epi128(x, k, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(x, k, 0x11);
    return _mm512_ternarylogic_epi64(lo, hi, next, 0x96); // lo ^ hi ^ next
}

TV_TARGET_V512 inline __m512i Load512(const unsigned char* p) { return _mm512_loadu_si512(p); }

struct V512 {
    using Reg = __m512i;
    static constexpr FoldPair FourAhead = Fold2048, OneAhead = Fold512;
    TV_TARGET_V512 static void Pair(Reg* k, FoldPair c) { *k = Pair512(c); }
    TV_TARGET_V512 static void Load(Reg* x, const unsigned char* p) { *x = Load512(p); }
    // x carried forward by k plus the data at p, or plus the register `next`.
    TV_TARGET_V512 static void FoldLoad(Reg* x, const Reg* k, const unsigned char* p) { *x = Fold(*x, *k, Load512(p)); }
    TV_TARGET_V512 static void FoldReg(Reg* x, const Reg* k, const Reg* next) { *x = Fold(*x, *k, *next); }
};

} // namespace

TV_TARGET_V512 std::uint32_t Crc32UpdateVpclmul512(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size < 512) return Crc32UpdatePclmul(reg, p, size);
    __m512i z = _mm512_xor_si512(Load512(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
    FoldFour<V512>(&z, p, size);
    // The four lanes, earliest first, folded into one.
    alignas(64) unsigned char lanes[64];
    _mm512_store_si512(lanes, z);
    const __m128i k128 = Pair128(Fold128);
    __m128i x = Load128(lanes);
    for (int lane = 1; lane < 4; ++lane) x = Fold(x, k128, Load128(lanes + 16 * lane));
    return Finish(x, p, size);
}

} // namespace tv

#endif
