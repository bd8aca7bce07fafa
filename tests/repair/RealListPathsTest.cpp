// Entry names with folders in them, letter case on a file system that tells it apart, and odd names
// on disk: the verification, the searches and the rename, on real file sets.
#include "repair/RepairHarness.h"
#include "support/FormHarness.h"
#include "support/Shell.h"

#include <filesystem>
#include <sstream>

namespace tv::test {
namespace {

constexpr const char* Content = "content of the listed file";

// ---- entries in sub-folders: checked at their path inside the list's folder ----

struct SubFolderCase {
    const char* Title;
    const char* Entry;            // the name as the list gives it
    std::vector<FileSpec> OnDisk; // files inside the list's folder
    const char* Expected;         // the row's mark
};

void PrintTo(const SubFolderCase& c, std::ostream* os) {
    *os << c.Title;
}

class SubFolderEntry : public ::testing::TestWithParam<std::tuple<SubFolderCase, bool>> {};

TEST_P(SubFolderEntry, IsVerifiedAtItsPath) {
    const auto& [c, withSizes] = GetParam();
    RepairHarness h;
    for (const FileSpec& f : c.OnDisk)
        h.Put(f.Name, f.Content);
    h.Put("top.bin", "top");
    h.LoadEntries({{c.Entry, Content}, {"top.bin", "top"}}, withSizes);
    EXPECT_EQ(h.Mark("top.bin"), "○");
    EXPECT_EQ(h.Mark(c.Entry), c.Expected);
    EXPECT_TRUE(h.ui.Errors.empty());
    EXPECT_TRUE(h.RowsAgree());
}

const std::string sameSizeOther(std::string(Content).size(), 'x');
const SubFolderCase subFolderCases[] = {
    {"Intact", "sub/a.bin", {{"sub/a.bin", Content}}, "○"},
    {"IntactBackslashName", "sub\\a.bin", {{"sub/a.bin", Content}}, "○"},
    {"IntactTwoDeep", "sub/deep/a.bin", {{"sub/deep/a.bin", Content}}, "○"},
    // A copy of the content beside the list does not make the intact own file a same-file row.
    {"IntactWithCopyBeside", "sub/a.bin", {{"sub/a.bin", Content}, {"z-copy.bin", Content}}, "○"},
    {"OtherContent", "sub/a.bin", {{"sub/a.bin", "something else"}}, "×"},
    {"SameSizeOtherContent", "sub/a.bin", {{"sub/a.bin", sameSizeOther}}, "×"},
    {"Missing", "sub/a.bin", {}, "－"},
    {"FolderMissingContentBeside", "sub/a.bin", {{"a.bin", Content}}, "！"},
};

INSTANTIATE_TEST_SUITE_P(Lists, SubFolderEntry,
                         ::testing::Combine(::testing::ValuesIn(subFolderCases), ::testing::Bool()), [](const auto& p) {
                             return std::string(std::get<0>(p.param).Title) + (std::get<1>(p.param) ? "Sizes" : "");
                         });

// A sub-folder entry's content found outside the list's folder is put at its path, the missing
// folders made inside the list's folder.
class SubFolderRepair : public ::testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(SubFolderRepair, PutsTheFoundFileAtItsPath) {
    const auto& [byDrop, withSizes] = GetParam();
    RepairHarness h;
    h.LoadEntries({{"sub\\deep/a.bin", Content}}, withSizes);
    ASSERT_EQ(h.Mark("sub\\deep/a.bin"), "－");
    const std::string found = h.Write("elsewhere/found.bin", Content);
    h.Tick(2);
    ASSERT_TRUE(byDrop ? h.Drop({found}) : h.Search(h.dir.Path() + "/elsewhere"));
    EXPECT_EQ(h.Mark("sub\\deep/a.bin"), "！");
    h.Tick(0);
    ASSERT_TRUE(h.Rename());
    EXPECT_TRUE(h.ui.Errors.empty());
    EXPECT_EQ(h.dir.Read("set/sub/deep/a.bin"), Content);
    EXPECT_FALSE(std::filesystem::exists(found));
    EXPECT_EQ(h.Mark("sub\\deep/a.bin"), "○");
}

INSTANTIATE_TEST_SUITE_P(Ways, SubFolderRepair, ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param) ? "Drop" : "Search") +
                                    (std::get<1>(p.param) ? "Sizes" : "");
                         });

// ---- letter case: "A.BIN" is not the file of the entry "a.bin" where the file system tells case apart ----
#ifndef _WIN32

TEST(LetterCase, AnotherCaseIsASameFileThatTheRenamePutsRight) {
    for (const bool withSizes : {false, true}) {
        RepairHarness h;
        h.Put("A.BIN", Content);
        h.LoadEntries({{"a.bin", Content}}, withSizes);
        EXPECT_EQ(h.Mark("a.bin"), "！") << withSizes;
        h.Tick(0);
        ASSERT_TRUE(h.Rename());
        EXPECT_EQ(h.dir.Read("set/a.bin"), Content);
        EXPECT_FALSE(std::filesystem::exists(h.base + "/A.BIN"));
        EXPECT_EQ(h.Mark("a.bin"), "○") << withSizes;
    }
}

