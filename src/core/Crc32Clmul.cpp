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

} // namespace

TV_TARGET_PCLMUL std::uint32_t Crc32UpdatePclmul(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size < 64) return Crc32UpdateSlice16(reg, p, size);
    __m128i x0 = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x1 = Load128(p + 16), x2 = Load128(p + 32), x3 = Load128(p + 48);
    p += 64;
    size -= 64;
    const __m128i k512 = Pair128(Fold512);
    for (; size >= 64; p += 64, size -= 64) {
        x0 = Fold(x0, k512, Load128(p));
        x1 = Fold(x1, k512, Load128(p + 16));
        x2 = Fold(x2, k512, Load128(p + 32));
        x3 = Fold(x3, k512, Load128(p + 48));
    }
    const __m128i k128 = Pair128(Fold128);
    __m128i x = Fold(Fold(Fold(x0, k128, x1), k128, x2), k128, x3);
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

} // namespace

TV_TARGET_V256 std::uint32_t Crc32UpdateVpclmul256(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size < 256) return Crc32UpdatePclmul(reg, p, size);
    __m256i y0 = _mm256_xor_si256(Load256(p), _mm256_set_epi32(0, 0, 0, 0, 0, 0, 0, static_cast<int>(reg)));
    __m256i y1 = Load256(p + 32), y2 = Load256(p + 64), y3 = Load256(p + 96);
    p += 128;
    size -= 128;
    const __m256i k1024 = Pair256(Fold1024);
    for (; size >= 128; p += 128, size -= 128) {
        y0 = Fold(y0, k1024, Load256(p));
        y1 = Fold(y1, k1024, Load256(p + 32));
        y2 = Fold(y2, k1024, Load256(p + 64));
        y3 = Fold(y3, k1024, Load256(p + 96));
    }
    const __m256i k256 = Pair256(Fold256);
    const __m256i y = Fold(Fold(Fold(y0, k256, y1), k256, y2), k256, y3);
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

} // namespace

TV_TARGET_V512 std::uint32_t Crc32UpdateVpclmul512(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size < 512) return Crc32UpdatePclmul(reg, p, size);
    __m512i z0 = _mm512_xor_si512(Load512(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m512i z1 = Load512(p + 64), z2 = Load512(p + 128), z3 = Load512(p + 192);
    p += 256;
    size -= 256;
    const __m512i k2048 = Pair512(Fold2048);
    for (; size >= 256; p += 256, size -= 256) {
        z0 = Fold(z0, k2048, Load512(p));
        z1 = Fold(z1, k2048, Load512(p + 64));
        z2 = Fold(z2, k2048, Load512(p + 128));
        z3 = Fold(z3, k2048, Load512(p + 192));
    }
    const __m512i k512 = Pair512(Fold512);
    const __m512i z = Fold(Fold(Fold(z0, k512, z1), k512, z2), k512, z3);
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
