// The x86-64 multiply-accumulate kernels for GF(2^16). Multiplication by a constant c is linear over GF(2),
// so a word's product is the sum of the products of its four nibbles. The PSHUFB kernels separate the low
// and high bytes of the words, look each nibble up in a 16-entry table (one for the low and one for the
// high byte of the product), and interleave the two halves again. The GFNI kernel applies the same map
// as four 8x8 bit matrices with GF2P8AFFINEQB. The instruction sets are enabled per function, so the
// program still runs on any x86-64 and these run only where the processor has them.
#include "core/Gf16.h"
#include "core/Gf16Tables.h"

#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

namespace tv {

namespace {

#define TV_TARGET_SSSE3 __attribute__((target("ssse3")))
#define TV_TARGET_AVX2 __attribute__((target("avx2")))
#define TV_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx2")))
#define TV_TARGET_GFNI __attribute__((target("gfni,avx512f,avx512bw,avx2")))

// Within each 16 bytes: the low bytes of the 8 words first, then their high bytes; and back.
#define TV_DEINTERLEAVE 0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15
#define TV_INTERLEAVE 0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15

} // namespace

TV_TARGET_SSSE3 void Gf16MulAddSsse3(void* dst, const void* src, std::size_t bytes, std::uint16_t c) {
    if (c == 0) return;
    const gf16::NibbleTables t = gf16::MakeNibbleTables(c);
    __m128i low[4], high[4];
    for (int k = 0; k < 4; ++k) {
        low[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(t.Low[k]));
        high[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(t.High[k]));
    }
    const __m128i deinterleave = _mm_setr_epi8(TV_DEINTERLEAVE);
    const __m128i mask = _mm_set1_epi8(0x0F);
    auto* d = static_cast<unsigned char*>(dst);
    const auto* s = static_cast<const unsigned char*>(src);
    std::size_t i = 0;
    for (; i + 32 <= bytes; i += 32) {
        const __m128i a = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)), deinterleave);
        const __m128i b =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16)), deinterleave);
        const __m128i lo = _mm_unpacklo_epi64(a, b), hi = _mm_unpackhi_epi64(a, b);
        const __m128i n0 = _mm_and_si128(lo, mask), n1 = _mm_and_si128(_mm_srli_epi16(lo, 4), mask);
        const __m128i n2 = _mm_and_si128(hi, mask), n3 = _mm_and_si128(_mm_srli_epi16(hi, 4), mask);
        const __m128i rl = _mm_xor_si128(_mm_xor_si128(_mm_shuffle_epi8(low[0], n0), _mm_shuffle_epi8(low[1], n1)),
                                         _mm_xor_si128(_mm_shuffle_epi8(low[2], n2), _mm_shuffle_epi8(low[3], n3)));
        const __m128i rh =
            _mm_xor_si128(_mm_xor_si128(_mm_shuffle_epi8(high[0], n0), _mm_shuffle_epi8(high[1], n1)),
                          _mm_xor_si128(_mm_shuffle_epi8(high[2], n2), _mm_shuffle_epi8(high[3], n3)));
        auto* d0 = reinterpret_cast<__m128i*>(d + i);
        auto* d1 = reinterpret_cast<__m128i*>(d + i + 16);
        _mm_storeu_si128(d0, _mm_xor_si128(_mm_loadu_si128(d0), _mm_unpacklo_epi8(rl, rh)));
        _mm_storeu_si128(d1, _mm_xor_si128(_mm_loadu_si128(d1), _mm_unpackhi_epi8(rl, rh)));
    }
    gf16::Rest(d, s, i, bytes, c);
}

