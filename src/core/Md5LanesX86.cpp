// The x86-64 MD5 kernels: one message a 32-bit lane, 8 lanes with AVX2 and 16 with AVX-512. Each block of
// every lane is loaded as it lies and transposed, so that vector j holds message word j of all lanes; the
// 64 steps then run on whole vectors. The instruction sets are enabled per function, so the program still
// runs on any x86-64 and these run only where the processor has them.
#include "core/Md5Lanes.h"

#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__)
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 headers start some intrinsics from an undefined vector, which it then reports.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <algorithm>

namespace tv {

namespace {

#define TV_TARGET_AVX2 __attribute__((target("avx2")))
#define TV_TARGET_AVX512 __attribute__((target("avx512f,avx2")))

constexpr int RotationOf(int step) { return md5::Rotations[step / 16][step % 4]; }

// One step on 8 lanes: x0 = x1 + rotl(x0 + f(x1, x2, x3) + word + sine, r).
template <int I> TV_TARGET_AVX2 inline void Step8(__m256i& x0, __m256i x1, __m256i x2, __m256i x3, const __m256i* m) {
    __m256i f;
    if constexpr (I < 16) {
        f = _mm256_xor_si256(x3, _mm256_and_si256(x1, _mm256_xor_si256(x2, x3)));
    } else if constexpr (I < 32) {
        f = _mm256_xor_si256(x2, _mm256_and_si256(x3, _mm256_xor_si256(x1, x2)));
    } else if constexpr (I < 48) {
        f = _mm256_xor_si256(_mm256_xor_si256(x1, x2), x3);
    } else {
        f = _mm256_xor_si256(x2, _mm256_or_si256(x1, _mm256_xor_si256(x3, _mm256_set1_epi32(-1))));
    }
    const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(x0, f),
                                         _mm256_add_epi32(m[md5::WordOf(I)], _mm256_set1_epi32(static_cast<int>(md5::Sines[I]))));
    constexpr int r = RotationOf(I);
    x0 = _mm256_add_epi32(x1, _mm256_or_si256(_mm256_slli_epi32(sum, r), _mm256_srli_epi32(sum, 32 - r)));
}

template <int I> TV_TARGET_AVX512 inline void Step16(__m512i& x0, __m512i x1, __m512i x2, __m512i x3, const __m512i* m) {
    __m512i f;
    if constexpr (I < 16) {
        f = _mm512_ternarylogic_epi32(x1, x2, x3, 0xCA); // x1 ? x2 : x3
    } else if constexpr (I < 32) {
        f = _mm512_ternarylogic_epi32(x1, x2, x3, 0xE4); // x3 ? x1 : x2
    } else if constexpr (I < 48) {
        f = _mm512_ternarylogic_epi32(x1, x2, x3, 0x96); // x1 ^ x2 ^ x3
    } else {
        f = _mm512_ternarylogic_epi32(x1, x2, x3, 0x39); // x2 ^ (x1 | ~x3)
    }
    const __m512i sum = _mm512_add_epi32(_mm512_add_epi32(x0, f),
                                         _mm512_add_epi32(m[md5::WordOf(I)], _mm512_set1_epi32(static_cast<int>(md5::Sines[I]))));
    constexpr int r = RotationOf(I); // an immediate even where the intrinsic is a macro (unoptimised builds)
    x0 = _mm512_add_epi32(x1, _mm512_rol_epi32(sum, r));
}

#define TV_MD5_FOUR(S, I)                                                                                              \
    S<I>(a, b, c, d, m);                                                                                               \
    S<I + 1>(d, a, b, c, m);                                                                                           \
    S<I + 2>(c, d, a, b, m);                                                                                           \
    S<I + 3>(b, c, d, a, m);
#define TV_MD5_SIXTEEN(S, I) TV_MD5_FOUR(S, I) TV_MD5_FOUR(S, I + 4) TV_MD5_FOUR(S, I + 8) TV_MD5_FOUR(S, I + 12)
#define TV_MD5_ALL(S) TV_MD5_SIXTEEN(S, 0) TV_MD5_SIXTEEN(S, 16) TV_MD5_SIXTEEN(S, 32) TV_MD5_SIXTEEN(S, 48)

// Rows r[0..7] (8 words each) to columns: out[j] holds word j of every row.
TV_TARGET_AVX2 inline void Transpose8(const __m256i* r, __m256i* out) {
    __m256i a[8], b[8];
    for (int i = 0; i < 4; ++i) {
        a[2 * i] = _mm256_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
        a[2 * i + 1] = _mm256_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
    }
    for (int i = 0; i < 2; ++i) {
        b[4 * i] = _mm256_unpacklo_epi64(a[4 * i], a[4 * i + 2]);
        b[4 * i + 1] = _mm256_unpackhi_epi64(a[4 * i], a[4 * i + 2]);
        b[4 * i + 2] = _mm256_unpacklo_epi64(a[4 * i + 1], a[4 * i + 3]);
        b[4 * i + 3] = _mm256_unpackhi_epi64(a[4 * i + 1], a[4 * i + 3]);
    }
    // b[4i + m] holds, in its 128-bit half h, word 4h + m of rows 4i .. 4i + 3.
    for (int m = 0; m < 4; ++m) {
        out[m] = _mm256_permute2x128_si256(b[m], b[4 + m], 0x20);
        out[4 + m] = _mm256_permute2x128_si256(b[m], b[4 + m], 0x31);
    }
}

// Rows r[0..15] (16 words each) to columns.
TV_TARGET_AVX512 inline void Transpose16(const __m512i* r, __m512i* out) {
    __m512i a[16], b[16];
    for (int i = 0; i < 8; ++i) {
        a[2 * i] = _mm512_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
        a[2 * i + 1] = _mm512_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
    }
    for (int i = 0; i < 4; ++i) {
        b[4 * i] = _mm512_unpacklo_epi64(a[4 * i], a[4 * i + 2]);
        b[4 * i + 1] = _mm512_unpackhi_epi64(a[4 * i], a[4 * i + 2]);
        b[4 * i + 2] = _mm512_unpacklo_epi64(a[4 * i + 1], a[4 * i + 3]);
        b[4 * i + 3] = _mm512_unpackhi_epi64(a[4 * i + 1], a[4 * i + 3]);
    }
    // b[4i + m] holds, in its 128-bit quarter q, word 4q + m of rows 4i .. 4i + 3: the quarters of
    // b[m], b[4 + m], b[8 + m], b[12 + m] are transposed as a 4 x 4 matrix.
    for (int m = 0; m < 4; ++m) {
        const __m512i t0 = _mm512_shuffle_i32x4(b[m], b[4 + m], 0x44);
        const __m512i t1 = _mm512_shuffle_i32x4(b[m], b[4 + m], 0xEE);
        const __m512i t2 = _mm512_shuffle_i32x4(b[8 + m], b[12 + m], 0x44);
        const __m512i t3 = _mm512_shuffle_i32x4(b[8 + m], b[12 + m], 0xEE);
        out[m] = _mm512_shuffle_i32x4(t0, t2, 0x88);
        out[4 + m] = _mm512_shuffle_i32x4(t0, t2, 0xDD);
        out[8 + m] = _mm512_shuffle_i32x4(t1, t3, 0x88);
        out[12 + m] = _mm512_shuffle_i32x4(t1, t3, 0xDD);
    }
}

} // namespace

