// The portable kernel: slicing by 16 bytes, 16 independent table look-ups per step.
#include "core/Crc32Kernels.h"
#include "core/Crc32Tables.h"

namespace tv {

namespace {

using crc32detail::Slice;

// Little-endian 32-bit word, whatever the machine's byte order.
inline std::uint32_t Word(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint32_t Look(std::size_t table, std::uint32_t word, int shift) {
    return Slice[table][(word >> shift) & 0xFFu];
}

} // namespace

std::uint32_t Crc32UpdateSlice16(std::uint32_t reg, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (size >= 16) {
        const std::uint32_t a = Word(p) ^ reg, b = Word(p + 4), c = Word(p + 8), d = Word(p + 12);
        reg = Look(15, a, 0) ^ Look(14, a, 8) ^ Look(13, a, 16) ^ Look(12, a, 24) ^
              Look(11, b, 0) ^ Look(10, b, 8) ^ Look(9, b, 16) ^ Look(8, b, 24) ^
              Look(7, c, 0) ^ Look(6, c, 8) ^ Look(5, c, 16) ^ Look(4, c, 24) ^
              Look(3, d, 0) ^ Look(2, d, 8) ^ Look(1, d, 16) ^ Look(0, d, 24);
        p += 16;
        size -= 16;
    }
    for (; size > 0; --size, ++p) reg = Slice[0][(reg ^ *p) & 0xFFu] ^ (reg >> 8);
    return reg;
}

} // namespace tv
