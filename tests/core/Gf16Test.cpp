// The field against a slow shift-and-add multiplication, the code's constants against the published
// first ones, and every multiply-accumulate kernel against word-by-word products.
#include "core/Gf16.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tv {
namespace {

std::uint16_t SlowMul(std::uint16_t a, std::uint16_t b) {
    std::uint32_t product = 0;
    for (int i = 0; i < 16; ++i)
        if (b & (1u << i)) product ^= std::uint32_t{a} << i;
    for (int bit = 31; bit >= 16; --bit)
        if (product & (1u << bit)) product ^= gf16::Polynomial << (bit - 16);
    return static_cast<std::uint16_t>(product);
}

TEST(Gf16Field, ProductsQuotientsAndPowersAgreeWithShiftAndAdd) {
    std::mt19937 rng(3);
    for (int n = 0; n < 20000; ++n) {
        const auto a = static_cast<std::uint16_t>(rng()), b = static_cast<std::uint16_t>(rng());
        const std::uint16_t p = gf16::Mul(a, b);
        ASSERT_EQ(p, SlowMul(a, b)) << a << " * " << b;
        if (b != 0) {
            ASSERT_EQ(gf16::Div(p, b), a);
        }
    }
    for (std::uint16_t a : {std::uint16_t{0}, std::uint16_t{1}, std::uint16_t{2}, std::uint16_t{0x8000},
                            std::uint16_t{0xFFFF}}) {
        std::uint16_t power = 1;
        for (std::uint32_t e = 0; e < 40; ++e) {
            EXPECT_EQ(gf16::Pow(a, e), power) << a << "^" << e;
            power = SlowMul(power, a);
        }
        if (a != 0) {
            EXPECT_EQ(SlowMul(a, gf16::Inv(a)), 1);
        }
    }
    EXPECT_EQ(gf16::Exp(65535), 1);
    EXPECT_EQ(gf16::Exp(16), 0x100B);
}

TEST(Gf16Field, InputConstantsAreThePublishedOnesAndAllDistinct) {
    const std::uint16_t first[] = {2, 4, 16, 128, 256, 2048, 8192, 16384, 4107, 32856, 17132};
    for (std::uint32_t i = 0; i < std::size(first); ++i)
        EXPECT_EQ(gf16::InputConstant(i), first[i]) << "constant " << i;
    std::vector<bool> seen(65536);
    for (std::uint32_t i = 0; i < gf16::MaxInputSlices; ++i) {
        const std::uint16_t c = gf16::InputConstant(i);
        ASSERT_FALSE(seen[c]) << "constant " << i << " repeats";
        seen[c] = true;
    }
}

class Gf16KernelTest : public ::testing::TestWithParam<Gf16Kernel> {
protected:
    void SetUp() override {
        if (!Gf16KernelAvailable(GetParam()))
            GTEST_SKIP() << Gf16KernelName(GetParam()) << " cannot run here: " << Gf16KernelMissing(GetParam());
    }
};

// What dst ^= c * src must leave, word by word.
std::string Expected(std::string dst, const std::string& src, std::size_t offset, std::size_t bytes,
                     std::uint16_t c) {
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const auto w = static_cast<std::uint16_t>(static_cast<unsigned char>(src[offset + i]) |
                                                  static_cast<unsigned char>(src[offset + i + 1]) << 8);
        const std::uint16_t p = SlowMul(c, w);
        dst[offset + i] = static_cast<char>(dst[offset + i] ^ static_cast<char>(p & 0xFF));
        dst[offset + i + 1] = static_cast<char>(dst[offset + i + 1] ^ static_cast<char>(p >> 8));
    }
    return dst;
}

