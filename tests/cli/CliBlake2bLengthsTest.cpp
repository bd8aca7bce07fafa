// BLAKE2b lists of every length `b2sum -l` writes, plain (the digits give the length) and tagged
// ("BLAKE2b-256 (name) = ..."): verified, a damaged file found, a renamed one repaired, an update that keeps
// the list's length, and b2sum -c (with and without -l) content with the list afterwards.
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tv {
namespace {

using test::Count;
using test::ShellQuote;
using test::TempDir;

const std::string CliPath = TV_CLI_PATH;

test::ShellResult InSet(const TempDir& dir, const std::string& command) {
    return test::Shell("cd " + ShellQuote(dir / "set") + " && CLI=" + ShellQuote(CliPath) + " && { " + command +
                       " ; } 2>&1");
}

// The line of `list` that names `name`.
std::string LineNaming(const std::string& list, const std::string& name) {
    std::istringstream in(list);
    for (std::string line; std::getline(in, line);)
        if (line.find(" " + name) != std::string::npos || line.find("(" + name + ")") != std::string::npos) return line;
    return {};
}

TEST(CliBlake2bLengths, EachLengthVerifiesRepairsUpdatesAndB2sumAgrees) {
    for (const int bits : {8, 160, 256, 384, 512})
        for (const char* list : {"l.b2", "B2SUMS", "tagged.txt"}) {
            const bool tagged = std::string(list) == "tagged.txt";
            const std::string lengthOption = " -l " + std::to_string(bits);
            SCOPED_TRACE(std::string(list) + lengthOption);
            TempDir dir;
            dir.Write("set/a.bin", "alpha\n");
            dir.Write("set/sub/b.bin", "beta\n");
            dir.Write("set/c.bin", "gamma\n");
            ASSERT_EQ(InSet(dir, "b2sum" + lengthOption + (tagged ? " --tag" : "") + " a.bin sub/b.bin c.bin >" + list)
                          .status,
                      0);
            const std::string checkLength = "b2sum -c --quiet " + std::string(list);
            const std::string checkAny = "b2sum" + lengthOption + " -c --quiet " + list;

            const test::ShellResult v = InSet(dir, "$CLI verify " + std::string(list) + " --unlisted");
            EXPECT_EQ(v.status, 0) << v.out;
            EXPECT_EQ(Count(v.out, "○\t"), 3u) << v.out;
            EXPECT_EQ(Count(v.out, "＋\t"), 0u) << v.out;

            // A renamed file is found by its content and given its name back.
            ASSERT_EQ(InSet(dir, "mv sub/b.bin sub/moved.bin").status, 0);
            const test::ShellResult r = InSet(dir, "$CLI repair " + std::string(list));
            EXPECT_EQ(r.status, 0) << r.out;
            EXPECT_TRUE(dir.Exists("set/sub/b.bin")) << r.out;

            // Update adds a file with a digest of the list's own length and form.
            dir.Write("set/d.bin", "delta\n");
            const test::ShellResult u = InSet(dir, "$CLI update " + std::string(list));
            EXPECT_EQ(u.status, 0) << u.out;
            const std::string added = LineNaming(dir.Read(std::string("set/") + list), "d.bin");
            const std::string expected = InSet(dir, "b2sum" + lengthOption + (tagged ? " --tag" : "") + " d.bin").out;
            EXPECT_EQ(added + "\n", expected);
            EXPECT_EQ(InSet(dir, checkLength).status, 0);
            EXPECT_EQ(InSet(dir, checkAny).status, 0);

            // A damaged file: the rows and b2sum say so alike.
            dir.Write("set/c.bin", "gamma!");
            const test::ShellResult bad = InSet(dir, "$CLI verify " + std::string(list));
            EXPECT_EQ(bad.status, 1) << bad.out;
            EXPECT_EQ(Count(bad.out, "○\t"), 3u) << bad.out;
            EXPECT_NE(bad.out.find("×\tc.bin\t"), std::string::npos) << bad.out;
            EXPECT_NE(InSet(dir, checkLength).status, 0);
        }
}

// A line the list cannot use is counted as unread, never taken: one BLAKE2b length a list, and a length b2sum
// does not write.
TEST(CliBlake2bLengths, LinesOfAnotherLengthAreNotAllChecked) {
    for (const char* second : {"b2sum --tag c.bin", "echo 'BLAKE2b-12 (c.bin) = 123'"}) {
        SCOPED_TRACE(second);
        TempDir dir;
        dir.Write("set/a.bin", "alpha\n");
        dir.Write("set/c.bin", "gamma\n");
        ASSERT_EQ(InSet(dir, "{ b2sum -l 256 --tag a.bin && " + std::string(second) + "; } >mixed.b2").status, 0);
        const test::ShellResult v = InSet(dir, "$CLI verify mixed.b2");
        EXPECT_EQ(v.status, 3) << v.out;
        EXPECT_EQ(Count(v.out, "○\t"), 1u) << v.out;
        EXPECT_NE(v.out.find("not all checked"), std::string::npos) << v.out;
    }
}

} // namespace
} // namespace tv
