// The x86-64 BLAKE3 kernels: SSE4.1, AVX2 and AVX-512 hash 4, 8 and 16 inputs at once, one input per
// 32-bit lane. Each input's blocks are loaded as rows and transposed, so that one register holds the same
// message word of every input; the rounds then run on whole registers exactly as the portable code runs
// on words. The instruction sets are enabled per function, so the program still runs on any x86-64 and
// these run only where the processor has them.
#include "core/Blake3Kernels.h"

#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__)
// GCC 12 takes the deliberately undefined registers inside its own AVX-512 intrinsics for uninitialized
// ones once they are inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

namespace tv::blake3 {

namespace {

#define TV_TARGET_SSE41 __attribute__((target("sse4.1")))
#define TV_TARGET_AVX2 __attribute__((target("avx2")))
#define TV_TARGET_AVX512 __attribute__((target("avx512f,avx512vl,avx2")))

// The steps of each register width, which Blake3Lanes.h builds the kernels from. Registers go by
// reference: by value they would pass differently in its code, which has no instruction set of its own
// and is inlined into each kernel.
TV_TARGET_SSE41 inline void Set1(__m128i& x, std::uint32_t v) {
    x = _mm_set1_epi32(static_cast<int>(v));
}
TV_TARGET_SSE41 inline void Load(__m128i& x, const std::uint32_t* p) {
    x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
TV_TARGET_SSE41 inline void Store(std::uint32_t* p, const __m128i& x) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
}
TV_TARGET_SSE41 inline void Add(__m128i& a, const __m128i& b) {
    a = _mm_add_epi32(a, b);
}
TV_TARGET_SSE41 inline void Xor(__m128i& a, const __m128i& b) {
    a = _mm_xor_si128(a, b);
}
TV_TARGET_SSE41 inline void XorRot16(__m128i& d, const __m128i& a) {
    const __m128i r16 = _mm_setr_epi8(2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13);
    d = _mm_shuffle_epi8(_mm_xor_si128(d, a), r16);
}
TV_TARGET_SSE41 inline void XorRot8(__m128i& d, const __m128i& a) {
    const __m128i r8 = _mm_setr_epi8(1, 2, 3, 0, 5, 6, 7, 4, 9, 10, 11, 8, 13, 14, 15, 12);
    d = _mm_shuffle_epi8(_mm_xor_si128(d, a), r8);
}
TV_TARGET_SSE41 inline void XorRot12(__m128i& d, const __m128i& a) {
    const __m128i x = _mm_xor_si128(d, a);
    d = _mm_or_si128(_mm_srli_epi32(x, 12), _mm_slli_epi32(x, 20));
}
TV_TARGET_SSE41 inline void XorRot7(__m128i& d, const __m128i& a) {
    const __m128i x = _mm_xor_si128(d, a);
    d = _mm_or_si128(_mm_srli_epi32(x, 7), _mm_slli_epi32(x, 25));
}
// Rows 0-3 of four 4-word rows become columns: 32-bit, then 64-bit interleaves.
TV_TARGET_SSE41 inline void Transpose4(__m128i& r0, __m128i& r1, __m128i& r2, __m128i& r3) {
    const __m128i a0 = _mm_unpacklo_epi32(r0, r1), a1 = _mm_unpackhi_epi32(r0, r1);
    const __m128i a2 = _mm_unpacklo_epi32(r2, r3), a3 = _mm_unpackhi_epi32(r2, r3);
    r0 = _mm_unpacklo_epi64(a0, a2);
    r1 = _mm_unpackhi_epi64(a0, a2);
    r2 = _mm_unpacklo_epi64(a1, a3);
    r3 = _mm_unpackhi_epi64(a1, a3);
}
// m[j] gets word j of the block at `p + k * stride` in lane k.
TV_TARGET_SSE41 inline void LoadMessage(__m128i m[16], const std::uint8_t* p, std::size_t stride) {
    for (int q = 0; q < 4; ++q) {
        for (std::size_t k = 0; k < 4; ++k)
            m[4 * q + static_cast<int>(k)] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k * stride + 16 * q));
        Transpose4(m[4 * q], m[4 * q + 1], m[4 * q + 2], m[4 * q + 3]);
    }
}

