#include "ShellFixture.h"

#include "platform/BuildInfo.h"
#include "platform/Paths.h"

#include <functional>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace tv {
namespace {

using test::CrcHex;
using test::ShellForm;

TEST(Startup, WithoutArgumentsTheListIsEmptyAndTheStatusShowsTheSettings) {
    ShellForm s;
    TForm1& f = *s.form;
    f.MakeCrcCmd.SetEnabled(true);
    f.Complement.SetEnabled(false);
    f.SearchRunning = true;
    f.FormCreate({});
    EXPECT_EQ(f.Caption, "Tallyvault V1.32");
    EXPECT_EQ(f.Status.Caption(), "設定状態  移動補完 補完元=随時指定 重複-確認");
    EXPECT_EQ(f.SearchButton.Hint(), "移動補完 補完元=随時指定");
    EXPECT_EQ(f.CrcList.Count(), 0);
    for (const TControl* c : {&f.TotalCounter, &f.GoodCounter, &f.BadCounter, &f.NotingCounter})
        EXPECT_EQ(c->Caption(), "0");
    for (const TMenuItem* m : {&f.FileChangeCmd, &f.Complement, &f.MakeRequestCmd, &f.CopyComplement})
        EXPECT_TRUE(m->Enabled()) << m->Caption();
    EXPECT_FALSE(f.MakeCrcCmd.Enabled());
    EXPECT_FALSE(f.SearchRunning);
    EXPECT_FALSE(f.IsCreateMode);
    EXPECT_EQ(f.SettingsFile, s.dir / "Tallyvault.ini");
}

TEST(Startup, TheFirstArgumentIsLoadedAndFurtherOnesAreIgnored) {
    ShellForm s;
    const std::string list = test::WriteFourStateList(s.dir);
    const std::string other = s.dir.Write("other/second.sfv", "x.bin 00000000\r\n");
    TForm1& f = *s.form;
    f.FormCreate({list, other});
    EXPECT_EQ(f.ListPath, list);
    ASSERT_EQ(f.CrcList.Count(), 4);
    EXPECT_EQ(f.TotalCounter.Caption(), "4");
    EXPECT_EQ(f.GoodCounter.Caption(), "1");
    EXPECT_EQ(f.BadCounter.Caption(), "1");
    EXPECT_EQ(f.NotingCounter.Caption(), "2");
    EXPECT_EQ(f.Status.Caption(), "読み取り終了 list.sfv");
}

TEST(Startup, AnUnusableArgumentLeavesTheListEmptyWithItsStatusText) {
    const struct {
        const char* Name;
        bool Create;
        const char* StatusStart;
    } cases[] = {
        {"missing.sfv", false, "Not Found => "},
        {"list.txt", true, "受け付け可能な形式（CRC/SFV/CSV）ではありません => list.txt"},
        {"noextension", true, "受け付け可能な形式（CRC/SFV/CSV）ではありません => noextension"},
    };
    for (const auto& c : cases) {
        ShellForm s;
        if (c.Create) s.dir.Write(c.Name, "a.bin 00000000\r\n");
        s.form->FormCreate({s.dir / c.Name});
        EXPECT_EQ(s.form->CrcList.Count(), 0) << c.Name;
        EXPECT_EQ(s.form->Status.Caption().rfind(c.StatusStart, 0), 0u) << s.form->Status.Caption();
    }
}

TEST(WindowCommands, TheOpenDialogLoadsTheChosenListAndACancelChangesNothing) {
    ShellForm s;
    const std::string list = test::WriteFourStateList(s.dir);
    TForm1& f = *s.form;
    f.FormCreate({});
    f.BaseFolder = s.dir.Path();
    const std::string status = f.Status.Caption();
    f.OpenButtonClick(); // unscripted: cancelled
    EXPECT_EQ(f.Status.Caption(), status);
    EXPECT_TRUE(f.ListPath.empty());
    ASSERT_EQ(s.ui.Dialogs.size(), 1u);
    EXPECT_EQ(s.ui.Dialogs[0].Kind, "open");
    // Every kind of list first, so that none is hidden; then the design's two filters, the digest lists,
    // PAR2 sets and every file (a .txt digest list is told by its lines).
    const std::string digests = "*.MD5;*.SHA1;*.SHA224;*.SHA256;*.SHA384;*.SHA512;*.B2;*.BLAKE2;*.B3;*.BLAKE3;*.BK3;"
                                "*SUMS;*SUMS.*";
    EXPECT_EQ(s.ui.Dialogs[0].Filter, "Checksum List (all kinds)|*.CRC;*.SFV;*.CSV;*.TXT;" + digests + ";*.PAR2" +
                                          "|CRC Check File (sfv,crc,csv)|*.CRC;*.SFV;*.CSV|CRC1632 File (*.txt)|*.TXT"
                                          "|Digest List (md5,sha1,sha224,sha256,sha384,sha512,b2,b3)|" +
                                          digests + "|PAR2 Recovery Set (par2)|*.PAR2|All Files (*.*)|*");
    EXPECT_EQ(s.ui.Dialogs[0].StartFolder, s.dir.Path());

    s.ui.DialogAnswers.push_back(list);
    f.CrcOpenCmdClick();
    EXPECT_EQ(f.ListPath, list);
    EXPECT_EQ(f.CrcList.Count(), 4);
}

TEST(WindowCommands, TextListsFromTheDialogAndTheStatusBarGoToTheCrc1632Reader) {
    ShellForm s;
    s.dir.Write("set/good.bin", "good content");
    const std::string record = "good.bin, 0000, " + CrcHex("good content") + ", 12, C:\\x\\good.bin\r\n";
    const std::string list = s.dir.Write("set/list.TxT", "FileName, CRC16, CRC32, FileSize, Path\r\n" + record);
    TForm1& f = *s.form;
    f.FormCreate({});
    s.ui.DialogAnswers.push_back(list);
    f.CrcOpenCmdClick();
    ASSERT_EQ(f.CrcList.Count(), 1);
    EXPECT_EQ(f.CrcList.Item(0).ImageIndex, 0);
    EXPECT_EQ(f.CrcList.Item(0).SubItem(0), "12");
    // Another record, and the status bar reads the list again with the same reader.
    s.dir.Write("set/list.TxT", "FileName, CRC16, CRC32, FileSize, Path\r\n" + record +
                                    "gone.bin, 0000, 00000001, 3, C:\\x\\gone.bin\r\n");
    f.StatusClick();
    ASSERT_EQ(f.CrcList.Count(), 2);
    EXPECT_EQ(f.NotingCounter.Caption(), "1");
    EXPECT_TRUE(s.ui.Errors.empty());
}

TEST(WindowCommands, StatusClickReReadsTheListOnlyInReadModeWhileTheFileExists) {
    ShellForm s;
    const std::string list = test::WriteFourStateList(s.dir);
    TForm1& f = *s.form;
    f.FormCreate({list});
    ASSERT_EQ(f.CrcList.Count(), 4);

    s.dir.Write("set/list.sfv", "good.bin " + CrcHex("good content") + "\r\n");
    f.StatusClick();
    EXPECT_EQ(f.CrcList.Count(), 1);
    EXPECT_EQ(f.TotalCounter.Caption(), "1");

    s.dir.Write("set/list.sfv", "good.bin " + CrcHex("good content") + "\r\nbad.bin 00000000\r\n");
    f.IsCreateMode = true;
    f.StatusClick();
    EXPECT_EQ(f.CrcList.Count(), 1);

    f.IsCreateMode = false;
    std::remove(list.c_str());
    f.StatusClick();
    EXPECT_EQ(f.CrcList.Count(), 1);
    EXPECT_TRUE(s.ui.Errors.empty());
}

TEST(WindowCommands, PopupCopiesTakeTheSelectedRowAndNothingWithoutOne) {
    ShellForm s;
    TForm1& f = *s.form;
    f.FormCreate({test::WriteFourStateList(s.dir)});
    s.ui.Clipboard = "before";
    f.CopyNameClick();
    f.CopyCRCClick();
    EXPECT_EQ(s.ui.Clipboard, "before");

    // Rows are sorted by name: bad, gone, good, moved.
    f.CrcList.SetSelected(2);
    f.CopyNameClick();
    EXPECT_EQ(s.ui.Clipboard, "good.bin");
    f.CopyCRCClick();
    EXPECT_EQ(s.ui.Clipboard, CrcHex("good content"));
}

TEST(WindowCommands, ClosingRestoresTheNormalStateBeforeTheBoundsAreSaved) {
    ShellForm s;
    s.form->FormCreate({});
    s.form->Bounds.State = TWindowState::Maximized;
    s.form->FormClose();
    EXPECT_EQ(s.form->Bounds.State, TWindowState::Normal);
}

TEST(Viewers, VersionHomepageReadMeAndTextEditor) {
    ShellForm s;
    TForm1& f = *s.form;
    f.FormCreate({});
    f.versionClick();
    ASSERT_EQ(s.ui.Messages.size(), 1u);
    // The separators are mixed on purpose: CR CR LF after the title, lone CRs further on.
    EXPECT_EQ(s.ui.Messages[0].rfind("Tallyvault V1.32\r\r\nV1.31からの変更点\r\nメニュー", 0), 0u);
    EXPECT_NE(s.ui.Messages[0].find("ごみ箱削除、\r「メモ帳で表示」"), std::string::npos);

    f.Homepage1Click();
    ASSERT_EQ(s.ui.Opened.size(), 1u);
    EXPECT_EQ(s.ui.Opened[0].rfind("https://", 0), 0u);

    // No read-me beside the program: the status text, nothing opened.
    f.ReadMeClick();
    EXPECT_EQ(f.Status.Caption(), "\"Tallyvault.txt\"がインストールフォルダに有りません");
    EXPECT_EQ(s.ui.Opened.size(), 1u);
    s.dir.Write("bin/Tallyvault.txt", "read me");
    f.ReadMeClick();
    ASSERT_EQ(s.ui.Opened.size(), 2u);
    // Where letter case does not tell names apart, the program's own spelling "tallyvault.txt" names it too.
    EXPECT_PRED2(SameFileName, s.ui.Opened[1], s.dir / "bin/Tallyvault.txt");
    // Installed: the read-me is in the documentation folder of the program's prefix.
    std::remove((s.dir / "bin/Tallyvault.txt").c_str());
    const std::string docs =
        (std::filesystem::path("bin") / buildinfo::DocDirFromBinDir).lexically_normal().generic_string();
    const std::string installed = s.dir.Write(docs + "/Tallyvault.txt", "read me");
    f.ReadMeClick();
    ASSERT_EQ(s.ui.Opened.size(), 3u);
    EXPECT_EQ(s.ui.Opened[2], installed);

    // The text editor needs a list file that still exists.
    f.NoteViewClick();
    EXPECT_EQ(s.ui.Opened.size(), 3u);
    f.ListPath = s.dir.Write("l.sfv", "");
    f.NoteViewClick();
    ASSERT_EQ(s.ui.Opened.size(), 4u);
    EXPECT_EQ(s.ui.Opened[3], "editor:" + f.ListPath);
    std::remove(f.ListPath.c_str());
    f.NoteViewClick();
    EXPECT_EQ(s.ui.Opened.size(), 4u);
}

// When the desktop can start nothing, each command says so in a box naming what it tried to open.
TEST(Viewers, NothingToOpenWithIsSaidInABox) {
    ShellForm s;
    TForm1& f = *s.form;
    f.FormCreate({});
    s.ui.LaunchWorks = false;
    f.ProgramPath = s.dir / "bin/tallyvault";
    const std::string readMe = s.dir.Write("bin/Tallyvault.txt", "read me");
    f.ListPath = s.dir.Write("l.sfv", "");
    const struct {
        std::function<void()> Click;
        std::string Text, Target; // the box says Text, a line break and what was to be opened
    } cases[] = {
        {[&] { f.Homepage1Click(); }, "ホームページを開くブラウザが見つかりません", "https://tallyvault.example.org/"},
        {[&] { f.ReadMeClick(); }, "テキストファイルを開くアプリケーションが見つかりません", readMe},
        {[&] { f.NoteViewClick(); }, "テキストファイルを開くアプリケーションが見つかりません", f.ListPath},
    };
    for (const auto& c : cases) {
        s.ui.Messages.clear();
        c.Click();
        ASSERT_EQ(s.ui.Messages.size(), 1u) << c.Text;
        const std::string& box = s.ui.Messages[0];
        EXPECT_EQ(box.substr(0, c.Text.size() + 1), c.Text + "\r");
        // The read-me may be named in the program's own spelling where letter case does not matter.
        EXPECT_PRED2(SameFileName, box.substr(std::min(box.size(), c.Text.size() + 1)), c.Target);
    }
}

} // namespace
} // namespace tv
