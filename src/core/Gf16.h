#pragma once
// Arithmetic in GF(2^16) as recovery sets use it: the field built on the polynomial x^16 + x^12 + x^3 + x + 1
// (0x1100B), in which 2 generates every non-zero element. Addition is XOR; multiplication goes through
// logarithm tables. Data is taken as 16-bit little-endian words.
//
// The bulk operation is the multiply-accumulate `dst ^= c * src` over a region of words. Its kernels
// (portable split tables, SSSE3 and AVX2 and AVX-512 nibble lookups with PSHUFB, GFNI affine transforms,
// NEON nibble lookups with TBL)
// all compute exactly the portable result. The fastest one the processor supports is chosen on first
// use; the environment variable TALLYVAULT_GF16_KERNEL (portable, ssse3, avx2, avx512, gfni, neon) forces one
// when it is available, and SetGf16Kernel forces one from a test.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tv {

namespace gf16 {

inline constexpr std::uint32_t Polynomial = 0x1100B;

std::uint16_t Mul(std::uint16_t a, std::uint16_t b);
// a / b; b must not be 0.
std::uint16_t Div(std::uint16_t a, std::uint16_t b);
// a^n (0^0 = 1).
std::uint16_t Pow(std::uint16_t a, std::uint32_t n);
// 2^n.
std::uint16_t Exp(std::uint32_t n);
// The multiplicative inverse; a must not be 0.
std::uint16_t Inv(std::uint16_t a);

// The constant of input slice i (from 0) in the recovery code: 2^n for the (i+1)-th exponent n >= 1
// that is not divisible by 3, 5, 17 or 257, so that every constant has order 65535. `i` < 32768.
std::uint16_t InputConstant(std::uint32_t i);
// The largest number of input slices the code defines.
inline constexpr std::uint32_t MaxInputSlices = 32768;

// The products c * x^j for j = 0..15: the images of the 16 bits of a word, from which every kernel
// builds its tables (multiplication by c is linear over GF(2)).
struct BitImages {
    std::uint16_t Bit[16];
};
BitImages ImagesOf(std::uint16_t c);

} // namespace gf16

enum class Gf16Kernel { Portable, Ssse3, Avx2, Avx512, Gfni, Neon };

inline constexpr Gf16Kernel AllGf16Kernels[] = {Gf16Kernel::Portable, Gf16Kernel::Ssse3, Gf16Kernel::Avx2,
                                                Gf16Kernel::Avx512,   Gf16Kernel::Gfni,  Gf16Kernel::Neon};

std::string_view Gf16KernelName(Gf16Kernel k);
std::optional<Gf16Kernel> Gf16KernelByName(std::string_view name);
bool Gf16KernelAvailable(Gf16Kernel k);
std::string_view Gf16KernelMissing(Gf16Kernel k);
Gf16Kernel ActiveGf16Kernel();
bool SetGf16Kernel(Gf16Kernel k);
Gf16Kernel BestGf16Kernel();

// dst ^= c * src over `bytes` bytes (an even number; any alignment), with the kernel in use.
void Gf16MulAdd(void* dst, const void* src, std::size_t bytes, std::uint16_t c);
// The same with one kernel; `k` must be available.
void Gf16MulAddWith(Gf16Kernel k, void* dst, const void* src, std::size_t bytes, std::uint16_t c);

// dst ^= cs[0] * srcs[0] + ... + cs[count - 1] * srcs[count - 1] over `bytes` bytes of each (an even
// number), with the kernel in use: the same bytes as `count` calls of Gf16MulAdd, but where the kernel can,
// the sum of a group of sources is formed in registers and the destination read and written once a group.
void Gf16MulAddMany(void* dst, const unsigned char* const* srcs, const std::uint16_t* cs, std::size_t count,
                    std::size_t bytes);
// The same with one kernel; `k` must be available.
void Gf16MulAddManyWith(Gf16Kernel k, void* dst, const unsigned char* const* srcs, const std::uint16_t* cs,
                        std::size_t count, std::size_t bytes);

// The kernels themselves. The wide ones exist only in builds for their architecture (x86-64, or 64-bit
// ARM for NEON) and must only be called when the processor has the instructions.
void Gf16MulAddPortable(void* dst, const void* src, std::size_t bytes, std::uint16_t c);
void Gf16MulAddSsse3(void* dst, const void* src, std::size_t bytes, std::uint16_t c);
void Gf16MulAddAvx2(void* dst, const void* src, std::size_t bytes, std::uint16_t c);
void Gf16MulAddAvx512(void* dst, const void* src, std::size_t bytes, std::uint16_t c);
void Gf16MulAddGfni(void* dst, const void* src, std::size_t bytes, std::uint16_t c);
void Gf16MulAddNeon(void* dst, const void* src, std::size_t bytes, std::uint16_t c);
void Gf16MulAddManyGfni(void* dst, const unsigned char* const* srcs, const std::uint16_t* cs, std::size_t count,
                        std::size_t bytes);

} // namespace tv
