#pragma once
// BLAKE2b-512 of our own (unkeyed), for the platform whose digest service lacks it (CNG has no BLAKE2).
// Portable 64-bit code; where OpenSSL serves, it is used instead.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tv {

class Blake2b {
public:
    static constexpr std::size_t DigestSize = 64;
    static constexpr std::size_t BlockSize = 128;
    Blake2b();
    void Update(const void* data, std::size_t size);
    std::array<std::uint8_t, DigestSize> Final();

private:
    void Compress(const std::uint8_t* block, bool last);
    std::array<std::uint64_t, 8> h_{};
    std::array<std::uint8_t, BlockSize> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t countLow_ = 0, countHigh_ = 0; // bytes compressed so far, a 128-bit count
};

} // namespace tv