TV_TARGET_AVX2 void Gf16MulAddAvx2(void* dst, const void* src, std::size_t bytes, std::uint16_t c) {
    if (c == 0) return;
    const gf16::NibbleTables t = gf16::MakeNibbleTables(c);
    __m256i low[4], high[4];
    for (int k = 0; k < 4; ++k) {
        low[k] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t.Low[k])));
        high[k] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t.High[k])));
    }
    const __m256i deinterleave = _mm256_setr_epi8(TV_DEINTERLEAVE, TV_DEINTERLEAVE);
    const __m256i mask = _mm256_set1_epi8(0x0F);
    auto* d = static_cast<unsigned char*>(dst);
    const auto* s = static_cast<const unsigned char*>(src);
    std::size_t i = 0;
    // Every step works within 128-bit lanes, so the halves of each lane meet again where they started.
    for (; i + 64 <= bytes; i += 64) {
        const __m256i a =
            _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i)), deinterleave);
        const __m256i b =
            _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 32)), deinterleave);
        const __m256i lo = _mm256_unpacklo_epi64(a, b), hi = _mm256_unpackhi_epi64(a, b);
        const __m256i n0 = _mm256_and_si256(lo, mask), n1 = _mm256_and_si256(_mm256_srli_epi16(lo, 4), mask);
        const __m256i n2 = _mm256_and_si256(hi, mask), n3 = _mm256_and_si256(_mm256_srli_epi16(hi, 4), mask);
        const __m256i rl =
            _mm256_xor_si256(_mm256_xor_si256(_mm256_shuffle_epi8(low[0], n0), _mm256_shuffle_epi8(low[1], n1)),
                             _mm256_xor_si256(_mm256_shuffle_epi8(low[2], n2), _mm256_shuffle_epi8(low[3], n3)));
        const __m256i rh =
            _mm256_xor_si256(_mm256_xor_si256(_mm256_shuffle_epi8(high[0], n0), _mm256_shuffle_epi8(high[1], n1)),
                             _mm256_xor_si256(_mm256_shuffle_epi8(high[2], n2), _mm256_shuffle_epi8(high[3], n3)));
        auto* d0 = reinterpret_cast<__m256i*>(d + i);
        auto* d1 = reinterpret_cast<__m256i*>(d + i + 32);
        _mm256_storeu_si256(d0, _mm256_xor_si256(_mm256_loadu_si256(d0), _mm256_unpacklo_epi8(rl, rh)));
        _mm256_storeu_si256(d1, _mm256_xor_si256(_mm256_loadu_si256(d1), _mm256_unpackhi_epi8(rl, rh)));
    }
    gf16::Rest(d, s, i, bytes, c);
}

TV_TARGET_AVX512 void Gf16MulAddAvx512(void* dst, const void* src, std::size_t bytes, std::uint16_t c) {
    if (c == 0) return;
    const gf16::NibbleTables t = gf16::MakeNibbleTables(c);
    __m512i low[4], high[4];
    for (int k = 0; k < 4; ++k) {
        low[k] = _mm512_broadcast_i32x4(_mm_load_si128(reinterpret_cast<const __m128i*>(t.Low[k])));
        high[k] = _mm512_broadcast_i32x4(_mm_load_si128(reinterpret_cast<const __m128i*>(t.High[k])));
    }
    const __m512i deinterleave = _mm512_broadcast_i32x4(_mm_setr_epi8(TV_DEINTERLEAVE));
    const __m512i mask = _mm512_set1_epi8(0x0F);
    auto* d = static_cast<unsigned char*>(dst);
    const auto* s = static_cast<const unsigned char*>(src);
    std::size_t i = 0;
    for (; i + 128 <= bytes; i += 128) {
        const __m512i a = _mm512_shuffle_epi8(_mm512_loadu_si512(s + i), deinterleave);
        const __m512i b = _mm512_shuffle_epi8(_mm512_loadu_si512(s + i + 64), deinterleave);
        const __m512i lo = _mm512_unpacklo_epi64(a, b), hi = _mm512_unpackhi_epi64(a, b);
        const __m512i n0 = _mm512_and_si512(lo, mask), n1 = _mm512_and_si512(_mm512_srli_epi16(lo, 4), mask);
        const __m512i n2 = _mm512_and_si512(hi, mask), n3 = _mm512_and_si512(_mm512_srli_epi16(hi, 4), mask);
        // Three-way XORs as one ternary-logic instruction each (0x96: a ^ b ^ c).
        const __m512i rl = _mm512_xor_si512(
            _mm512_ternarylogic_epi64(_mm512_shuffle_epi8(low[0], n0), _mm512_shuffle_epi8(low[1], n1),
                                      _mm512_shuffle_epi8(low[2], n2), 0x96),
            _mm512_shuffle_epi8(low[3], n3));
        const __m512i rh = _mm512_xor_si512(
            _mm512_ternarylogic_epi64(_mm512_shuffle_epi8(high[0], n0), _mm512_shuffle_epi8(high[1], n1),
                                      _mm512_shuffle_epi8(high[2], n2), 0x96),
            _mm512_shuffle_epi8(high[3], n3));
        _mm512_storeu_si512(d + i, _mm512_xor_si512(_mm512_loadu_si512(d + i), _mm512_unpacklo_epi8(rl, rh)));
        _mm512_storeu_si512(d + i + 64,
                            _mm512_xor_si512(_mm512_loadu_si512(d + i + 64), _mm512_unpackhi_epi8(rl, rh)));
    }
    gf16::Rest(d, s, i, bytes, c);
}

