// Rows that give one name two contents are shown as they are and never repaired: the file under the
// name stays, whatever else the repair does, and a second repair changes nothing either.
#include "repair/RepairHarness.h"

#include "repair/RepairPlan.h"

namespace tv::test {
namespace {

struct ConflictCase {
    const char* Title;
    std::vector<FileSpec> OnDisk;      // in the list's folder
    std::vector<FileSpec> Entries;     // the two rows of one name among them
    std::vector<std::string> Marks;    // of the rows named "notes.md", in table order
};

void PrintTo(const ConflictCase& c, std::ostream* os) {
    *os << c.Title;
}

class NameConflicts : public ::testing::TestWithParam<std::tuple<ConflictCase, bool>> {};

TEST_P(NameConflicts, StayAsTheyAreWhileTheRestIsRepaired) {
    const auto& [c, withSizes] = GetParam();
    RepairHarness h;
    for (const FileSpec& f : c.OnDisk)
        h.Put(f.Name, f.Content);
    // Beside the conflict, a swap the same repair puts right.
    h.Put("p.bin", "content of q");
    h.Put("q.bin", "content of p, longer");
    std::vector<FileSpec> entries = c.Entries;
    entries.push_back({"p.bin", "content of p, longer"});
    entries.push_back({"q.bin", "content of q"});
    h.LoadEntries(entries, withSizes);
    std::vector<std::string> marks;
    for (const TListItem& r : h.form.CrcList.Items())
        if (r.Caption() == "notes.md") marks.push_back(MarkOfIcon(r.ImageIndex));
    EXPECT_EQ(marks, c.Marks);
    EXPECT_EQ(h.form.Status.Caption(), "読み取り終了 list.sfv　同じ名前で内容の違う項目があります： notes.md");
    const auto before = TreeState(h.dir / "set");

    h.Tick(0);
    EXPECT_TRUE(h.form.PlannedFileChanges().Steps.size() == 3) << "the swap's park and two renames only";
    ASSERT_TRUE(h.Rename());
    EXPECT_TRUE(h.ui.Errors.empty());
    for (const FileSpec& f : c.OnDisk)
        EXPECT_EQ(h.dir.Read("set/" + f.Name), f.Content) << f.Name;
    EXPECT_EQ(h.dir.Read("set/p.bin"), "content of p, longer");
    EXPECT_EQ(h.dir.Read("set/q.bin"), "content of q");
    EXPECT_EQ(TreeState(h.dir / "set").size(), before.size()) << "nothing parked";
    EXPECT_EQ(h.form.Status.Caption(), "処理終了　list.sfv　同じ名前で内容の違う項目があります： notes.md");
    EXPECT_EQ(h.form.ConflictRows, 2);
    EXPECT_TRUE(h.RowsAgree());
    EXPECT_EQ(h.RepairAgain(), std::vector<std::string>{});
}

const ConflictCase conflictCases[] = {
    // The user edited notes.md, listed it again, and kept the old one as a backup.
    {"EditedAndListedAgain",
     {{"notes.md", "new text, longer"}, {"notes.md.bak", "old text"}},
     {{"notes.md", "old text"}, {"notes.md", "new text, longer"}},
     {"○", "！"}},
    // Both contents lie elsewhere in the folder and the name is free: neither takes it.
    {"BothFoundNameFree",
     {{"one.old", "old text"}, {"two.new", "new text, longer"}},
     {{"notes.md", "old text"}, {"notes.md", "new text, longer"}},
     {"！", "！"}},
    // The file under the name is neither: it is not parked for either of them.
    {"NeitherUnderTheName",
     {{"notes.md", "something else"}, {"one.old", "old text"}, {"two.new", "new text, longer"}},
     {{"notes.md", "old text"}, {"notes.md", "new text, longer"}},
     {"！", "！"}},
};

INSTANTIATE_TEST_SUITE_P(Sets, NameConflicts,
                         ::testing::Combine(::testing::ValuesIn(conflictCases), ::testing::Bool()),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param).Title) +
                                    (std::get<1>(p.param) ? "WithSizes" : "WithoutSizes");
                         });

TEST(NameConflicts, OneContentListedTwiceUnderOneNameIsNone) {
    RepairHarness h;
    h.Put("a.bin", "content a");
    h.Put("a.copy", "content a");
    // The same line twice (two lists joined) is one entry; one name and one content is no conflict.
    h.LoadEntries({{"a.bin", "content a"}, {"a.bin", "content a"}, {"b.bin", "content b"}}, true);
    EXPECT_TRUE(h.form.ConflictNames.empty());
    EXPECT_EQ(h.form.Status.Caption(), "読み取り終了 list.sfv");
}

} // namespace
} // namespace tv::test
