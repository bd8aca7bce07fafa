#include "ShellFixture.h"

#include "platform/IniFile.h"
#include "platform/SettingsLocation.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tv {
namespace {

using test::ShellForm;

TEST(Settings, FirstRunStartsWithDefaultsAndCreatesTheFileWithEveryKey) {
    ShellForm s;
    TForm1& f = *s.form;
    f.FormCreate({});
    EXPECT_TRUE(f.DblInq.Checked());
    for (const TMenuItem* m : {&f.CopyComplement, &f.AutoMove, &f.DblNop, &f.DblDel, &f.TashUse, &f.FixFolder})
        EXPECT_FALSE(m->Checked()) << m->Caption();
    ASSERT_EQ(f.CrcList.Columns.size(), 4u);
    EXPECT_EQ(f.CrcList.Columns[0].Width, 250);
    EXPECT_EQ(f.CrcList.Columns[3].Width, 500);
    EXPECT_EQ(f.Bounds.Width, TWindowBounds{}.Width);
    EXPECT_EQ(f.Bounds.Left, TWindowBounds{}.Left);

    f.FormDestroy();
    const IniFile ini = IniFile::Parse(s.Ini());
    const struct {
        const char* Section;
        const char* Key;
        const char* Value; // nullptr: any value
    } expected[] = {
        {"Title", "Program Version", "Tallyvault V1.32"},
        {"Title", "IniFile Last Update", nullptr},
        {"Window Position", "Top", "120"},
        {"Window Position", "Left", "200"},
        {"Window Position", "Whdth", "445"},
        {"Window Position", "Height", "260"},
        {"Tallyvault", "Complement Copy", "0"},
        {"Tallyvault", "Auto Complement", "0"},
        {"Tallyvault", "Complement Fix Folder Use", "0"},
        {"Tallyvault", "Complement Fix Folder Name", ""},
        {"Tallyvault", "List FileName Width", "250"},
        {"Tallyvault", "List FileSize Width", "70"},
        {"Tallyvault", "List CRC Width", "76"},
        {"Tallyvault", "List Same File Width", "500"},
        {"Tallyvault", "Redundant File Detect <No Action>", "0"},
        {"Tallyvault", "Redundant File Detect <Inquire>", "1"},
        {"Tallyvault", "Redundant File Detect <Delete>", "0"},
        {"Tallyvault", "Redundant File Detect <Tash Use>", "0"},
    };
    for (const auto& e : expected) {
        std::optional<std::string> v = ini.Read(e.Section, e.Key);
        ASSERT_TRUE(v) << e.Key;
        if (e.Value) {
            EXPECT_EQ(*v, e.Value) << e.Key;
        }
    }
    // The exact spellings, not only a case-insensitive match.
    EXPECT_NE(s.Ini().find("\nWhdth=445\n"), std::string::npos);
    EXPECT_NE(s.Ini().find("\nRedundant File Detect <Tash Use>=0\n"), std::string::npos);
}

TEST(Settings, OptionsWidthsAndBoundsSurviveARestartAndUnknownKeysStay) {
    ShellForm s;
    s.dir.Write("Tallyvault.ini", "[Mine]\nkeep=this\n[Tallyvault]\nmy own=1\n");
    s.form->FormCreate({});
    TForm1& f = *s.form;
    f.CopyComplement.SetChecked(true);
    f.AutoMove.SetChecked(true);
    f.ClickDuplicateOption(f.DblDel);
    f.TashUse.SetChecked(true);
    f.SetCreateAlgorithm(HashAlgorithm::Sha384);
    f.WriteBsdTags.SetChecked(true);
    f.CrcList.Columns[2].Width = 90;
    f.Bounds = {10, 20, 600, 300, 445, 220, TWindowState::Normal};
    f.FormDestroy();

    s.Reset();
    s.form->FormCreate({});
    TForm1& g = *s.form;
    EXPECT_TRUE(g.CopyComplement.Checked());
    EXPECT_TRUE(g.AutoMove.Checked());
    EXPECT_TRUE(g.DblDel.Checked());
    EXPECT_FALSE(g.DblInq.Checked());
    EXPECT_FALSE(g.DblNop.Checked());
    EXPECT_TRUE(g.TashUse.Checked());
    EXPECT_EQ(g.CreateAlgorithm(), HashAlgorithm::Sha384);
    EXPECT_FALSE(g.ListKinds[0].Checked());
    EXPECT_TRUE(g.WriteBsdTags.Checked());
    EXPECT_EQ(g.CrcList.Columns[2].Width, 90);
    EXPECT_EQ(g.Bounds.Left, 10);
    EXPECT_EQ(g.Bounds.Top, 20);
    EXPECT_EQ(g.Bounds.Width, 600);
    EXPECT_EQ(g.Bounds.Height, 300);
    EXPECT_NE(s.Ini().find("[Mine]\nkeep=this\n"), std::string::npos);
    EXPECT_NE(s.Ini().find("my own=1\n"), std::string::npos);
}

TEST(Settings, TheHashingChoicesSurviveARestartAndAHandEditedFileKeepsOneOfEach) {
    ShellForm s;
    s.form->FormCreate({});
    TForm1& f = *s.form;
    EXPECT_EQ(f.Hashing.Threads, 0); // the machine's cores
    EXPECT_EQ(f.Hashing.Disk, DiskChoice::Auto);
    f.ClickMenuItem(f.ThreadChoices[3], MenuClick::Radio, {});
    f.ClickMenuItem(f.DiskChoices[1], MenuClick::Radio, {});
    EXPECT_EQ(f.Hashing.Threads, 4);
    EXPECT_EQ(f.Hashing.Disk, DiskChoice::Hdd);
    EXPECT_FALSE(f.ThreadChoices[0].Checked());
    EXPECT_FALSE(f.DiskChoices[0].Checked());
    f.FormDestroy();
    EXPECT_NE(s.Ini().find("\nHash Threads <4>=1\n"), std::string::npos);
    EXPECT_NE(s.Ini().find("\nHash Disk <HDD>=1\n"), std::string::npos);

    s.Reset();
    s.form->FormCreate({});
    EXPECT_EQ(s.form->Hashing.Threads, 4);
    EXPECT_EQ(s.form->Hashing.Disk, DiskChoice::Hdd);

    // Two ticked in a group: the first counts. None ticked: the first item.
    s.dir.Write("Tallyvault.ini", "[Tallyvault]\nHash Threads <Cores>=0\nHash Threads <1>=1\nHash Threads <8>=1\n"
                                  "Hash Disk <Auto>=0\n");
    s.Reset();
    s.form->FormCreate({});
    TForm1& g = *s.form;
    EXPECT_EQ(g.Hashing.Threads, 1);
    EXPECT_FALSE(g.ThreadChoices[4].Checked());
    EXPECT_EQ(g.Hashing.Disk, DiskChoice::Auto);
    EXPECT_TRUE(g.DiskChoices[0].Checked());
}

// The PAR2 kind and its redundancy survive a restart; a hand-edited file keeps one kind (a digest kind ticked
// too wins, as the first of the group) and a redundancy within its bounds (else the default, 10 %).
TEST(Settings, ThePar2KindAndItsRedundancySurviveARestartWithinBounds) {
    ShellForm s;
    s.form->FormCreate({});
    EXPECT_FALSE(s.form->ListKindPar2.Checked());
    EXPECT_EQ(s.form->Par2Redundancy, 10);
    s.form->ClickMenuItem(s.form->ListKindPar2, MenuClick::Radio, {});
    s.form->Par2Redundancy = 35;
    s.form->FormDestroy();
    EXPECT_NE(s.Ini().find("\nWrite Lists <PAR2>=1\n"), std::string::npos);
    EXPECT_NE(s.Ini().find("\nPAR2 Redundancy=35\n"), std::string::npos);
    s.Reset();
    s.form->FormCreate({});
    EXPECT_TRUE(s.form->ListKindPar2.Checked());
    EXPECT_FALSE(s.form->ListKinds[0].Checked());
    EXPECT_EQ(s.form->CreateAlgorithm(), HashAlgorithm::Md5);
    EXPECT_EQ(s.form->Par2Redundancy, 35);

    const struct {
        const char* Lines;
        bool Par2;
        HashAlgorithm Kind;
        int Redundancy;
    } files[] = {
        {"Write Lists <CRC-32>=0\nWrite Lists <PAR2>=1\nPAR2 Redundancy=1000\n", true, HashAlgorithm::Md5, 1000},
        {"Write Lists <CRC-32>=0\nWrite Lists <SHA-256>=1\nWrite Lists <PAR2>=1\nPAR2 Redundancy=0\n", false, HashAlgorithm::Sha256, 0},
        {"Write Lists <CRC-32>=0\nPAR2 Redundancy=1001\n", false, HashAlgorithm::Crc32, 10},
        {"PAR2 Redundancy=-1\n", false, HashAlgorithm::Crc32, 10},
        {"PAR2 Redundancy=ten\n", false, HashAlgorithm::Crc32, 10},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.Lines);
        s.dir.Write("Tallyvault.ini", std::string("[Tallyvault]\n") + f.Lines);
        s.Reset();
        s.form->FormCreate({});
        EXPECT_EQ(s.form->ListKindPar2.Checked(), f.Par2);
        EXPECT_EQ(s.form->CreateAlgorithm(), f.Kind);
        EXPECT_EQ(s.form->Par2Redundancy, f.Redundancy);
        const TMenuItem* kinds = s.form->ListKinds;
        EXPECT_EQ(std::count_if(kinds, kinds + HashAlgorithmCount, [](const TMenuItem& m) { return m.Checked(); }) +
                      (f.Par2 ? 1 : 0),
                  1);
    }
}

