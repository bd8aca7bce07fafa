// Sets in which several entries share one content (empty files, identical photos), and entries that a
// list with sizes gives without a size: every row is true, no listed file is lost or offered as a
// duplicate, and one found file brings back every entry of its content.
#include "core/Ordering.h"
#include "repair/RepairHarness.h"

namespace tv::test {
namespace {

struct Listed {
    std::string Name, Content;
    bool NoSizeGiven = false; // an entry line after the size section of a list with sizes
};

struct Case {
    const char* Title;
    std::vector<Listed> Entries;
    std::vector<FileSpec> Files; // in the list's folder ("set/"), or elsewhere with "../"
    TMenuItem TForm1::*Option;
    std::vector<DuplicateAnswer> Answers;
    std::string Rows;      // "mark name" per row, after the verification
    std::string Remaining; // the files of the list's folder afterwards, the list excluded
    bool Closes;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.Title;
}

std::string FilesOf(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename() != "list.sfv") names.insert(e.path().filename().string());
    std::string out;
    for (const std::string& n : names)
        out += n + " ";
    return out;
}

void Load(RepairHarness& h, const std::vector<Listed>& entries, bool withSizes) {
    h.form.ListPath = h.base + "/list.sfv";
    h.form.BaseFolder = h.base;
    h.form.ListHasSizes = withSizes;
    h.form.ReadErrorText = "読み取り終了 list.sfv";
    h.form.EntryCount = 0;
    for (const Listed& e : entries)
        h.form.AppendEntry(e.Name, e.NoSizeGiven ? NoSize : static_cast<std::int64_t>(e.Content.size()),
                           CrcOf(e.Content));
    h.form.RunCommand([&] { h.form.VerifyEntries(); }, true);
}

class SameContent : public ::testing::TestWithParam<std::tuple<Case, bool>> {};

TEST_P(SameContent, VerificationShowsEveryRowTrue) {
    const auto& [c, withSizes] = GetParam();
    RepairHarness h;
    for (const FileSpec& f : c.Files)
        h.Put(f.Name, f.Content);
    h.form.ClickDuplicateOption(h.form.*c.Option);
    h.ui.DuplicateAnswers.assign(c.Answers.begin(), c.Answers.end());
    Load(h, c.Entries, withSizes);
    EXPECT_EQ(RowsOf(h), c.Rows);
    EXPECT_EQ(FilesOf(h.base), c.Remaining);
    EXPECT_EQ(h.form.CloseRequested, c.Closes);
    EXPECT_TRUE(h.RowsAgree());
}

const std::string photo = "JFIF photo bytes";

INSTANTIATE_TEST_SUITE_P(
    Sets, SameContent,
    ::testing::Combine(
        ::testing::Values(
            Case{"TwoEmptyAndTwoIdenticalPhotosAllMatch",
                 {{"e1.txt", ""}, {"e2.txt", ""}, {"p1.jpg", photo}, {"p2.jpg", photo}, {"x.bin", "x"}},
                 {{"e1.txt", ""}, {"e2.txt", ""}, {"p1.jpg", photo}, {"p2.jpg", photo}, {"x.bin", "x"}},
                 &TForm1::DblDel,
                 {},
                 "○e1.txt ○e2.txt ○p1.jpg ○p2.jpg ○x.bin ",
                 "e1.txt e2.txt p1.jpg p2.jpg x.bin ",
                 false},
            Case{"ADeletedSecondCopyIsNoticed",
                 {{"p1.jpg", photo}, {"p2.jpg", photo}, {"p3.jpg", photo}},
                 {{"p2.jpg", photo}},
                 &TForm1::DblDel,
                 {},
                 "！p1.jpg ○p2.jpg ！p3.jpg ",
                 "p2.jpg ",
                 false},
            Case{"OnlyTheUnlistedCopyIsDeleted",
                 {{"p1.jpg", photo}, {"p2.jpg", photo}},
                 {{"0extra.jpg", photo}, {"p1.jpg", photo}, {"p2.jpg", photo}},
                 &TForm1::DblDel,
                 {},
                 "○p1.jpg ○p2.jpg ",
                 "p1.jpg p2.jpg ",
                 false},
            Case{"AListedFileIsNeverOfferedWhenAsked",
                 {{"p1.jpg", photo}, {"p2.jpg", photo}},
                 {{"p1.jpg", photo}, {"p2.jpg", photo}},
                 &TForm1::DblInq,
                 {},
                 "○p1.jpg ○p2.jpg ",
                 "p1.jpg p2.jpg ",
                 false},
            Case{"AKeptCopyDoesNotCutTheCheckShort",
                 {{"a.bin", "aaa"}, {"b.bin", "bbb"}, {"c.bin", "ccc"}},
                 {{"0copy.bin", "aaa"}, {"a.bin", "aaa"}, {"b.bin", "bad"}, {"zz.bin", "ccc"}},
                 &TForm1::DblInq,
                 {DuplicateAnswer::No},
                 "○a.bin ×b.bin ！c.bin ",
                 "0copy.bin a.bin b.bin zz.bin ",
                 true},
            Case{"EntriesWithoutASizeMatchByCrcAlone",
                 {{"sized.bin", "sized"}, {"late.bin", "appended", true}, {"moved.bin", "elsewhere", true}},
                 {{"late.bin", "appended"}, {"other name", "elsewhere"}, {"sized.bin", "sized"}},
                 &TForm1::DblInq,
                 {},
                 "○late.bin ！moved.bin ○sized.bin ",
                 "late.bin other name sized.bin ",
                 false}),
        ::testing::Bool()),
    [](const auto& p) {
        return std::string(std::get<0>(p.param).Title) + (std::get<1>(p.param) ? "Sizes" : "NoSizes");
    });

TEST(SameContentRows, AnEntryWithoutASizeShowsAnEmptySizeCell) {
    RepairHarness h;
    h.Put("a.bin", "a");
    h.Put("b.bin", "b");
    Load(h, {{"a.bin", "a"}, {"b.bin", "b", true}}, true);
    ASSERT_NE(h.Row("b.bin"), nullptr);
    EXPECT_EQ(h.Row("a.bin")->SubItem(0), "1");
    EXPECT_EQ(h.Row("b.bin")->SubItem(0), "");
}

// Repairs: one found file serves every ticked entry of its content, and a listed file stays in place.
struct RepairCase {
    const char* Title;
    std::vector<FileSpec> Files; // paths below the temporary folder
    const char* How;             // "rename", "search" or "drop:<path>"
    bool Copy;                   // CopyComplement
    std::string Rows;            // after the repair (and the rename it ends with)
    std::string Remaining;       // files of the list's folder
    std::vector<std::string> Kept, Gone;
};

void PrintTo(const RepairCase& c, std::ostream* os) {
    *os << c.Title;
}

class SameContentRepair : public ::testing::TestWithParam<std::tuple<RepairCase, bool>> {};

TEST_P(SameContentRepair, BringsBackEveryEntryWithoutLosingAFile) {
    const auto& [c, withSizes] = GetParam();
    RepairHarness h;
    for (const FileSpec& f : c.Files)
        h.Write(f.Name, f.Content);
    h.form.ClickDuplicateOption(h.form.DblDel); // whatever is offered goes: nothing listed may be
    h.form.CopyComplement.SetChecked(c.Copy);
    Load(h, {{"p1.jpg", photo}, {"p2.jpg", photo}, {"p3.jpg", photo}, {"x.bin", "x"}}, withSizes);
    const std::string how = c.How;
    if (how == "search") {
        ASSERT_TRUE(h.Search(h.dir / "elsewhere"));
    } else if (how.rfind("drop:", 0) == 0) {
        ASSERT_TRUE(h.Drop({h.dir / how.substr(5)}));
    }
    h.Tick(0);
    ASSERT_TRUE(h.Rename());
    EXPECT_EQ(RowsOf(h), c.Rows);
    EXPECT_EQ(FilesOf(h.base), c.Remaining);
    for (const std::string& k : c.Kept)
        EXPECT_TRUE(h.dir.Exists(k)) << k;
    for (const std::string& g : c.Gone)
        EXPECT_FALSE(h.dir.Exists(g)) << g;
    EXPECT_TRUE(h.ui.DuplicateQuestions.empty());
}

const std::string allBack = "○p1.jpg ○p2.jpg ○p3.jpg ○x.bin ";

INSTANTIATE_TEST_SUITE_P(
    Repairs, SameContentRepair,
    ::testing::Combine(
        ::testing::Values(RepairCase{"AListedFileIsCopiedForTheOthers",
                                     {{"set/p2.jpg", photo}, {"set/x.bin", "x"}},
                                     "rename",
                                     false,
                                     allBack,
                                     "p1.jpg p2.jpg p3.jpg x.bin ",
                                     {},
                                     {}},
                          RepairCase{"AnUnlistedFileInTheFolderIsCopiedForAllButTheLast",
                                     {{"set/photo (1).jpg", photo}, {"set/x.bin", "x"}},
                                     "rename",
                                     false,
                                     allBack,
                                     "p1.jpg p2.jpg p3.jpg x.bin ",
                                     {},
                                     {"set/photo (1).jpg"}},
                          RepairCase{"AFoundFileElsewhereServesEveryEntryAndMovesLast",
                                     {{"elsewhere/deep/photo.jpg", photo}, {"set/x.bin", "x"}},
                                     "search",
                                     false,
                                     allBack,
                                     "p1.jpg p2.jpg p3.jpg x.bin ",
                                     {},
                                     {"elsewhere/deep/photo.jpg"}},
                          RepairCase{"WithCopyTheFoundFileStays",
                                     {{"elsewhere/photo.jpg", photo}, {"set/x.bin", "x"}},
                                     "search",
                                     true,
                                     allBack,
                                     "p1.jpg p2.jpg p3.jpg x.bin ",
                                     {"elsewhere/photo.jpg"},
                                     {}},
                          RepairCase{
                              "ADroppedListedFileIsNoDuplicate",
                              {{"set/p1.jpg", photo}, {"set/p2.jpg", photo}, {"set/p3.jpg", photo}, {"set/x.bin", "x"}},
                              "drop:set/p1.jpg",
                              false,
                              allBack,
                              "p1.jpg p2.jpg p3.jpg x.bin ",
                              {},
                              {}}),
        ::testing::Bool()),
    [](const auto& p) {
        return std::string(std::get<0>(p.param).Title) + (std::get<1>(p.param) ? "Sizes" : "NoSizes");
    });

// The table lookups answer with every entry of the file's content, entries without a size included.
TEST(SameContentLookup, EveryEntryWithTheKeyButTheFilesOwn) {
    TempDir dir;
    RealFileSystem fs;
    const std::string base = dir.MakeFolder("set");
    TEntryTable t;
    std::int32_t n = 0;
    auto add = [&](const std::string& name, std::int64_t size, const std::string& content) {
        t.MakeRoom(n);
        t[n++] = TCrcTable{name, size, CrcOf(content), 0, false, false, false, false, false, false, {}, {}};
    };
    add("late.jpg", NoSize, photo);
    add("p1.jpg", static_cast<std::int64_t>(photo.size()), photo);
    add("other.bin", 3, "abc");
    add("p2.jpg", static_cast<std::int64_t>(photo.size()), photo);
    SortEntriesBySize(t, 0, n - 1);
    const std::string copy = dir.Write("elsewhere/copy.jpg", photo);
    const std::string own = dir.Write("set/p1.jpg", photo);
    auto names = [&](const std::vector<std::int32_t>& found) {
        std::set<std::string> out;
        for (std::int32_t i : found)
            out.insert(t[i].FileName);
        return out;
    };
    using Names = std::set<std::string>;
    EXPECT_EQ(names(FindEntryBySize(fs, t, n, base, copy)), (Names{"late.jpg", "p1.jpg", "p2.jpg"}));
    EXPECT_EQ(names(FindEntryBySize(fs, t, n, base, own)), (Names{"late.jpg", "p2.jpg"}));
    SortEntriesByCrc(t, 0, n - 1);
    EXPECT_EQ(names(FindEntryByCrc(fs, t, n, base, own)), (Names{"late.jpg", "p2.jpg"}));
}

} // namespace
} // namespace tv::test