namespace {

// The 8x8 bit matrix that maps input byte `inHalf` of a word to output byte `outHalf` of its product, as
// GF2P8AFFINEQB takes it: row i (output bit i) in byte 7 - i, bit j of a row for input bit j.
std::uint64_t AffineBlock(const gf16::BitImages& images, int inHalf, int outHalf) {
    std::uint64_t m = 0;
    for (int i = 0; i < 8; ++i) {
        std::uint64_t row = 0;
        for (int j = 0; j < 8; ++j)
            if ((images.Bit[j + 8 * inHalf] >> (i + 8 * outHalf)) & 1u) row |= std::uint64_t{1} << j;
        m |= row << (8 * (7 - i));
    }
    return m;
}

} // namespace

TV_TARGET_GFNI void Gf16MulAddGfni(void* dst, const void* src, std::size_t bytes, std::uint16_t c) {
    if (c == 0) return;
    const gf16::BitImages images = gf16::ImagesOf(c);
    // After the split each 16 bytes hold 8 low bytes, then 8 high bytes. The first pass maps them in place
    // (low to low, high to high); the second maps the swapped halves (high to low, low to high).
    const std::uint64_t lowToLow = AffineBlock(images, 0, 0), highToLow = AffineBlock(images, 1, 0);
    const std::uint64_t lowToHigh = AffineBlock(images, 0, 1), highToHigh = AffineBlock(images, 1, 1);
    const __m512i same = _mm512_set_epi64(static_cast<long long>(highToHigh), static_cast<long long>(lowToLow),
                                          static_cast<long long>(highToHigh), static_cast<long long>(lowToLow),
                                          static_cast<long long>(highToHigh), static_cast<long long>(lowToLow),
                                          static_cast<long long>(highToHigh), static_cast<long long>(lowToLow));
    const __m512i crossed = _mm512_set_epi64(static_cast<long long>(lowToHigh), static_cast<long long>(highToLow),
                                             static_cast<long long>(lowToHigh), static_cast<long long>(highToLow),
                                             static_cast<long long>(lowToHigh), static_cast<long long>(highToLow),
                                             static_cast<long long>(lowToHigh), static_cast<long long>(highToLow));
    const __m512i deinterleave = _mm512_broadcast_i32x4(_mm_setr_epi8(TV_DEINTERLEAVE));
    const __m512i interleave = _mm512_broadcast_i32x4(_mm_setr_epi8(TV_INTERLEAVE));
    auto* d = static_cast<unsigned char*>(dst);
    const auto* s = static_cast<const unsigned char*>(src);
    std::size_t i = 0;
    for (; i + 128 <= bytes; i += 128) {
        const __m512i x0 = _mm512_shuffle_epi8(_mm512_loadu_si512(s + i), deinterleave);
        const __m512i x1 = _mm512_shuffle_epi8(_mm512_loadu_si512(s + i + 64), deinterleave);
        const __m512i y0 = _mm512_xor_si512(_mm512_gf2p8affine_epi64_epi8(x0, same, 0),
                                            _mm512_gf2p8affine_epi64_epi8(_mm512_shuffle_epi32(x0, _MM_PERM_BADC),
                                                                          crossed, 0));
        const __m512i y1 = _mm512_xor_si512(_mm512_gf2p8affine_epi64_epi8(x1, same, 0),
                                            _mm512_gf2p8affine_epi64_epi8(_mm512_shuffle_epi32(x1, _MM_PERM_BADC),
                                                                          crossed, 0));
        _mm512_storeu_si512(d + i, _mm512_xor_si512(_mm512_loadu_si512(d + i), _mm512_shuffle_epi8(y0, interleave)));
        _mm512_storeu_si512(d + i + 64, _mm512_xor_si512(_mm512_loadu_si512(d + i + 64),
                                                         _mm512_shuffle_epi8(y1, interleave)));
    }
    gf16::Rest(d, s, i, bytes, c);
}

