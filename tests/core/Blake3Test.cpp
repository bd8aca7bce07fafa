// BLAKE3 on every kernel this machine runs: the published test vectors, a tree built straight from its
// definition for every length up to nine chunks fed in random pieces, and each wide kernel against the
// portable one on inputs long enough to fill its lanes and join its parents.
#include "core/Blake3.h"
#include "core/Blake3Kernels.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <utility>

namespace tv {
namespace {

using Digest = std::array<std::uint8_t, Blake3::DigestBytes>;

std::string Hex(const Digest& d) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : d)
        s += {digits[b >> 4], digits[b & 15]};
    return s;
}

// The input in pieces whose lengths are drawn from `rng` (one piece when `rng` is null).
Digest Hash(const std::string& data, std::mt19937* rng = nullptr) {
    Blake3 h;
    for (std::size_t at = 0; at < data.size();) {
        std::size_t n = data.size() - at;
        if (rng) n = std::min<std::size_t>(n, std::uniform_int_distribution<std::size_t>(0, 2100)(*rng));
        h.Update(data.data() + at, n);
        at += n;
    }
    Digest d;
    h.Final(d.data());
    return d;
}

// The tree of the definition, built top-down in one go: a node over more than one chunk has the largest
// power of two of its chunks on the left, the rest on the right.
void Node(const std::uint8_t* p, std::size_t size, std::uint64_t chunk, bool root, std::uint32_t cv[8]) {
    std::memcpy(cv, blake3::Iv, 32);
    if (size <= 1024) {
        const std::size_t blocks = size == 0 ? 1 : (size + 63) / 64;
        for (std::size_t b = 0; b < blocks; ++b) {
            std::uint8_t block[64] = {};
            const std::size_t len = std::min<std::size_t>(64, size - 64 * b);
            if (len > 0) std::memcpy(block, p + 64 * b, len);
            std::uint32_t flags = (b == 0 ? blake3::ChunkStart : 0) | (b + 1 == blocks ? blake3::ChunkEnd : 0);
            if (root && b + 1 == blocks) flags |= blake3::Root;
            blake3::Compress(cv, block, static_cast<std::uint32_t>(len), chunk, flags);
        }
        return;
    }
    std::size_t left = 1;
    while (left * 2 * 1024 < size)
        left *= 2;
    std::uint32_t l[8], r[8];
    Node(p, left * 1024, chunk, false, l);
    Node(p + left * 1024, size - left * 1024, chunk + left, false, r);
    std::uint8_t block[64];
    for (int w = 0; w < 8; ++w) {
        blake3::StoreLe32(block + 4 * w, l[w]);
        blake3::StoreLe32(block + 32 + 4 * w, r[w]);
    }
    blake3::Compress(cv, block, 64, 0, blake3::Parent | (root ? blake3::Root : 0));
}

Digest Definition(const std::string& data) {
    std::uint32_t cv[8];
    Node(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), 0, true, cv);
    Digest d;
    for (int w = 0; w < 8; ++w)
        blake3::StoreLe32(d.data() + 4 * w, cv[w]);
    return d;
}

// The published vectors: the bytes 0, 1, ..., 250 repeated, and the first 32 bytes of each output.
struct Vector {
    std::size_t Length;
    const char* Hash;
};
constexpr Vector Vectors[] = {
    {0, "af1349b9f5f9a1a6a0404dea36dcc9499bcb25c9adc112b7cc9a93cae41f3262"},
    {1, "2d3adedff11b61f14c886e35afa036736dcd87a74d27b5c1510225d0f592e213"},
    {1023, "10108970eeda3eb932baac1428c7a2163b0e924c9a9e25b35bba72b28f70bd11"},
    {1024, "42214739f095a406f3fc83deb889744ac00df831c10daa55189b5d121c855af7"},
    {1025, "d00278ae47eb27b34faecf67b4fe263f82d5412916c1ffd97c8cb7fb814b8444"},
    {2048, "e776b6028c7cd22a4d0ba182a8bf62205d2ef576467e838ed6f2529b85fba24a"},
    {2049, "5f4d72f40d7a5f82b15ca2b2e44b1de3c2ef86c426c95c1af0b6879522563030"},
    {3072, "b98cb0ff3623be03326b373de6b9095218513e64f1ee2edd2525c7ad1e5cffd2"},
    {3073, "7124b49501012f81cc7f11ca069ec9226cecb8a2c850cfe644e327d22d3e1cd3"},
    {4096, "015094013f57a5277b59d8475c0501042c0b642e531b0a1c8f58d2163229e969"},
    {4097, "9b4052b38f1c5fc8b1f9ff7ac7b27cd242487b3d890d15c96a1c25b8aa0fb995"},
    {5120, "9cadc15fed8b5d854562b26a9536d9707cadeda9b143978f319ab34230535833"},
    {5121, "628bd2cb2004694adaab7bbd778a25df25c47b9d4155a55f8fbd79f2fe154cff"},
    {6144, "3e2e5b74e048f3add6d21faab3f83aa44d3b2278afb83b80b3c35164ebeca205"},
    {6145, "f1323a8631446cc50536a9f705ee5cb619424d46887f3c376c695b70e0f0507f"},
    {7168, "61da957ec2499a95d6b8023e2b0e604ec7f6b50e80a9678b89d2628e99ada77a"},
    {7169, "a003fc7a51754a9b3c7fae0367ab3d782dccf28855a03d435f8cfe74605e7817"},
    {8192, "aae792484c8efe4f19e2ca7d371d8c467ffb10748d8a5a1ae579948f718a2a63"},
    {8193, "bab6c09cb8ce8cf459261398d2e7aef35700bf488116ceb94a36d0f5f1b7bc3b"},
    {16384, "f875d6646de28985646f34ee13be9a576fd515f76b5b0a26bb324735041ddde4"},
    {31744, "62b6960e1a44bcc1eb1a611a8d6235b6b4b78f32e7abc4fb4c6cdcce94895c47"},
    {102400, "bc3e3d41a1146b069abffad3c0d44860cf664390afce4d9661f7902e7943e085"},
};

