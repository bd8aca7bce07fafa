// The progress line of tallyvault-cli on standard error: under a pseudo-terminal (script(1)) and
// redirected, with and without --quiet and --progress. Reads are slowed so the line has time to show.
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

namespace tv {
namespace {

using test::TempDir;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs `args` in `dir` with standard output to out.txt; standard error goes to the terminal of
// script(1), whose output is returned, or to err.txt when `terminal` is false.
std::string RunCli(const TempDir& dir, const std::string& args, bool terminal) {
    const std::string cli = "TALLYVAULT_SLOW_READS=120 " + std::string(TV_CLI_PATH) + " " + args + " > out.txt";
    const std::string cd = "cd " + test::ShellQuote(dir.Path()) + " && ";
    if (terminal) return test::Shell(cd + "script -qec " + test::ShellQuote(cli) + " /dev/null").out;
    test::Shell(cd + cli + " 2> err.txt");
    return Slurp(dir / "err.txt");
}

// One big file (six blocks of the CRC loop) and its list.
void MakeSet(const TempDir& dir) {
    dir.Write("big.bin", std::string(std::size_t{6} << 20, 'b'));
    dir.Write("small.bin", "small");
    ASSERT_EQ(test::Shell("cd " + test::ShellQuote(dir.Path()) + " && cksfv big.bin small.bin > list.sfv").status, 0);
}

TEST(CliProgress, ALineOnATerminalOnlyAndStandardOutputAsBefore) {
    TempDir dir;
    MakeSet(dir);
    struct Case {
        const char* Options;
        bool Terminal;
        enum { None, Redrawn, Lines } Shows;
    };
    const Case cases[] = {
        {"", true, Case::Redrawn},
        {"--quiet", true, Case::None},
        {"", false, Case::None},
        {"--progress", false, Case::Lines},
        {"--progress --quiet", false, Case::None},
    };
    std::string rows;
    for (const Case& c : cases) {
        const std::string err = RunCli(dir, std::string("verify list.sfv ") + c.Options, c.Terminal);
        const std::string out = Slurp(dir / "out.txt");
        const std::string name = std::string(c.Options) + (c.Terminal ? " on a terminal" : " redirected");
        EXPECT_NE(out.find("total 2 match 2 mismatch 0"), std::string::npos) << name << out;
        if (rows.empty()) rows = out;
        EXPECT_EQ(out, rows) << name;
        switch (c.Shows) {
        case Case::None:
            EXPECT_EQ(err.find("files"), std::string::npos) << name << err;
            break;
        case Case::Redrawn: {
            EXPECT_NE(err.find("\r0/2 files  "), std::string::npos) << name << err;
            EXPECT_NE(err.find(" / 6.0 MB  "), std::string::npos) << name << err;
            EXPECT_NE(err.find("MB/s"), std::string::npos) << name << err;
            // Cleared at the end: the last thing written is spaces over the line, back at its start.
            const std::string tail = err.substr(err.find_last_not_of(" \r") + 1);
            EXPECT_EQ(tail.back(), '\r') << name << err;
            EXPECT_GE(std::count(tail.begin(), tail.end(), ' '), 20) << name << err;
            break;
        }
        case Case::Lines:
            EXPECT_EQ(err.find('\r'), std::string::npos) << name << err;
            EXPECT_EQ(err.rfind("0/2 files  ", 0), 0u) << name << err;
            EXPECT_EQ(err.back(), '\n') << name << err;
            break;
        }
    }
}

TEST(CliProgress, CreateAndRepairDrawItToo) {
    TempDir dir;
    MakeSet(dir);
    for (const char* args : {"create . made.sfv", "repair list.sfv"}) {
        const std::string err = RunCli(dir, args, true);
        EXPECT_NE(err.find(" files  "), std::string::npos) << args << err;
        EXPECT_NE(Slurp(dir / "out.txt").find("match 2 mismatch 0"), std::string::npos) << args;
    }
}

} // namespace
} // namespace tv
