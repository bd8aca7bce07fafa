// Digest lists written by `tallyvault-cli create`, checked by the tools that check such lists
// (coreutils' md5sum, sha*sum and b2sum, b3sum, RHash), compared line for line with what coreutils writes for the same
// files, and read back by our own verification.
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace tv::test {
namespace {

ShellResult In(const std::string& folder, const std::string& command) {
    return Shell("cd " + ShellQuote(folder) + " && " + command + " 2>&1");
}

// Unicode, spaces, empty and identical files; with `escaped`, names coreutils writes in its escaped
// form (a backslash, a line break, a CR), which RHash does not read back; b3sum knows no escaped CR.
std::vector<std::string> WriteTree(const TempDir& dir, const std::string& folder, bool escaped, bool cr = true) {
    std::vector<std::string> names = {"plain.bin",     "with two  spaces.dat", "写真 01.jpg", "empty.bin",
                                      "empty too.bin", "same 1.bin",           "same 2.bin"};
    const std::vector<std::string> contents = {std::string(70000, 'p'), "spaced", "日本語", "", "", "same", "same"};
    for (std::size_t i = 0; i < names.size(); ++i)
        dir.Write(folder + "/" + names[i], contents[i]);
    if (escaped) {
        for (const std::string name : {"back\\slash.bin", "line\nbreak.bin", "carriage\rreturn.bin"}) {
            dir.Write(folder + "/" + name, name);
            if (cr || name.find('\r') == std::string::npos) names.push_back(name);
        }
    }
    dir.Write(folder + "/.hidden", "not listed");
    return names;
}

std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(DigestPeers, OurListsPassTheirCheckersAndMatchWhatTheyWrite) {
    const struct {
        std::string Out, Checker;
        bool Tag;
        bool Rhash = true; // RHash checks it (this one has no BLAKE3)
    } kinds[] = {
        {"list.md5", "md5sum", false},       {"list.sha1", "sha1sum", false},      {"list.sha224", "sha224sum", false},
        {"list.SHA256", "sha256sum", false}, {"list.sha384", "sha384sum", false},  {"list.sha512", "sha512sum", false},
        {"SHA256SUMS", "sha256sum", false},  {"tagged.sha256", "sha256sum", true}, {"MD5SUMS", "md5sum", true},
        {"list.b2", "b2sum", false},         {"B2SUMS", "b2sum", true},            {"list.b3", "b3sum", false, false},
        {"B3SUMS", "b3sum", false, false}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.Out + (k.Tag ? " --tag" : ""));
        TempDir dir;
        const std::string tag = k.Tag ? " --tag" : "";
        // A BLAKE3 list leaves the name with a CR unticked (b3sum could not check it).
        const std::vector<std::string> names = WriteTree(dir, "set", true, k.Checker != "b3sum");
        const std::string set = dir / "set";
        const ShellResult made = In(set, std::string(TV_CLI_PATH) + " create . " + ShellQuote(k.Out) + tag);
        // Read back and verified at once: every file ○.
        EXPECT_EQ(made.status, 0) << made.out;
        EXPECT_NE(made.out.find("total " + std::to_string(names.size()) + " match " + std::to_string(names.size())),
                  std::string::npos)
            << made.out;

        // The very lines coreutils writes for these files, escaped names included.
        const std::string noCr = k.Checker == "b3sum" ? " ! -name \"$(printf '*\\r*')\"" : "";
        const ShellResult theirs = In(set, "find . -maxdepth 1 -type f ! -name '.*' ! -name " + ShellQuote(k.Out) +
                                               noCr + " -printf '%P\\0' | xargs -0 " + k.Checker + tag + " --");
        ASSERT_EQ(theirs.status, 0) << theirs.out;
        const std::string ours = dir.Read("set/" + k.Out);
        EXPECT_EQ(SortedLines(ours), SortedLines(theirs.out));
        EXPECT_EQ(std::count(ours.begin(), ours.end(), '\n'), static_cast<std::ptrdiff_t>(names.size()));
        EXPECT_EQ(ours.find('\r'), std::string::npos);

        const ShellResult checked = In(set, k.Checker + " -c " + ShellQuote(k.Out));
        EXPECT_EQ(checked.status, 0) << checked.out;
        EXPECT_EQ(checked.out.find("FAILED"), std::string::npos) << checked.out;

        // RHash, over a set of the names it reads back.
        WriteTree(dir, "plain", false);
        const std::string plain = dir / "plain";
        ASSERT_EQ(In(plain, std::string(TV_CLI_PATH) + " create . " + ShellQuote(k.Out) + tag).status, 0);
        if (k.Rhash) {
            const ShellResult rhash = In(plain, "rhash -c " + ShellQuote(k.Out));
            EXPECT_EQ(rhash.status, 0) << rhash.out;
            EXPECT_NE(rhash.out.find("Everything OK"), std::string::npos) << rhash.out;
        }

        // One changed file: their checker and our verification both fail it.
        dir.Write("set/plain.bin", "changed");
        const ShellResult failed = In(set, k.Checker + " -c " + ShellQuote(k.Out));
        EXPECT_NE(failed.status, 0);
        EXPECT_NE(failed.out.find("plain.bin: FAILED"), std::string::npos) << failed.out;
        const ShellResult verified = In(set, std::string(TV_CLI_PATH) + " verify " + ShellQuote(k.Out));
        EXPECT_EQ(verified.status, 1) << verified.out;
        EXPECT_NE(verified.out.find("×\tplain.bin\t"), std::string::npos) << verified.out;
    }
}

TEST(DigestPeers, CreateRefusesWhatItCannotWrite) {
    TempDir dir;
    dir.Write("set/a.bin", "a");
    const std::string cli = std::string(TV_CLI_PATH) + " create . ";
    const std::string set = dir / "set";
    // No kind by the name, or --tag on a CRC-32 list: usage, nothing written.
    for (const std::string args : {"list.txt", "list", "list.sfv --tag", "list.csv --tag", "SHA256SUM"}) {
        SCOPED_TRACE(args);
        const ShellResult r = In(set, cli + args);
        EXPECT_EQ(r.status, 2) << r.out;
        EXPECT_NE(r.out.find("usage:"), std::string::npos) << r.out;
    }
    EXPECT_EQ(In(set, "ls -A").out, "a.bin\n");
    // A digest list written again leaves its old self out; a CRC-32 list keeps its rows as before.
    ASSERT_EQ(In(set, cli + "SHA1SUMS").status, 0);
    const ShellResult again = In(set, cli + "SHA1SUMS");
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(dir.Read("set/SHA1SUMS"), "86f7e437faa5a7fce15d1ddcb9eaeaea377667b8  a.bin\n");
}

} // namespace
} // namespace tv::test
