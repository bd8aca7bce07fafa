// The 64-bit ARM BLAKE3 kernel: NEON hashes 4 inputs at once, one per 32-bit lane, as the x86 kernels do
// (see Blake3Lanes.h). Every 64-bit ARM processor has NEON, so it needs no detection.
#include "core/Blake3Kernels.h"

#if defined(__aarch64__) && !defined(__ARM_BIG_ENDIAN)
#include <arm_neon.h>

namespace tv::blake3 {

namespace {

using V = uint32x4_t;

inline void Set1(V& x, std::uint32_t v) {
    x = vdupq_n_u32(v);
}
inline void Load(V& x, const std::uint32_t* p) {
    x = vld1q_u32(p);
}
inline void Store(std::uint32_t* p, const V& x) {
    vst1q_u32(p, x);
}
inline void Add(V& a, const V& b) {
    a = vaddq_u32(a, b);
}
inline void Xor(V& a, const V& b) {
    a = veorq_u32(a, b);
}
inline void XorRot16(V& d, const V& a) {
    d = vreinterpretq_u32_u16(vrev32q_u16(vreinterpretq_u16_u32(veorq_u32(d, a))));
}
inline void XorRot12(V& d, const V& a) {
    const V x = veorq_u32(d, a);
    d = vsriq_n_u32(vshlq_n_u32(x, 20), x, 12);
}
inline void XorRot8(V& d, const V& a) {
    const V x = veorq_u32(d, a);
    d = vsriq_n_u32(vshlq_n_u32(x, 24), x, 8);
}
inline void XorRot7(V& d, const V& a) {
    const V x = veorq_u32(d, a);
    d = vsriq_n_u32(vshlq_n_u32(x, 25), x, 7);
}
// A quarter of the block of each of the four inputs at a time: four rows of four words, transposed by
// 32-bit then 64-bit exchanges.
inline void LoadMessage(V m[16], const std::uint8_t* p, std::size_t stride) {
    for (int q = 0; q < 4; ++q) {
        V r[4];
        for (std::size_t k = 0; k < 4; ++k)
            r[k] = vreinterpretq_u32_u8(vld1q_u8(p + k * stride + 16 * q));
        const uint32x4x2_t t01 = vtrnq_u32(r[0], r[1]), t23 = vtrnq_u32(r[2], r[3]);
        m[4 * q] = vcombine_u32(vget_low_u32(t01.val[0]), vget_low_u32(t23.val[0]));
        m[4 * q + 1] = vcombine_u32(vget_low_u32(t01.val[1]), vget_low_u32(t23.val[1]));
        m[4 * q + 2] = vcombine_u32(vget_high_u32(t01.val[0]), vget_high_u32(t23.val[0]));
        m[4 * q + 3] = vcombine_u32(vget_high_u32(t01.val[1]), vget_high_u32(t23.val[1]));
    }
}

#include "core/Blake3Lanes.h"

} // namespace

void HashManyNeon(const Many& job) {
    std::size_t i = 0;
    for (; i + 4 <= job.Count; i += 4)
        HashLanes<V, 4>(job.After(i));
    if (i < job.Count) HashManyPortable(job.After(i));
}

} // namespace tv::blake3

#endif
