#pragma once
// CRC-32 of ISO-HDLC / IEEE 802.3 (zip, PNG): reflected polynomial 0xEDB88320, initial register
// 0xFFFFFFFF, final XOR 0xFFFFFFFF. "123456789" gives 0xCBF43926.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tv {

inline constexpr std::uint32_t Crc32Polynomial = 0xEDB88320u;

constexpr std::array<std::uint32_t, 256> MakeCrc32Table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i;
        for (int bit = 0; bit < 8; ++bit) r = (r & 1u) ? (r >> 1) ^ Crc32Polynomial : r >> 1;
        table[i] = r;
    }
    return table;
}

inline constexpr std::array<std::uint32_t, 256> Crc32Table = MakeCrc32Table();
static_assert(Crc32Table[1] == 0x77073096u && Crc32Table[255] == 0x2D02EF8Du);

// The byte-wise reference: one table look-up per byte. `reg` is the running register (start with
// 0xFFFFFFFF, finish with XOR 0xFFFFFFFF).
std::uint32_t Crc32UpdateReference(std::uint32_t reg, const void* data, std::size_t size);

// The fastest exact update this machine allows; same contract as the reference.
std::uint32_t Crc32Update(std::uint32_t reg, const void* data, std::size_t size);

// CRC-32 of a whole buffer.
inline std::uint32_t Crc32(const void* data, std::size_t size) {
    return Crc32Update(0xFFFFFFFFu, data, size) ^ 0xFFFFFFFFu;
}

} // namespace tv
