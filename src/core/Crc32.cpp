#include "core/Crc32.h"

#include "core/Crc32Kernels.h"

#include <atomic>
#include <cstdlib>

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

struct KernelInfo {
    Crc32Kernel Kernel;
    std::string_view Name;
    UpdateFn Fn; // null when this build has no such kernel
};

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

const KernelInfo& Info(Crc32Kernel k) { return Kernels[static_cast<std::size_t>(k)]; }

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

struct Active {
    std::atomic<UpdateFn> Fn;
    std::atomic<Crc32Kernel> Kernel;
    Active() {
        Crc32Kernel k = ChooseCrc32Kernel(std::getenv("TALLYVAULT_CRC_KERNEL"));
        Kernel.store(k);
        Fn.store(Info(k).Fn);
    }
};

Active& ActiveState() {
    static Active active;
    return active;
}

} // namespace

std::string_view Crc32KernelName(Crc32Kernel k) { return Info(k).Name; }

std::optional<Crc32Kernel> Crc32KernelByName(std::string_view name) {
    for (const KernelInfo& info : Kernels)
        if (info.Name == name) return info.Kernel;
    return std::nullopt;
}

std::string_view Crc32KernelMissing(Crc32Kernel k) {
    if (Info(k).Fn == nullptr) return "this build is not for that processor architecture";
    return ProcessorLacks(k);
}

bool Crc32KernelAvailable(Crc32Kernel k) { return Crc32KernelMissing(k).empty(); }

Crc32Kernel BestCrc32Kernel() {
    for (Crc32Kernel k : Preference)
        if (Crc32KernelAvailable(k)) return k;
    return Crc32Kernel::Slice16;
}

Crc32Kernel ChooseCrc32Kernel(const char* forced) {
    if (forced != nullptr) {
        std::optional<Crc32Kernel> k = Crc32KernelByName(forced);
        if (k && Crc32KernelAvailable(*k)) return *k;
    }
    return BestCrc32Kernel();
}

Crc32Kernel ActiveCrc32Kernel() { return ActiveState().Kernel.load(std::memory_order_relaxed); }

bool SetCrc32Kernel(Crc32Kernel k) {
    if (!Crc32KernelAvailable(k)) return false;
    Active& a = ActiveState();
    a.Kernel.store(k, std::memory_order_relaxed);
    a.Fn.store(Info(k).Fn, std::memory_order_relaxed);
    return true;
}

std::uint32_t Crc32UpdateWith(Crc32Kernel k, std::uint32_t reg, const void* data, std::size_t size) {
    return Info(k).Fn(reg, data, size);
}

std::uint32_t Crc32Update(std::uint32_t reg, const void* data, std::size_t size) {
    return ActiveState().Fn.load(std::memory_order_relaxed)(reg, data, size);
}

} // namespace tv
