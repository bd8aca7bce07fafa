// The ARMv8 kernel: the processor's own CRC-32 instructions (the polynomial of zip), eight bytes per
// step. Built only for 64-bit ARM, with the instructions enabled for this function alone.
#include "core/Crc32Kernels.h"

#if defined(__aarch64__)
#include <arm_acle.h>
#include <cstring>

namespace tv {

__attribute__((target("+crc"))) std::uint32_t Crc32UpdateArmCrc(std::uint32_t reg, const void* data,
                                                                std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (; size > 0 && (reinterpret_cast<std::uintptr_t>(p) & 7u) != 0; --size, ++p) reg = __crc32b(reg, *p);
    for (; size >= 8; size -= 8, p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        reg = __crc32d(reg, word);
    }
    for (; size > 0; --size, ++p) reg = __crc32b(reg, *p);
    return reg;
}

} // namespace tv

#endif
