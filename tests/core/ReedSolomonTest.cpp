// Encoding against the definition word by word, and rebuilding lost slices from every mix of present
// input and recovery slices, with one worker and with several.
#include "core/Gf16.h"
#include "core/ReedSolomon.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace tv {
namespace {

struct Set {
    std::size_t SliceBytes;
    std::vector<std::string> Inputs;

    Set(std::size_t count, std::size_t bytes, std::uint32_t seed) : SliceBytes(bytes) {
        for (std::size_t i = 0; i < count; ++i)
            Inputs.push_back(test::RandomBytes(bytes, seed + static_cast<std::uint32_t>(i)));
    }
    const unsigned char* In(std::size_t i) const { return reinterpret_cast<const unsigned char*>(Inputs[i].data()); }

    // Recovery slices for `exponents`, fed in batches of `batch` inputs.
    SliceCombiner Encode(const std::vector<std::uint32_t>& exponents, std::size_t batch, unsigned workers) const {
        SliceCombiner c(exponents.size(), SliceBytes, workers);
        for (std::size_t first = 0; first < Inputs.size(); first += batch) {
            const std::size_t n = std::min(batch, Inputs.size() - first);
            std::vector<const unsigned char*> ptrs;
            std::vector<std::uint16_t> coef;
            for (std::size_t g = 0; g < n; ++g)
                ptrs.push_back(In(first + g));
            for (std::uint32_t e : exponents)
                for (std::size_t g = 0; g < n; ++g)
                    coef.push_back(RecoveryCoefficient(static_cast<std::uint32_t>(first + g), e));
            c.Add(ptrs, coef);
        }
        return c;
    }
};

std::uint16_t Word(const unsigned char* p, std::size_t w) {
    return static_cast<std::uint16_t>(p[2 * w] | p[2 * w + 1] << 8);
}

TEST(ReedSolomon, RecoverySlicesFollowTheDefinitionInAnyBatchingAndWorkerCount) {
    const Set set(9, 16384 + 36, 100);
    const std::vector<std::uint32_t> exponents = {0, 1, 2, 7, 300, 65534};
    const SliceCombiner one = set.Encode(exponents, 9, 1);
    for (std::size_t r = 0; r < exponents.size(); ++r)
        for (std::size_t w = 0; w < set.SliceBytes / 2; w += 97) {
            std::uint16_t expected = 0;
            for (std::size_t i = 0; i < set.Inputs.size(); ++i)
                expected ^= gf16::Mul(gf16::Pow(gf16::InputConstant(static_cast<std::uint32_t>(i)), exponents[r]),
                                      Word(set.In(i), w));
            ASSERT_EQ(Word(one.Output(r), w), expected) << "exponent " << exponents[r] << " word " << w;
        }
    const SliceCombiner split = set.Encode(exponents, 4, 3);
    for (std::size_t r = 0; r < exponents.size(); ++r)
        EXPECT_TRUE(std::equal(one.Output(r), one.Output(r) + set.SliceBytes, split.Output(r))) << r;
}

TEST(ReedSolomon, LostSlicesAreRebuiltFromAnyMixOfPresentAndRecoverySlices) {
    const Set set(20, 1000, 7);
    const std::vector<std::uint32_t> exponents = {0, 1, 2, 3, 4, 5, 6, 7};
    const SliceCombiner recovery = set.Encode(exponents, 6, 2);
    std::mt19937 rng(5);
    for (std::size_t k : {1u, 2u, 5u, 8u}) {
        std::vector<std::uint32_t> order(set.Inputs.size());
        std::iota(order.begin(), order.end(), 0u);
        std::shuffle(order.begin(), order.end(), rng);
        std::vector<std::uint32_t> lost(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(k));
        std::vector<std::uint32_t> present(order.begin() + static_cast<std::ptrdiff_t>(k), order.end());
        std::vector<std::uint32_t> available = exponents;
        std::shuffle(available.begin(), available.end(), rng);
        const auto solved = SolveLost(lost, present, available);
        ASSERT_TRUE(solved.has_value()) << k << " lost";
        ASSERT_EQ(solved->Exponents.size(), k);
        std::vector<const unsigned char*> inputs;
        for (std::uint32_t i : present)
            inputs.push_back(set.In(i));
        for (std::uint32_t e : solved->Exponents)
            inputs.push_back(recovery.Output(static_cast<std::size_t>(
                std::find(exponents.begin(), exponents.end(), e) - exponents.begin())));
        SliceCombiner rebuilt(k, set.SliceBytes, 2);
        rebuilt.Add(inputs, solved->Coefficients);
        for (std::size_t j = 0; j < k; ++j)
            EXPECT_TRUE(std::equal(rebuilt.Output(j), rebuilt.Output(j) + set.SliceBytes, set.In(lost[j])))
                << k << " lost, slice " << lost[j];
    }
}

TEST(ReedSolomon, TooFewOrDependentRecoverySlicesAreRefusedOrPassedOver) {
    const std::vector<std::uint32_t> lost = {3, 8}, present = {0, 1, 2, 4, 5, 6, 7};
    EXPECT_FALSE(SolveLost(lost, present, std::vector<std::uint32_t>{5}).has_value());
    // The same exponent twice gives the same row: the second is passed over for the next one.
    const auto solved = SolveLost(lost, present, std::vector<std::uint32_t>{5, 5, 9});
    ASSERT_TRUE(solved.has_value());
    EXPECT_EQ(solved->Exponents, (std::vector<std::uint32_t>{5, 9}));
    EXPECT_FALSE(SolveLost(lost, present, std::vector<std::uint32_t>{4, 4, 4}).has_value());
    // Nothing lost: nothing to solve, whatever is at hand.
    const auto none = SolveLost({}, present, {});
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->Exponents.empty());
}

} // namespace
} // namespace tv