TEST(Settings, GarbageValuesFallBackToDefaultsAndTheWindowStaysOnScreen) {
    const struct {
        const char* Text;
    } files[] = {
        {"[Window Position]\nTop=abc\nLeft=\nWhdth=99999999999\nHeight=-7\n[Tallyvault]\nList CRC Width=x\n"},
        {"[Window Position]\nTop=-2147483648\nLeft=2147483647\nWhdth=2147483647\nHeight=2147483647\n"},
        {"[Window Position]\nTop=900\nLeft=1800\nWhdth=300\nHeight=100\n[Tallyvault]\nList FileName Width=-40\n"},
        {"\x01\x02garbage\n[[[\n==\n[Tallyvault]\nRedundant File Detect <Inquire>=maybe\n"},
    };
    for (const auto& file : files) {
        ShellForm s;
        s.ui.Metrics = {1024, 768, 96};
        s.dir.Write("Tallyvault.ini", file.Text);
        s.form->FormCreate({});
        const TWindowBounds& b = s.form->Bounds;
        SCOPED_TRACE(file.Text);
        EXPECT_GE(b.Left, 0);
        EXPECT_GE(b.Top, 0);
        EXPECT_GE(b.Width, 445);
        EXPECT_GE(b.Height, 220);
        EXPECT_LE(b.Left + b.Width, 1024);
        EXPECT_LE(b.Top + b.Height, 768);
        EXPECT_EQ(s.form->CrcList.Columns[2].Width, 76);
        EXPECT_EQ(s.form->CrcList.Columns[0].Width, 250);
        EXPECT_TRUE(s.form->DblInq.Checked());
    }
}

