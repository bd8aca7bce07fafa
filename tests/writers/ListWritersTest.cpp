// The SFV and CSV writers, byte for byte, and what a failed write leaves behind: the old list as it was
// and no temporary file.
#include "writers/WriterHarness.h"

#include "platform/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tv::test {
namespace {

const std::string Sp13(13, ' ');

// Comment line of a row written in read mode.
std::string ReadModeComment(const std::string& sizeColumn, const std::string& name) {
    return ";" + sizeColumn + "  00:00.00 0000-00-00 " + name + "\r\n";
}

TEST(WriteSfvList, CreateModeListOfOneFileIsByteExact) {
    WriterHarness h;
    const std::string content = RandomBytes(1048576, 7);
    const std::string folder = h.dir.MakeFolder("set");
    SetLocalTime(h.dir.Write("set/a.bin", content), 2003, 5, 4, 20, 40, 53);
    h.form.IsCreateMode = true;
    h.form.BaseFolder = folder;
    ASSERT_TRUE(h.Click([&] { h.form.ScanFolder(); }));
    h.form.CrcList.SetChecked(0, true);
    ASSERT_TRUE(h.Click([&] { h.form.WriteSfvList(folder + "/out.sfv"); }));
    // The odd second 53 is written as 52, the DOS stamp's resolution.
    EXPECT_EQ(h.dir.Read("set/out.sfv"), std::string(FixedHeader) + ";\r\n" +
                                             ";        1048576  20:40.52 2003-05-04 a.bin\r\n" + "a.bin " +
                                             CrcHex(content) + "\r\n");
    EXPECT_EQ(h.form.Status.Caption(), "作成完了 " + folder + "/out.sfv");
}

TEST(WriteSfvList, SizeFieldWidthsInReadMode) {
    WriterHarness h;
    // Digits right-aligned in 15 columns; a single digit stands in column 15 (13 spaces before it); an
    // empty size leaves 13 spaces; a longer text keeps its last 15 characters.
    h.AddRow("one", "7", "00000001");
    h.AddRow("two", "12", "00000002");
    h.AddRow("seven", "1048576", "00000003");
    h.AddRow("fifteen", "123456789012345", "00000004");
    h.AddRow("sixteen", "1234567890123456", "00000005");
    h.AddRow("none", "", "0000ABCD");
    const std::string out = h.dir / "req.sfv";
    ASSERT_TRUE(h.Click([&] { h.form.WriteSfvList(out); }));
    EXPECT_EQ(ReadFile(out), std::string(FixedHeader) + ";\r\n" + ReadModeComment(Sp13 + "7", "one") +
                                 ReadModeComment(Sp13 + "12", "two") + ReadModeComment("        1048576", "seven") +
                                 ReadModeComment("123456789012345", "fifteen") +
                                 ReadModeComment("234567890123456", "sixteen") + ReadModeComment(Sp13, "none") +
                                 "one 00000001\r\ntwo 00000002\r\nseven 00000003\r\nfifteen 00000004\r\n"
                                 "sixteen 00000005\r\nnone 0000ABCD\r\n");
}

TEST(WriteLists, OnlyTickedRowsInRowOrderWrittenAsTheyStand) {
    WriterHarness h;
    h.AddRow("zeta.bin", "3", "0000000A");
    h.AddRow("skipped.bin", "4", "0000000B", false);
    h.AddRow("sub\\alpha, beta.bin", "", "0000000C");
    h.AddRow("写真 01.jpg", "5", "0000000D");
    const std::string sfv = h.dir / "l.sfv", csv = h.dir / "l.csv";
    ASSERT_TRUE(h.Click([&] { h.form.WriteSfvList(sfv); }));
    ASSERT_TRUE(h.Click([&] { h.form.WriteCsvList(csv); }));
    EXPECT_EQ(ReadFile(sfv), std::string(FixedHeader) + ";\r\n" + ReadModeComment(Sp13 + "3", "zeta.bin") +
                                 ReadModeComment(Sp13, "sub\\alpha, beta.bin") +
                                 ReadModeComment(Sp13 + "5", "写真 01.jpg") +
                                 "zeta.bin 0000000A\r\nsub\\alpha, beta.bin 0000000C\r\n写真 01.jpg 0000000D\r\n");
    EXPECT_EQ(ReadFile(csv), "zeta.bin,3,0000000A\r\n\"sub\\alpha, beta.bin\",,0000000C\r\n写真 01.jpg,5,0000000D\r\n");
    EXPECT_EQ(h.form.Status.Caption(), "作成完了" + csv);
}

TEST(WriteLists, NoTickedRowGivesTheHeaderAloneOrAnEmptyCsv) {
    WriterHarness h;
    h.AddRow("a.bin", "1", "00000001", false);
    const std::string sfv = h.dir / "l.sfv", csv = h.dir / "l.csv";
    ASSERT_TRUE(h.Click([&] { h.form.WriteSfvList(sfv); }));
    ASSERT_TRUE(h.Click([&] { h.form.WriteCsvList(csv); }));
    EXPECT_EQ(ReadFile(sfv), std::string(FixedHeader) + ";\r\n");
    EXPECT_TRUE(h.dir.Exists("l.csv"));
    EXPECT_EQ(ReadFile(csv), "");
}

TEST(WriteLists, AnExistingListIsReplacedWholeAndKeepsItsRights) {
    WriterHarness h;
    const std::string path = h.dir.Write("list.sfv", std::string(5000, 'x'));
    ::chmod(path.c_str(), 0640);
    h.AddRow("a.bin", "1", "00000001");
    ASSERT_TRUE(h.Click([&] { h.form.WriteSfvList(path); }));
    EXPECT_EQ(ReadFile(path),
              std::string(FixedHeader) + ";\r\n" + ReadModeComment(Sp13 + "1", "a.bin") + "a.bin 00000001\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(WriterHarness::FilesIn(h.dir.Path()), std::vector<std::string>{"list.sfv"});
}

TEST(WriteLists, AFailedWriteKeepsTheOldListAndLeavesNoTemporaryFile) {
    const std::string old = "old.bin 12345678\r\n";
    struct Case {
        const char* What;
        std::function<void(WriterHarness&)> Arrange;
        std::string Error;
    };
    const std::vector<Case> cases = {
        {"disk full at the first write", [](WriterHarness& h) { h.fs.WriteError = "I/O error 28"; }, "I/O error 28"},
        {"disk full halfway through a long list",
         [](WriterHarness& h) {
             h.fs.WriteError = "I/O error 28";
             h.fs.WriteBudget = 70000; // after the first flushed block
         },
         "I/O error 28"},
        {"the data never reaches the disk", [](WriterHarness& h) { h.fs.FailSync = true; }, "I/O error 5"},
        {"the rename fails", [](WriterHarness& h) { h.fs.FailReplace = true; }, "I/O error 5"},
        {"a name with a line break", [](WriterHarness& h) { h.AddRow("two\r\nlines", "1", "00000001"); },
         "Invalid file name: two\r\nlines"},
        {"a read-only list", [](WriterHarness& h) { ::chmod((h.dir / "list").c_str(), 0444); }, "File access denied"},
    };
    for (const Case& c : cases) {
        for (bool csv : {false, true}) {
            SCOPED_TRACE(std::string(c.What) + (csv ? " (csv)" : " (sfv)"));
            WriterHarness h;
            const std::string path = h.dir.Write("list", old);
            for (int i = 0; i < 2000; ++i)
                h.AddRow("file number " + std::to_string(i) + " with a long name to fill the list.bin", "1048576",
                         "0000ABCD");
            c.Arrange(h);
            h.form.Status.SetCaption("before");
            EXPECT_FALSE(h.Click([&] { csv ? h.form.WriteCsvList(path) : h.form.WriteSfvList(path); }));
            ASSERT_EQ(h.ui.Errors.size(), 1u);
            EXPECT_EQ(h.ui.Errors[0], c.Error);
            EXPECT_EQ(ReadFile(path), old);
            EXPECT_EQ(WriterHarness::FilesIn(h.dir.Path()), std::vector<std::string>{"list"});
            EXPECT_EQ(h.form.Status.Caption(), "before");
        }
    }
}

TEST(WriteLists, APathInAFolderThatIsGoneOrNoFileFails) {
    WriterHarness h;
    h.AddRow("a.bin", "1", "00000001");
    EXPECT_FALSE(h.Click([&] { h.form.WriteSfvList(h.dir / "gone/list.sfv"); }));
    EXPECT_FALSE(h.Click([&] { h.form.WriteCsvList(h.dir.MakeFolder("a folder")); }));
    EXPECT_FALSE(h.Click([&] { h.form.WriteSfvList(h.dir / std::string("nul\0name.sfv", 12)); }));
    // The system's own code for a name it cannot take: EINVAL, or ERROR_INVALID_NAME on Windows.
#ifdef _WIN32
    const std::string invalidName = "I/O error 123";
#else
    const std::string invalidName = "I/O error 22";
#endif
    EXPECT_EQ(h.ui.Errors, (std::vector<std::string>{"File not found", "File access denied", invalidName}));
    EXPECT_EQ(WriterHarness::FilesIn(h.dir.Path()), std::vector<std::string>{"a folder"});
    EXPECT_TRUE(WriterHarness::FilesIn(h.dir / "a folder").empty());
}

TEST(WriteSfvList, CreateModeFileTimesAtTheEdgesOfTheDosStamp) {
    const struct {
        int Year, Month, Day, Hour, Minute, Second;
        const char* Field; // nullptr: the stamp cannot hold it
    } cases[] = {
        {1980, 1, 1, 0, 0, 0, "00:00.00 1980-01-01"}, {2107, 12, 31, 23, 59, 59, "23:59.58 2107-12-31"},
        {1979, 12, 31, 23, 59, 59, nullptr},          {2108, 1, 1, 0, 0, 0, nullptr},
        {1999, 7, 8, 9, 5, 1, "09:05.00 1999-07-08"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Year);
        WriterHarness h;
        const std::string folder = h.dir.MakeFolder("set");
        SetLocalTime(h.dir.Write("set/f.bin", "x"), c.Year, c.Month, c.Day, c.Hour, c.Minute, c.Second);
        const std::string list = h.dir.Write("set/list.sfv", "old");
        h.form.IsCreateMode = true;
        h.form.BaseFolder = folder;
        h.AddRow("f.bin", "1", CrcHex("x"));
        const bool written = h.Click([&] { h.form.WriteSfvList(list); });
        if (c.Field) {
            ASSERT_TRUE(written);
            EXPECT_EQ(ReadFile(list), std::string(FixedHeader) + ";\r\n;" + Sp13 + "1  " + c.Field +
                                          " f.bin\r\nf.bin " + CrcHex("x") + "\r\n");
        } else {
            EXPECT_FALSE(written);
            EXPECT_EQ(h.ui.Errors, std::vector<std::string>{"File date outside 1980 to 2107: f.bin"});
            EXPECT_EQ(ReadFile(list), "old");
            EXPECT_EQ(WriterHarness::FilesIn(folder), (std::vector<std::string>{"f.bin", "list.sfv"}));
        }
    }
}

} // namespace
} // namespace tv::test
