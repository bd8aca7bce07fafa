// tallyvault-cli repair never disturbs a good file and never stops without saying so: lists that name
// one file twice (written by the peers, as a user appends a line after an edit), a kept duplicate
// beside the set, and a second repair right after the first.
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tv::test {
namespace {

struct CliResult {
    int Status = -1;
    std::string Out, Err;
};

// The tool run in `folder` (the peers write names relative to it).
CliResult Cli(const TempDir& dir, const std::string& folder, const std::string& args) {
    const std::string err = dir / "stderr.txt";
    const ShellResult r =
        Shell("cd " + ShellQuote(folder) + " && " + ShellQuote(TV_CLI_PATH) + " " + args + " 2>" + ShellQuote(err));
    return {r.status, r.out, ReadFile(err)};
}

struct PeerList {
    const char* Title;
    const char* List;
    const char* Tool; // run as `Tool name >> List`
};

void PrintTo(const PeerList& c, std::ostream* os) {
    *os << c.Title;
}

class EditedAndListedAgain : public ::testing::TestWithParam<PeerList> {};

TEST_P(EditedAndListedAgain, KeepsTheEditAndNamesTheConflict) {
    const PeerList& c = GetParam();
    TempDir dir;
    const std::string set = dir.MakeFolder("set");
    dir.Write("set/notes.md", "the first text\n");
    const std::string add = std::string(c.Tool) + " notes.md >> " + c.List;
    ASSERT_EQ(Shell("cd " + ShellQuote(set) + " && " + add).status, 0) << c.Tool;
    ASSERT_EQ(Shell("cd " + ShellQuote(set) + " && cp notes.md notes.md.bak").status, 0);
    dir.Write("set/notes.md", "the edited text, longer\n");
    ASSERT_EQ(Shell("cd " + ShellQuote(set) + " && " + add).status, 0);

    for (int run = 1; run <= 2; ++run) {
        const CliResult r = Cli(dir, set, std::string("repair ") + c.List);
        EXPECT_EQ(r.Status, 1) << run << r.Out << r.Err;
        EXPECT_EQ(dir.Read("set/notes.md"), "the edited text, longer\n") << run;
        EXPECT_EQ(dir.Read("set/notes.md.bak"), "the first text\n") << run;
        EXPECT_FALSE(dir.Exists("set/notes_Temp1.md")) << run;
        EXPECT_NE(r.Out.find("○\tnotes.md"), std::string::npos) << r.Out;
        EXPECT_NE(r.Out.find("！\tnotes.md"), std::string::npos) << r.Out;
        EXPECT_NE(r.Out.find("同じ名前で内容の違う項目があります： notes.md"), std::string::npos) << r.Out;
        EXPECT_NE(r.Err.find("2 rows give 1 name two contents, shown as they are; repair changes nothing for "
                             "them: notes.md"),
                  std::string::npos)
            << r.Err;
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, EditedAndListedAgain,
                         ::testing::Values(PeerList{"Sha256sum", "SHA256SUMS", "sha256sum"},
                                           PeerList{"Cksfv", "list.sfv", "cksfv -b"},
                                           PeerList{"B3sum", "B3SUMS", "b3sum"}),
                         [](const auto& p) { return std::string(p.param.Title); });

// A copy of a listed file beside the set is kept (the default): the repair still searches, renames and
// moves, and says that the copy was kept.
TEST(CliRepairSafety, AKeptDuplicateDoesNotCancelTheRepair) {
    TempDir dir;
    const std::string set = dir.MakeFolder("set");
    dir.Write("set/a.bin", "content a");
    dir.Write("set/a-copy.bin", "content a");
    dir.Write("set/moved-away.bin", "content b");
    dir.Write("src/deep/c.found", "content c");
    ASSERT_EQ(Shell("cd " + ShellQuote(set) + " && cp moved-away.bin b.bin && cp ../src/deep/c.found c.bin && "
                    "sha256sum a.bin b.bin c.bin > SHA256SUMS && rm b.bin c.bin")
                  .status,
              0);
    const CliResult r = Cli(dir, set, "repair SHA256SUMS --search " + ShellQuote(dir / "src"));
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    EXPECT_EQ(dir.Read("set/b.bin"), "content b");
    EXPECT_EQ(dir.Read("set/c.bin"), "content c");
    EXPECT_EQ(dir.Read("set/a-copy.bin"), "content a");
    EXPECT_NE(r.Err.find("duplicate kept"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("a-copy.bin"), std::string::npos) << r.Err;
}

// A file without read permission, for a user other than root (who reads everything): the tool runs as
// nobody when the suite runs as root.
struct UnreadableSet {
    TempDir dir;
    std::string set = dir.MakeFolder("set");
    UnreadableSet() {
        for (const char* name : {"a.bin", "b.bin", "c.bin"})
            dir.Write(std::string("set/") + name, std::string("content of ") + name);
        ::chmod(dir.Path().c_str(), 0777);
        ::chmod(set.c_str(), 0777);
    }
    CliResult Run(const std::string& args) {
        const std::string as = ::geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
        const std::string err = dir / "stderr.txt";
        const ShellResult r = Shell("cd " + ShellQuote(set) + " && " + as + ShellQuote(TV_CLI_PATH) + " " + args +
                                    " 2>" + ShellQuote(err));
        return {r.status, r.out, ReadFile(err)};
    }
};

struct KeepGoingCase {
    const char* Title;
    const char* Make; // writes the list in the set's folder
    const char* Command;
};

void PrintTo(const KeepGoingCase& c, std::ostream* os) {
    *os << c.Title;
}

class CliKeepGoing : public ::testing::TestWithParam<KeepGoingCase> {};

TEST_P(CliKeepGoing, NamesTheUnreadableFileAndChecksTheRest) {
    const KeepGoingCase& c = GetParam();
    UnreadableSet s;
    ASSERT_EQ(Shell("cd " + ShellQuote(s.set) + " && " + c.Make).status, 0);
    ::chmod((s.dir / "set/b.bin").c_str(), 0);

    // Without the option the first unreadable file ends the command, named with the reason.
    const CliResult ended = s.Run(c.Command);
    EXPECT_EQ(ended.Status, 2) << ended.Out << ended.Err;
    EXPECT_NE(ended.Err.find("b.bin: Permission denied"), std::string::npos) << ended.Err;
    EXPECT_EQ(ended.Out.find("○	a.bin"), std::string::npos) << ended.Out;

    const CliResult went = s.Run(std::string(c.Command) + " --keep-going");
    EXPECT_EQ(went.Status, 2) << went.Out << went.Err;
    EXPECT_NE(went.Err.find("file passed over, it could not be read: b.bin (File access denied: Permission denied)"),
              std::string::npos)
        << went.Err;
    EXPECT_NE(went.Out.find("○	a.bin"), std::string::npos) << went.Out;
    EXPECT_NE(went.Out.find("×	b.bin"), std::string::npos) << went.Out;
    EXPECT_NE(went.Out.find("○	c.bin"), std::string::npos) << went.Out;
    EXPECT_NE(went.Out.find("status 読めないファイルを飛ばしました： b.bin"), std::string::npos) << went.Out;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, CliKeepGoing,
    ::testing::Values(KeepGoingCase{"Sha256Verify", "sha256sum a.bin b.bin c.bin > SHA256SUMS", "verify SHA256SUMS"},
                      KeepGoingCase{"SfvVerify", "cksfv -b a.bin b.bin c.bin > list.sfv", "verify list.sfv"},
                      KeepGoingCase{"SfvRepair", "cksfv -b a.bin b.bin c.bin > list.sfv", "repair list.sfv"}),
    [](const auto& p) { return std::string(p.param.Title); });

TEST(CliKeepGoing, CreateListsTheRestAndNamesWhatItCouldNotRead) {
    UnreadableSet s;
    ::chmod((s.dir / "set/b.bin").c_str(), 0);
    const CliResult ended = s.Run("create . out.sha256");
    EXPECT_EQ(ended.Status, 2) << ended.Out << ended.Err;
    EXPECT_FALSE(s.dir.Exists("set/out.sha256"));
    EXPECT_NE(ended.Err.find("b.bin: Permission denied"), std::string::npos) << ended.Err;

    const CliResult went = s.Run("create . out.sha256 --keep-going");
    EXPECT_EQ(went.Status, 2) << went.Out << went.Err;
    EXPECT_NE(went.Err.find("file passed over, it could not be read: b.bin"), std::string::npos) << went.Err;
    const std::string list = s.dir.Read("set/out.sha256");
    EXPECT_NE(list.find("  a.bin\n"), std::string::npos) << list;
    EXPECT_NE(list.find("  c.bin\n"), std::string::npos) << list;
    EXPECT_EQ(list.find("b.bin"), std::string::npos) << list;
}

} // namespace
} // namespace tv::test
