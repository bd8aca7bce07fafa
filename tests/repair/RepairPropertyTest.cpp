// Whatever the set looks like and whatever the options and answers, a repair never loses a content:
// every content that existed before still exists in some file afterwards (a duplicate is only deleted
// while a copy of it stays), and every entry whose content existed somewhere under the root is in
// place afterwards.
#include "repair/RepairHarness.h"

#include <random>

namespace tv::test {
namespace {

std::set<std::string> Distinct(const std::multiset<std::string>& m) {
    return {m.begin(), m.end()};
}

TEST(RepairProperty, NoContentIsLostAndFoundContentEndsInPlace) {
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
        std::mt19937 rng(seed);
        RepairHarness h;
        TrashInto trash(h.dir.MakeFolder("xdg"));
        const std::string root = h.dir.MakeFolder("R");
        const int n = 3 + static_cast<int>(rng() % 6);
        std::vector<FileSpec> entries;
        for (int k = 0; k < n; ++k) {
            // Sizes from a small range, so that equal sizes are common.
            entries.push_back({"f" + std::to_string(k) + ".bin",
                               RandomBytes(8 + rng() % 4, seed * 100 + static_cast<std::uint32_t>(k))});
        }
        std::set<std::string> takenInSet;
        std::set<std::string> present; // contents written anywhere
        auto place = [&](const std::string& content) {
            switch (rng() % 4) {
            case 0: { // under some entry's name, or another name, in the list's folder
                std::string name = rng() % 2 ? entries[rng() % entries.size()].Name
                                             : std::string("o").append(std::to_string(rng() % 50));
                if (!takenInSet.insert(name).second) return;
                h.Put(name, content);
                break;
            }
            default: // somewhere under the root
                h.Write("R/d" + std::to_string(rng() % 3) + "/s" + std::to_string(rng() % 2) + "/c" +
                            std::to_string(rng() % 1000),
                        content);
            }
            present.insert(content);
        };
        for (const FileSpec& e : entries)
            for (int copies = static_cast<int>(rng() % 3); copies > 0; --copies)
                place(e.Content);
        for (int junk = static_cast<int>(rng() % 3); junk > 0; --junk)
            place("junk " + std::to_string(rng()));
        const auto before = Distinct(ContentsUnder(h.dir.Path(), h.dir / "xdg"));

        const bool withSizes = rng() % 2;
        h.form.CopyComplement.SetChecked(rng() % 2);
        h.form.AutoMove.SetChecked(rng() % 2);
        h.form.TashUse.SetChecked(rng() % 2);
        TMenuItem* options[] = {&h.form.DblNop, &h.form.DblInq, &h.form.DblDel};
        h.form.ClickDuplicateOption(*options[rng() % 3]);
        for (int k = 0; k < 20; ++k)
            h.ui.DuplicateAnswers.push_back(static_cast<DuplicateAnswer>(rng() % 5));

        h.LoadEntries(entries, withSizes);
        const bool closed = h.form.CloseRequested; // a kept duplicate in the list's folder ends the program
        h.Tick(1);
        ASSERT_TRUE(h.Search(root));
        if (h.form.SameFileCount > 0) {
            h.Tick(0);
            ASSERT_TRUE(h.Rename());
        }
        EXPECT_TRUE(h.ui.Errors.empty()) << seed;
        EXPECT_TRUE(h.RowsAgree()) << seed;

        const auto after = Distinct(ContentsUnder(h.dir.Path(), h.dir / "xdg"));
        for (const std::string& c : before)
            EXPECT_TRUE(after.count(c)) << "seed " << seed << ": a content was lost";
        if (closed || h.form.CloseRequested) continue;
        for (const FileSpec& e : entries) {
            if (!present.count(e.Content)) continue;
            EXPECT_EQ(h.Mark(e.Name), "○") << "seed " << seed << " " << e.Name;
            EXPECT_EQ(h.dir.Read("set/" + e.Name), e.Content) << "seed " << seed;
        }
        // A repair settles: the next one, right after, finds nothing to change.
        EXPECT_EQ(h.RepairAgain(), std::vector<std::string>{}) << "seed " << seed;
    }
}

} // namespace
} // namespace tv::test