TV_TARGET_AVX2 inline void Set1(__m256i& x, std::uint32_t v) {
    x = _mm256_set1_epi32(static_cast<int>(v));
}
TV_TARGET_AVX2 inline void Load(__m256i& x, const std::uint32_t* p) {
    x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
TV_TARGET_AVX2 inline void Store(std::uint32_t* p, const __m256i& x) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x);
}
TV_TARGET_AVX2 inline void Add(__m256i& a, const __m256i& b) {
    a = _mm256_add_epi32(a, b);
}
TV_TARGET_AVX2 inline void Xor(__m256i& a, const __m256i& b) {
    a = _mm256_xor_si256(a, b);
}
TV_TARGET_AVX2 inline void XorRot16(__m256i& d, const __m256i& a) {
    const __m256i r16 = _mm256_setr_epi8(2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13, 2, 3, 0, 1, 6, 7, 4, 5,
                                         10, 11, 8, 9, 14, 15, 12, 13);
    d = _mm256_shuffle_epi8(_mm256_xor_si256(d, a), r16);
}
TV_TARGET_AVX2 inline void XorRot8(__m256i& d, const __m256i& a) {
    const __m256i r8 = _mm256_setr_epi8(1, 2, 3, 0, 5, 6, 7, 4, 9, 10, 11, 8, 13, 14, 15, 12, 1, 2, 3, 0, 5, 6, 7, 4, 9,
                                        10, 11, 8, 13, 14, 15, 12);
    d = _mm256_shuffle_epi8(_mm256_xor_si256(d, a), r8);
}
TV_TARGET_AVX2 inline void XorRot12(__m256i& d, const __m256i& a) {
    const __m256i x = _mm256_xor_si256(d, a);
    d = _mm256_or_si256(_mm256_srli_epi32(x, 12), _mm256_slli_epi32(x, 20));
}
TV_TARGET_AVX2 inline void XorRot7(__m256i& d, const __m256i& a) {
    const __m256i x = _mm256_xor_si256(d, a);
    d = _mm256_or_si256(_mm256_srli_epi32(x, 7), _mm256_slli_epi32(x, 25));
}
// Eight rows of eight words become columns: 32-bit and 64-bit interleaves within each 128-bit half,
// then the halves swapped across.
TV_TARGET_AVX2 inline void Transpose8(__m256i r[8]) {
    __m256i a[8], b[8];
    for (int k = 0; k < 8; k += 2) {
        a[k] = _mm256_unpacklo_epi32(r[k], r[k + 1]);
        a[k + 1] = _mm256_unpackhi_epi32(r[k], r[k + 1]);
    }
    for (int k = 0; k < 8; k += 4) {
        b[k] = _mm256_unpacklo_epi64(a[k], a[k + 2]);
        b[k + 1] = _mm256_unpackhi_epi64(a[k], a[k + 2]);
        b[k + 2] = _mm256_unpacklo_epi64(a[k + 1], a[k + 3]);
        b[k + 3] = _mm256_unpackhi_epi64(a[k + 1], a[k + 3]);
    }
    // b[4g + e] holds, in its half q, word 4q + e of rows 4g to 4g + 3.
    for (int e = 0; e < 4; ++e) {
        r[e] = _mm256_permute2x128_si256(b[e], b[4 + e], 0x20);
        r[4 + e] = _mm256_permute2x128_si256(b[e], b[4 + e], 0x31);
    }
}
TV_TARGET_AVX2 inline void LoadMessage(__m256i m[16], const std::uint8_t* p, std::size_t stride) {
    for (int h = 0; h < 2; ++h) {
        for (std::size_t k = 0; k < 8; ++k)
            m[8 * h + static_cast<int>(k)] =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k * stride + 32 * h));
        Transpose8(m + 8 * h);
    }
}

