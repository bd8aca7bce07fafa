// Create mode's PAR2 sets: the kind in the radio group, the redundancy the user types (and what is refused),
// the set written for the ticked files and read back, and the stop button and a close while it is written.
#include "writers/WriterHarness.h"

#include "readers/Par2List.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tv::test {
namespace {

// A folder of three files, an empty one and an old list, scanned in create mode for the kind chosen.
struct Par2Run : WriterHarness {
    std::string folder = dir.MakeFolder("trip");
    explicit Par2Run(bool par2 = true) {
        form.SteadyClock = EveryStepClock();
        dir.Write("trip/one.jpg", std::string(30000, 'a') + "first picture");
        dir.Write("trip/two.jpg", std::string(70001, 'b') + "second picture");
        dir.Write("trip/empty.txt", "");
        dir.Write("trip/old.sfv", "one.jpg 00000000\r\n");
        if (par2)
            form.ClickMenuItem(form.ListKindPar2, MenuClick::Radio, [&] { form.ListKindClick(); });
        else
            form.SetCreateAlgorithm(HashAlgorithm::Md5);
        form.ModeButtonClick(); // no list: an empty create mode
        form.BaseFolder = folder;
        EXPECT_TRUE(Click([&] { form.ScanFolder(); }));
        form.CheckCycle = 2;
        form.CheckButtonClick();
    }
    bool Save(const std::string& name) {
        ui.DialogAnswers.push_back(JoinPath(folder, name));
        return Click([&] { form.MakeCrcCmdClick(); });
    }
};

TEST(Par2CreateMode, TheRedundancyTypedIsTakenWithinItsBoundsAndAnythingElseIsRefused) {
    const struct {
        std::optional<std::string> Typed; // nullopt: the dialog cancelled
        int Kept;
        bool Refused;
    } cases[] = {
        {"25", 25, false},     {" 5 % ", 5, false},   {"7％", 7, false},     {"0", 0, false},
        {"1000", 1000, false}, {std::nullopt, 10, false}, {"1001", 10, true}, {"-5", 10, true},
        {"", 10, true},        {"12.5", 10, true},    {"ten", 10, true},     {"９", 10, true},
        {"99999999999999999999", 10, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Typed.value_or("(cancelled)"));
        WriterHarness h;
        h.ui.DialogAnswers.push_back(c.Typed);
        EXPECT_EQ(h.Click([&] { h.form.Par2RedundancyCmdClick(); }), !c.Refused);
        ASSERT_EQ(h.ui.Dialogs.size(), 1u);
        EXPECT_EQ(h.ui.Dialogs[0].Kind, "text");
        EXPECT_EQ(h.ui.Dialogs[0].Title, "PAR2 の冗長度（ファイルのデータに対する復旧データの割合、％）");
        EXPECT_EQ(h.ui.Dialogs[0].Proposed, "10");
        EXPECT_EQ(h.form.Par2Redundancy, c.Kept);
        if (c.Refused) {
            EXPECT_EQ(h.ui.Errors,
                      std::vector<std::string>{"冗長度は 0 から 1000 までの整数（％）で指定してください： " + *c.Typed});
        } else {
            EXPECT_TRUE(h.ui.Errors.empty());
        }
        if (c.Typed && !c.Refused) {
            EXPECT_EQ(h.form.Status.Caption(), "PAR2 の冗長度： " + std::to_string(c.Kept) + " %");
        }
    }
}

// The kind chosen × the redundancy × the name saved: the index and volume files written, and the window back
// in read mode with the set, every file it protects ○ and as many recovery blocks as asked for.
TEST(Par2CreateMode, TheTickedFilesAreWrittenAsASetAndReadBack) {
    const struct {
        bool Par2Kind;
        int Redundancy;
        const char* Name;
        std::vector<std::string> Written; // besides the files of the folder
        std::size_t RecoveryBlocks;       // of the set as read back
    } cases[] = {
        {true, 10, "trip.par2", {"trip.par2", "trip.vol000+01.par2", "trip.vol001+02.par2", "trip.vol003+04.par2",
                                 "trip.vol007+08.par2", "trip.vol015+16.par2", "trip.vol031+32.par2",
                                 "trip.vol063+64.par2", "trip.vol127+66.par2"}, 193},
        {true, 0, "set.par2", {"set.par2"}, 0},
        {false, 1, "set.PAR2", {"set.PAR2", "set.vol00+1.par2", "set.vol01+2.par2", "set.vol03+4.par2",
                                "set.vol07+8.par2", "set.vol15+5.par2"}, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + (c.Par2Kind ? " (PAR2 chosen)" : " (MD5 chosen)"));
        Par2Run h(c.Par2Kind);
        h.form.Par2Redundancy = c.Redundancy;
        // An empty file has nothing to protect: the PAR2 kind leaves it unticked, which MD5 lists do not.
        const std::vector<std::string> ticked = {c.Par2Kind ? "one.jpg" : "empty.txt", "one.jpg", "two.jpg"};
        std::vector<std::string> shown;
        for (const TListItem& r : h.form.CrcList.Items())
            if (r.Checked) shown.push_back(r.Caption());
        EXPECT_EQ(shown, c.Par2Kind ? std::vector<std::string>({"one.jpg", "two.jpg"}) : ticked);
        ASSERT_TRUE(h.Save(c.Name));
        ASSERT_EQ(h.ui.Dialogs.size(), 1u);
        if (c.Par2Kind) {
            EXPECT_EQ(h.ui.Dialogs[0].Proposed, JoinPath(h.folder, "trip.par2"));
            EXPECT_EQ(h.ui.Dialogs[0].Filter.rfind("PAR2 Recovery Set|*.par2|MD5 File|*.md5;MD5SUMS*|", 0), 0u);
        } else {
            EXPECT_EQ(h.ui.Dialogs[0].Proposed, JoinPath(h.folder, "trip.md5"));
        }
        std::vector<std::string> expected = {"empty.txt", "old.sfv", "one.jpg", "two.jpg"};
        expected.insert(expected.end(), c.Written.begin(), c.Written.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(WriterHarness::FilesIn(h.folder), expected);
        EXPECT_FALSE(h.form.IsCreateMode);
        EXPECT_EQ(h.form.Dialect, ListDialect::ldPar2);
        EXPECT_EQ(h.Captions(), (std::vector<std::string>{"one.jpg", "two.jpg"}));
        EXPECT_EQ(h.form.GoodCount, 2);
        ASSERT_NE(h.form.Par2Set, nullptr);
        EXPECT_EQ(h.form.Par2Set->RecoveryBlocks, c.RecoveryBlocks);
        EXPECT_EQ(h.form.SearchButton.Caption(), "補");
    }
}

TEST(Par2CreateMode, ASetThatCannotBeMadeIsRefusedWithItsReasonAndWritesNothing) {
    Par2Run h;
    // A set names its files relative to its own folder: one outside the folder scanned cannot.
    const std::string elsewhere = h.dir.MakeFolder("elsewhere");
    h.ui.DialogAnswers.push_back(JoinPath(elsewhere, "trip.par2"));
    ASSERT_FALSE(h.Click([&] { h.form.MakeCrcCmdClick(); }));
    ASSERT_EQ(h.ui.Errors.size(), 1u);
    EXPECT_EQ(h.ui.Errors[0].rfind("復旧セットを作成できませんでした： the set names its files relative to its own folder", 0), 0u)
        << h.ui.Errors[0];
    EXPECT_EQ(h.form.Status.Caption(), "セーブに失敗しました　trip.par2");
    EXPECT_TRUE(h.form.IsCreateMode);
    EXPECT_TRUE(WriterHarness::FilesIn(elsewhere).empty());
    EXPECT_EQ(WriterHarness::FilesIn(h.folder), (std::vector<std::string>{"empty.txt", "old.sfv", "one.jpg", "two.jpg"}));
}

// A "\\" in a name is a folder separator to a set's reader: such a file is left unticked, and ticked by hand
// it is refused with the reason, nothing written (a set naming it would read back as another, missing file).
TEST(Par2CreateMode, ANameWithABackslashIsLeftOutAndRefusedWhenTicked) {
    if (PathDelim == '\\') GTEST_SKIP() << "Windows names hold no \"\\\"";
    WriterHarness h;
    const std::string folder = h.dir.MakeFolder("set");
    h.dir.Write("set/a\\b.bin", "backslash");
    h.dir.Write("set/c.bin", "plain");
    h.form.ClickMenuItem(h.form.ListKindPar2, MenuClick::Radio, [&] { h.form.ListKindClick(); });
    h.form.ModeButtonClick();
    h.form.BaseFolder = folder;
    ASSERT_TRUE(h.Click([&] { h.form.ScanFolder(); }));
    h.form.CheckCycle = 2;
    h.form.CheckButtonClick();
    ASSERT_EQ(h.Captions(), (std::vector<std::string>{"a\\b.bin", "c.bin"}));
    EXPECT_FALSE(h.form.CrcList.Checked(0));
    EXPECT_TRUE(h.form.CrcList.Checked(1));
    h.form.CrcList.EditItem(0).Checked = true;
    h.ui.DialogAnswers.push_back(JoinPath(folder, "set.par2"));
    EXPECT_FALSE(h.Click([&] { h.form.MakeCrcCmdClick(); }));
    EXPECT_EQ(h.ui.Errors, std::vector<std::string>{"復旧セットを作成できませんでした： a\\b.bin: a set's reader takes its "
                                                    "\"\\\" for a folder separator"});
    EXPECT_EQ(WriterHarness::FilesIn(folder), (std::vector<std::string>{"a\\b.bin", "c.bin"}));
}

// The stop button (the search button, 止 while the files are read) and a close of the window: the set is not
// written, no part file stays, and the window stays in create mode with its rows.
TEST(Par2CreateMode, TheStopButtonOrACloseWritesNothing) {
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "close" : "stop button");
        Par2Run h;
        std::string captionMeanwhile;
        int calls = 0;
        h.ui.OnProcessMessages = [&] {
            if (!h.form.Par2Creating || ++calls != 3) return;
            captionMeanwhile = h.form.SearchButton.Caption();
            if (close)
                h.form.AskToClose();
            else
                h.form.RunCommand([&] { h.form.SearchButtonClick(); }, false, true);
        };
        ASSERT_TRUE(h.Save("trip.par2"));
        EXPECT_EQ(calls, 3);
        EXPECT_EQ(captionMeanwhile, "止");
        EXPECT_EQ(WriterHarness::FilesIn(h.folder),
                  (std::vector<std::string>{"empty.txt", "old.sfv", "one.jpg", "two.jpg"}));
        EXPECT_TRUE(h.form.IsCreateMode);
        EXPECT_EQ(h.form.CrcList.Count(), 4);
        EXPECT_EQ(h.form.SearchButton.Caption(), "－");
        if (!close) {
            EXPECT_EQ(h.form.Status.Caption(), "作成を中止しました。復旧セットのファイルは書き込んでいません");
        }
        EXPECT_FALSE(h.form.Par2Creating);
    }
}

