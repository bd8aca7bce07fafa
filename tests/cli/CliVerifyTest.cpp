// tallyvault-cli verify as a user runs it, on lists written by real checksum tools.
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>


namespace tv {
namespace {

using test::TempDir;

using RunResult = test::ShellResult;

RunResult Sh(const std::string& command) { return test::Shell(command); }
std::string Quote(const std::string& s) { return test::ShellQuote(s); }

std::string Cli(const std::string& args) { return std::string(TV_CLI_PATH) + " verify " + args + " 2>/dev/null"; }

TEST(CliVerify, RhashListWithSpacesAndJapaneseNames) {
    TempDir dir;
    dir.Write("plain.txt", "plain");
    dir.Write("with space.txt", "spaced");
    dir.Write("写真 01.jpg", "japanese");
    const RunResult made = Sh("cd " + Quote(dir.Path()) + " && rhash --sfv plain.txt 'with space.txt' '写真 01.jpg' > list.sfv");
    ASSERT_EQ(made.status, 0) << "rhash is needed for this test";

    RunResult r = Sh(Cli(Quote(dir / "list.sfv")));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "○\tplain.txt\t\t" + test::CrcHex("plain") + "\t\n" +
                         "○\twith space.txt\t\t" + test::CrcHex("spaced") + "\t\n" +
                         "○\t写真 01.jpg\t\t" + test::CrcHex("japanese") + "\t\n" +
                         "total 3 match 3 mismatch 0 missing 0 samefile 0\n" + "status 読み取り終了 list.sfv\n");

    dir.Write("plain.txt", "PLAIN");
    r = Sh(Cli(Quote(dir / "list.sfv")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("×\tplain.txt\t"), std::string::npos) << r.out;
}

TEST(CliVerify, CksfvListLoadsAndVerifies) {
    TempDir dir;
    dir.Write("one.bin", "first file");
    dir.Write("two.bin", "second file");
    ASSERT_EQ(Sh("cd " + Quote(dir.Path()) + " && cksfv one.bin two.bin > list.sfv").status, 0);
    const RunResult r = Sh(Cli(Quote(dir / "list.sfv")));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("total 2 match 2 mismatch 0 missing 0 samefile 0\n"), std::string::npos) << r.out;
}

TEST(CliVerify, ExitStatusForErrorsAndEmptyLists) {
    TempDir dir;
    EXPECT_EQ(Sh(Cli(Quote(dir / "missing.sfv"))).status, 2);
    dir.Write("empty.sfv", "");
    EXPECT_EQ(Sh(Cli(Quote(dir / "empty.sfv"))).status, 2);
    dir.Write("bad.sfv", "name.bin 1234567G\n");
    const RunResult bad = Sh(std::string(TV_CLI_PATH) + " verify " + Quote(dir / "bad.sfv") + " 2>&1");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.out.find("'$1234567G' is not a valid integer value."), std::string::npos) << bad.out;
    EXPECT_EQ(Sh(std::string(TV_CLI_PATH) + " 2>/dev/null").status, 2);
}

TEST(CliVerify, DuplicatesAreKeptUnlessAskedToDelete) {
    TempDir dir;
    dir.Write("a.bin", "content");
    dir.Write("a copy.bin", "content");
    dir.Write("list.sfv", "a.bin " + test::CrcHex("content") + "\n");
    RunResult r = Sh(Cli(Quote(dir / "list.sfv")));
    // The copy sorts first and is met first; kept, it does not cut the check short: the entry is ○.
    EXPECT_TRUE(dir.Exists("a copy.bin"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("○	a.bin"), std::string::npos) << r.out;
    // What became of the copy is said on standard error after the question: kept, or deleted.
    const std::string verify = "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG " + std::string(TV_CLI_PATH) +
                               " verify " + Quote(dir / "list.sfv");
    const std::string kept = Sh(verify + " 2>&1 >/dev/null").out;
    EXPECT_NE(kept.find("\ntallyvault-cli: duplicate kept: " + (dir / "a copy.bin") + " holds what " + (dir / "a.bin") +
                        " holds\n"),
              std::string::npos)
        << kept;
    EXPECT_EQ(kept.find("duplicate deleted"), std::string::npos) << kept;
    r = Sh(verify + " --delete-duplicates 2>&1 >/dev/null");
    EXPECT_FALSE(dir.Exists("a copy.bin"));
    EXPECT_TRUE(dir.Exists("a.bin"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "tallyvault-cli: duplicate deleted: " + (dir / "a copy.bin") + " held what " + (dir / "a.bin") +
                         " holds\n");
}

TEST(CliVerify, DemoSetShowsAllFourMarks) {
    TempDir dir;
    ASSERT_EQ(Sh(std::string(TV_SOURCE_DIR) + "/samples/demo/make-demo " + Quote(dir / "demo") + " >/dev/null").status, 0);
    const RunResult r = Sh(Cli(Quote(dir / "demo/demo.sfv")));
    EXPECT_EQ(r.status, 1);
    for (const char* mark : {"○\t", "！\t", "×\t", "－\t"}) EXPECT_NE(r.out.find(mark), std::string::npos) << mark;
}

} // namespace
} // namespace tv