TEST(Settings, SavedBoundsAreClampedToTheScreen) {
    const struct {
        TWindowBounds Saved;
        ScreenMetrics Screen;
        int Left, Top, Width, Height, MinWidth;
    } cases[] = {
        // Wider and higher than the screen: the minimum size.
        {{0, 0, 3000, 2000}, {1280, 1024, 96}, 0, 0, 445, 220, 445},
        // Negative positions are raised to 0.
        {{-50, -10, 500, 400}, {1280, 1024, 96}, 0, 0, 500, 400, 445},
        // Hanging over the right and bottom edges: moved back inside.
        {{1000, 900, 500, 400}, {1280, 1024, 96}, 780, 624, 500, 400, 445},
        // 120 dpi raises the minimum width.
        {{0, 0, 3000, 300}, {1280, 1024, 120}, 0, 0, 556, 300, 556},
        // A screen smaller than the minimum: the title bar stays at the top left.
        {{100, 100, 500, 300}, {400, 200, 96}, 0, 0, 445, 220, 445},
    };
    for (const auto& c : cases) {
        ShellForm s;
        s.ui.Metrics = c.Screen;
        s.form->Bounds = c.Saved;
        s.form->FormCreate({});
        const TWindowBounds& b = s.form->Bounds;
        EXPECT_EQ(b.Left, c.Left);
        EXPECT_EQ(b.Top, c.Top);
        EXPECT_EQ(b.Width, c.Width);
        EXPECT_EQ(b.Height, c.Height);
        EXPECT_EQ(b.MinWidth, c.MinWidth);
    }
}