class Blake3KernelTest : public ::testing::TestWithParam<Blake3Kernel> {
protected:
    void SetUp() override {
        if (!Blake3KernelAvailable(GetParam()))
            GTEST_SKIP() << Blake3KernelName(GetParam()) << " cannot run here: " << Blake3KernelMissing(GetParam());
        saved_ = ActiveBlake3Kernel();
        ASSERT_TRUE(SetBlake3Kernel(GetParam()));
    }
    void TearDown() override { SetBlake3Kernel(saved_); }

private:
    Blake3Kernel saved_ = Blake3Kernel::Portable;
};

TEST_P(Blake3KernelTest, PublishedVectors) {
    for (const Vector& v : Vectors) {
        std::string data(v.Length, '\0');
        for (std::size_t i = 0; i < v.Length; ++i)
            data[i] = static_cast<char>(i % 251);
        EXPECT_EQ(Hex(Hash(data)), v.Hash) << "length " << v.Length;
    }
}

// Lengths around the widths of the kernels (4, 8 and 16 chunks) and of the largest run hashed at once
// (256 chunks), in one piece and in random pieces that start runs at odd chunk counters.
TEST_P(Blake3KernelTest, AgreesWithPortableOnLongInputs) {
    if (GetParam() == Blake3Kernel::Portable) GTEST_SKIP() << "the portable kernel is the reference here";
    const std::string data = test::RandomBytes(258 * 1024, 21);
    std::mt19937 rng(9);
    const std::pair<std::size_t, std::size_t> lengths[] = {{2, 0},  {3, 1},    {4, 700}, {5, 0},    {7, 1},  {8, 0},
                                                           {9, 1},  {15, 700}, {16, 0},  {17, 1},   {31, 0}, {33, 700},
                                                           {64, 0}, {255, 1},  {256, 0}, {257, 700}};
    for (const auto& [chunks, extra] : lengths) {
        const std::string input = data.substr(0, chunks * 1024 + extra);
        ASSERT_TRUE(SetBlake3Kernel(Blake3Kernel::Portable));
        const Digest expected = Hash(input);
        ASSERT_TRUE(SetBlake3Kernel(GetParam()));
        EXPECT_EQ(Hash(input), expected) << input.size() << " bytes in one piece";
        EXPECT_EQ(Hash(input, &rng), expected) << input.size() << " bytes in pieces";
    }
}

// The incremental tree against the definition's, for every length up to nine chunks and beyond; every
// 13th length on the wide kernels, whose own code runs here only on short runs of chunks.
TEST_P(Blake3KernelTest, EveryLengthInRandomPiecesMatchesTheDefinition) {
    const std::string data = test::RandomBytes(9300, 33);
    std::mt19937 rng(4);
    const std::size_t step = GetParam() == Blake3Kernel::Portable ? 1 : 13;
    for (std::size_t len = 0; len <= data.size(); len += step) {
        const std::string input = data.substr(0, len);
        const Digest expected = Definition(input);
        const Digest pieces = Hash(input, &rng);
        // In one piece, whole chunks go to the kernel's wide path: that case for every 7th length.
        const Digest whole = len % 7 == 0 ? Hash(input) : expected;
        if (whole != expected || pieces != expected) {
            ADD_FAILURE() << "length " << len << ": " << Hex(whole) << " / " << Hex(pieces) << " instead of "
                          << Hex(expected);
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, Blake3KernelTest, ::testing::ValuesIn(AllBlake3Kernels),
                         [](const auto& p) { return std::string(Blake3KernelName(p.param)); });

TEST(Blake3Test, KernelNameIsTheActiveKernel) {
    EXPECT_EQ(Blake3::KernelName(), Blake3KernelName(ActiveBlake3Kernel()));
    EXPECT_EQ(ChooseBlake3Kernel("portable"), Blake3Kernel::Portable);
    EXPECT_EQ(ChooseBlake3Kernel("no-such-kernel"), BestBlake3Kernel());
}

} // namespace
} // namespace tv
