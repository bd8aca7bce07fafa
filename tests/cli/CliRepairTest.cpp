// tallyvault-cli repair on damaged file sets.
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tv::test {
namespace {

struct CliRun {
    int Status = -1;
    std::string Out;
};

CliRun Cli(const std::string& args, const std::string& prefix = {}) {
    CliRun r;
    const std::string command = prefix + TV_CLI_PATH + " " + args + " 2>/dev/null";
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.Out.append(buf.data(), n);
    const int status = ::pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Line(const std::string& name, const std::string& content) {
    return name + " " + CrcHex(content) + "\r\n";
}
// The same entry as a line of a CSV list, which gives sizes.
std::string CsvLine(const std::string& name, const std::string& content) {
    return name + "," + std::to_string(content.size()) + "," + CrcHex(content) + "\r\n";
}

// A set with names swapped, a file moved away, a missing file with two copies elsewhere, one lost file.
struct DamagedSet {
    TempDir dir;
    std::string list;
    explicit DamagedSet(bool csv = false) {
        auto line = csv ? CsvLine : Line;
        dir.Write("set/a.bin", "content b");
        dir.Write("set/b.bin", "content a");
        dir.Write("elsewhere/deep/c.moved", "content c");
        dir.Write("elsewhere/one/d", "content d");
        dir.Write("elsewhere/two/d", "content d");
        dir.Write("set/e.bin", "content e");
        list = dir.Write(csv ? "set/list.csv" : "set/list.sfv",
                         line("a.bin", "content a") + line("b.bin", "content b") + line("c.bin", "content c") +
                             line("d.bin", "content d") + line("e.bin", "content e"));
    }
};

class CliRepairLists : public ::testing::TestWithParam<bool> {};

TEST_P(CliRepairLists, SearchAndRenameBringADamagedSetToAllMatching) {
    DamagedSet s(GetParam());
    const CliRun r = Cli("repair '" + s.list + "' --search '" + s.dir.Path() + "'");
    EXPECT_EQ(r.Status, 0) << r.Out;
    for (const char* name : {"a", "b", "c", "d", "e"})
        EXPECT_EQ(s.dir.Read(std::string("set/") + name + ".bin"), std::string("content ") + name);
    EXPECT_NE(r.Out.find("total 5 match 5 mismatch 0 missing 0 samefile 0\n"), std::string::npos) << r.Out;
    const std::string status = std::string("status 処理終了　list.") + (GetParam() ? "csv" : "sfv") + "\n";
    EXPECT_NE(r.Out.find(status), std::string::npos) << r.Out;
    EXPECT_FALSE(s.dir.Exists("elsewhere/deep/c.moved")); // moved, not copied
    EXPECT_TRUE(s.dir.Exists("elsewhere/two/d"));         // duplicates kept without a question
}

INSTANTIATE_TEST_SUITE_P(Kinds, CliRepairLists, ::testing::Bool(),
                         [](const auto& p) { return std::string(p.param ? "CsvWithSizes" : "SfvWithoutSizes"); });

TEST(CliRepair, CopyAndDeleteDuplicatesOptions) {
    DamagedSet s;
    const CliRun r = Cli("repair '" + s.list + "' --copy --search '" + s.dir.Path() + "' --delete-duplicates");
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_TRUE(s.dir.Exists("elsewhere/deep/c.moved"));
    EXPECT_TRUE(s.dir.Exists("elsewhere/one/d")); // the copy found first is the one brought in
    EXPECT_FALSE(s.dir.Exists("elsewhere/two/d"));
    EXPECT_EQ(s.dir.Read("set/d.bin"), "content d");
}

// The copy a real run deletes is named as the dry run names it, and only the real run deletes it.
TEST(CliRepair, DeletedDuplicatesAreNamed) {
    DamagedSet s;
    const std::string repair = "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG " + std::string(TV_CLI_PATH) +
                               " repair '" + s.list + "' --copy --search '" + s.dir.Path() + "' --delete-duplicates";
    const test::ShellResult dry = test::Shell(repair + " --dry-run 2>/dev/null");
    EXPECT_NE(dry.out.find("delete\t" + (s.dir / "elsewhere/two/d") + "\n"), std::string::npos) << dry.out;
    ASSERT_TRUE(s.dir.Exists("elsewhere/two/d"));
    const test::ShellResult real = test::Shell(repair + " 2>&1 >/dev/null");
    EXPECT_EQ(real.status, 0) << real.out;
    EXPECT_FALSE(s.dir.Exists("elsewhere/two/d"));
    EXPECT_NE(real.out.find("duplicate deleted: " + (s.dir / "elsewhere/two/d") + " held what "), std::string::npos)
        << real.out;
}

TEST(CliRepair, WithoutSearchOnlyTheSetsOwnFilesAreRenamed) {
    DamagedSet s;
    const CliRun r = Cli("repair '" + s.list + "'");
    EXPECT_EQ(r.Status, 1) << r.Out;
    EXPECT_EQ(s.dir.Read("set/a.bin"), "content a");
    EXPECT_EQ(s.dir.Read("set/b.bin"), "content b");
    EXPECT_NE(r.Out.find("－\tc.bin"), std::string::npos) << r.Out;
}

// A search root that cannot be listed fails the repair before the set's own files are renamed.
TEST(CliRepair, AMissingSearchRootChangesNothing) {
    DamagedSet s;
    s.dir.MakeFolder("locked");
    // Root lists a folder whatever its mode: the repair runs as an ordinary user, who owns the set.
    const std::string asUser = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    std::filesystem::permissions(s.dir.Path(), std::filesystem::perms::all);
    if (::geteuid() == 0) {
        for (const char* p : {"/set", "/set/a.bin", "/set/b.bin", "/set/e.bin", "/set/list.sfv", "/locked"}) {
            ASSERT_EQ(::chown((s.dir.Path() + p).c_str(), 65534, 65534), 0) << p;
        }
    }
    ASSERT_EQ(::chmod((s.dir.Path() + "/locked").c_str(), 0), 0);
    for (const std::string& root : {s.dir.Path() + "/typo", s.dir.Path() + "/set/e.bin", s.dir.Path() + "/locked"}) {
        for (const char* dry : {"", " --dry-run"}) {
            const CliRun r = Cli("repair '" + s.list + "' --search '" + root + "'" + dry, asUser);
            EXPECT_EQ(r.Status, 2) << root << dry;
            EXPECT_EQ(r.Out, "") << root << dry;
            EXPECT_EQ(s.dir.Read("set/a.bin"), "content b") << root << dry;
            EXPECT_EQ(s.dir.Read("set/b.bin"), "content a") << root << dry;
        }
    }
}

TEST(CliRepair, BadArgumentsAreAUsageError) {
    for (const char* args :
         {"repair", "repair --copy", "repair a.sfv --search", "repair a.sfv b.sfv", "repair a.sfv -x"})
        EXPECT_EQ(Cli(args).Status, 2) << args;
}

} // namespace
} // namespace tv::test
