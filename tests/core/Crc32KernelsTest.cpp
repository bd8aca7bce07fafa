// Every CRC-32 kernel must give exactly the byte-wise reference, for any length, alignment, starting
// register and split of the data into pieces.
#include "core/Crc32.h"
#include "core/Crc32Kernels.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace tv {
namespace {

class Crc32KernelTest : public ::testing::TestWithParam<Crc32Kernel> {
protected:
    void SetUp() override {
        if (!Crc32KernelAvailable(GetParam()))
            GTEST_SKIP() << Crc32KernelName(GetParam()) << " cannot run here: " << Crc32KernelMissing(GetParam());
    }
    std::uint32_t Run(std::uint32_t reg, const void* data, std::size_t size) const {
        return Crc32UpdateWith(GetParam(), reg, data, size);
    }
    std::uint32_t Whole(const std::string& s) const { return Run(0xFFFFFFFFu, s.data(), s.size()) ^ 0xFFFFFFFFu; }
};

TEST_P(Crc32KernelTest, CheckValueAndEmptyInput) {
    EXPECT_EQ(Whole("123456789"), 0xCBF43926u);
    EXPECT_EQ(Whole(""), 0x00000000u);
    // A register passes through an empty update untouched.
    EXPECT_EQ(Run(0x1234ABCDu, nullptr, 0), 0x1234ABCDu);
}

TEST_P(Crc32KernelTest, EveryLengthUpTo1024AtEveryAlignment) {
    const std::string data = test::RandomBytes(1024 + 64, 7);
    const auto* base = reinterpret_cast<const unsigned char*>(data.data());
    std::mt19937 rng(11);
    for (std::size_t align = 0; align < 64; ++align) {
        const std::uint32_t start = static_cast<std::uint32_t>(rng());
        // The reference grows one byte at a time, so each length costs one kernel call.
        std::uint32_t expected = start;
        for (std::size_t len = 0; len <= 1024; ++len) {
            if (len > 0) expected = Crc32UpdateReference(expected, base + align + len - 1, 1);
            const std::uint32_t got = Run(start, base + align, len);
            if (got != expected) {
                ADD_FAILURE() << "length " << len << " alignment " << align << ": " << std::hex << got
                              << " instead of " << expected;
                return;
            }
        }
    }
}

TEST_P(Crc32KernelTest, BoundaryLengthsAndLargeBuffers) {
    const std::string data = test::RandomBytes((std::size_t{3} << 20) + 77, 3);
    for (std::size_t len : {0u, 1u, 15u, 16u, 17u, 63u, 64u, 65u, 127u, 128u, 129u, 255u, 256u, 257u, 511u, 512u,
                            513u, 4095u, 4096u, 65537u, 1u << 20, (3u << 20) + 77u}) {
        EXPECT_EQ(Run(0xFFFFFFFFu, data.data(), len), Crc32UpdateReference(0xFFFFFFFFu, data.data(), len))
            << "length " << len;
    }
}

TEST_P(Crc32KernelTest, StreamInRandomPiecesEqualsOneCall) {
    const std::string data = test::RandomBytes((std::size_t{2} << 20) + 13, 5);
    const std::uint32_t whole = Crc32UpdateReference(0xFFFFFFFFu, data.data(), data.size());
    std::mt19937 rng(17);
    for (int round = 0; round < 6; ++round) {
        // Small pieces in some rounds, large ones in others, so every size class of the kernel is crossed.
        const std::size_t maxPiece = round % 2 == 0 ? 700 : 300000;
        std::uint32_t reg = 0xFFFFFFFFu;
        std::size_t pos = 0;
        while (pos < data.size()) {
            std::size_t piece = std::min<std::size_t>(data.size() - pos, rng() % maxPiece);
            reg = Run(reg, data.data() + pos, piece);
            pos += piece;
        }
        EXPECT_EQ(reg, whole) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, Crc32KernelTest, ::testing::ValuesIn(AllCrc32Kernels),
                         [](const auto& p) { return std::string(Crc32KernelName(p.param)); });

TEST(Crc32Dispatch, NamesRoundTripAndUnknownNamesAreRefused) {
    for (Crc32Kernel k : AllCrc32Kernels) EXPECT_EQ(Crc32KernelByName(Crc32KernelName(k)), k);
    EXPECT_FALSE(Crc32KernelByName("PCLMUL").has_value());
    EXPECT_FALSE(Crc32KernelByName("").has_value());
}

TEST(Crc32Dispatch, ForcedKernelIsUsedAndUnavailableOnesAreRefused) {
    const Crc32Kernel before = ActiveCrc32Kernel();
    for (Crc32Kernel k : AllCrc32Kernels) {
        if (Crc32KernelAvailable(k)) {
            ASSERT_TRUE(SetCrc32Kernel(k));
            EXPECT_EQ(ActiveCrc32Kernel(), k);
            EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u) << Crc32KernelName(k);
        } else {
            EXPECT_FALSE(SetCrc32Kernel(k));
            EXPECT_NE(ActiveCrc32Kernel(), k);
            EXPECT_FALSE(Crc32KernelMissing(k).empty());
        }
    }
    SetCrc32Kernel(before);
}

TEST(Crc32Dispatch, EnvironmentChoiceFallsBackToTheFastest) {
    EXPECT_EQ(ChooseCrc32Kernel(nullptr), BestCrc32Kernel());
    EXPECT_EQ(ChooseCrc32Kernel("no-such-kernel"), BestCrc32Kernel());
    EXPECT_EQ(ChooseCrc32Kernel("reference"), Crc32Kernel::Reference);
    EXPECT_EQ(ChooseCrc32Kernel("slice16"), Crc32Kernel::Slice16);
    for (Crc32Kernel k : AllCrc32Kernels) {
        const std::string name(Crc32KernelName(k));
        EXPECT_EQ(ChooseCrc32Kernel(name.c_str()), Crc32KernelAvailable(k) ? k : BestCrc32Kernel()) << name;
    }
    EXPECT_TRUE(Crc32KernelAvailable(BestCrc32Kernel()));
}

} // namespace
} // namespace tv