TV_TARGET_AVX2 void Md5BlocksAvx2(Md5State* states, const unsigned char* const* data, std::size_t lanes,
                                  std::size_t blocks) {
    for (std::size_t first = 0; first < lanes; first += 8) {
        const std::size_t n = std::min<std::size_t>(8, lanes - first);
        // Lanes beyond the last message hash the first one again; their results are dropped.
        const unsigned char* p[8];
        std::uint32_t s[4][8]; // unaligned accesses: MinGW does not align the stack past 16 bytes
        for (std::size_t l = 0; l < 8; ++l) {
            const std::size_t from = first + (l < n ? l : 0);
            p[l] = data[from];
            for (std::size_t w = 0; w < 4; ++w)
                s[w][l] = states[from][w];
        }
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s[0]));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s[1]));
        __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s[2]));
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s[3]));
        for (std::size_t k = 0; k < blocks; ++k) {
            __m256i rows[8], m[16];
            for (std::size_t l = 0; l < 8; ++l)
                rows[l] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p[l] + 64 * k));
            Transpose8(rows, m);
            for (std::size_t l = 0; l < 8; ++l)
                rows[l] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p[l] + 64 * k + 32));
            Transpose8(rows, m + 8);
            const __m256i a0 = a, b0 = b, c0 = c, d0 = d;
            TV_MD5_ALL(Step8)
            a = _mm256_add_epi32(a, a0);
            b = _mm256_add_epi32(b, b0);
            c = _mm256_add_epi32(c, c0);
            d = _mm256_add_epi32(d, d0);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(s[0]), a);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(s[1]), b);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(s[2]), c);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(s[3]), d);
        for (std::size_t l = 0; l < n; ++l)
            for (std::size_t w = 0; w < 4; ++w)
                states[first + l][w] = s[w][l];
    }
}

TV_TARGET_AVX512 void Md5BlocksAvx512(Md5State* states, const unsigned char* const* data, std::size_t lanes,
                                      std::size_t blocks) {
    for (std::size_t first = 0; first < lanes; first += 16) {
        const std::size_t n = std::min<std::size_t>(16, lanes - first);
        const unsigned char* p[16];
        std::uint32_t s[4][16];
        for (std::size_t l = 0; l < 16; ++l) {
            const std::size_t from = first + (l < n ? l : 0);
            p[l] = data[from];
            for (std::size_t w = 0; w < 4; ++w)
                s[w][l] = states[from][w];
        }
        __m512i a = _mm512_loadu_si512(s[0]);
        __m512i b = _mm512_loadu_si512(s[1]);
        __m512i c = _mm512_loadu_si512(s[2]);
        __m512i d = _mm512_loadu_si512(s[3]);
        for (std::size_t k = 0; k < blocks; ++k) {
            __m512i rows[16], m[16];
            for (std::size_t l = 0; l < 16; ++l)
                rows[l] = _mm512_loadu_si512(p[l] + 64 * k);
            Transpose16(rows, m);
            const __m512i a0 = a, b0 = b, c0 = c, d0 = d;
            TV_MD5_ALL(Step16)
            a = _mm512_add_epi32(a, a0);
            b = _mm512_add_epi32(b, b0);
            c = _mm512_add_epi32(c, c0);
            d = _mm512_add_epi32(d, d0);
        }
        _mm512_storeu_si512(s[0], a);
        _mm512_storeu_si512(s[1], b);
        _mm512_storeu_si512(s[2], c);
        _mm512_storeu_si512(s[3], d);
        for (std::size_t l = 0; l < n; ++l)
            for (std::size_t w = 0; w < 4; ++w)
                states[first + l][w] = s[w][l];
    }
}

} // namespace tv

#endif
