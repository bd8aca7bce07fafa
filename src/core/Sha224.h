#pragma once
// SHA-224 of our own, for the platform whose digest service lacks it (CNG offers SHA-256 but not its
// truncated sibling). Plain portable code: SHA-224 lists are rare, so it is kept simple, not fast.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tv {

class Sha224 {
public:
    static constexpr std::size_t DigestSize = 28;
    void Update(const void* data, std::size_t size);
    std::array<std::uint8_t, DigestSize> Final();

private:
    void Compress(const std::uint8_t* block);
    std::array<std::uint32_t, 8> state_{0xc1059ed8u, 0x367cd507u, 0x3070dd17u, 0xf70e5939u,
                                        0xffc00b31u, 0x68581511u, 0x64f98fa7u, 0xbefa4fa4u};
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t length_ = 0; // bytes given so far
};

} // namespace tv