TV_TARGET_AVX512 inline void Set1(__m512i& x, std::uint32_t v) {
    x = _mm512_set1_epi32(static_cast<int>(v));
}
TV_TARGET_AVX512 inline void Load(__m512i& x, const std::uint32_t* p) {
    x = _mm512_loadu_si512(p);
}
TV_TARGET_AVX512 inline void Store(std::uint32_t* p, const __m512i& x) {
    _mm512_storeu_si512(p, x);
}
TV_TARGET_AVX512 inline void Add(__m512i& a, const __m512i& b) {
    a = _mm512_add_epi32(a, b);
}
TV_TARGET_AVX512 inline void Xor(__m512i& a, const __m512i& b) {
    a = _mm512_xor_si512(a, b);
}
TV_TARGET_AVX512 inline void XorRot16(__m512i& d, const __m512i& a) {
    d = _mm512_ror_epi32(_mm512_xor_si512(d, a), 16);
}
TV_TARGET_AVX512 inline void XorRot12(__m512i& d, const __m512i& a) {
    d = _mm512_ror_epi32(_mm512_xor_si512(d, a), 12);
}
TV_TARGET_AVX512 inline void XorRot8(__m512i& d, const __m512i& a) {
    d = _mm512_ror_epi32(_mm512_xor_si512(d, a), 8);
}
TV_TARGET_AVX512 inline void XorRot7(__m512i& d, const __m512i& a) {
    d = _mm512_ror_epi32(_mm512_xor_si512(d, a), 7);
}
// Sixteen rows of sixteen words become columns: 32-bit and 64-bit interleaves within each 128-bit
// quarter, then a 4 x 4 transpose of the quarters.
TV_TARGET_AVX512 inline void LoadMessage(__m512i m[16], const std::uint8_t* p, std::size_t stride) {
    __m512i a[16], b[16];
    for (std::size_t k = 0; k < 16; ++k)
        a[k] = _mm512_loadu_si512(p + k * stride);
    for (int k = 0; k < 16; k += 2) {
        b[k] = _mm512_unpacklo_epi32(a[k], a[k + 1]);
        b[k + 1] = _mm512_unpackhi_epi32(a[k], a[k + 1]);
    }
    for (int k = 0; k < 16; k += 4) {
        a[k] = _mm512_unpacklo_epi64(b[k], b[k + 2]);
        a[k + 1] = _mm512_unpackhi_epi64(b[k], b[k + 2]);
        a[k + 2] = _mm512_unpacklo_epi64(b[k + 1], b[k + 3]);
        a[k + 3] = _mm512_unpackhi_epi64(b[k + 1], b[k + 3]);
    }
    // a[4g + e] holds, in its quarter q, word 4q + e of rows 4g to 4g + 3.
    for (int e = 0; e < 4; ++e) {
        const __m512i c0 = _mm512_shuffle_i32x4(a[e], a[4 + e], 0x44);
        const __m512i c1 = _mm512_shuffle_i32x4(a[e], a[4 + e], 0xEE);
        const __m512i c2 = _mm512_shuffle_i32x4(a[8 + e], a[12 + e], 0x44);
        const __m512i c3 = _mm512_shuffle_i32x4(a[8 + e], a[12 + e], 0xEE);
        m[e] = _mm512_shuffle_i32x4(c0, c2, 0x88);
        m[4 + e] = _mm512_shuffle_i32x4(c0, c2, 0xDD);
        m[8 + e] = _mm512_shuffle_i32x4(c1, c3, 0x88);
        m[12 + e] = _mm512_shuffle_i32x4(c1, c3, 0xDD);
    }
}

#include "core/Blake3Lanes.h"

} // namespace

TV_TARGET_SSE41 void HashManySse41(const Many& job) {
    std::size_t i = 0;
    for (; i + 4 <= job.Count; i += 4)
        HashLanes<__m128i, 4>(job.After(i));
    if (i < job.Count) HashManyPortable(job.After(i));
}

TV_TARGET_AVX2 void HashManyAvx2(const Many& job) {
    std::size_t i = 0;
    for (; i + 8 <= job.Count; i += 8)
        HashLanes<__m256i, 8>(job.After(i));
    if (i < job.Count) HashManySse41(job.After(i));
}

TV_TARGET_AVX512 void HashManyAvx512(const Many& job) {
    std::size_t i = 0;
    for (; i + 16 <= job.Count; i += 16)
        HashLanes<__m512i, 16>(job.After(i));
    if (i < job.Count) HashManyAvx2(job.After(i));
}

} // namespace tv::blake3

#endif