TEST(Settings, AVanishedFixedFolderStartsUntickedButItsNameIsKept) {
    ShellForm s;
    const std::string gone = s.dir / "gone";
    s.dir.Write("Tallyvault.ini",
                "[Tallyvault]\nComplement Fix Folder Use=1\nComplement Fix Folder Name=" + gone + "\n");
    s.form->FormCreate({});
    EXPECT_FALSE(s.form->FixFolder.Checked());
    EXPECT_EQ(s.form->SearchButton.Hint(), "移動補完 補完元=随時指定");
    s.form->FormDestroy();
    const IniFile ini = IniFile::Parse(s.Ini());
    EXPECT_EQ(ini.Read("Tallyvault", "Complement Fix Folder Name"), gone);
    EXPECT_EQ(ini.Read("Tallyvault", "Complement Fix Folder Use"), "0");

    // The same file with the folder present keeps the option.
    s.dir.MakeFolder("gone");
    s.dir.Write("Tallyvault.ini", "[Tallyvault]\nComplement Fix Folder Use=1\nComplement Copy=1\n"
                                  "Complement Fix Folder Name=" +
                                      gone + "\n");
    s.Reset();
    s.form->FormCreate({});
    EXPECT_TRUE(s.form->FixFolder.Checked());
    EXPECT_EQ(s.form->SearchButton.Hint(), "複写補完 補完元=" + gone);
}

TEST(Settings, StatusSummaryListsEveryTickedDuplicateOptionInOrder) {
    ShellForm s;
    s.dir.Write("Tallyvault.ini", "[Tallyvault]\nAuto Complement=1\nRedundant File Detect <Delete>=1\n"
                                  "Redundant File Detect <No Action>=5\nRedundant File Detect <Inquire>=1\n");
    s.form->FormCreate({});
    EXPECT_EQ(s.form->Status.Caption(), "設定状態  移動補完 補完元=随時指定 自動補完 重複-無視 重複-確認 重複-削除");

    s.dir.Write("Tallyvault.ini", "[Tallyvault]\nRedundant File Detect <Inquire>=0\n");
    s.Reset();
    s.form->FormCreate({});
    EXPECT_EQ(s.form->Status.Caption(), "設定状態  移動補完 補完元=随時指定");
}

