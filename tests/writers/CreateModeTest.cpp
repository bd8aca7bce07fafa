// Create mode: the mode switch and every element it changes, the folder scan and what it leaves out,
// the check button's selection there, and writing the ticked files as a new list.
#include "writers/WriterHarness.h"

#include "platform/Hashing.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace tv::test {
namespace {

// Every element the mode switch sets, as "element property: value".
std::vector<std::string> ModeElements(const TForm1& f) {
    auto shown = [](bool v) { return std::string(v ? "shown" : "hidden"); };
    auto on = [](bool v) { return std::string(v ? "on" : "off"); };
    return {"OpenButton hint: " + f.OpenButton.Hint(),
            "RenameButton: " + f.RenameButton.Caption() + " / " + f.RenameButton.Hint(),
            "SearchButton: " + f.SearchButton.Caption() + " / " + f.SearchButton.Hint(),
            "ModeButton: " + f.ModeButton.Caption() + " / " + f.ModeButton.Hint(),
            "ModeChangeCmd: " + f.ModeChangeCmd.Caption(),
            "Label2: " + f.Label2.Caption(),
            "Label3 Label4: " + shown(f.Label3.Visible()) + " " + shown(f.Label4.Visible()),
            "GoodCounter hint: " + f.GoodCounter.Hint(),
            "BadCounter NotingCounter: " + shown(f.BadCounter.Visible()) + " " + shown(f.NotingCounter.Visible()),
            "read-mode items: " + on(f.FileChangeCmd.Enabled()) + on(f.Complement.Enabled()) +
                on(f.MakeRequestCmd.Enabled()) + on(f.CopyComplement.Enabled()) + on(f.FixFolder.Enabled()) +
                on(f.AutoMove.Enabled()) + on(f.DubbleAction.Enabled()) + on(f.NoteView.Enabled()),
            "MakeCrcCmd: " + on(f.MakeCrcCmd.Enabled()),
            "Status: " + f.Status.Caption() + " / " + f.Status.Hint()};
}

const std::vector<std::string> CreateModeElements = {
    "OpenButton hint: CRCファイル作成フォルダ選択",
    "RenameButton: 出 / CRCファイル作成",
    "SearchButton: － / ",
    "ModeButton: 書 / モード変更（現在：書込モード）",
    "ModeChangeCmd: モード変更（現在：書込モード）",
    "Label2: 選",
    "Label3 Label4: hidden hidden",
    "GoodCounter hint: 選択数",
    "BadCounter NotingCounter: hidden hidden",
    "read-mode items: offoffoffoffoffoffoffoff",
    "MakeCrcCmd: on",
    "Status: Tallyvault V1.32 CRCファイル作成モード / ",
};

const std::vector<std::string> ReadModeElements = {
    "OpenButton hint: CRCファイル読込み",
    "RenameButton: 改 / SameFileを改名または移動",
    "SearchButton: 補 / 移動補完 補完元=随時指定",
    "ModeButton: 読 / モード変更（現在：読取モード）",
    "ModeChangeCmd: モード変更（現在：読取モード）",
    "Label2: ○",
    "Label3 Label4: shown shown",
    "GoodCounter hint: CRC一致数",
    "BadCounter NotingCounter: shown shown",
    "read-mode items: onononononononon",
    "MakeCrcCmd: off",
    "Status: Tallyvault V1.32 確認・補完モード / クリックで再読み取り",
};

std::vector<std::string> Ticked(const TForm1& f) {
    std::vector<std::string> out;
    for (const TListItem& r : f.CrcList.Items())
        if (r.Checked) out.push_back(r.Caption());
    return out;
}

// A folder of three files and its list, loaded.
struct LoadedSet : WriterHarness {
    std::string folder = dir.MakeFolder("set");
    std::string list;
    LoadedSet() {
        dir.Write("set/a.bin", "alpha");
        dir.Write("set/b.bin", "beta");
        dir.Write("set/c.bin", "gamma");
        list = dir.Write("set/set.sfv", "a.bin " + CrcHex("alpha") + "\r\nb.bin " + CrcHex("beta") + "\r\n");
        form.ListPath = list;
        Click([&] { form.OpenListFile(); });
    }
};

TEST(ModeButtonClick, SetsEveryElementOfBothModes) {
    WriterHarness h;
    EXPECT_EQ(h.form.ModeChangeCmd.Caption(), "モード変更(&M)");
    ASSERT_TRUE(h.Click([&] { h.form.ModeButtonClick(); }));
    EXPECT_TRUE(h.form.IsCreateMode);
    EXPECT_EQ(ModeElements(h.form), CreateModeElements);
    // No list loaded: nothing to scan.
    EXPECT_EQ(h.form.CrcList.Count(), 0);
    EXPECT_EQ(h.form.TotalCounter.Caption(), "0");

    ASSERT_TRUE(h.Click([&] { h.form.ModeChangeCmdClick(); }));
    EXPECT_FALSE(h.form.IsCreateMode);
    EXPECT_EQ(ModeElements(h.form), ReadModeElements);
    // Elements outside the table keep what they were.
    EXPECT_EQ(h.form.CheckButton.Caption(), "選");
    EXPECT_EQ(h.form.TotalCounter.Hint(), "全体数");
}

TEST(ModeButtonClick, ScansTheListsFolderAndReadsTheListAgainOnTheWayBack) {
    LoadedSet h;
    ASSERT_EQ(h.form.CrcList.Count(), 2);
    h.form.GoodCounter.SetCaption("9");
    ASSERT_TRUE(h.Click([&] { h.form.ModeButtonClick(); }));
    EXPECT_EQ(h.form.BaseFolder, h.folder);
    EXPECT_EQ(h.form.Caption, h.folder);
    EXPECT_EQ(h.Captions(), (std::vector<std::string>{"a.bin", "b.bin", "c.bin", "set.sfv"}));
    EXPECT_EQ(h.form.CrcList.Item(3).ImageIndex, 3); // the list itself is listed, not for ticking
    EXPECT_EQ(h.form.CrcList.Item(0).SubItems(), (std::vector<std::string>{"5", CrcHex("alpha"), ""}));
    EXPECT_EQ(h.form.TotalCounter.Caption(), "4");
    EXPECT_EQ(h.form.GoodCounter.Caption(), "0");
    EXPECT_EQ(h.form.EntryCount, 4);
    EXPECT_TRUE(Ticked(h.form).empty());
    EXPECT_FALSE(h.ui.Busy);

    // A folder chosen meanwhile does not change the list the way back shows.
    const std::string other = h.dir.MakeFolder("other");
    h.dir.Write("other/z.bin", "zed");
    h.ui.DialogAnswers.push_back(other);
    ASSERT_TRUE(h.Click([&] { h.form.OpenButtonClick(); }));
    ASSERT_EQ(h.ui.Dialogs.size(), 1u);
    EXPECT_EQ(h.ui.Dialogs[0].Kind, "folder");
    EXPECT_EQ(h.ui.Dialogs[0].Title, "対象フォルダを指定");
    EXPECT_EQ(h.ui.Dialogs[0].StartFolder, h.folder);
    EXPECT_EQ(h.Captions(), std::vector<std::string>{"z.bin"});
    EXPECT_EQ(h.form.BaseFolder, other);

    ASSERT_TRUE(h.Click([&] { h.form.ModeButtonClick(); }));
    EXPECT_EQ(h.form.ListPath, h.list);
    EXPECT_EQ(h.form.BaseFolder, h.folder);
    EXPECT_EQ(h.Captions(), (std::vector<std::string>{"a.bin", "b.bin"}));
    EXPECT_EQ(h.form.GoodCounter.Caption(), "2");
    EXPECT_EQ(h.form.Status.Caption(), "読み取り終了 set.sfv");
}

TEST(FolderOpenCmdClick, FromReadModeSwitchesFirstAndACancelKeepsTheListsFolder) {
    LoadedSet h;
    ASSERT_TRUE(h.Click([&] { h.form.FolderOpenCmdClick(); }));
    EXPECT_TRUE(h.form.IsCreateMode);
    ASSERT_EQ(h.ui.Dialogs.size(), 1u);
    EXPECT_EQ(h.ui.Dialogs[0].Kind, "folder");
    EXPECT_EQ(h.ui.Dialogs[0].StartFolder, h.folder);
    EXPECT_EQ(h.form.BaseFolder, h.folder);
    EXPECT_EQ(h.form.CrcList.Count(), 4);
    EXPECT_EQ(h.form.ListPath, h.list);
    // In create mode the open button asks for a folder again, and the rename button writes a list.
    ASSERT_TRUE(h.Click([&] { h.form.OpenButtonClick(); }));
    EXPECT_EQ(h.ui.Dialogs.size(), 2u);
    EXPECT_EQ(h.ui.Dialogs[1].Kind, "folder");
    ASSERT_TRUE(h.Click([&] { h.form.RenameButtonClick(); }));
    EXPECT_EQ(h.form.Status.Caption(), "ファイルがひとつもチェックされていません");
    EXPECT_EQ(WriterHarness::FilesIn(h.folder), (std::vector<std::string>{"a.bin", "b.bin", "c.bin", "set.sfv"}));
}

TEST(ModeButtonClick, AListWhoseFolderOrFileIsGoneGivesAnEmptyList) {
    LoadedSet h;
    std::filesystem::remove_all(h.folder);
    ASSERT_TRUE(h.Click([&] { h.form.ModeButtonClick(); }));
    EXPECT_EQ(h.form.CrcList.Count(), 0);
    EXPECT_EQ(h.form.EntryCount, 0);
    EXPECT_EQ(h.form.Status.Caption(), "Tallyvault V1.32 CRCファイル作成モード");
    ASSERT_TRUE(h.Click([&] { h.form.ModeButtonClick(); }));
    EXPECT_EQ(h.form.CrcList.Count(), 0);
    EXPECT_EQ(h.form.Status.Caption(), "Tallyvault V1.32 確認・補完モード");
}

TEST(ScanFolder, ListsPlainFilesSortedAndMarksTheOnesLeftUnticked) {
    WriterHarness h;
    const std::string folder = h.dir.MakeFolder("f");
    const struct {
        const char* Name;
        bool Excluded;
    } files[] = {
        {"x.sfv", true},
        {"x.SFV", true},
        {"x.p27", true},
        {"x.par", true},
        {"x.txt", true},
        {"x.db", true},
        {"x.c", true},
        {"x.p1", true},
        {"x.s", true},
        {"x.t", true},
        {"x.d", true},
        {"x.i", true},
        {"x.jpg", false},
        {"x.dbx", false},
        {"x.r", false},
        {"readme", false},
        {"Notes.Csv", true},
        {"two\nlines", true},
        {"back\\slash.bin", true},
        {";semicolon.bin", true},
    };
    for (const auto& f : files)
        h.dir.Write(std::string("f/") + f.Name, "some content");
    h.dir.Write("f/.hidden", "hidden");
    h.dir.Write("f/sub/inner.bin", "inner");
    h.dir.Write("f/empty.bin", "");
    h.form.IsCreateMode = true;
    h.form.BaseFolder = folder;
    ASSERT_TRUE(h.Click([&] { h.form.ScanFolder(); }));

    // Sorted by name without regard to letter case; hidden files and sub-folders never appear.
    EXPECT_EQ(h.Captions(), (std::vector<std::string>{";semicolon.bin",
                                                      "back\\slash.bin",
                                                      "empty.bin",
                                                      "Notes.Csv",
                                                      "readme",
                                                      "two\nlines",
                                                      "x.c",
                                                      "x.d",
                                                      "x.db",
                                                      "x.dbx",
                                                      "x.i",
                                                      "x.jpg",
                                                      "x.p1",
                                                      "x.p27",
                                                      "x.par",
                                                      "x.r",
                                                      "x.s",
                                                      "x.SFV",
                                                      "x.sfv",
                                                      "x.t",
                                                      "x.txt"}));
    for (const auto& f : files) {
        SCOPED_TRACE(f.Name);
        for (const TListItem& r : h.form.CrcList.Items())
            if (r.Caption() == f.Name) {
                EXPECT_EQ(r.ImageIndex, f.Excluded ? 3 : 0);
            }
    }
    const TListItem& empty = h.form.CrcList.Item(2);
    EXPECT_EQ(empty.SubItems(), (std::vector<std::string>{"0", "00000000", ""}));
    EXPECT_EQ(empty.ImageIndex, 0);
    EXPECT_EQ(h.form.TotalCounter.Caption(), "21");

    // The check button alternates between every file not left out and none, counting the ticks.
    h.form.CheckCycle = 0;
    h.form.CheckButtonClick();
    EXPECT_EQ(Ticked(h.form), (std::vector<std::string>{"empty.bin", "readme", "x.dbx", "x.jpg", "x.r"}));
    EXPECT_EQ(h.form.GoodCounter.Caption(), "5");
    h.form.CheckButtonClick();
    EXPECT_TRUE(Ticked(h.form).empty());
    EXPECT_EQ(h.form.GoodCounter.Caption(), "0");
    h.form.CheckButtonClick();
    EXPECT_EQ(Ticked(h.form).size(), 5u);

    // A name that cannot stand in a list line is refused when ticked by hand.
    h.form.CrcList.SetChecked(5, true);
    EXPECT_FALSE(h.Click([&] { h.form.WriteSfvList(folder + "/out.sfv"); }));
    EXPECT_EQ(h.ui.Errors, std::vector<std::string>{"Invalid file name: two\nlines"});
    EXPECT_FALSE(h.dir.Exists("f/out.sfv"));
}

// Files unpacked from an archive made on Windows keep CP932 bytes as names: their rows read as Windows
// showed them; bytes that are neither UTF-8 nor CP932 show replacement marks.
TEST(ScanFolder, AFileNamedInCp932BytesShowsItsCp932Reading) {
    if (PathDelim == '\\') GTEST_SKIP() << "Windows names are characters, never bytes of another code page";
    WriterHarness h;
    const std::string folder = h.dir.MakeFolder("f");
    const struct {
        std::string OnDisk, Shown;
    } files[] = {
        {"\x8e\xca\x90^.jpg", "写真.jpg"},
        {"\x83\x5c\x83\x74\x83\x67.zip", "ソフト.zip"},
        {"utf8名.jpg", "utf8名.jpg"},
        {"a\x81\x20z.bin", "a\xEF\xBF\xBD z.bin"},
    };
    for (const auto& f : files)
        h.dir.Write("f/" + f.OnDisk, "some content");
    h.form.IsCreateMode = true;
    h.form.BaseFolder = folder;
    ASSERT_TRUE(h.Click([&] { h.form.ScanFolder(); }));
    const std::vector<std::string> captions = h.Captions();
    for (const auto& f : files)
        EXPECT_NE(std::find(captions.begin(), captions.end(), f.Shown), captions.end()) << f.Shown;
}

TEST(ScanFolder, AFileThatCannotBeReadEndsTheScanWithRowsSoFar) {
    WriterHarness h;
    const std::string folder = h.dir.MakeFolder("f");
    for (const char* name : {"a.bin", "b.bin", "c.bin", "d.bin"})
        h.dir.Write(std::string("f/") + name, name);
    h.fs.Unreadable.insert(JoinPath(folder, "c.bin"));
    h.form.IsCreateMode = true;
    h.form.BaseFolder = folder;
    EXPECT_FALSE(h.Click([&] { h.form.ScanFolder(); }));
    EXPECT_EQ(h.ui.Errors, std::vector<std::string>{"File access denied"});
    EXPECT_FALSE(h.ui.Busy);
    // The enumeration order decides how many came before it; rows and table agree.
    EXPECT_LT(h.form.CrcList.Count(), 4);
    EXPECT_EQ(h.form.EntryCount, h.form.CrcList.Count());
    EXPECT_EQ(h.form.TotalCounter.Caption(), std::to_string(h.form.EntryCount));
    for (const TListItem& r : h.form.CrcList.Items())
        EXPECT_NE(r.Caption(), "c.bin");

    // A folder that is gone.
    h.ui.DialogAnswers.push_back(h.dir / "gone");
    EXPECT_FALSE(h.Click([&] { h.form.FolderOpenCmdClick(); }));
    EXPECT_EQ(h.ui.Errors.back(), "File not found");
    EXPECT_FALSE(h.ui.Busy);
}

// Scans a folder with some files, ticks them and answers the save dialog with `answer`.
struct SaveRun : WriterHarness {
    std::string folder = dir.MakeFolder("photos/trip");
    SaveRun() {
        dir.Write("photos/trip/one.jpg", "first picture");
        dir.Write("photos/trip/two.jpg", "second picture");
        dir.Write("photos/trip/old.sfv", "old.sfv is left out");
        ui.DialogAnswers.push_back(std::nullopt); // the folder dialog of FolderOpenCmdClick: cancelled
        Click([&] {
            form.FolderOpenCmdClick();
            form.BaseFolder = folder;
            form.ScanFolder();
        });
        ui.Dialogs.clear();
    }
    bool Save(const std::string& answer) {
        form.CheckCycle = 2;
        form.CheckButtonClick();
        form.GoodCounter.SetCaption("0");
        ui.DialogAnswers.push_back(answer);
        return Click([&] { form.RenameButtonClick(); });
    }
};

TEST(MakeCrcCmdClick, NothingTickedOpensNoDialog) {
    SaveRun h;
    ASSERT_TRUE(h.Click([&] { h.form.MakeCrcCmdClick(); }));
    EXPECT_EQ(h.form.Status.Caption(), "ファイルがひとつもチェックされていません");
    EXPECT_TRUE(h.ui.Dialogs.empty());
    EXPECT_FALSE(h.ui.Busy);
}

TEST(MakeCrcCmdClick, TheSaveDialogAndTheReturnToReadModeWithTheNewList) {
    SaveRun h;
    ASSERT_TRUE(h.Save(JoinPath(h.folder, "list.sfv")));
    ASSERT_EQ(h.ui.Dialogs.size(), 1u);
    const FakeUi::Dialog& d = h.ui.Dialogs[0];
    EXPECT_EQ(d.Kind, "save");
    EXPECT_EQ(d.Title, "出力ファイル名を入力");
    // Every kind is offered, the scanned one (CRC-32) first.
    EXPECT_EQ(d.Filter.rfind("SFV or CSV File|*.SFV;*.CSV|MD5 File|*.md5;MD5SUMS*|", 0), 0u) << d.Filter;
    EXPECT_EQ(d.Proposed, JoinPath(h.folder, "trip.SFV"));
    EXPECT_EQ(d.StartFolder, h.folder);

    const std::string text = h.dir.Read("photos/trip/list.sfv");
    EXPECT_EQ(text.substr(0, std::string(FixedHeader).size()), FixedHeader);
    EXPECT_NE(text.find("one.jpg " + CrcHex("first picture") + "\r\ntwo.jpg " + CrcHex("second picture") + "\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find("old.sfv"), std::string::npos);
    // Back in read mode, the new list loaded and verified.
    EXPECT_FALSE(h.form.IsCreateMode);
    EXPECT_EQ(h.form.ListPath, JoinPath(h.folder, "list.sfv"));
    EXPECT_EQ(h.form.Dialect, ListDialect::ldQuickSfv);
    EXPECT_EQ(h.Captions(), (std::vector<std::string>{"one.jpg", "two.jpg"}));
    EXPECT_EQ(h.form.GoodCounter.Caption(), "2");
    EXPECT_EQ(h.form.Status.Caption(), "読み取り終了 list.sfv");
    EXPECT_EQ(h.form.RenameButton.Caption(), "改");
    EXPECT_FALSE(h.ui.Busy);
}

TEST(MakeCrcCmdClick, TheChosenNamesExtensionDecides) {
    const struct {
        const char* Name;
        const char* Existing; // a file already there under that name, or nullptr
        bool Written;         // a list is written
        bool Loaded;          // the window goes to read mode with it
    } cases[] = {
        {"list.CSV", nullptr, true, true},
        {"list", nullptr, false, false},
        {"list.txt", nullptr, false, false},
        {"x.cs", nullptr, false, false},
        {"x.cs", "one.jpg 00000000\r\n", false, true},
        {"x.sf", "one.jpg 00000000\r\n", false, true},
        {"x.sfx", "one.jpg 00000000\r\n", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + (c.Existing ? " (exists)" : ""));
        SaveRun h;
        const std::string path = h.folder + "/" + c.Name;
        if (c.Existing) h.dir.Write(std::string("photos/trip/") + c.Name, c.Existing);
        ASSERT_TRUE(h.Save(path));
        if (c.Written) {
            EXPECT_EQ(ReadFile(path),
                      "one.jpg,13," + CrcHex("first picture") + "\r\ntwo.jpg,14," + CrcHex("second picture") + "\r\n");
        } else if (c.Existing) {
            EXPECT_EQ(ReadFile(path), c.Existing);
        } else {
            EXPECT_FALSE(h.dir.Exists(std::string("photos/trip/") + c.Name));
        }
        EXPECT_EQ(h.form.IsCreateMode, !c.Loaded);
        if (c.Loaded) {
            EXPECT_EQ(h.form.ListPath, path);
            EXPECT_EQ(h.form.Status.Caption(), std::string("読み取り終了 ") + c.Name);
        } else {
            EXPECT_EQ(h.form.Status.Caption(), std::string("セーブに失敗しました　") + c.Name);
            EXPECT_EQ(h.form.CrcList.Count(), 3);
            EXPECT_EQ(h.form.GoodCounter.Caption(), "2"); // the ticked rows, as counted before the dialog
        }
    }
}

TEST(MakeCrcCmdClick, AFileDeletedSinceTheScanEndsTheWriteAndKeepsTheOldList) {
    SaveRun h;
    const std::string list = h.dir.Write("photos/trip/list.sfv", "the old list");
    std::filesystem::remove(h.folder + "/two.jpg");
    EXPECT_FALSE(h.Save(list));
    EXPECT_EQ(h.ui.Errors, std::vector<std::string>{"File not found"});
    EXPECT_EQ(ReadFile(list), "the old list");
    EXPECT_TRUE(h.form.IsCreateMode);
    EXPECT_FALSE(h.ui.Busy);
    EXPECT_EQ(WriterHarness::FilesIn(h.folder), (std::vector<std::string>{"list.sfv", "old.sfv", "one.jpg"}));
}

} // namespace
} // namespace tv::test

namespace tv::test {
namespace {

// The kind of list chosen before the scan: the scan computes its digests, the check button takes the names a
// digest line can hold and an SFV line cannot, the dialog opens with that kind; a list saved as another kind reads the
// ticked files once more for it, and a click on another kind scans again.
TEST(CreateKinds, TheChosenKindIsScannedOfferedAndWritten) {
    WriterHarness h;
    const std::string folder = h.dir.MakeFolder("trip");
    h.dir.Write("trip/;note.jpg", "note");
    h.dir.Write("trip/one.jpg", "one");
    h.dir.Write("trip/old.sha1", "an old list");
    h.form.SetCreateAlgorithm(HashAlgorithm::Sha256);
    h.form.IsCreateMode = true;
    h.form.BaseFolder = folder;
    ASSERT_TRUE(h.Click([&] { h.form.ScanFolder(); }));
    ASSERT_EQ(h.Captions(), (std::vector<std::string>{";note.jpg", "old.sha1", "one.jpg"}));
    auto hex = [](HashAlgorithm a, const std::string& s) { return KeyText(DigestOf(a, s.data(), s.size())); };
    EXPECT_EQ(h.form.CrcList.Item(2).SubItem(1), hex(HashAlgorithm::Sha256, "one"));
    EXPECT_EQ(h.form.CrcList.Columns[2].Caption, "SHA-256");
    h.form.CheckCycle = 2;
    h.form.CheckButtonClick();
    EXPECT_TRUE(h.form.CrcList.Checked(0));
    EXPECT_FALSE(h.form.CrcList.Checked(1)); // a digest list of the folder is left out
    EXPECT_TRUE(h.form.CrcList.Checked(2));

    // Saved as MD5: the ticked files are read for it.
    h.ui.DialogAnswers.push_back(JoinPath(folder, "trip.MD5"));
    ASSERT_TRUE(h.Click([&] { h.form.MakeCrcCmdClick(); }));
    ASSERT_EQ(h.ui.Dialogs.size(), 1u);
    EXPECT_EQ(h.ui.Dialogs[0].Proposed, JoinPath(folder, "trip.sha256"));
    EXPECT_EQ(h.ui.Dialogs[0].Filter.rfind("SHA-256 File|*.sha256;SHA256SUMS*|SFV or CSV File|", 0), 0u);
    EXPECT_EQ(h.dir.Read("trip/trip.MD5"),
              hex(HashAlgorithm::Md5, "note") + "  ;note.jpg\n" + hex(HashAlgorithm::Md5, "one") + "  one.jpg\n");
    // Back in read mode with the new list, every row ○.
    EXPECT_FALSE(h.form.IsCreateMode);
    EXPECT_EQ(h.form.EntryCount, 2);
    EXPECT_EQ(h.form.GoodCount, 2);

    // Another kind in create mode scans again; its tick is the one kind ticked.
    h.form.ModeButtonClick();
    ASSERT_TRUE(h.form.IsCreateMode);
    h.form.ClickMenuItem(h.form.ListKinds[8], MenuClick::Radio, [&] { h.form.ListKindClick(); });
    EXPECT_EQ(h.form.CreateAlgorithm(), HashAlgorithm::Blake3);
    EXPECT_EQ(h.form.CrcList.Columns[2].Caption, "BLAKE3");
    EXPECT_EQ(h.form.CrcList.Item(2).SubItem(1), hex(HashAlgorithm::Blake3, "one"));
    EXPECT_EQ(std::count_if(std::begin(h.form.ListKinds), std::end(h.form.ListKinds),
                            [](const TMenuItem& m) { return m.Checked(); }),
              1);
}

} // namespace
} // namespace tv::test
