#include "core/Crc32.h"
#include "platform/Paths.h"
#include "support/FormHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unordered_map>

namespace tv {
namespace {

using test::CrcHex;
using test::FormHarness;

std::uint32_t Crc(const std::string& s) {
    return Crc32(s.data(), s.size());
}

// Fills the table as a reader would and verifies it, with or without sizes.
class Verify : public ::testing::TestWithParam<bool> {
protected:
    FormHarness h;
    bool withSizes() const { return GetParam(); }

    void Entry(const std::string& name, const std::string& content) {
        h.form.AppendEntry(name, static_cast<std::int32_t>(content.size()), Crc(content));
    }
    void Run() {
        h.form.ListPath = h.dir / "list.sfv";
        h.form.BaseFolder = h.dir.Path();
        h.form.ListHasSizes = withSizes();
        h.form.ReadErrorText = "読み取り終了 list.sfv";
        h.form.RunCommand([&] { h.form.VerifyEntries(); }, true);
    }
};

TEST_P(Verify, EveryStateFromFolderContents) {
    h.dir.Write("good.bin", "good content");
    h.dir.Write("damaged.bin", "damaged!");        // listed with other content
    h.dir.Write("renamed copy.bin", "moved away"); // content of moved.bin under another name
    h.dir.Write("a.bin", "upper case entry");
    Entry("good.bin", "good content");
    Entry("damaged.bin", "original");
    Entry("moved.bin", "moved away");
    Entry("gone.bin", "nowhere");
    Entry("A.BIN", "upper case entry");
    Run();
    // Where the file system tells letter case apart, a.bin is another file with A.BIN's content.
#ifdef _WIN32
    const bool caseApart = false;
#else
    const bool caseApart = true;
#endif
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{caseApart ? "！ A.BIN" : "○ A.BIN", "× damaged.bin", "－ gone.bin",
                                                  "○ good.bin", "！ moved.bin"}));
    EXPECT_EQ(h.Row("moved.bin").SubItem(2), h.dir / "renamed copy.bin");
    EXPECT_EQ(h.form.TotalCounter.Caption(), "5");
    EXPECT_EQ(h.form.GoodCounter.Caption(), caseApart ? "1" : "2");
    EXPECT_EQ(h.form.BadCounter.Caption(), "1");
    EXPECT_EQ(h.form.NotingCounter.Caption(), caseApart ? "3" : "2");
    EXPECT_EQ(h.form.SameFileCount, caseApart ? 2 : 1);
    EXPECT_EQ(h.form.Status.Caption(), "読み取り終了 list.sfv");
    EXPECT_FALSE(h.ui.Busy);
    EXPECT_TRUE(h.ui.Errors.empty());
    // The size column shows sizes only for lists that give them.
    EXPECT_EQ(h.Row("good.bin").SubItem(0), withSizes() ? "12" : "");
}

TEST_P(Verify, DamagedOwnFileWithAGoodCopyShowsTheCopy) {
    h.dir.Write("photo.jpg", "broken bytes");
    h.dir.Write("photo (1).jpg", "photo bytes!");
    Entry("photo.jpg", "photo bytes!");
    Run();
    EXPECT_EQ(h.Mark("photo.jpg"), "！");
    EXPECT_EQ(h.Row("photo.jpg").SubItem(2), h.dir / "photo (1).jpg");
    // Nothing was deleted: the damaged file is no duplicate.
    EXPECT_TRUE(h.dir.Exists("photo.jpg"));
    EXPECT_TRUE(h.ui.DuplicateQuestions.empty());
}

TEST_P(Verify, RepeatedCrcsLeaveOneRow) {
    h.dir.Write("one.txt", "same");
    Entry("one.txt", "same");
    Entry("two.txt", "same");
    Run();
    EXPECT_EQ(h.form.EntryCount, 1);
    EXPECT_EQ(h.form.TotalCounter.Caption(), "1");
    EXPECT_EQ(h.form.CrcList.Count(), 1);
}

TEST_P(Verify, HiddenFilesAndSubfolderEntriesAreNeverMetByTheScan) {
    h.dir.Write(".hidden", "secret");
    h.dir.Write("sub/inner.txt", "inner");
    Entry(".hidden", "secret");
    Entry("sub\\inner.txt", "inner");
    Entry("sub\\absent.txt", "absent");
    Run();
    EXPECT_EQ(h.Mark(".hidden"), "×");
    // Checked at its own path instead.
    EXPECT_EQ(h.Mark("sub\\inner.txt"), "○");
    EXPECT_EQ(h.Mark("sub\\absent.txt"), "－");
}

