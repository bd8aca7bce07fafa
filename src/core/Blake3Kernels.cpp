// The choice of BLAKE3 kernel: made once, on first use, from what the processor supports.
#include "core/Blake3Kernels.h"

#include "core/KernelChoice.h"

namespace tv {

namespace {

using ManyFn = void (*)(const blake3::Many&);

using KernelInfo = KernelEntry<Blake3Kernel, ManyFn>;

#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__)
#define TV_BLAKE3_X86 1
#endif
#if defined(__aarch64__) && !defined(__ARM_BIG_ENDIAN)
#define TV_BLAKE3_NEON 1
#endif

constexpr KernelInfo Kernels[] = {
    {Blake3Kernel::Portable, "portable", blake3::HashManyPortable},
#ifdef TV_BLAKE3_X86
    {Blake3Kernel::Sse41, "sse41", blake3::HashManySse41},
    {Blake3Kernel::Avx2, "avx2", blake3::HashManyAvx2},
    {Blake3Kernel::Avx512, "avx512", blake3::HashManyAvx512},
#else
    {Blake3Kernel::Sse41, "sse41", nullptr},
    {Blake3Kernel::Avx2, "avx2", nullptr},
    {Blake3Kernel::Avx512, "avx512", nullptr},
#endif
#ifdef TV_BLAKE3_NEON
    {Blake3Kernel::Neon, "neon", blake3::HashManyNeon},
#else
    {Blake3Kernel::Neon, "neon", nullptr},
#endif
};

std::string_view ProcessorLacks(Blake3Kernel k) {
    switch (k) {
#ifdef TV_BLAKE3_X86
    case Blake3Kernel::Sse41:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("sse4.1")) return "the processor lacks SSE4.1";
        return {};
    case Blake3Kernel::Avx2:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("sse4.1")) return "the processor lacks AVX2";
        return {};
    case Blake3Kernel::Avx512:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512vl") ||
            !__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("sse4.1"))
            return "the processor lacks AVX-512 (F and VL)";
        return {};
#endif
    default:
        return {}; // the portable kernel, and NEON, which every 64-bit ARM processor has
    }
}

// Best first.
constexpr Blake3Kernel Preference[] = {Blake3Kernel::Avx512, Blake3Kernel::Avx2, Blake3Kernel::Neon,
                                       Blake3Kernel::Sse41};

constexpr KernelTable<Blake3Kernel, ManyFn> Table{Kernels, Preference, Blake3Kernel::Portable, ProcessorLacks,
                                                  "TALLYVAULT_BLAKE3_KERNEL"};

} // namespace

std::string_view Blake3KernelName(Blake3Kernel k) {
    return Table.Info(k).Name;
}

std::optional<Blake3Kernel> Blake3KernelByName(std::string_view name) {
    return Table.ByName(name);
}

std::string_view Blake3KernelMissing(Blake3Kernel k) {
    return Table.Missing(k);
}

bool Blake3KernelAvailable(Blake3Kernel k) {
    return Table.Available(k);
}

Blake3Kernel BestBlake3Kernel() {
    return Table.Best();
}

Blake3Kernel ChooseBlake3Kernel(const char* forced) {
    return Table.Choose(forced);
}

Blake3Kernel ActiveBlake3Kernel() {
    return ActiveKernelOf(Table).Kernel.load(std::memory_order_relaxed);
}

bool SetBlake3Kernel(Blake3Kernel k) {
    return ActiveKernelOf(Table).Set(Table, k);
}

void blake3::HashMany(const Many& job) {
    ActiveKernelOf(Table).Fn.load(std::memory_order_relaxed)(job);
}

} // namespace tv
