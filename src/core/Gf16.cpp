#include "core/Gf16.h"

#include "core/KernelChoice.h"

#include <cstring>
#include <vector>

namespace tv {

namespace gf16 {

namespace {

struct Tables {
    // Exp holds two periods so that Exp[Log[a] + Log[b]] needs no reduction.
    std::vector<std::uint16_t> ExpT = std::vector<std::uint16_t>(2 * 65535);
    std::vector<std::uint16_t> LogT = std::vector<std::uint16_t>(65536);
    std::vector<std::uint16_t> Constants;

    Tables() {
        std::uint32_t x = 1;
        for (std::uint32_t n = 0; n < 65535; ++n) {
            ExpT[n] = ExpT[n + 65535] = static_cast<std::uint16_t>(x);
            LogT[x] = static_cast<std::uint16_t>(n);
            x <<= 1;
            if (x & 0x10000u) x ^= Polynomial;
        }
        Constants.reserve(MaxInputSlices);
        for (std::uint32_t n = 1; Constants.size() < MaxInputSlices; ++n)
            if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0) Constants.push_back(ExpT[n % 65535]);
    }
};

const Tables& T() {
    static const Tables tables;
    return tables;
}

} // namespace

std::uint16_t Mul(std::uint16_t a, std::uint16_t b) {
    if (a == 0 || b == 0) return 0;
    const Tables& t = T();
    return t.ExpT[std::size_t{t.LogT[a]} + t.LogT[b]];
}

std::uint16_t Div(std::uint16_t a, std::uint16_t b) {
    if (a == 0) return 0;
    const Tables& t = T();
    return t.ExpT[std::size_t{t.LogT[a]} + 65535 - t.LogT[b]];
}

std::uint16_t Inv(std::uint16_t a) { return Div(1, a); }

std::uint16_t Exp(std::uint32_t n) { return T().ExpT[n % 65535]; }

std::uint16_t Pow(std::uint16_t a, std::uint32_t n) {
    if (n == 0) return 1;
    if (a == 0) return 0;
    const Tables& t = T();
    return t.ExpT[static_cast<std::size_t>((std::uint64_t{t.LogT[a]} * n) % 65535)];
}

std::uint16_t InputConstant(std::uint32_t i) { return T().Constants.at(i); }

BitImages ImagesOf(std::uint16_t c) {
    BitImages images{};
    std::uint32_t v = c;
    for (int j = 0; j < 16; ++j) {
        images.Bit[j] = static_cast<std::uint16_t>(v);
        v <<= 1;
        if (v & 0x10000u) v ^= Polynomial;
    }
    return images;
}

} // namespace gf16

void Gf16MulAddPortable(void* dst, const void* src, std::size_t bytes, std::uint16_t c) {
    if (c == 0 || bytes < 2) return;
    // The product of a word is the sum of the products of its two bytes: two 256-entry tables.
    const gf16::BitImages images = gf16::ImagesOf(c);
    std::uint16_t low[256], high[256];
    low[0] = high[0] = 0;
    for (unsigned b = 1; b < 256; ++b) {
        const unsigned bit = static_cast<unsigned>(__builtin_ctz(b));
        const unsigned rest = b & (b - 1);
        low[b] = static_cast<std::uint16_t>(low[rest] ^ images.Bit[bit]);
        high[b] = static_cast<std::uint16_t>(high[rest] ^ images.Bit[bit + 8]);
    }
    auto* d = static_cast<unsigned char*>(dst);
    const auto* s = static_cast<const unsigned char*>(src);
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const std::uint16_t p = static_cast<std::uint16_t>(low[s[i]] ^ high[s[i + 1]]);
        d[i] = static_cast<unsigned char>(d[i] ^ (p & 0xFFu));
        d[i + 1] = static_cast<unsigned char>(d[i + 1] ^ (p >> 8));
    }
}

