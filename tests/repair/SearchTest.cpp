// The complement search over real folder trees.
#include "repair/RepairHarness.h"

#include "platform/Paths.h"

#include <filesystem>

namespace tv::test {
namespace {

const std::string kHead = "検索中 ";

// The walk shows each folder as the system spells it.
std::string Native(std::string path) {
    for (char& c : path)
        if (c == '/') c = PathDelim;
    return path;
}

TEST(ComplementSearch, WalksTheTreeInItsOwnDepthFirstOrder) {
    RepairHarness h;
    const std::string r = h.dir.MakeFolder("R");
    for (const char* f : {"A/A1", "A/A2", "B", "C", "D/D1", "D/D2", "D/D3"})
        h.dir.MakeFolder(std::string("R/") + f);
    h.LoadEntries({{"m.bin", "missing"}}, false);
    std::vector<std::string> walked;
    h.ui.OnProcessMessages = [&] {
        const std::string& s = h.form.Status.Caption();
        if (s.rfind(kHead, 0) == 0 && (walked.empty() || walked.back() != s)) walked.push_back(s);
    };
    ASSERT_TRUE(h.Search(r));
    std::vector<std::string> expected;
    for (const char* f : {"", "/C", "/B", "/A", "/A/A1", "/A/A2", "/D", "/D/D2", "/D/D1", "/D/D3"})
        expected.push_back(kHead + r + Native(f));
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(h.form.Status.Caption(), "検索終了 （補完ファイルは有りません）");
}

TEST(ComplementSearch, StopClickEndsTheWalkBeforeTheNextFolderAndKeepsTheFinds) {
    RepairHarness h;
    const std::string r = h.dir.MakeFolder("R");
    h.Write("R/B/x.found", "content x");
    h.Write("R/D/D1/y.later", "content y");
    h.dir.MakeFolder("R/A/A1");
    const std::string dropped = h.Write("drop/z", "content z");
    h.LoadEntries({{"x.bin", "content x"}, {"y.bin", "content y"}, {"z.bin", "content z"}}, true);
    bool dropRefused = false, renameRefused = false;
    std::string captionWhileWalking;
    h.ui.OnProcessMessages = [&] {
        if (h.form.Status.Caption() != kHead + r + Native("/A")) return;
        captionWhileWalking = h.form.SearchButton.Caption();
        dropRefused = !h.Drop({dropped});
        renameRefused = !h.Rename();
        h.form.FilesDropped({dropped}); // also when called directly, neither may act during the walk
        h.form.FileChangeCmdClick();
        h.Click([&] { h.form.SearchButtonClick(); }, h.form.SearchRunning); // the click on "止"
    };
    ASSERT_TRUE(h.Search(r));
    EXPECT_EQ(captionWhileWalking, "止");
    EXPECT_TRUE(dropRefused);
    EXPECT_TRUE(renameRefused);
    EXPECT_EQ(h.Mark("x.bin"), "！");
    EXPECT_EQ(h.Mark("y.bin"), "－");         // its folder was not reached
    EXPECT_EQ(h.Mark("z.bin"), "－");         // the drop never ran
    EXPECT_TRUE(h.dir.Exists("R/B/x.found")); // nor did the rename
    EXPECT_EQ(h.form.Status.Caption(), "検索中止 （1件見つかりました）");
    EXPECT_EQ(h.form.SearchButton.Caption(), "補");
    EXPECT_FALSE(h.form.SearchRunning);
    EXPECT_TRUE(h.RowsAgree());
    EXPECT_EQ(h.TickedNames(), (std::vector<std::string>{"x.bin"}));
}

struct DuplicateCase {
    const char* Title;
    TMenuItem TForm1::*Option;
    bool Trash;
    std::vector<DuplicateAnswer> Answers;
    std::size_t Questions;
    bool FirstGone, SecondGone;
};

void PrintTo(const DuplicateCase& c, std::ostream* os) {
    *os << c.Title;
}

class SearchDuplicates : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(SearchDuplicates, FollowTheOptionAndTheAnswers) {
    const DuplicateCase& c = GetParam();
    RepairHarness h;
    TrashInto trash(h.dir.MakeFolder("xdg"));
    const std::string r = h.dir.MakeFolder("R");
    const std::string own = h.Put("k.bin", "kept content");
    const std::string first = h.Write("R/one/k1", "kept content");
    const std::string second = h.Write("R/two/k2", "kept content");
    h.LoadEntries({{"k.bin", "kept content"}, {"m.bin", "missing"}}, true);
    h.form.ClickDuplicateOption(h.form.*c.Option);
    h.form.TashUse.SetChecked(c.Trash);
    h.ui.DuplicateAnswers.assign(c.Answers.begin(), c.Answers.end());
    h.Tick(2);

