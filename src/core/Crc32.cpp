#include "core/Crc32.h"

#include "core/Crc32Kernels.h"

#include "core/KernelChoice.h"

#if defined(__aarch64__) && defined(__linux__)
#include <sys/auxv.h>
#endif

namespace tv {

std::uint32_t Crc32UpdateReference(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) reg = Crc32Table[(reg ^ p[i]) & 0xFFu] ^ (reg >> 8);
    return reg;
}

namespace {

using UpdateFn = std::uint32_t (*)(std::uint32_t, const void*, std::size_t);

using KernelInfo = KernelEntry<Crc32Kernel, UpdateFn>;

constexpr KernelInfo Kernels[] = {
    {Crc32Kernel::Reference, "reference", Crc32UpdateReference},
    {Crc32Kernel::Slice16, "slice16", Crc32UpdateSlice16},
#if defined(__x86_64__) || defined(_M_X64)
    {Crc32Kernel::Pclmul, "pclmul", Crc32UpdatePclmul},
    {Crc32Kernel::Vpclmul256, "vpclmul256", Crc32UpdateVpclmul256},
    {Crc32Kernel::Vpclmul512, "vpclmul512", Crc32UpdateVpclmul512},
#else
    {Crc32Kernel::Pclmul, "pclmul", nullptr},
    {Crc32Kernel::Vpclmul256, "vpclmul256", nullptr},
    {Crc32Kernel::Vpclmul512, "vpclmul512", nullptr},
#endif
#if defined(__aarch64__)
    {Crc32Kernel::ArmCrc, "armcrc", Crc32UpdateArmCrc},
#else
    {Crc32Kernel::ArmCrc, "armcrc", nullptr},
#endif
};

std::string_view ProcessorLacks(Crc32Kernel k) {
    switch (k) {
    case Crc32Kernel::Reference:
    case Crc32Kernel::Slice16: return {};
#if defined(__x86_64__) || defined(_M_X64)
    case Crc32Kernel::Pclmul:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("pclmul") || !__builtin_cpu_supports("sse4.1"))
            return "the processor lacks PCLMULQDQ or SSE4.1";
        return {};
    case Crc32Kernel::Vpclmul256:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("vpclmulqdq") || !__builtin_cpu_supports("avx2") ||
            !__builtin_cpu_supports("pclmul"))
            return "the processor lacks VPCLMULQDQ or AVX2";
        return {};
    case Crc32Kernel::Vpclmul512:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("vpclmulqdq") || !__builtin_cpu_supports("avx512f") ||
            !__builtin_cpu_supports("avx512vl") || !__builtin_cpu_supports("avx512bw") ||
            !__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("pclmul"))
            return "the processor lacks VPCLMULQDQ or AVX-512";
        return {};
#endif
#if defined(__aarch64__)
    case Crc32Kernel::ArmCrc:
#if defined(__linux__)
        if ((::getauxval(AT_HWCAP) & HWCAP_CRC32) == 0) return "the processor lacks the ARMv8 CRC32 instructions";
        return {};
#else
        return "CRC32 instruction detection is not built for this system";
#endif
#endif
    default: return "this build is not for that processor architecture";
    }
}

// Best first.
constexpr Crc32Kernel Preference[] = {Crc32Kernel::Vpclmul512, Crc32Kernel::Vpclmul256, Crc32Kernel::ArmCrc,
                                      Crc32Kernel::Pclmul, Crc32Kernel::Slice16};

constexpr KernelTable<Crc32Kernel, UpdateFn> Table{Kernels, Preference, Crc32Kernel::Slice16, ProcessorLacks,
                                                   "TALLYVAULT_CRC_KERNEL"};

} // namespace

std::string_view Crc32KernelName(Crc32Kernel k) { return Table.Info(k).Name; }

std::optional<Crc32Kernel> Crc32KernelByName(std::string_view name) { return Table.ByName(name); }

std::string_view Crc32KernelMissing(Crc32Kernel k) { return Table.Missing(k); }

bool Crc32KernelAvailable(Crc32Kernel k) { return Table.Available(k); }

Crc32Kernel BestCrc32Kernel() { return Table.Best(); }

Crc32Kernel ChooseCrc32Kernel(const char* forced) { return Table.Choose(forced); }

Crc32Kernel ActiveCrc32Kernel() { return ActiveKernelOf(Table).Kernel.load(std::memory_order_relaxed); }

bool SetCrc32Kernel(Crc32Kernel k) { return ActiveKernelOf(Table).Set(Table, k); }

std::uint32_t Crc32UpdateWith(Crc32Kernel k, std::uint32_t reg, const void* data, std::size_t size) {
    return Table.Info(k).Fn(reg, data, size);
}

std::uint32_t Crc32Update(std::uint32_t reg, const void* data, std::size_t size) {
    return ActiveKernelOf(Table).Fn.load(std::memory_order_relaxed)(reg, data, size);
}

} // namespace tv
