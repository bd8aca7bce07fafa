// Rows that read their file through a symbolic link under their own name: the file the link leads to is
// that row's content. A repair never takes it away from the link (moved to another row's name, parked,
// or deleted as a duplicate), so no intact row is left pointing at nothing, and a second repair changes
// nothing. Also names holding a backslash, which a list's row reads as a folder separator (Linux only:
// Windows holds no such names).
#include "repair/RepairHarness.h"

#include <map>

namespace tv::test {
namespace {

struct Case {
    const char* Title;
    std::map<std::string, std::string> Files; // path in the list's folder -> content
    std::map<std::string, std::string> Links; // link in the list's folder -> what it points to
    std::vector<FileSpec> Entries;            // an entry whose content is nowhere stays －
    std::string Before, After;                // "mark name" per row, before and after the repair
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.Title;
}

class LinkedFiles : public ::testing::TestWithParam<std::tuple<Case, bool>> {};

TEST_P(LinkedFiles, StayWithTheirLinksThroughRepairs) {
    const auto& [c, deleteDuplicates] = GetParam();
    RepairHarness h;
    for (const auto& [name, content] : c.Files)
        h.Put(name, content);
    for (const auto& [name, to] : c.Links) {
        std::filesystem::create_directories(std::filesystem::path(h.base + "/" + name).parent_path());
        std::filesystem::create_symlink(to, h.base + "/" + name);
    }
    h.form.ClickDuplicateOption(deleteDuplicates ? h.form.DblDel : h.form.DblInq);
    h.LoadEntries(c.Entries, true);
    EXPECT_EQ(RowsOf(h), c.Before);

    h.Tick(0);
    ASSERT_TRUE(h.Rename());
    EXPECT_EQ(RowsOf(h), c.After);
    EXPECT_TRUE(h.RowsAgree());
    EXPECT_EQ(h.ui.Errors, std::vector<std::string>{});
    EXPECT_EQ(h.ui.DuplicateQuestions, std::vector<std::string>{});
    EXPECT_FALSE(h.form.CloseRequested);
    // Every link still leads to a file, and every listed content is still under the set.
    for (const auto& [name, to] : c.Links)
        EXPECT_TRUE(std::filesystem::exists(h.base + "/" + name)) << name << " points at nothing";
    const std::multiset<std::string> contents = ContentsUnder(h.base);
    for (const auto& [name, content] : c.Files)
        EXPECT_TRUE(contents.count(content)) << name << "'s content is gone";
    EXPECT_EQ(h.RepairAgain(), std::vector<std::string>{});
    EXPECT_EQ(RowsOf(h), c.After);
}

const Case cases[] = {
    // A list made on Linux names a file whose name holds a backslash, and a link to it. The row of the
    // backslash name reads "back/slash.bin" and finds its content at the file of that name: it gets a
    // copy there, as the link still needs the file.
    {"LinkToABackslashName",
     {{"back\\slash.bin", "e7"}},
     {{"link.bin", "back\\slash.bin"}},
     {{"back\\slash.bin", "e7"}, {"link.bin", "e7"}, {"sub/d.bin", "absent"}},
     "！back\\slash.bin ○link.bin －sub/d.bin ",
     "○back\\slash.bin ○link.bin －sub/d.bin "},
    // Without a link the file is moved into the folder its row names.
    {"BackslashNameAlone",
     {{"back\\slash.bin", "e7"}},
     {},
     {{"back\\slash.bin", "e7"}, {"sub/d.bin", "absent"}},
     "！back\\slash.bin －sub/d.bin ",
     "○back\\slash.bin －sub/d.bin "},
    // A link into a sub-folder: the unlisted file there is the link's, and the row whose content it
    // also holds gets a copy. A find is a plain file, never the link, which a repair cannot take from.
    {"LinkIntoASubFolder",
     {{"sub/real.bin", "real"}, {"sub/other.bin", "other"}},
     {{"link.bin", "sub/real.bin"}},
     {{"link.bin", "real"}, {"sub/other.bin", "other"}, {"x.bin", "real"}},
     "○link.bin ○sub/other.bin ！x.bin ",
     "○link.bin ○sub/other.bin ○x.bin "},
    // The file in the way of a row is what an intact row's link leads to: it is not parked away.
    {"LinkedFileInTheWay",
     {{"t.bin", "linked"}, {"found.dat", "listed for t"}},
     {{"link.bin", "t.bin"}},
     {{"link.bin", "linked"}, {"t.bin", "listed for t"}},
     "○link.bin ！t.bin ",
     "○link.bin ！t.bin "},
    // An unlisted file that a link row reads is no further copy of a listed file with its content.
    {"LinkedFileIsNoDuplicate",
     {{"a.bin", "hello"}, {"x.bin", "hello"}},
     {{"link.bin", "x.bin"}},
     {{"a.bin", "hello"}, {"link.bin", "hello"}},
     "○a.bin ○link.bin ",
     "○a.bin ○link.bin "},
    // The same with the link in a sub-folder, whose links the walk's listing does not hold: the row's
    // file is looked at on the disk. The unlisted file used to be deleted beside a.bin, leaving the
    // intact row sub/l.bin pointing at nothing.
    {"LinkInASubFolderToAnUnlistedFile",
     {{"a.bin", "hello"}, {"x.bin", "hello"}},
     {{"sub/l.bin", "../x.bin"}},
     {{"a.bin", "hello"}, {"sub/l.bin", "hello"}},
     "○a.bin ○sub/l.bin ",
     "○a.bin ○sub/l.bin "},
};

INSTANTIATE_TEST_SUITE_P(Sets, LinkedFiles, ::testing::Combine(::testing::ValuesIn(cases), ::testing::Bool()),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param).Title) +
                                    (std::get<1>(p.param) ? "DeletingDuplicates" : "AskingAboutDuplicates");
                         });