    ASSERT_TRUE(h.Search(r));
    ASSERT_EQ(h.ui.DuplicateQuestions.size(), c.Questions);
    if (c.Questions > 0) {
        EXPECT_EQ(h.ui.DuplicateQuestions[0], "重複ファイル検出\r\r" + own + "と\r" + first +
                                                  "は同じファイルです。\r重複ファイルを削除してもよろしいですか？");
    }
    EXPECT_EQ(!std::filesystem::exists(first), c.FirstGone);
    EXPECT_EQ(!std::filesystem::exists(second), c.SecondGone);
    EXPECT_EQ(h.dir.Read("set/k.bin"), "kept content");
#ifndef _WIN32
    // The freedesktop.org trash the test points to; the recycle bin is counted in the Windows suite.
    std::size_t trashed = 0;
    if (std::filesystem::exists(h.dir / "xdg/Trash/files")) {
        for (const auto& f : std::filesystem::directory_iterator(h.dir / "xdg/Trash/files")) {
            EXPECT_EQ(ReadFile(f.path().string()), "kept content");
            ++trashed;
        }
    }
    EXPECT_EQ(trashed, c.Trash ? std::size_t(c.FirstGone) + std::size_t(c.SecondGone) : 0u);
#endif
    EXPECT_EQ(h.Mark("k.bin"), "○");
}

INSTANTIATE_TEST_SUITE_P(
    Options, SearchDuplicates,
    ::testing::Values(
        DuplicateCase{"Keep", &TForm1::DblNop, false, {}, 0, false, false},
        DuplicateCase{"AskYesNo", &TForm1::DblInq, false, {DuplicateAnswer::Yes, DuplicateAnswer::No}, 2, true, false},
        DuplicateCase{"AskClosed", &TForm1::DblInq, false, {DuplicateAnswer::Closed}, 2, false, false},
        DuplicateCase{"AskYesToAll", &TForm1::DblInq, false, {DuplicateAnswer::YesToAll}, 1, true, true},
        DuplicateCase{"AskNoToAll", &TForm1::DblInq, false, {DuplicateAnswer::NoToAll}, 1, false, false},
        DuplicateCase{"Delete", &TForm1::DblDel, false, {}, 0, true, true},
        DuplicateCase{"DeleteToTrash", &TForm1::DblDel, true, {}, 0, true, true},
        DuplicateCase{"AskYesToTrash", &TForm1::DblInq, true, {DuplicateAnswer::Yes}, 2, true, false}),
    [](const auto& p) { return std::string(p.param.Title); });

TEST(ComplementSearch, FirstCopyInWalkOrderBecomesTheSameFileTheNextIsItsDuplicate) {
    RepairHarness h;
    const std::string r = h.dir.MakeFolder("R");
    const std::string inA = h.Write("R/A/m.copy", "missing content");
    const std::string inC = h.Write("R/C/m.copy", "missing content");
    h.dir.MakeFolder("R/B");
    h.LoadEntries({{"m.bin", "missing content"}}, false);
    ASSERT_TRUE(h.Search(r));
    // R's subfolders A, B, C are taken as B, A, C: the copy in A comes first.
    ASSERT_EQ(h.form.EntryTable[0].SameFile, inA);
    ASSERT_EQ(h.ui.DuplicateQuestions.size(), 1u);
    EXPECT_NE(h.ui.DuplicateQuestions[0].find(inA + "と\r" + inC), std::string::npos);
}

TEST(ComplementSearch, TheListsOwnFolderAndBelowAreNotSearched) {
    RepairHarness h;
    h.Put("sub/m.copy", "missing content");
    h.Write("other/n.copy", "other content");
    h.LoadEntries({{"m.bin", "missing content"}, {"n.bin", "other content"}}, true);
    ASSERT_TRUE(h.Search(h.dir.Path()));
    EXPECT_EQ(h.Mark("m.bin"), "－");
    EXPECT_EQ(h.Mark("n.bin"), "！");
    EXPECT_EQ(h.form.Status.Caption(), "検索終了 （1件見つかりました）");
}

TEST(ComplementSearch, KnownSameFileMetAgainIsNeverDeletedWhateverTheSpelling) {
    for (const std::string spelling : {"R", "R/", "R/../R", "Rlink"}) {
        RepairHarness h;
        h.dir.MakeFolder("R");
        std::filesystem::create_directory_symlink(h.dir / "R", h.dir / "Rlink");
        const std::string copy = h.Write("R/x/m.copy", "missing content");
        h.LoadEntries({{"m.bin", "missing content"}}, false);
        ASSERT_TRUE(h.Search(h.dir / "R"));
        ASSERT_EQ(h.Mark("m.bin"), "！");
        h.form.ClickDuplicateOption(h.form.DblDel);
        ASSERT_TRUE(h.Search(h.dir / spelling)); // the ！ row is the ticked one now
        EXPECT_TRUE(std::filesystem::exists(copy)) << spelling;
        EXPECT_EQ(h.Mark("m.bin"), "！") << spelling;
        EXPECT_TRUE(h.ui.DuplicateQuestions.empty());
    }
}

TEST(ComplementSearch, CopyOfAFailingFileTurnsItsRowIntoAFindThatTheRenameRepairs) {
    RepairHarness h;
    h.Put("w.bin", "damaged");
    const std::string right = h.Write("R/w.right", "the right content");
    h.LoadEntries({{"w.bin", "the right content"}}, true);
    ASSERT_EQ(h.Mark("w.bin"), "×");
    ASSERT_TRUE(h.Search(h.dir / "R"));
    EXPECT_EQ(h.Mark("w.bin"), "！");
    EXPECT_EQ(h.Row("w.bin")->SubItem(2), right);
    ASSERT_TRUE(h.Rename());
    EXPECT_EQ(h.dir.Read("set/w.bin"), "the right content");
    EXPECT_EQ(h.dir.Read("set/w_Temp1.bin"), "damaged");
    EXPECT_EQ(h.Mark("w.bin"), "○");
}

TEST(ComplementSearch, LinksAreNotFollowed) {
    RepairHarness h;
    const std::string r = h.dir.MakeFolder("R");
    h.dir.MakeFolder("R/A");
    const std::string outside = h.Write("outside/z", "linked content");
    std::filesystem::create_directory_symlink(r, r + "/A/loop");
    std::filesystem::create_directory_symlink(h.dir / "outside", r + "/A/out");
    std::filesystem::create_symlink(outside, r + "/A/zlink");
    h.LoadEntries({{"z.bin", "linked content"}}, false);
    int pauses = 0;
    h.ui.OnProcessMessages = [&] {
        if (++pauses > 1000) h.Click([&] { h.form.SearchButtonClick(); }, h.form.SearchRunning);
    };
    ASSERT_TRUE(h.Search(r));
    EXPECT_EQ(h.form.Status.Caption(), "検索終了 （補完ファイルは有りません）");
    EXPECT_EQ(h.Mark("z.bin"), "－");
}

TEST(ComplementSearch, UnreadableFileIsPassedOverAndReportedTheFindsStay) {
    for (bool withSizes : {false, true}) {
        RepairHarness h;
        const std::string r = h.dir.MakeFolder("R");
        h.Write("R/A/one", "content one");
        const std::string bad = h.Write("R/B/two", "content two");
        h.Write("R/C/three", "content 3!");
        h.fs.Unreadable.insert(bad);
        h.LoadEntries({{"1.bin", "content one"}, {"2.bin", "content two"}, {"3.bin", "content 3!"}}, withSizes);
        ASSERT_TRUE(h.Search(r));
        EXPECT_EQ(h.Mark("1.bin"), "！");
        EXPECT_EQ(h.Mark("2.bin"), "－");
        EXPECT_EQ(h.Mark("3.bin"), "！");
        EXPECT_TRUE(h.RowsAgree());
        EXPECT_EQ(h.form.Status.Caption(), "検索終了 （2件見つかりました）");
        EXPECT_EQ(h.ui.Errors, (std::vector<std::string>{"File access denied: " + bad}));
        EXPECT_FALSE(h.form.SearchRunning);
        EXPECT_EQ(h.form.SearchButton.Caption(), "補");
        EXPECT_TRUE(h.Rename()); // the next command runs normally
        EXPECT_EQ(h.dir.Read("set/3.bin"), "content 3!");
    }
}

TEST(ComplementSearch, AutoMoveBringsTheFindsInAtOnce) {
    RepairHarness h;
    h.Write("R/x/m.copy", "missing content");
    h.LoadEntries({{"m.bin", "missing content"}}, true);
    h.form.AutoMove.SetChecked(true);
    ASSERT_TRUE(h.Search(h.dir / "R"));
    EXPECT_EQ(h.dir.Read("set/m.bin"), "missing content");
    EXPECT_FALSE(h.dir.Exists("R/x/m.copy"));
    EXPECT_EQ(h.Mark("m.bin"), "○");
    EXPECT_EQ(h.form.Status.Caption(), "処理終了　list.sfv");
}

TEST(ComplementSearch, ManySubfoldersInOneFolderAreAllWalked) {
    RepairHarness h;
    for (int k = 0; k < 300; ++k)
        h.dir.MakeFolder("R/s" + std::to_string(1000 + k));
    h.Write("R/s1150/m.copy", "missing content");
    h.Write("R/s1299/n.copy", "other content");
    h.LoadEntries({{"m.bin", "missing content"}, {"n.bin", "other content"}}, false);
    ASSERT_TRUE(h.Search(h.dir / "R"));
    EXPECT_EQ(h.form.SameFileCount, 2);
    EXPECT_GE(h.form.PendingFolders.size(), 384u);
    EXPECT_EQ(h.form.PendingFolders.size() % 128, 0u);
}

// What a click does before any walk starts.
TEST(ComplementSearch, StartConditions) {
    {
        RepairHarness h; // create mode: nothing
        h.LoadEntries({{"m.bin", "m"}}, false);
        h.form.IsCreateMode = true;
        const std::string before = h.form.Status.Caption();
        ASSERT_TRUE(h.Click([&] { h.form.ComplementClick(); }));
        EXPECT_EQ(h.form.Status.Caption(), before);
        EXPECT_TRUE(h.ui.Dialogs.empty());
    }
    {
        RepairHarness h; // no rows: nothing, no message
        h.form.Status.SetCaption("before");
        ASSERT_TRUE(h.Click([&] { h.form.ComplementClick(); }));
        EXPECT_EQ(h.form.Status.Caption(), "before");
        EXPECT_TRUE(h.ui.Dialogs.empty());
    }
    {
        RepairHarness h; // rows, none ticked
        h.Put("m.bin", "m");
        h.LoadEntries({{"m.bin", "m"}}, false);
        h.Tick(3);
        ASSERT_TRUE(h.Click([&] { h.form.ComplementClick(); }));
        EXPECT_EQ(h.form.Status.Caption(), "リスト項目が選択されていません");
        EXPECT_TRUE(h.ui.Dialogs.empty());
    }
    {
        RepairHarness h; // the folder chooser cancelled: nothing else changes
        h.Write("R/m.copy", "m");
        h.LoadEntries({{"b.bin", "b"}, {"m.bin", "m"}}, false);
        h.form.CrcList.SetChecked(0, false);
        const std::string before = h.form.Status.Caption();
        ASSERT_TRUE(h.Click([&] { h.form.ComplementClick(); }));
        ASSERT_EQ(h.ui.Dialogs.size(), 1u);
        EXPECT_EQ(h.ui.Dialogs[0].Title, "ディレクトリの選択");
        EXPECT_EQ(h.ui.Dialogs[0].StartFolder, h.base);
        EXPECT_EQ(h.form.Status.Caption(), before);
        EXPECT_EQ(h.form.EntryTable[0].FileName, "b.bin");
        EXPECT_FALSE(h.form.EntryTable[0].Selected);
        EXPECT_TRUE(h.form.EntryTable[1].Selected);
        // Confirmed, the chosen folder is searched.
        h.ui.DialogAnswers.push_back(h.dir / "R");
        ASSERT_TRUE(h.Click([&] { h.form.ComplementClick(); }));
        EXPECT_EQ(h.Mark("m.bin"), "！");
        EXPECT_EQ(h.Mark("b.bin"), "－"); // not ticked, not looked for
    }
}

TEST(ComplementSearch, ClickDuringAnotherCommandDoesNotStartASearch) {
    RepairHarness h;
    h.Write("R/m.copy", "m");
    h.LoadEntries({{"m.bin", "m"}}, false);
    const std::string before = h.form.Status.Caption();
    h.form.FixFolder.SetChecked(true);
    h.form.FixedComplementFolder = h.dir / "R";
    ASSERT_TRUE(h.Click([&] {
        EXPECT_TRUE(h.Click([&] { h.form.SearchButtonClick(); }, true)); // let through, as the window does
        EXPECT_TRUE(h.Click([&] { h.form.ComplementClick(); }, true));
    }));
    EXPECT_EQ(h.form.Status.Caption(), before);
    EXPECT_EQ(h.Mark("m.bin"), "－");
    EXPECT_EQ(h.form.SearchButton.Caption(), "補");
}

struct FrontCase {
    std::string Ticks; // one letter per entry: S selected, N not
    std::string Expected;
};

TEST(ComplementSearch, MoveCheckedToFrontExchangesFromBothEnds) {
    const FrontCase cases[] = {
        {"NSNSSN", "413205"}, {"SNNS", "0321"}, {"NNNS", "3120"}, {"SSSN", "0123"}, {"NSSSSSSN", "61234507"}};
    for (const FrontCase& c : cases) {
        RepairHarness h;
        for (std::size_t k = 0; k < c.Ticks.size(); ++k) {
            h.form.AppendEntry(std::to_string(k), 0, 0);
            h.form.EntryTable[static_cast<std::int32_t>(k)].Selected = c.Ticks[k] == 'S';
        }
        h.form.MoveCheckedToFront();
        std::string order;
        for (std::int32_t i = 0; i < h.form.EntryCount; ++i)
            order += h.form.EntryTable[i].FileName;
        EXPECT_EQ(order, c.Expected) << c.Ticks;
    }
}

} // namespace
} // namespace tv::test
