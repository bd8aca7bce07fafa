#include "core/Crc32.h"

namespace tv {

std::uint32_t Crc32UpdateReference(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) reg = Crc32Table[(reg ^ p[i]) & 0xFFu] ^ (reg >> 8);
    return reg;
}

std::uint32_t Crc32Update(std::uint32_t reg, const void* data, std::size_t size) {
    return Crc32UpdateReference(reg, data, size);
}

} // namespace tv
