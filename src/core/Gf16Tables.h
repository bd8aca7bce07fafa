#pragma once
// What the table-lookup kernels of GF(2^16) share: for each nibble of a word, the low and the high byte of
// the products of its 16 values with the coefficient (a word's product is the sum of its nibbles'), and
// the portable finish of a region whose length is not a multiple of a kernel's step.
#include "core/Gf16.h"

#include <cstddef>
#include <cstdint>

namespace tv::gf16 {

struct NibbleTables {
    alignas(16) unsigned char Low[4][16];
    alignas(16) unsigned char High[4][16];
};

inline NibbleTables MakeNibbleTables(std::uint16_t c) {
    const BitImages images = ImagesOf(c);
    NibbleTables t{};
    for (int k = 0; k < 4; ++k)
        for (unsigned n = 0; n < 16; ++n) {
            std::uint16_t p = 0;
            for (int b = 0; b < 4; ++b)
                if (n & (1u << b)) p = static_cast<std::uint16_t>(p ^ images.Bit[4 * k + b]);
            t.Low[k][n] = static_cast<unsigned char>(p & 0xFFu);
            t.High[k][n] = static_cast<unsigned char>(p >> 8);
        }
    return t;
}

inline void Rest(unsigned char* d, const unsigned char* s, std::size_t done, std::size_t bytes, std::uint16_t c) {
    if (done < bytes) Gf16MulAddPortable(d + done, s + done, bytes - done, c);
}

} // namespace tv::gf16
