// Lists written by the window, checked by the tools people check with (cksfv, RHash) and read back
// through our own readers; and files of 2 GiB and more.
#include "writers/WriterHarness.h"

#include "core/Crc32.h"
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace tv::test {
namespace {

struct FileSet {
    std::string Name, Content;
};

// Names with spaces, Japanese characters, a comma, double quotes, and a run of numbered files.
std::vector<FileSet> MixedSet() {
    std::vector<FileSet> set = {{"plain.bin", RandomBytes(70000, 1)},
                                {"with space.bin", "spaced content"},
                                {"写真 01.jpg", RandomBytes(4096, 2)},
                                {"日本語のファイル名.dat", "日本語"},
                                {"UPPER.Bin", "upper"}};
    set.push_back({"a, b.bin", "comma"});
    set.push_back({"say \"hi\".bin", "quoted"});
    for (int i = 0; i < 40; ++i)
        set.push_back({"part " + std::to_string(i) + ".r",
                       RandomBytes(100 + static_cast<std::size_t>(i), static_cast<std::uint32_t>(i + 10))});
    return set;
}

// Writes the set into a folder "set", then scans it, ticks what the check button ticks and saves as
// `listName` through the dialog. Returns the folder.
std::string CreateList(WriterHarness& h, const std::vector<FileSet>& set, const std::string& listName) {
    const std::string folder = h.dir.MakeFolder("set");
    for (const FileSet& f : set)
        h.dir.Write("set/" + f.Name, f.Content);
    h.form.IsCreateMode = true;
    h.form.BaseFolder = folder;
    EXPECT_TRUE(h.Click([&] { h.form.ScanFolder(); }));
    h.form.CheckCycle = 2;
    h.form.CheckButtonClick();
    h.ui.DialogAnswers.push_back(folder + "/" + listName);
    EXPECT_TRUE(h.Click([&] { h.form.MakeCrcCmdClick(); }));
    EXPECT_FALSE(h.form.IsCreateMode);
    return folder;
}

// Every file of the set is an entry of the loaded list with its name, size and CRC, and matches.
void ExpectReadBack(const WriterHarness& h, const std::vector<FileSet>& set) {
    ASSERT_EQ(h.form.EntryCount, static_cast<std::int32_t>(set.size()));
    EXPECT_TRUE(h.form.ListHasSizes);
    for (const FileSet& f : set) {
        SCOPED_TRACE(f.Name);
        bool found = false;
        for (std::int32_t i = 0; i < h.form.EntryCount; ++i) {
            const TCrcTable& e = h.form.EntryTable[i];
            if (e.FileName != f.Name) continue;
            found = true;
            EXPECT_EQ(e.FileSize, static_cast<std::int32_t>(f.Content.size()));
            EXPECT_EQ(e.Crc, Crc32(f.Content.data(), f.Content.size()));
            EXPECT_EQ(h.form.EntryState(i), VerifyResult::Match);
        }
        EXPECT_TRUE(found);
    }
    EXPECT_EQ(h.form.GoodCounter.Caption(), std::to_string(set.size()));
}

TEST(RealClients, CksfvAndRhashCheckOurSfvListAndSeeAChangedByte) {
    WriterHarness h;
    const std::vector<FileSet> set = MixedSet();
    const std::string folder = CreateList(h, set, "list.sfv");
    ASSERT_FALSE(h.form.IsCreateMode);
    ExpectReadBack(h, set);

    const std::string in = "cd " + ShellQuote(folder) + " && ";
    ShellResult cksfv = Shell(in + "cksfv -f list.sfv 2>&1");
    ShellResult rhash = Shell(in + "rhash -c list.sfv 2>&1");
    EXPECT_EQ(cksfv.status, 0) << cksfv.out;
    EXPECT_EQ(rhash.status, 0) << rhash.out;
    EXPECT_NE(cksfv.out.find("Everything OK"), std::string::npos) << cksfv.out;
    EXPECT_NE(rhash.out.find("Everything OK"), std::string::npos) << rhash.out;
    for (const FileSet& f : set) {
        EXPECT_NE(cksfv.out.find(f.Name), std::string::npos) << f.Name;
        EXPECT_NE(rhash.out.find(f.Name), std::string::npos) << f.Name;
    }

    // One byte of one file changed: both tools fail and name the file.
    std::string changed = set[2].Content;
    changed[1000] = static_cast<char>(changed[1000] ^ 0x01);
    h.dir.Write("set/" + set[2].Name, changed);
    cksfv = Shell(in + "cksfv -f list.sfv 2>&1");
    rhash = Shell(in + "rhash -c list.sfv 2>&1");
    EXPECT_NE(cksfv.status, 0) << cksfv.out;
    EXPECT_NE(rhash.status, 0) << rhash.out;
    for (const std::string& out : {cksfv.out, rhash.out}) {
        const std::size_t at = out.find(set[2].Name);
        ASSERT_NE(at, std::string::npos) << out;
        const std::string line = out.substr(at, out.find('\n', at) - at);
        EXPECT_EQ(line.find("OK"), std::string::npos) << line;
    }
}

TEST(RealClients, OurCsvListReadsBackIntact) {
    WriterHarness h;
    const std::vector<FileSet> set = MixedSet();
    CreateList(h, set, "list.CSV");
    ASSERT_FALSE(h.form.IsCreateMode);
    EXPECT_EQ(h.form.Dialect, ListDialect::ldCsv);
    ExpectReadBack(h, set);
    EXPECT_EQ(h.form.Status.Caption(), "読み取り終了 list.CSV");
}

// Sizes of 2 GiB and more: the table, the row and the list hold the true size, the CRC covers the
// whole file, and such files are ticked like any other.
TEST(LargeFiles, TrueSizeWholeFileCrcAndTickedLikeAnyOther) {
    WriterHarness h;
    const std::string folder = h.dir.MakeFolder("big");
    h.dir.Write("big/small.bin", "small");
    const std::int64_t twoGiBPlus1 = (std::int64_t{1} << 31) + 1, fourGiBPlus5 = (std::int64_t{1} << 32) + 5;
    h.fs.ZeroFiles[folder + "/huge.bin"] = twoGiBPlus1;
    h.fs.ZeroFiles[folder + "/wraps.bin"] = fourGiBPlus5;
    h.form.IsCreateMode = true;
    h.form.BaseFolder = folder;
    ASSERT_TRUE(h.Click([&] { h.form.ScanFolder(); }));

    auto zerosCrc = [](std::int64_t n) {
        const std::string block(1 << 20, '\0');
        std::uint32_t reg = 0xFFFFFFFFu;
        for (; n > 0; n -= static_cast<std::int64_t>(block.size()))
            reg = Crc32Update(
                reg, block.data(),
                static_cast<std::size_t>(std::min<std::int64_t>(n, static_cast<std::int64_t>(block.size()))));
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08X", reg ^ 0xFFFFFFFFu);
        return std::string(hex);
    };
    const std::string hugeCrc = zerosCrc(twoGiBPlus1), wrapsCrc = zerosCrc(fourGiBPlus5);
    ASSERT_EQ(h.Captions(), (std::vector<std::string>{"huge.bin", "small.bin", "wraps.bin"}));
    EXPECT_EQ(h.form.CrcList.Item(0).SubItems(), (std::vector<std::string>{"2147483649", hugeCrc, ""}));
    EXPECT_EQ(h.form.CrcList.Item(2).SubItems(), (std::vector<std::string>{"4294967301", wrapsCrc, ""}));
    EXPECT_EQ(h.form.CrcList.Item(0).ImageIndex, h.form.CrcList.Item(1).ImageIndex);
    EXPECT_EQ(h.form.CrcList.Item(2).ImageIndex, h.form.CrcList.Item(1).ImageIndex);
    std::vector<std::int64_t> sizes;
    for (std::int32_t i = 0; i < h.form.EntryCount; ++i) sizes.push_back(h.form.EntryTable[i].FileSize);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<std::int64_t>{5, twoGiBPlus1, fourGiBPlus5}));

    // The check button ticks them like any other file; they are written with their true sizes.
    h.form.CheckCycle = 2;
    h.form.CheckButtonClick();
    EXPECT_EQ(h.form.GoodCounter.Caption(), "3");
    const std::string sfv = folder + "/list.sfv", csv = folder + "/list.csv";
    ASSERT_TRUE(h.Click([&] { h.form.WriteSfvList(sfv); }));
    ASSERT_TRUE(h.Click([&] { h.form.WriteCsvList(csv); }));
    const std::string text = ReadFile(sfv);
    EXPECT_NE(text.find(";     2147483649  03:04.06 2020-01-02 huge.bin\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(";     4294967301  03:04.06 2020-01-02 wraps.bin\r\n"), std::string::npos) << text;
    EXPECT_EQ(ReadFile(csv), "huge.bin,2147483649," + hugeCrc + "\r\nsmall.bin,5," + CrcHex("small") +
                                 "\r\nwraps.bin,4294967301," + wrapsCrc + "\r\n");
}

// The same with a real sparse file, checked by RHash. Reading 2 GiB takes seconds: run with
// TALLYVAULT_LARGE_TESTS=1.
TEST(LargeFiles, RealSparseFileCheckedByRhash) {
    if (!std::getenv("TALLYVAULT_LARGE_TESTS")) GTEST_SKIP() << "set TALLYVAULT_LARGE_TESTS=1 to read a 2 GiB file";
    WriterHarness h;
    const std::string folder = h.dir.MakeFolder("big");
    ASSERT_EQ(Shell("truncate -s 2147483649 " + ShellQuote(folder + "/huge.bin")).status, 0);
    h.form.IsCreateMode = true;
    h.form.BaseFolder = folder;
    ASSERT_TRUE(h.Click([&] { h.form.ScanFolder(); }));
    ASSERT_EQ(h.form.CrcList.Count(), 1);
    EXPECT_EQ(h.form.CrcList.Item(0).SubItem(0), "2147483649");
    h.form.AllOnClick();
    ASSERT_TRUE(h.Click([&] { h.form.WriteSfvList(folder + "/list.sfv"); }));
    const ShellResult rhash = Shell("cd " + ShellQuote(folder) + " && rhash -c list.sfv 2>&1");
    EXPECT_EQ(rhash.status, 0) << rhash.out;
}

} // namespace
} // namespace tv::test