namespace {

using MulAddFn = void (*)(void*, const void*, std::size_t, std::uint16_t);
using KernelInfo = KernelEntry<Gf16Kernel, MulAddFn>;

constexpr KernelInfo Kernels[] = {
    {Gf16Kernel::Portable, "portable", Gf16MulAddPortable},
#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__)
    {Gf16Kernel::Ssse3, "ssse3", Gf16MulAddSsse3},
    {Gf16Kernel::Avx2, "avx2", Gf16MulAddAvx2},
    {Gf16Kernel::Avx512, "avx512", Gf16MulAddAvx512},
    {Gf16Kernel::Gfni, "gfni", Gf16MulAddGfni},
#else
    {Gf16Kernel::Ssse3, "ssse3", nullptr},
    {Gf16Kernel::Avx2, "avx2", nullptr},
    {Gf16Kernel::Avx512, "avx512", nullptr},
    {Gf16Kernel::Gfni, "gfni", nullptr},
#endif
#if defined(__aarch64__)
    {Gf16Kernel::Neon, "neon", Gf16MulAddNeon},
#else
    {Gf16Kernel::Neon, "neon", nullptr},
#endif
};

std::string_view ProcessorLacks(Gf16Kernel k) {
    switch (k) {
    case Gf16Kernel::Portable: return {};
#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__)
    case Gf16Kernel::Ssse3:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("ssse3")) return "the processor lacks SSSE3";
        return {};
    case Gf16Kernel::Avx2:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("avx2")) return "the processor lacks AVX2";
        return {};
    case Gf16Kernel::Avx512:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512bw"))
            return "the processor lacks AVX-512 BW";
        return {};
    case Gf16Kernel::Gfni:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("gfni") || !__builtin_cpu_supports("avx512f") ||
            !__builtin_cpu_supports("avx512bw"))
            return "the processor lacks GFNI or AVX-512 BW";
        return {};
#endif
#if defined(__aarch64__)
    case Gf16Kernel::Neon: return {};
#endif
    default: return "this build is not for that processor architecture";
    }
}

constexpr Gf16Kernel Preference[] = {Gf16Kernel::Gfni, Gf16Kernel::Avx512, Gf16Kernel::Avx2, Gf16Kernel::Neon,
                                     Gf16Kernel::Ssse3};

constexpr KernelTable<Gf16Kernel, MulAddFn> Table{Kernels, Preference, Gf16Kernel::Portable, ProcessorLacks,
                                                  "TALLYVAULT_GF16_KERNEL"};

} // namespace

std::string_view Gf16KernelName(Gf16Kernel k) { return Table.Info(k).Name; }
std::optional<Gf16Kernel> Gf16KernelByName(std::string_view name) { return Table.ByName(name); }
bool Gf16KernelAvailable(Gf16Kernel k) { return Table.Available(k); }
std::string_view Gf16KernelMissing(Gf16Kernel k) { return Table.Missing(k); }
Gf16Kernel ActiveGf16Kernel() { return ActiveKernelOf(Table).Kernel.load(std::memory_order_relaxed); }
bool SetGf16Kernel(Gf16Kernel k) { return ActiveKernelOf(Table).Set(Table, k); }
Gf16Kernel BestGf16Kernel() { return Table.Best(); }

void Gf16MulAdd(void* dst, const void* src, std::size_t bytes, std::uint16_t c) {
    ActiveKernelOf(Table).Fn.load(std::memory_order_relaxed)(dst, src, bytes, c);
}

void Gf16MulAddWith(Gf16Kernel k, void* dst, const void* src, std::size_t bytes, std::uint16_t c) {
    Table.Info(k).Fn(dst, src, bytes, c);
}

void Gf16MulAddManyWith(Gf16Kernel k, void* dst, const unsigned char* const* srcs, const std::uint16_t* cs,
                        std::size_t count, std::size_t bytes) {
#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__)
    if (k == Gf16Kernel::Gfni) {
        Gf16MulAddManyGfni(dst, srcs, cs, count, bytes);
        return;
    }
#endif
    const MulAddFn fn = Table.Info(k).Fn;
    for (std::size_t i = 0; i < count; ++i)
        fn(dst, srcs[i], bytes, cs[i]);
}

void Gf16MulAddMany(void* dst, const unsigned char* const* srcs, const std::uint16_t* cs, std::size_t count,
                    std::size_t bytes) {
    Gf16MulAddManyWith(ActiveGf16Kernel(), dst, srcs, cs, count, bytes);
}

} // namespace tv
