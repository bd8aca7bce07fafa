#pragma once
// Compile-time data of the fast CRC-32 kernels, all derived here from the polynomial: the tables of
// the slicing kernel and the constants of carry-less multiplication folding.
#include "core/Crc32.h"

#include <array>
#include <cstdint>

namespace tv::crc32detail {

// Table k gives the register contribution of a byte followed by k zero bytes, so 16 bytes can be
// folded in with 16 independent look-ups.
using SliceTables = std::array<std::array<std::uint32_t, 256>, 16>;

constexpr SliceTables MakeSliceTables() {
    SliceTables t{};
    t[0] = Crc32Table;
    for (std::size_t k = 1; k < t.size(); ++k)
        for (std::size_t b = 0; b < 256; ++b) {
            std::uint32_t prev = t[k - 1][b];
            t[k][b] = (prev >> 8) ^ Crc32Table[prev & 0xFFu];
        }
    return t;
}

inline constexpr SliceTables Slice = MakeSliceTables();
// Byte 0x01 followed by one zero byte, computed by hand with the reference step twice.
static_assert(Slice[1][1] == ((Crc32Table[1] >> 8) ^ Crc32Table[Crc32Table[1] & 0xFFu]));
static_assert(Slice[0][128] == 0xEDB88320u);

// The polynomial in its plain (not reflected) form, without the x^32 term.
inline constexpr std::uint32_t PlainPolynomial = 0x04C11DB7u;

// x^n modulo the polynomial, plain form.
constexpr std::uint32_t XPowMod(unsigned n) {
    std::uint32_t r = 1;
    for (unsigned i = 0; i < n; ++i) r = (r & 0x80000000u) ? (r << 1) ^ PlainPolynomial : r << 1;
    return r;
}

constexpr std::uint32_t Reflect32(std::uint32_t v) {
    std::uint32_t r = 0;
    for (int i = 0; i < 32; ++i) r |= ((v >> i) & 1u) << (31 - i);
    return r;
}

static_assert(Reflect32(PlainPolynomial) == Crc32Polynomial);

// In the reflected layout bit i of a 64-bit lane stands for x^(63-i). A carry-less product of such a
// lane with a constant whose bit j stands for x^(32-j) lands with bit k standing for x^(127-k) once a
// factor x^32 is taken out; so the constant for x^n is x^(n-32) mod P, reflected over 33 bits.
constexpr std::uint64_t FoldConstant(unsigned n) {
    return static_cast<std::uint64_t>(Reflect32(XPowMod(n - 32))) << 1;
}

// Constants that carry a 128-bit block `bits` further on: its first half (the low lane, of higher
// degree) moves by bits + 64, its second half by bits.
struct FoldPair {
    std::uint64_t Low, High;
};
constexpr FoldPair FoldBy(unsigned bits) { return {FoldConstant(bits + 64), FoldConstant(bits)}; }

inline constexpr FoldPair Fold128 = FoldBy(128);
inline constexpr FoldPair Fold256 = FoldBy(256);
inline constexpr FoldPair Fold512 = FoldBy(512);
inline constexpr FoldPair Fold1024 = FoldBy(1024);
inline constexpr FoldPair Fold2048 = FoldBy(2048);

// Published values of the same constants, as a cross-check of the derivation.
static_assert(Fold128.Low == 0x1751997D0u && Fold128.High == 0x0CCAA009Eu);
static_assert(Fold512.Low == 0x154442BD4u && Fold512.High == 0x1C6E41596u);

} // namespace tv::crc32detail