TEST_P(Verify, ASecondCopyIsOfferedInEitherListingOrder) {
    // The copy's name sorts before the own file in one case and after it in the other.
    for (const std::string copy : {"0copy.bin", "zcopy.bin"}) {
        h.ui.DuplicateQuestions.clear();
        h.dir.Write("data.bin", "payload");
        h.dir.Write(copy, "payload");
        h.form.EntryCount = 0;
        Entry("data.bin", "payload");
        h.ui.DuplicateAnswers = {DuplicateAnswer::Yes};
        Run();
        ASSERT_EQ(h.ui.DuplicateQuestions.size(), 1u) << copy;
        EXPECT_EQ(h.ui.DuplicateQuestions[0], "重複ファイル検出\r\r" + (h.dir / "data.bin") + "と\r" + (h.dir / copy) +
                                                  "は同じファイルです。\r" + "重複ファイルを削除してもよろしいですか？")
            << copy;
        EXPECT_FALSE(h.dir.Exists(copy));
        EXPECT_TRUE(h.dir.Exists("data.bin"));
        EXPECT_EQ(h.Mark("data.bin"), "○") << copy;
        EXPECT_FALSE(h.form.CloseRequested);
    }
}

TEST_P(Verify, AKeptDuplicateEndsTheProgramAfterTheRowsAreShown) {
    h.dir.Write("data.bin", "payload");
    h.dir.Write("copy.bin", "payload");
    Entry("data.bin", "payload");
    h.ui.DuplicateAnswers = {DuplicateAnswer::No};
    Run();
    EXPECT_TRUE(h.form.CloseRequested);
    EXPECT_EQ(h.form.CrcList.Count(), 1);
    EXPECT_EQ(h.form.Status.Caption(), "読み取り終了 list.sfv");
    EXPECT_TRUE(h.dir.Exists("copy.bin"));
}

TEST_P(Verify, DeleteOptionRemovesDuplicatesWithoutAsking) {
    h.dir.Write("a.bin", "A content");
    h.dir.Write("a copy.bin", "A content");
    h.dir.Write("a copy 2.bin", "A content");
    Entry("a.bin", "A content");
    h.form.ClickDuplicateOption(h.form.DblDel);
    Run();
    EXPECT_TRUE(h.ui.DuplicateQuestions.empty());
    EXPECT_FALSE(h.dir.Exists("a copy.bin"));
    EXPECT_FALSE(h.dir.Exists("a copy 2.bin"));
    EXPECT_EQ(h.Mark("a.bin"), "○");
}

TEST_P(Verify, YesToAllDeletesTheRestOfTheRunWithoutAsking) {
    h.dir.Write("a.bin", "A content");
    h.dir.Write("a1.bin", "A content");
    h.dir.Write("b.bin", "B content");
    h.dir.Write("b1.bin", "B content");
    Entry("a.bin", "A content");
    Entry("b.bin", "B content");
    h.ui.DuplicateAnswers = {DuplicateAnswer::YesToAll};
    Run();
    EXPECT_EQ(h.ui.DuplicateQuestions.size(), 1u);
    EXPECT_FALSE(h.dir.Exists("a1.bin"));
    EXPECT_FALSE(h.dir.Exists("b1.bin"));
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{"○ a.bin", "○ b.bin"}));
}

TEST_P(Verify, NoOptionStillAsksInTheVerification) {
    h.dir.Write("a.bin", "A content");
    h.dir.Write("a1.bin", "A content");
    Entry("a.bin", "A content");
    h.form.ClickDuplicateOption(h.form.DblNop);
    h.ui.DuplicateAnswers = {DuplicateAnswer::Yes};
    Run();
    EXPECT_EQ(h.ui.DuplicateQuestions.size(), 1u);
}

TEST_P(Verify, AnEmptyTableClearsTheRows) {
    h.dir.Write("x.bin", "x");
    Entry("x.bin", "x");
    Run();
    ASSERT_EQ(h.form.CrcList.Count(), 1);
    h.form.EntryCount = 0;
    Run();
    EXPECT_EQ(h.form.CrcList.Count(), 0);
    EXPECT_EQ(h.form.Status.Caption(), "表示項目が有りません ( list.sfv )");
}

INSTANTIATE_TEST_SUITE_P(SizesOrNot, Verify, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "WithSizes" : "WithoutSizes"; });

TEST(VerifyWithSizes, AMatchingContentOfAnotherSizeIsNeverRead) {
    FormHarness h;
    h.dir.Write("clip.avi", "12345");
    h.dir.Write("other.avi", "12345");
    // Listed with the CRC of the content but a size of 6: no file of size 6 exists, so nothing is read.
    h.form.AppendEntry("clip.avi", 6, Crc("12345"));
    h.form.AppendEntry("lost.avi", 6, Crc("zzzzz"));
    h.form.ListPath = h.dir / "list.sfv";
    h.form.ListHasSizes = true;
    h.form.RunCommand([&] { h.form.VerifyEntries(); });
    EXPECT_EQ(h.Mark("clip.avi"), "×");
    EXPECT_EQ(h.Mark("lost.avi"), "－");
}

