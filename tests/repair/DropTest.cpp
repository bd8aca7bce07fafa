// Files dropped on the window, on real files.
#include "repair/RepairHarness.h"

#include <filesystem>

namespace tv::test {
namespace {

std::string SfvLine(const std::string& name, const std::string& content) {
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08X", CrcOf(content));
    return name + " " + crc + "\r\n";
}

TEST(Drop, OneListFileBecomesTheCurrentList) {
    for (const std::string name : {"new.sfv", "NEW.SFV"}) {
        RepairHarness h;
        h.LoadEntries({{"old.bin", "old"}}, false);
        const std::string list = h.Write("other/" + name, SfvLine("n.bin", "n content"));
        h.Write("other/n.bin", "n content");
        ASSERT_TRUE(h.Drop({list}));
        EXPECT_EQ(h.form.ListPath, list);
        EXPECT_EQ(h.form.BaseFolder, h.dir / "other");
        EXPECT_EQ(h.Mark("n.bin"), "○") << name;
        EXPECT_EQ(h.form.Status.Caption(), "読み取り終了 " + name);
    }
}

TEST(Drop, ShortExtensionInsideTheListExtensionsIsTakenAsAList) {
    RepairHarness h;
    const std::string notAList = h.Write("other/prog.c", "int main() { return 0; }\n");
    ASSERT_TRUE(h.Drop({notAList}));
    EXPECT_EQ(h.form.ListPath, notAList);
    // The loader's own report about a file that is no list, not the drop's texts.
    const std::string& status = h.form.Status.Caption();
    EXPECT_EQ(status.substr(status.size() - 7), " prog.c");
    EXPECT_EQ(h.ui.Messages.size(), 1u);
}

TEST(Drop, ListDroppedWithAnotherFileIsMatchedAsAFile) {
    RepairHarness h;
    h.LoadEntries({{"m.bin", "missing"}}, false);
    const std::string list = h.Write("other/new.sfv", SfvLine("x.bin", "x"));
    const std::string other = h.Write("other/plain", "nothing listed");
    ASSERT_TRUE(h.Drop({list, other}));
    EXPECT_EQ(h.form.ListPath, h.base + "/list.sfv");
    EXPECT_EQ(h.form.Status.Caption(), "無効ファイルまたは重複ファイルがドロップされました");
    EXPECT_EQ(h.Mark("m.bin"), "－");
}

TEST(Drop, MatchingFilesBecomeSameFilesAndAreTheTickedRows) {
    for (bool withSizes : {false, true}) {
        RepairHarness h;
        h.Put("ok.bin", "in place");
        h.LoadEntries({{"ok.bin", "in place"},
                       {"m1.bin", "first missing"},
                       {"m2.bin", "second missing"},
                       {"m3.bin", "third missing"}},
                      withSizes);
        const std::string t = h.Write("drops/notes.txt", "second missing"); // a text file is matched too
        const std::string a = h.Write("drops/a", "first missing");
        const std::string n = h.Write("drops/n", "no entry has this");
        const std::string folder = h.dir.MakeFolder("drops/folder");
        ASSERT_TRUE(h.Drop({t, a, n, folder}));
        EXPECT_EQ(h.form.Status.Caption(), "ドロップファイル一致 (2件ありました)");
        EXPECT_EQ(h.Row("m1.bin")->SubItem(2), a);
        EXPECT_EQ(h.Row("m2.bin")->SubItem(2), t);
        EXPECT_EQ(h.TickedNames(), (std::vector<std::string>{"m1.bin", "m2.bin"}));
        EXPECT_EQ(h.form.CheckCycle, 1);
        EXPECT_TRUE(h.RowsAgree());
        EXPECT_GE(h.ui.BringToFrontCount, 1);
    }
}

TEST(Drop, NothingMatchesWithoutAList) {
    RepairHarness h;
    const std::string f = h.Write("drops/f", "anything");
    ASSERT_TRUE(h.Drop({f}));
    EXPECT_EQ(h.form.Status.Caption(), "無効ファイルまたは重複ファイルがドロップされました");
    EXPECT_EQ(h.form.CrcList.Count(), 0);
}

TEST(Drop, CopiesOfFoundContentGoToTheDuplicateHandling) {
    RepairHarness h;
    const std::string own = h.Put("ok.bin", "in place");
    const std::string known = h.Put("f.dat", "found under another name");
    h.LoadEntries({{"ok.bin", "in place"}, {"f.bin", "found under another name"}}, true);
    const std::string d1 = h.Write("drops/1", "in place");
    const std::string d2 = h.Write("drops/2", "found under another name");
    h.ui.DuplicateAnswers = {DuplicateAnswer::NoToAll};
    const auto ticksBefore = h.TickedNames();
    ASSERT_TRUE(h.Drop({d1, d2}));
    EXPECT_EQ(h.form.Status.Caption(), "無効ファイルまたは重複ファイルがドロップされました");
    ASSERT_EQ(h.ui.DuplicateQuestions.size(), 1u); // "すべていいえ" holds for the rest of the drop
    EXPECT_NE(h.ui.DuplicateQuestions[0].find(own + "と\r" + d1), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(d1));
    EXPECT_TRUE(std::filesystem::exists(d2));
    EXPECT_EQ(h.TickedNames(), ticksBefore);

    h.form.ClickDuplicateOption(h.form.DblDel); // the next drop deletes without asking
    ASSERT_TRUE(h.Drop({d1, d2}));
    EXPECT_FALSE(std::filesystem::exists(d1));
    EXPECT_FALSE(std::filesystem::exists(d2));
    EXPECT_EQ(h.dir.Read("set/f.dat"), "found under another name");
}

TEST(Drop, AnEntrysOwnOrKnownFileIsNeverItsOwnDuplicate) {
    RepairHarness h;
#ifdef _WIN32
    const std::string listed = "A.BIN"; // the file system ignores letter case: a.bin is its file
#else
    const std::string listed = "a.bin";
#endif
    h.Put("a.bin", "listed in capitals");
    const std::string known = h.Put("x.dat", "known elsewhere");
    h.LoadEntries({{listed, "listed in capitals"}, {"k.bin", "known elsewhere"}}, false);
    ASSERT_EQ(h.Mark(listed), "○");
    ASSERT_EQ(h.Mark("k.bin"), "！");
    h.form.ClickDuplicateOption(h.form.DblDel);
    std::filesystem::create_symlink(known, h.dir / "xlink");
    ASSERT_TRUE(h.Drop({h.base + "/a.bin", known, h.dir / "xlink", h.base + "/./x.dat"}));
    EXPECT_EQ(h.dir.Read("set/a.bin"), "listed in capitals");
    EXPECT_EQ(h.dir.Read("set/x.dat"), "known elsewhere");
    EXPECT_EQ(h.form.Status.Caption(), "無効ファイルまたは重複ファイルがドロップされました");
    EXPECT_TRUE(h.ui.DuplicateQuestions.empty());
}

TEST(Drop, KnownCopyThatHasGoneIsReplacedNotUsedToDeleteTheNewOne) {
    RepairHarness h;
    const std::string first = h.Write("drops/first", "the content");
    const std::string second = h.Write("drops/second", "the content");
    h.LoadEntries({{"m.bin", "the content"}}, true);
    ASSERT_TRUE(h.Drop({first}));
    std::filesystem::remove(first);
    h.form.ClickDuplicateOption(h.form.DblDel);
    ASSERT_TRUE(h.Drop({second}));
    EXPECT_TRUE(std::filesystem::exists(second));
    EXPECT_EQ(h.Row("m.bin")->SubItem(2), second);
}

TEST(Drop, CopyOfAFailingFileMakesItsRowAFind) {
    RepairHarness h;
    h.Put("w.bin", "damaged");
    const std::string right = h.Write("drops/w", "the right content");
    h.LoadEntries({{"w.bin", "the right content"}}, false);
    ASSERT_EQ(h.Mark("w.bin"), "×");
    ASSERT_TRUE(h.Drop({right}));
    EXPECT_EQ(h.Mark("w.bin"), "！");
    EXPECT_EQ(h.TickedNames(), (std::vector<std::string>{"w.bin"}));
}

TEST(Drop, UnreadableFileIsPassedOverTheOthersStillCount) {
    RepairHarness h;
    h.LoadEntries({{"a.bin", "content a"}, {"b.bin", "content b"}, {"c.bin", "content c"}}, true);
    const std::string a = h.Write("drops/a", "content a");
    const std::string b = h.Write("drops/b", "content b");
    const std::string c = h.Write("drops/c", "content c");
    h.fs.Unreadable.insert(b);
    ASSERT_TRUE(h.Drop({a, b, c}));
    EXPECT_EQ(h.form.Status.Caption(), "ドロップファイル一致 (2件ありました)");
    EXPECT_EQ(h.Mark("a.bin"), "！");
    EXPECT_EQ(h.Mark("b.bin"), "－");
    EXPECT_EQ(h.Mark("c.bin"), "！");
    EXPECT_TRUE(h.RowsAgree());
    EXPECT_EQ(h.ui.Errors, (std::vector<std::string>{"File access denied: " + b}));
}

TEST(Drop, AutoMoveBringsTheFindsInAtOnce) {
    RepairHarness h;
    h.LoadEntries({{"m.bin", "missing content"}, {"n.bin", "never found"}}, false);
    const std::string d = h.Write("drops/m", "missing content");
    h.form.AutoMove.SetChecked(true);
    h.form.CopyComplement.SetChecked(true);
    ASSERT_TRUE(h.Drop({d}));
    EXPECT_EQ(h.dir.Read("set/m.bin"), "missing content");
    EXPECT_TRUE(std::filesystem::exists(d));
    EXPECT_EQ(h.Mark("m.bin"), "○");
    EXPECT_EQ(h.form.Status.Caption(), "処理終了　list.sfv");
    // A drop without a find does not start it.
    const std::string n = h.Write("drops/n", "no entry");
    ASSERT_TRUE(h.Drop({n}));
    EXPECT_EQ(h.form.Status.Caption(), "無効ファイルまたは重複ファイルがドロップされました");
}

} // namespace
} // namespace tv::test
