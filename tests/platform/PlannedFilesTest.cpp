// The read plan packs its names: every length class comes back whole, NUL-ended, and names handed out
// stay put while thousands more are planned after them.
#include "platform/PlannedFiles.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace tv