// An unlisted copy of a content that both a row read through a link and a row with a plain file hold is
// a duplicate of the plain file: it is offered or deleted beside that file during the verification, as
// the repair's dry run predicts, not kept until the check after the renames deletes it.
TEST(LinkedFiles, ADuplicateOfALinkedContentGoesBesideThePlainRow) {
    for (const bool deleteDuplicates : {true, false}) {
        SCOPED_TRACE(deleteDuplicates ? "deleting" : "asking");
        RepairHarness h;
        h.Put("notes.md", "1b");
        const std::string copy = h.Put("renamed.bin", "1b");
        std::filesystem::create_symlink("notes.md", h.base + "/link.bin");
        h.form.ClickDuplicateOption(deleteDuplicates ? h.form.DblDel : h.form.DblInq);
        h.ui.DuplicateAnswers = {DuplicateAnswer::No};
        h.LoadEntries({{"b.bin", "1b"}, {"link.bin", "1b"}, {"notes.md", "1b"}}, true);
        EXPECT_EQ(h.form.KeptDuplicates.empty(), deleteDuplicates);
        EXPECT_EQ(std::filesystem::exists(copy), !deleteDuplicates);
        if (!deleteDuplicates) {
            ASSERT_EQ(h.ui.DuplicateQuestions.size(), 1u);
            EXPECT_NE(h.ui.DuplicateQuestions[0].find(h.base + "/notes.md"), std::string::npos)
                << h.ui.DuplicateQuestions[0];
        }
        EXPECT_EQ(h.ui.Errors, std::vector<std::string>{});
        EXPECT_EQ(RowsOf(h), "！b.bin ○link.bin ○notes.md ");
    }
}

// An unlisted link to an unlisted copy of a listed file: the copy is deleted as a duplicate, and the link,
// no second copy itself, leaves the verification going on (it used to end it with "File not found").
TEST(LinkedFiles, AnUnlistedLinkToADeletedDuplicateIsPassedOver) {
    RepairHarness h;
    h.Put("y.ini", "same");
    const std::string copy = h.Put("photo.jpg", "same");
    std::filesystem::create_symlink("photo.jpg", h.base + "/link.bin");
    h.form.ClickDuplicateOption(h.form.DblDel);
    h.LoadEntries({{"y.ini", "same"}, {"notes.txt", "gone"}}, true);
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_EQ(h.ui.Errors, std::vector<std::string>{});
    EXPECT_EQ(h.form.KeptDuplicates.size(), 0u);
    EXPECT_EQ(RowsOf(h), "－notes.txt ○y.ini ");
}

// A content that only a link reaches (the link under another row's name, its file outside the set) is
// shown where it was found, but a repair takes nothing from a link: it leaves both as they are and says
// why in words, not as a loop of links.
TEST(LinkedFiles, AContentOnlyALinkReachesIsLeftWithItAndTheRepairSaysWhy) {
    RepairHarness h;
    const std::string outside = h.Write("elsewhere/a.jpg", "only copy");
    std::filesystem::create_symlink(outside, h.base + "/b.jpg");
    h.LoadEntries({{"a.jpg", "only copy"}, {"b.jpg", "b's own"}}, true);
    EXPECT_EQ(RowsOf(h), "！a.jpg ×b.jpg ");
    h.Tick(0);
    h.Rename();
    ASSERT_EQ(h.ui.Errors.size(), 1u);
    EXPECT_NE(h.ui.Errors[0].find("it is a link"), std::string::npos) << h.ui.Errors[0];
    EXPECT_EQ(h.ui.Errors[0].find("symbolic links"), std::string::npos) << h.ui.Errors[0];
    EXPECT_TRUE(std::filesystem::is_symlink(h.base + "/b.jpg"));
    EXPECT_FALSE(std::filesystem::exists(h.base + "/a.jpg"));
    EXPECT_EQ(test::ReadFile(outside), "only copy");
}

} // namespace
} // namespace tv::test