// MD5 and a PAR2 set read the same digests: a change between them rescans nothing, and the PAR2 kind is
// one of the radio group.
TEST(Par2CreateMode, TheKindIsOneOfTheRadioGroupAndSharesTheMd5Scan) {
    Par2Run h(false);
    const std::string md5 = h.form.CrcList.Item(0).SubItem(1);
    h.dir.Write("trip/late.jpg", "not scanned");
    h.form.ClickMenuItem(h.form.ListKindPar2, MenuClick::Radio, [&] { h.form.ListKindClick(); });
    EXPECT_TRUE(h.form.ListKindPar2.Checked());
    EXPECT_FALSE(h.form.ListKinds[1].Checked());
    EXPECT_EQ(h.form.CreateAlgorithm(), HashAlgorithm::Md5);
    EXPECT_EQ(h.form.CrcList.Count(), 4); // not scanned again
    EXPECT_EQ(h.form.CrcList.Item(0).SubItem(1), md5);
    EXPECT_EQ(h.form.CrcList.Item(0).ImageIndex, 3); // empty.txt
    h.form.ClickMenuItem(h.form.ListKinds[4], MenuClick::Radio, [&] { h.form.ListKindClick(); });
    EXPECT_FALSE(h.form.ListKindPar2.Checked());
    EXPECT_EQ(h.form.CrcList.Count(), 5); // SHA-256: scanned again
    EXPECT_EQ(h.form.CrcList.Item(0).ImageIndex, 0);
}

} // namespace
} // namespace tv::test
