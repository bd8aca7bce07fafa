// A file that cannot be read whole: with "読めないファイルを飛ばして続ける" it is passed over and named,
// its row shows what was seen, and every other row is checked; without it the verification ends as
// any failed file operation ends a command, and the status bar names the file.
#include "repair/RepairHarness.h"

namespace tv::test {
namespace {

enum class Fault { Unreadable, Vanished, Shrunk };

struct KeepGoingCase {
    const char* Title;
    Fault What;
    const char* Name; // the file that fails; in a sub-folder it is checked at its own path
    bool KeepGoing;
    const char* Mark;   // of its row when the others are checked
    const char* Status; // the status bar's text, the file's name following it
    const char* Error;  // the error box's text, when the verification ends
};

void PrintTo(const KeepGoingCase& c, std::ostream* os) {
    *os << c.Title;
}

class UnreadableFiles : public ::testing::TestWithParam<std::tuple<KeepGoingCase, bool>> {};

TEST_P(UnreadableFiles, ArePassedOverAndNamedOrEndTheVerificationNamed) {
    const auto& [c, withSizes] = GetParam();
    RepairHarness h;
    const std::string bad = c.Name;
    for (const std::string& name : {std::string("a.bin"), bad, std::string("c.bin")})
        h.Put(name, "content of " + name);
    const std::string path = std::filesystem::path(h.base + "/" + bad).lexically_normal().string();
    switch (c.What) {
    case Fault::Unreadable:
        h.fs.Unreadable.insert(path);
        break;
    case Fault::Vanished:
        h.fs.Vanished.insert(path);
        break;
    case Fault::Shrunk:
        h.fs.Shrunk.insert(path);
        break;
    }
    h.form.KeepGoing.SetChecked(c.KeepGoing);
    h.LoadEntries({{"a.bin", "content of a.bin"}, {bad, "content of " + bad}, {"c.bin", "content of c.bin"}},
                  withSizes);
    EXPECT_EQ(h.form.Status.Caption().rfind(c.Status + bad, 0), 0u) << h.form.Status.Caption();
    if (!c.KeepGoing) {
        ASSERT_EQ(h.ui.Errors.size(), 1u);
        EXPECT_EQ(h.ui.Errors[0], c.Error);
        EXPECT_EQ(h.form.CrcList.Count(), 0);
        return;
    }
    EXPECT_TRUE(h.ui.Errors.empty());
    EXPECT_EQ(h.Mark("a.bin"), "○");
    EXPECT_EQ(h.Mark(bad), c.Mark);
    EXPECT_EQ(h.Mark("c.bin"), "○");
    ASSERT_EQ(h.form.PassedOverPaths.size(), 1u);
    EXPECT_EQ(h.form.PassedOverPaths[0].Path, bad);
    EXPECT_EQ(h.form.PassedOverPaths[0].Unreadable, c.What != Fault::Vanished);
    EXPECT_EQ(h.form.PassedOverPaths[0].Reason.rfind(c.Error, 0), 0u) << h.form.PassedOverPaths[0].Reason;
    EXPECT_TRUE(h.RowsAgree());
}

const KeepGoingCase keepGoingCases[] = {
    {"NoAccess", Fault::Unreadable, "b.bin", true, "×", "読めないファイルを飛ばしました： ", "File access denied"},
    {"Vanished", Fault::Vanished, "b.bin", true, "－", "消えたファイルを飛ばしました： ", "File not found"},
    {"Shrank", Fault::Shrunk, "b.bin", true, "×", "読めないファイルを飛ばしました： ", "Read beyond end of file"},
    {"NoAccessInASubFolder", Fault::Unreadable, "sub/b.bin", true, "×", "読めないファイルを飛ばしました： ",
     "File access denied"},
    {"ShrankInASubFolder", Fault::Shrunk, "sub/b.bin", true, "×", "読めないファイルを飛ばしました： ",
     "Read beyond end of file"},
    {"NoAccessEnds", Fault::Unreadable, "b.bin", false, "", "読めないファイル： ", "File access denied"},
    {"ShrankEnds", Fault::Shrunk, "b.bin", false, "", "読めないファイル： ", "Read beyond end of file"},
    {"ShrankInASubFolderEnds", Fault::Shrunk, "sub/b.bin", false, "", "読めないファイル： ",
     "Read beyond end of file"},
};

INSTANTIATE_TEST_SUITE_P(Faults, UnreadableFiles,
                         ::testing::Combine(::testing::ValuesIn(keepGoingCases), ::testing::Bool()),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param).Title) +
                                    (std::get<1>(p.param) ? "WithSizes" : "WithoutSizes");
                         });

} // namespace
} // namespace tv::test
