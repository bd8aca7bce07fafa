#pragma once
// BLAKE2b of our own (unkeyed), of any digest length from 1 to 64 bytes (`b2sum -l` writes multiples
// of 8 bits): for the platform whose digest service lacks it (CNG has no BLAKE2), and everywhere for
// lengths other than 64 bytes. Portable 64-bit code; where OpenSSL serves BLAKE2b-512, it is used instead.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tv {

class Blake2b {
public:
    static constexpr std::size_t DigestSize = 64;
    static constexpr std::size_t BlockSize = 128;
    // `digestSize` bytes, 1 to DigestSize; it is part of the parameter block, so a shorter digest is
    // not a prefix of a longer one.
    explicit Blake2b(std::size_t digestSize = DigestSize);
    void Update(const void* data, std::size_t size);
    // The digest in the first `digestSize` bytes, zeros after them.
    std::array<std::uint8_t, DigestSize> Final();

private:
    void Compress(const std::uint8_t* block, bool last);
    std::array<std::uint64_t, 8> h_{};
    std::array<std::uint8_t, BlockSize> pending_{};
    std::size_t pendingSize_ = 0;
    std::size_t digestSize_;
    std::uint64_t countLow_ = 0, countHigh_ = 0; // bytes compressed so far, a 128-bit count
};

} // namespace tv