namespace {

// The two matrices of the GFNI kernel for c: `same` maps each half of the split 16 bytes in place, `crossed`
// the swapped halves.
struct AffinePair {
    __m512i Same, Crossed;
};

TV_TARGET_GFNI AffinePair AffineOf(std::uint16_t c) {
    const gf16::BitImages images = gf16::ImagesOf(c);
    const auto lowToLow = static_cast<long long>(AffineBlock(images, 0, 0));
    const auto highToLow = static_cast<long long>(AffineBlock(images, 1, 0));
    const auto lowToHigh = static_cast<long long>(AffineBlock(images, 0, 1));
    const auto highToHigh = static_cast<long long>(AffineBlock(images, 1, 1));
    return {_mm512_set_epi64(highToHigh, lowToLow, highToHigh, lowToLow, highToHigh, lowToLow, highToHigh, lowToLow),
            _mm512_set_epi64(lowToHigh, highToLow, lowToHigh, highToLow, lowToHigh, highToLow, lowToHigh, highToLow)};
}

} // namespace

TV_TARGET_GFNI void Gf16MulAddManyGfni(void* dst, const unsigned char* const* srcs, const std::uint16_t* cs,
                                       std::size_t count, std::size_t bytes) {
    // Sources are taken eight at a time: their products are summed while still split in halves (the
    // interleave is a permutation, so it may follow the sum), and the sum joins the destination once.
    constexpr std::size_t Group = 8;
    alignas(64) static constexpr unsigned char Split[64] = {TV_DEINTERLEAVE, TV_DEINTERLEAVE, TV_DEINTERLEAVE,
                                                            TV_DEINTERLEAVE};
    alignas(64) static constexpr unsigned char Join[64] = {TV_INTERLEAVE, TV_INTERLEAVE, TV_INTERLEAVE, TV_INTERLEAVE};
    const __m512i deinterleave = _mm512_load_si512(Split);
    const __m512i interleave = _mm512_load_si512(Join);
    auto* d = static_cast<unsigned char*>(dst);
    const std::size_t whole = bytes - bytes % 128;
    for (std::size_t first = 0; first < count; first += Group) {
        AffinePair m[Group];
        const unsigned char* s[Group];
        std::uint16_t c[Group];
        std::size_t used = 0;
        for (std::size_t k = first; k < count && k < first + Group; ++k) {
            if (cs[k] == 0) continue;
            m[used] = AffineOf(cs[k]);
            s[used] = srcs[k];
            c[used] = cs[k];
            ++used;
        }
        if (used == 0) continue;
        for (std::size_t i = 0; i < whole; i += 128) {
            __m512i a0 = _mm512_setzero_si512(), a1 = _mm512_setzero_si512();
            for (std::size_t k = 0; k < used; ++k) {
                const __m512i x0 = _mm512_shuffle_epi8(_mm512_loadu_si512(s[k] + i), deinterleave);
                const __m512i x1 = _mm512_shuffle_epi8(_mm512_loadu_si512(s[k] + i + 64), deinterleave);
                a0 = _mm512_ternarylogic_epi64(
                    a0, _mm512_gf2p8affine_epi64_epi8(x0, m[k].Same, 0),
                    _mm512_gf2p8affine_epi64_epi8(_mm512_shuffle_epi32(x0, _MM_PERM_BADC), m[k].Crossed, 0), 0x96);
                a1 = _mm512_ternarylogic_epi64(
                    a1, _mm512_gf2p8affine_epi64_epi8(x1, m[k].Same, 0),
                    _mm512_gf2p8affine_epi64_epi8(_mm512_shuffle_epi32(x1, _MM_PERM_BADC), m[k].Crossed, 0), 0x96);
            }
            _mm512_storeu_si512(d + i, _mm512_xor_si512(_mm512_loadu_si512(d + i), _mm512_shuffle_epi8(a0, interleave)));
            _mm512_storeu_si512(d + i + 64,
                                _mm512_xor_si512(_mm512_loadu_si512(d + i + 64), _mm512_shuffle_epi8(a1, interleave)));
        }
        for (std::size_t k = 0; k < used; ++k)
            gf16::Rest(d, s[k], whole, bytes, c[k]);
    }
}

} // namespace tv

#endif