TEST(Settings, FixFolderAndCopyComplementKeepTheHintCurrent) {
    ShellForm s;
    TForm1& f = *s.form;
    f.FormCreate({});
    f.BaseFolder = s.dir.Path();
    const std::string status = f.Status.Caption();

    // The copy option changes the hint and leaves the status bar alone.
    f.CopyComplement.SetChecked(true);
    f.CopyComplementClick();
    EXPECT_EQ(f.SearchButton.Hint(), "複写補完 補完元=随時指定");
    EXPECT_EQ(f.Status.Caption(), status);

    // Ticking asks for a folder from BaseFolder.
    s.ui.DialogAnswers.push_back(s.dir / "src");
    f.FixFolderClick();
    EXPECT_TRUE(f.FixFolder.Checked());
    EXPECT_EQ(f.FixedComplementFolder, s.dir / "src");
    EXPECT_EQ(f.Status.Caption(), "補完フォルダを固定しました " + s.dir / "src");
    EXPECT_EQ(f.SearchButton.Hint(), "複写補完 補完元=" + s.dir / "src");
    ASSERT_EQ(s.ui.Dialogs.size(), 1u);
    EXPECT_EQ(s.ui.Dialogs[0].Kind, "folder");
    EXPECT_EQ(s.ui.Dialogs[0].StartFolder, s.dir.Path());

    // Unticking keeps the folder name for later.
    f.FixFolderClick();
    EXPECT_FALSE(f.FixFolder.Checked());
    EXPECT_EQ(f.Status.Caption(), "補完フォルダは随時指定します");
    EXPECT_EQ(f.SearchButton.Hint(), "複写補完 補完元=随時指定");
    EXPECT_EQ(f.FixedComplementFolder, s.dir / "src");

    // Cancelling the dialog leaves it unticked.
    f.FixFolderClick();
    EXPECT_FALSE(f.FixFolder.Checked());
    EXPECT_EQ(f.Status.Caption(), "補完フォルダは随時指定します");
    EXPECT_EQ(s.ui.Dialogs.size(), 2u);
}

TEST(Settings, AFolderThatCannotTakeTheFileLosesTheSettingsSilently) {
    ShellForm s;
    s.dir.Write("blocker", "a file where a folder should be");
    s.form->SettingsFile = s.dir / "blocker/sub/Tallyvault.ini";
    s.form->FormCreate({});
    EXPECT_NO_THROW(s.form->FormDestroy());
    EXPECT_TRUE(s.ui.Errors.empty());
    EXPECT_TRUE(s.form->DblInq.Checked());
}

TEST(Settings, TheFileLivesBesideTheProgramOrInTheConfigurationFolder) {
    test::TempDir dir;
    dir.MakeFolder("bin");
    const std::string beside = dir / "bin/tallyvault", nowhere = dir / "nowhere/tallyvault"; // cannot be written
#ifdef _WIN32
    // The user's roaming application data (%APPDATA%, else under %USERPROFILE%).
    const std::string cfg = "C:\\cfg", home = "C:\\Users\\u", inCfg = "C:\\cfg\\Tallyvault\\Tallyvault.ini",
                      inHome = "C:\\Users\\u\\AppData\\Roaming\\Tallyvault\\Tallyvault.ini";
    // No folder is the programs' installed one: a writable program folder keeps the file.
    const std::string installed = dir / "bin/Tallyvault.ini";
#else
    const std::string cfg = "/cfg", home = "/home/u", inCfg = "/cfg/tallyvault/Tallyvault.ini",
                      inHome = "/home/u/.config/tallyvault/Tallyvault.ini";
    // The folder the programs are installed to keeps no settings, even where it can be written.
    const std::string installed = inCfg;
#endif
    const struct {
        std::string Program, ConfigHome, InstalledBinDir, Expected;
    } cases[] = {
        {beside, cfg, "", dir / "bin/Tallyvault.ini"},
        {nowhere, cfg, "", inCfg},
        {nowhere, "", "", inHome},
        // A relative configuration folder would follow the current folder: it is ignored.
        {nowhere, "relative/cfg", "", inHome},
        {beside, cfg, dir / "bin/", installed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsFilePath(c.Program, c.ConfigHome, home, c.InstalledBinDir), c.Expected)
            << c.Program << " " << c.ConfigHome;

    // The configuration folder is created on the first save.
    ShellForm s;
    s.form->SettingsFile = s.dir / "config/tallyvault/Tallyvault.ini";
    s.form->FormCreate({});
    s.form->FormDestroy();
    EXPECT_TRUE(s.dir.Exists("config/tallyvault/Tallyvault.ini"));
}

} // namespace
} // namespace tv