TEST(LetterCase, FoldersDifferingInCaseAreDifferentPlaces) {
    struct Case {
        const char* Title;
        bool ByDrop;
        const char* FoundAt; // beside the list's folder "set", or in it
    };
    for (const Case& c : {Case{"SearchInSET", false, "SET/a.bin"}, Case{"DropFromSET", true, "SET/a.bin"},
                          Case{"DropOtherCaseInSet", true, "set/A.BIN"}}) {
        RepairHarness h;
        h.LoadEntries({{"a.bin", Content}}, true);
        const std::string found = h.Write(c.FoundAt, Content);
        h.Tick(2);
        ASSERT_TRUE(c.ByDrop ? h.Drop({found}) : h.Search(h.dir.Path() + "/SET"));
        EXPECT_EQ(h.Mark("a.bin"), "！") << c.Title;
        EXPECT_EQ(h.form.EntryTable[0].SameFile, found) << c.Title;
    }
}

// ---- odd names on disk, and list names that never become rename targets ----

TEST(OddNames, ABackslashInAFileNameBesideTheListIsJustAFile) {
    for (const bool withSizes : {false, true}) {
        RepairHarness h;
        h.Put("x\\y.bin", "odd");
        h.Put("a.bin", Content);
        // The odd file carries the content of an entry in a sub-folder that is not there.
        h.Put("sub\\b.bin", "content of b");
        h.LoadEntries({{"a.bin", Content}, {"sub\\b.bin", "content of b"}}, withSizes);
        EXPECT_EQ(h.form.Status.Caption(), "読み取り終了 list.sfv");
        EXPECT_TRUE(h.ui.Errors.empty());
        EXPECT_EQ(h.Mark("a.bin"), "○");
        EXPECT_EQ(h.Mark("sub\\b.bin"), "！");
        h.Tick(0);
        ASSERT_TRUE(h.Rename());
        EXPECT_EQ(h.dir.Read("set/sub/b.bin"), "content of b");
        EXPECT_EQ(h.Mark("sub\\b.bin"), "○");
        EXPECT_EQ(h.dir.Read("set/x\\y.bin"), "odd");
    }
}

TEST(OddNames, NamesAListCannotHoldWholeAreNeverRenameTargets) {
    for (const char* name : {"line\nbreak.bin", "carriage\rreturn.bin", "\\escaped\\\\name.bin"}) {
        RepairHarness h;
        h.Put("found.bin", Content);
        h.LoadEntries({{name, Content}}, false);
        ASSERT_EQ(h.Mark(name), "！");
        h.Tick(0);
        ASSERT_TRUE(h.Rename());
        EXPECT_EQ(h.dir.Read("set/found.bin"), Content) << name;
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& f : std::filesystem::recursive_directory_iterator(h.base))
            ++files;
        EXPECT_EQ(files, 1u) << name;
        ASSERT_EQ(h.ui.Messages.size(), 1u) << name;
        EXPECT_NE(h.ui.Messages[0].find("（1件）"), std::string::npos) << name;
    }
}

// ---- the peers' own checkers are the truth: every row agrees with them ----

struct PeerCase {
    const char* Title;
    const char* Write; // run in the set's folder, its output becomes list.sfv
    const char* Check; // the peer's check of list.sfv: one "name status" line an entry
};

class PeerTruth : public ::testing::TestWithParam<PeerCase> {};

TEST_P(PeerTruth, RowsAgreeWithThePeersCheck) {
    const PeerCase& c = GetParam();
    FormHarness h;
    for (const char* name : {"top.bin", "sub/a.bin", "sub/deep/b.bin", "sub/gone.bin", "Sub/case.bin"})
        h.dir.Write(name, std::string("content of ") + name);
    const ShellResult written = Shell("cd " + ShellQuote(h.dir.Path()) + " && " + c.Write + " 2>/dev/null");
    ASSERT_EQ(written.status, 0) << c.Write;
    h.dir.Write("sub/a.bin", "damaged");
    std::filesystem::remove(h.dir.Path() + "/sub/gone.bin");
    std::filesystem::rename(h.dir.Path() + "/Sub/case.bin", h.dir.Path() + "/Sub/CASE.bin");
    h.dir.Write("x\\y.bin", "an odd name beside the list");
    h.Load("list.sfv", written.out);
    EXPECT_TRUE(h.ui.Errors.empty());

    const ShellResult checked = Shell("cd " + ShellQuote(h.dir.Path()) + " && " + c.Check + " 2>&1");
    std::istringstream lines(checked.out);
    std::size_t compared = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string name, status;
        words >> name >> status;
        if (name.find(".bin") == std::string::npos) continue;
        const char* truth = status == "OK" ? "○" : status == "No" ? "－" : "×";
        // The peers do not look for content: a list naming sub-folder files is checked against the tree,
        // where the renamed file's content is found under its new name.
        if (name == "Sub/case.bin" && status == "No") truth = "！";
        EXPECT_EQ(h.Mark(name), truth) << name << ": " << line;
        ++compared;
    }
    EXPECT_EQ(compared, 5u) << checked.out;
}

const PeerCase peerCases[] = {
    {"RhashRecursive", "rhash --sfv -r top.bin sub Sub", "rhash -c list.sfv"},
    {"CksfvSeveralFolders", "cksfv top.bin sub/a.bin sub/deep/b.bin sub/gone.bin Sub/case.bin", "cksfv -f list.sfv"},
};

INSTANTIATE_TEST_SUITE_P(Peers, PeerTruth, ::testing::ValuesIn(peerCases),
                         [](const auto& p) { return std::string(p.param.Title); });

#endif

} // namespace
} // namespace tv::test
