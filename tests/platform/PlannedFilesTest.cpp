// The read plan packs its names: every length class comes back whole, NUL-ended, and names handed out
// stay put while thousands more are planned after them and those before them are forgotten.
#include "platform/PlannedFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace tv {
namespace {

TEST(PlannedFiles, NamesOfEveryLengthStayWholeAndInPlace) {
    // Around the one-byte length's end, past a block's quarter (a block of its own) and past a block.
    const std::vector<std::size_t> lengths = {0, 1, 126, 127, 128, 129, 300, 16383, 16384, 16385, 70000};
    PlannedFiles plan;
    std::vector<std::string> want;
    std::vector<const char*> handed;
    for (int round = 0; round < 200; ++round)
        for (std::size_t n : lengths) {
            std::string name(n, static_cast<char>('a' + (static_cast<std::size_t>(round) + n) % 26));
            if (n > 0) name[0] = '\xe6'; // bytes above 0x7f in the name do not upset its length
            plan.Add(name, static_cast<std::int64_t>(n) * 3 - 1);
            want.push_back(std::move(name));
            handed.push_back(plan[want.size() - 1].Name.data());
        }
    ASSERT_EQ(plan.size(), want.size());
    for (std::size_t j = 0; j < want.size(); ++j) {
        const PlannedFiles::File f = plan[j];
        ASSERT_EQ(f.Name, want[j]) << j;
        EXPECT_EQ(f.Name.data(), handed[j]) << j;
        EXPECT_EQ(f.Name.data()[f.Name.size()], '\0') << j;
        EXPECT_EQ(std::strlen(f.Name.data()), f.Name.size()) << j;
        EXPECT_EQ(f.Size, static_cast<std::int64_t>(want[j].size()) * 3 - 1) << j;
    }
}

TEST(PlannedFiles, AWindowOfFilesHeldAheadKeepsItsNamesAndNumbersWhileTheFirstAreForgotten) {
    // A walk plans 4,000 files ahead of the one it reads and forgets every 500: short names, names that
    // take a block of their own (which come after the block the short names go on into), and both.
    struct Case {
        const char* what;
        std::size_t bigEvery; // a 20,000-byte name every this many files (0: none)
    };
    for (const Case c : {Case{"short names", 0}, Case{"a big name now and then", 97}, Case{"big names often", 3}}) {
        SCOPED_TRACE(c.what);
        PlannedFiles plan;
        std::vector<std::string> want;
        std::vector<const char*> handed;
        auto nameOf = [&](std::size_t j) {
            std::string name = std::to_string(j);
            name += ".bin";
            if (c.bigEvery && j % c.bigEvery == 0) name.resize(20000, static_cast<char>('a' + j % 26));
            return name;
        };
        constexpr std::size_t Files = 30000, Ahead = 4000;
        std::size_t forgotten = 0;
        for (std::size_t walk = 0; walk < Files; ++walk) {
            while (want.size() < std::min(Files, walk + Ahead)) {
                want.push_back(nameOf(want.size()));
                plan.Add(want.back(), static_cast<std::int64_t>(want.size()));
                handed.push_back(plan[want.size() - 1].Name.data());
            }
            if (walk % 500 == 0) {
                plan.ForgetBefore(walk);
                forgotten = walk;
            }
            // The file read now and the last planned are whole, where they were handed out.
            for (const std::size_t j : {walk, want.size() - 1}) {
                ASSERT_EQ(plan[j].Name, want[j]) << j;
                ASSERT_EQ(plan[j].Name.data(), handed[j]) << j;
                ASSERT_EQ(plan[j].Size, static_cast<std::int64_t>(j) + 1) << j;
            }
        }
        EXPECT_EQ(plan.size(), Files);
        for (std::size_t j = forgotten; j < Files; ++j)
            ASSERT_EQ(plan[j].Name, want[j]) << j;
        // What is held is the last window's names, not all of them: 30,000 files' names fill about ten
        // blocks, more with the big ones.
        plan.ForgetBefore(Files - 1);
        EXPECT_LE(plan.BlocksHeld(), 2u);
        EXPECT_EQ(plan[Files - 1].Name, want[Files - 1]);
        plan.Add("after.bin", 7);
        EXPECT_EQ(plan[Files].Name, "after.bin");
        EXPECT_EQ(plan.size(), Files + 1);
    }
}

} // namespace
} // namespace tv
