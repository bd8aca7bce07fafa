#pragma once
// The CRC-32 kernels behind Crc32Update and the choice between them. Every kernel computes exactly the
// byte-wise reference; they differ only in speed. The fastest one the processor supports is chosen on
// first use; the environment variable TALLYVAULT_CRC_KERNEL (reference, slice16, pclmul, vpclmul256,
// vpclmul512, armcrc) forces one when it is available, and SetCrc32Kernel forces one from a test.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tv {

enum class Crc32Kernel { Reference, Slice16, Pclmul, Vpclmul256, Vpclmul512, ArmCrc };

inline constexpr Crc32Kernel AllCrc32Kernels[] = {Crc32Kernel::Reference, Crc32Kernel::Slice16,
                                                  Crc32Kernel::Pclmul,    Crc32Kernel::Vpclmul256,
                                                  Crc32Kernel::Vpclmul512, Crc32Kernel::ArmCrc};

// The name used by TALLYVAULT_CRC_KERNEL, e.g. "pclmul".
std::string_view Crc32KernelName(Crc32Kernel k);
std::optional<Crc32Kernel> Crc32KernelByName(std::string_view name);

// Whether this build and this processor can run the kernel.
bool Crc32KernelAvailable(Crc32Kernel k);
// Why a kernel cannot run here (empty when it can).
std::string_view Crc32KernelMissing(Crc32Kernel k);

// The kernel Crc32Update uses now.
Crc32Kernel ActiveCrc32Kernel();
// Makes Crc32Update use `k`; returns false (and changes nothing) when `k` is not available.
bool SetCrc32Kernel(Crc32Kernel k);
// The fastest available kernel.
Crc32Kernel BestCrc32Kernel();
// The kernel chosen at start for a value of TALLYVAULT_CRC_KERNEL (null when unset): the named one when
// it is available, else the fastest.
Crc32Kernel ChooseCrc32Kernel(const char* forced);

// Runs one kernel directly; `k` must be available.
std::uint32_t Crc32UpdateWith(Crc32Kernel k, std::uint32_t reg, const void* data, std::size_t size);

// The kernels themselves, same contract as Crc32UpdateReference. The wide ones exist only in builds
// for their architecture and must only be called when the processor has the instructions.
std::uint32_t Crc32UpdateSlice16(std::uint32_t reg, const void* data, std::size_t size);
std::uint32_t Crc32UpdatePclmul(std::uint32_t reg, const void* data, std::size_t size);
std::uint32_t Crc32UpdateVpclmul256(std::uint32_t reg, const void* data, std::size_t size);
std::uint32_t Crc32UpdateVpclmul512(std::uint32_t reg, const void* data, std::size_t size);
std::uint32_t Crc32UpdateArmCrc(std::uint32_t reg, const void* data, std::size_t size);

} // namespace tv