TEST_P(Gf16KernelTest, EveryEvenLengthAlignmentAndCoefficientClass) {
    const std::string src = test::RandomBytes(1400, 5);
    const std::string dst0 = test::RandomBytes(1400, 6);
    std::mt19937 rng(9);
    // 0 and 1 are the edges; the rest are random, a power of two and all ones.
    const std::uint16_t fixed[] = {0, 1, 2, 0x8000, 0xFFFF, 0x100B};
    for (int round = 0; round < 30; ++round) {
        const std::uint16_t c = round < 6 ? fixed[round] : static_cast<std::uint16_t>(rng());
        const std::size_t offset = static_cast<std::size_t>(round % 7);
        for (std::size_t bytes = 0; bytes + offset <= 1300; bytes += round < 6 ? 2 : 26) {
            std::string dst = dst0;
            Gf16MulAddWith(GetParam(), dst.data() + offset, src.data() + offset, bytes, c);
            if (dst != Expected(dst0, src, offset, bytes, c)) {
                ADD_FAILURE() << "coefficient " << c << ", " << bytes << " bytes at offset " << offset;
                return;
            }
        }
    }
}

TEST_P(Gf16KernelTest, LargeRegionEqualsThePortableKernel) {
    const std::size_t bytes = (std::size_t{1} << 20) + 98;
    const std::string src = test::RandomBytes(bytes, 1);
    std::string ours = test::RandomBytes(bytes, 2), portable = ours;
    for (std::uint16_t c : {std::uint16_t{0x1234}, std::uint16_t{0xBEEF}}) {
        Gf16MulAddWith(GetParam(), ours.data(), src.data(), bytes, c);
        Gf16MulAddPortable(portable.data(), src.data(), bytes, c);
    }
    EXPECT_TRUE(ours == portable);
}

// Sums of several sources at once: group edges (8 a group), zero coefficients inside a group, lengths
// around the 128-byte step, and sources at odd distances from each other.
TEST_P(Gf16KernelTest, SumOfManySourcesEqualsOneCallEach) {
    const std::size_t room = 17 * 4099 + 16384 + 300;
    const std::string pool = test::RandomBytes(room, 11);
    const std::string dst0 = test::RandomBytes(16384 + 300, 12);
    std::mt19937 rng(4);
    for (std::size_t count : {0u, 1u, 7u, 8u, 9u, 17u})
        for (std::size_t bytes : {std::size_t{0}, std::size_t{2}, std::size_t{126}, std::size_t{130},
                                  std::size_t{16384 + 258}}) {
            std::vector<const unsigned char*> srcs;
            std::vector<std::uint16_t> cs;
            for (std::size_t k = 0; k < count; ++k) {
                srcs.push_back(reinterpret_cast<const unsigned char*>(pool.data()) + k * 4099);
                cs.push_back(k % 5 == 3 ? 0 : static_cast<std::uint16_t>(rng()));
            }
            std::string ours = dst0, portable = dst0;
            Gf16MulAddManyWith(GetParam(), ours.data() + 1, srcs.data(), cs.data(), count, bytes);
            for (std::size_t k = 0; k < count; ++k)
                Gf16MulAddPortable(portable.data() + 1, srcs[k], bytes, cs[k]);
            ASSERT_TRUE(ours == portable) << count << " sources of " << bytes << " bytes";
        }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, Gf16KernelTest, ::testing::ValuesIn(AllGf16Kernels),
                         [](const auto& p) { return std::string(Gf16KernelName(p.param)); });

TEST(Gf16Dispatch, ForcedKernelIsUsedAndUnavailableOnesAreRefused) {
    const Gf16Kernel before = ActiveGf16Kernel();
    for (Gf16Kernel k : AllGf16Kernels) {
        EXPECT_EQ(Gf16KernelByName(Gf16KernelName(k)), k);
        if (Gf16KernelAvailable(k)) {
            ASSERT_TRUE(SetGf16Kernel(k));
            EXPECT_EQ(ActiveGf16Kernel(), k);
        } else {
            EXPECT_FALSE(SetGf16Kernel(k));
            EXPECT_FALSE(Gf16KernelMissing(k).empty());
        }
    }
    SetGf16Kernel(before);
    EXPECT_TRUE(Gf16KernelAvailable(BestGf16Kernel()));
}

} // namespace
} // namespace tv
