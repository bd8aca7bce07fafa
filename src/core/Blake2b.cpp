#include "core/Blake2b.h"

#include <cstring>

namespace tv {

namespace {

// The initial values are SHA-512's.
constexpr std::uint64_t Iv[8] = {0x6a09e667f3bcc908u, 0xbb67ae8584caa73bu, 0x3c6ef372fe94f82bu, 0xa54ff53a5f1d36f1u,
                                 0x510e527fade682d1u, 0x9b05688c2b3e6c1fu, 0x1f83d9abfb41bd6bu, 0x5be0cd19137e2179u};

// The message word order of each round; rounds 10 and 11 repeat rounds 0 and 1.
constexpr std::uint8_t Sigma[12][16] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, {14, 10, 4, 8, 9, 15, 13, 6, 1, 12, 0, 2, 11, 7, 5, 3},
    {11, 8, 12, 0, 5, 2, 15, 13, 10, 14, 3, 6, 7, 1, 9, 4}, {7, 9, 3, 1, 13, 12, 11, 14, 2, 6, 5, 10, 4, 0, 15, 8},
    {9, 0, 5, 7, 2, 4, 10, 15, 14, 1, 11, 12, 6, 8, 3, 13}, {2, 12, 6, 10, 0, 11, 8, 3, 4, 13, 7, 5, 15, 14, 1, 9},
    {12, 5, 1, 15, 14, 13, 4, 10, 0, 7, 6, 3, 9, 2, 8, 11}, {13, 11, 7, 14, 12, 1, 3, 9, 5, 0, 15, 4, 8, 6, 2, 10},
    {6, 15, 14, 9, 11, 3, 0, 8, 12, 2, 13, 7, 1, 4, 10, 5}, {10, 2, 8, 4, 7, 6, 1, 5, 15, 11, 9, 14, 3, 12, 13, 0},
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, {14, 10, 4, 8, 9, 15, 13, 6, 1, 12, 0, 2, 11, 7, 5, 3},
};

constexpr std::uint64_t Rotr(std::uint64_t x, int n) {
    return x >> n | x << (64 - n);
}

std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

inline void Mix(std::uint64_t* v, int a, int b, int c, int d, std::uint64_t x, std::uint64_t y) {
    v[a] = v[a] + v[b] + x;
    v[d] = Rotr(v[d] ^ v[a], 32);
    v[c] = v[c] + v[d];
    v[b] = Rotr(v[b] ^ v[c], 24);
    v[a] = v[a] + v[b] + y;
    v[d] = Rotr(v[d] ^ v[a], 16);
    v[c] = v[c] + v[d];
    v[b] = Rotr(v[b] ^ v[c], 63);
}

} // namespace

Blake2b::Blake2b(std::size_t digestSize) : digestSize_(digestSize < 1 ? 1 : digestSize > DigestSize ? DigestSize : digestSize) {
    for (std::size_t i = 0; i < 8; ++i)
        h_[i] = Iv[i];
    // The parameter block of an unkeyed digest: its length in bytes, key length 0, fanout and depth 1.
    h_[0] ^= 0x01010000u ^ digestSize_;
}

void Blake2b::Compress(const std::uint8_t* block, bool last) {
    std::uint64_t m[16];
    for (std::size_t i = 0; i < 16; ++i)
        m[i] = Load64(block + 8 * i);
    std::uint64_t v[16];
    for (std::size_t i = 0; i < 8; ++i) {
        v[i] = h_[i];
        v[i + 8] = Iv[i];
    }
    v[12] ^= countLow_;
    v[13] ^= countHigh_;
    if (last) v[14] = ~v[14];
    for (const auto& s : Sigma) {
        Mix(v, 0, 4, 8, 12, m[s[0]], m[s[1]]);
        Mix(v, 1, 5, 9, 13, m[s[2]], m[s[3]]);
        Mix(v, 2, 6, 10, 14, m[s[4]], m[s[5]]);
        Mix(v, 3, 7, 11, 15, m[s[6]], m[s[7]]);
        Mix(v, 0, 5, 10, 15, m[s[8]], m[s[9]]);
        Mix(v, 1, 6, 11, 12, m[s[10]], m[s[11]]);
        Mix(v, 2, 7, 8, 13, m[s[12]], m[s[13]]);
        Mix(v, 3, 4, 9, 14, m[s[14]], m[s[15]]);
    }
    for (std::size_t i = 0; i < 8; ++i)
        h_[i] ^= v[i] ^ v[i + 8];
}

void Blake2b::Update(const void* data, std::size_t size) {
    auto* p = static_cast<const std::uint8_t*>(data);
    auto count = [this](std::size_t n) {
        countLow_ += n;
        if (countLow_ < n) ++countHigh_;
    };
    // The last block is compressed differently, so a full block is kept back until more bytes follow.
    while (size > 0) {
        if (pendingSize_ == BlockSize) {
            count(BlockSize);
            Compress(pending_.data(), false);
            pendingSize_ = 0;
        }
        if (pendingSize_ == 0) {
            while (size > BlockSize) {
                count(BlockSize);
                Compress(p, false);
                p += BlockSize;
                size -= BlockSize;
            }
        }
        const std::size_t n = size < BlockSize - pendingSize_ ? size : BlockSize - pendingSize_;
        std::memcpy(pending_.data() + pendingSize_, p, n);
        pendingSize_ += n;
        p += n;
        size -= n;
    }
}

std::array<std::uint8_t, Blake2b::DigestSize> Blake2b::Final() {
    countLow_ += pendingSize_;
    if (countLow_ < pendingSize_) ++countHigh_;
    std::memset(pending_.data() + pendingSize_, 0, BlockSize - pendingSize_);
    Compress(pending_.data(), true);
    std::array<std::uint8_t, DigestSize> out{};
    for (std::size_t i = 0; i < digestSize_; ++i)
        out[i] = static_cast<std::uint8_t>(h_[i / 8] >> (8 * (i % 8)));
    return out;
}

} // namespace tv