TEST(Duplicates, TrashOptionMovesTheCopyToTheTrashWithItsInfo) {
    FormHarness h;
    const std::string trash = h.dir.MakeFolder("xdg-data");
    tv::test::SetEnv("XDG_DATA_HOME", trash.c_str());
    h.dir.Write("set/a.bin", "A content");
    h.dir.Write("set/a dup.bin", "A content");
    h.form.AppendEntry("a.bin", 9, Crc("A content"));
    h.form.ListPath = h.dir / "set/list.sfv";
    h.form.ClickDuplicateOption(h.form.DblDel);
    h.form.TashUse.SetChecked(true);
    h.form.RunCommand([&] { h.form.VerifyEntries(); });
    tv::test::UnsetEnv("XDG_DATA_HOME");
    EXPECT_FALSE(h.dir.Exists("set/a dup.bin"));
    EXPECT_EQ(h.dir.Read("xdg-data/Trash/files/a dup.bin"), "A content");
    const std::string info = h.dir.Read("xdg-data/Trash/info/a dup.bin.trashinfo");
    EXPECT_NE(info.find("[Trash Info]\nPath=" + h.dir.Path() + "/set/a%20dup.bin\nDeletionDate="), std::string::npos)
        << info;
}

TEST(Duplicates, AFileIsNeverDeletedAsItsOwnDuplicate) {
    FormHarness h;
    const std::string p = h.dir.Write("only.bin", "x");
    bool autoDelete = true, skipAll = false;
    h.form.HandleDuplicate(p, p, autoDelete, skipAll);
    h.form.HandleDuplicate(p, h.dir / "ONLY.BIN", autoDelete, skipAll);
    EXPECT_TRUE(h.dir.Exists("only.bin"));
}

TEST(Duplicates, NoToAllKeepsTheRestOfTheRunWithoutAsking) {
    FormHarness h;
    const std::string kept = h.dir.Write("k.bin", "x");
    const std::string d1 = h.dir.Write("d1.bin", "x"), d2 = h.dir.Write("d2.bin", "x");
    bool autoDelete = false, skipAll = false;
    h.ui.DuplicateAnswers = {DuplicateAnswer::NoToAll};
    h.form.HandleDuplicate(kept, d1, autoDelete, skipAll);
    h.form.HandleDuplicate(kept, d2, autoDelete, skipAll);
    EXPECT_TRUE(skipAll);
    EXPECT_EQ(h.ui.DuplicateQuestions.size(), 1u);
    EXPECT_TRUE(h.dir.Exists("d1.bin") && h.dir.Exists("d2.bin"));
    EXPECT_EQ(h.ui.BringToFrontCount, 1);
}

} // namespace
} // namespace tv

namespace tv {
namespace {

// Two different contents with the same CRC-32, found by a birthday search over random 12-byte texts.
std::pair<std::string, std::string> CrcCollision() {
    std::unordered_map<std::uint32_t, std::string> seen;
    seen.reserve(1 << 18);
    for (std::uint32_t seed = 1;; ++seed) {
        const std::string s = test::RandomBytes(12, seed);
        auto [it, inserted] = seen.emplace(Crc32(s.data(), s.size()), s);
        if (!inserted && it->second != s) return {it->second, s};
    }
}

TEST(VerifyCollisions, FilesThatOnlyShareTheCrcAreNeverDeleted) {
    const auto [first, second] = CrcCollision();
    ASSERT_NE(first, second);
    for (const bool ownFileFirst : {true, false}) {
        test::FormHarness h;
        // The other file sorts before or after the entry's own file.
        const std::string other = ownFileFirst ? "z-other.bin" : "0-other.bin";
        h.dir.Write("entry.bin", first);
        h.dir.Write(other, second);
        h.form.AppendEntry("entry.bin", 0, Crc32(first.data(), first.size()));
        h.form.ListPath = h.dir / "list.sfv";
        h.form.ClickDuplicateOption(h.form.DblDel);
        h.form.RunCommand([&] { h.form.VerifyEntries(); });
        EXPECT_EQ(h.dir.Read(other), second) << other;
        EXPECT_EQ(h.dir.Read("entry.bin"), first);
        EXPECT_TRUE(h.ui.DuplicateQuestions.empty());
        EXPECT_FALSE(h.form.CloseRequested);
        EXPECT_EQ(h.Mark("entry.bin"), "○") << other;
    }
}

} // namespace
} // namespace tv
