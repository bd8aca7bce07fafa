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

// The steps of each register width: the fold constants in every lane, a load, and `x` carried
// forward by the distance of `k` plus the block `next` found there. Registers go by reference: by
// value they would pass differently in the fold loop below, which has no instruction set of its own.
TV_TARGET_PCLMUL inline void Pair(__m128i& k, FoldPair c) {
    k = _mm_set_epi64x(static_cast<long long>(c.High), static_cast<long long>(c.Low));
}
TV_TARGET_PCLMUL inline void Load(__m128i& x, const unsigned char* p) {
    x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
TV_TARGET_PCLMUL inline void Fold(__m128i& x, const __m128i& k, const __m128i& next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    x = _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

TV_TARGET_V256 inline void Pair(__m256i& k, FoldPair c) {
    const auto lo = static_cast<long long>(c.Low), hi = static_cast<long long>(c.High);
    k = _mm256_set_epi64x(hi, lo, hi, lo);
}
TV_TARGET_V256 inline void Load(__m256i& x, const unsigned char* p) {
    x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
TV_TARGET_V256 inline void Fold(__m256i& x, const __m256i& k, const __m256i& next) {
    const __m256i lo = _mm256_clmulepi64_epi128(x, k, 0x00);
    const __m256i hi = _mm256_clmulepi64_epi128(x, k, 0x11);
    x = _mm256_xor_si256(_mm256_xor_si256(lo, hi), next);
}

TV_TARGET_V512 inline void Pair(__m512i& k, FoldPair c) {
    const auto lo = static_cast<long long>(c.Low), hi = static_cast<long long>(c.High);
    k = _mm512_set_epi64(hi, lo, hi, lo, hi, lo, hi, lo);
}
TV_TARGET_V512 inline void Load(__m512i& x, const unsigned char* p) { x = _mm512_loadu_si512(p); }
TV_TARGET_V512 inline void Fold(__m512i& x, const __m512i& k, const __m512i& next) {
    const __m512i lo = _mm512_clmulepi64_epi128(x, k, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(x, k, 0x11);
    x = _mm512_ternarylogic_epi64(lo, hi, next, 0x96); // lo ^ hi ^ next
}

// The fold loop of every width: four registers in flight, each carried forward over the data by
// `fourAhead` (four registers' distance), then folded into one by `oneAhead`. `x` holds the first
// register (with the CRC register already in it) on entry and the result on return. It is inlined
// into each kernel, whose instruction set then serves the steps.
template <class Reg>
__attribute__((always_inline)) inline void FoldFour(Reg& x, const unsigned char*& p, std::size_t& size,
                                                    FoldPair fourAhead, FoldPair oneAhead) {
    constexpr std::size_t W = sizeof(Reg);
    Reg r[4], k, next;
    r[0] = x;
    for (std::size_t i = 1; i < 4; ++i) Load(r[i], p + i * W);
    p += 4 * W;
    size -= 4 * W;
    Pair(k, fourAhead);
    for (; size >= 4 * W; p += 4 * W, size -= 4 * W)
        for (std::size_t i = 0; i < 4; ++i) {
            Load(next, p + i * W);
            Fold(r[i], k, next);
        }
    Pair(k, oneAhead);
    for (std::size_t i = 1; i < 4; ++i) Fold(r[0], k, r[i]);
    x = r[0];
}

// Folds the remaining whole 16-byte blocks into `x`, then finishes `x` and the last bytes.
TV_TARGET_PCLMUL std::uint32_t Finish(__m128i x, const unsigned char* p, std::size_t size) {
    __m128i k, next;
    Pair(k, Fold128);
    for (; size >= 16; p += 16, size -= 16) {
        Load(next, p);
        Fold(x, k, next);
    }
    // The block holds the register's contribution already: its CRC from a zero register is the
    // register after it.
    alignas(16) unsigned char block[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(block), x);
    return Crc32UpdateSlice16(Crc32UpdateSlice16(0, block, 16), p, size);
}

} // namespace

TV_TARGET_PCLMUL std::uint32_t Crc32UpdatePclmul(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size < 64) return Crc32UpdateSlice16(reg, p, size);
    __m128i x;
    Load(x, p);
    x = _mm_xor_si128(x, _mm_cvtsi32_si128(static_cast<int>(reg)));
    FoldFour(x, p, size, Fold512, Fold128);
    return Finish(x, p, size);
}

TV_TARGET_V256 std::uint32_t Crc32UpdateVpclmul256(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size < 256) return Crc32UpdatePclmul(reg, p, size);
    __m256i y;
    Load(y, p);
    y = _mm256_xor_si256(y, _mm256_set_epi32(0, 0, 0, 0, 0, 0, 0, static_cast<int>(reg)));
    FoldFour(y, p, size, Fold1024, Fold256);
    __m128i x = _mm256_castsi256_si128(y), k;
    Pair(k, Fold128);
    Fold(x, k, _mm256_extracti128_si256(y, 1));
    return Finish(x, p, size);
}

TV_TARGET_V512 std::uint32_t Crc32UpdateVpclmul512(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size < 512) return Crc32UpdatePclmul(reg, p, size);
    __m512i z;
    Load(z, p);
    z = _mm512_xor_si512(z, _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
    FoldFour(z, p, size, Fold2048, Fold512);
    // The four lanes, earliest first, folded into one.
    alignas(64) unsigned char lanes[64];
    _mm512_store_si512(lanes, z);
    __m128i x, k, next;
    Pair(k, Fold128);
    Load(x, lanes);
    for (int lane = 1; lane < 4; ++lane) {
        Load(next, lanes + 16 * lane);
        Fold(x, k, next);
    }
    return Finish(x, p, size);
}

} // namespace tv

#endif
