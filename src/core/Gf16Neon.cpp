// The 64-bit ARM multiply-accumulate kernel for GF(2^16): NEON's de-interleaving loads put the low bytes of
// 16 words in one register and their high bytes in another, each nibble is looked up in a 16-entry table
// (TBL) for the low and the high byte of its product, and the interleaving store puts the words together
// again. Every 64-bit ARM processor has NEON.
#include "core/Gf16.h"

#if defined(__aarch64__)
#include "core/Gf16Tables.h"

#include <arm_neon.h>

namespace tv {

void Gf16MulAddNeon(void* dst, const void* src, std::size_t bytes, std::uint16_t c) {
    if (c == 0) return;
    const gf16::NibbleTables t = gf16::MakeNibbleTables(c);
    uint8x16_t low[4], high[4];
    for (int k = 0; k < 4; ++k) {
        low[k] = vld1q_u8(t.Low[k]);
        high[k] = vld1q_u8(t.High[k]);
    }
    const uint8x16_t mask = vdupq_n_u8(0x0F);
    auto* d = static_cast<unsigned char*>(dst);
    const auto* s = static_cast<const unsigned char*>(src);
    std::size_t i = 0;
    for (; i + 32 <= bytes; i += 32) {
        const uint8x16x2_t x = vld2q_u8(s + i);
        const uint8x16_t n0 = vandq_u8(x.val[0], mask), n1 = vshrq_n_u8(x.val[0], 4);
        const uint8x16_t n2 = vandq_u8(x.val[1], mask), n3 = vshrq_n_u8(x.val[1], 4);
        uint8x16x2_t y = vld2q_u8(d + i);
        y.val[0] = veorq_u8(y.val[0], veorq_u8(veorq_u8(vqtbl1q_u8(low[0], n0), vqtbl1q_u8(low[1], n1)),
                                               veorq_u8(vqtbl1q_u8(low[2], n2), vqtbl1q_u8(low[3], n3))));
        y.val[1] = veorq_u8(y.val[1], veorq_u8(veorq_u8(vqtbl1q_u8(high[0], n0), vqtbl1q_u8(high[1], n1)),
                                               veorq_u8(vqtbl1q_u8(high[2], n2), vqtbl1q_u8(high[3], n3))));
        vst2q_u8(d + i, y);
    }
    gf16::Rest(d, s, i, bytes, c);
}

} // namespace tv

#endif
