// Digest lists written by coreutils (md5sum, sha*sum, b2sum in text, binary and tag form), b3sum and RHash over a
// folder of awkward names, then damaged: tallyvault-cli verify gives ○ exactly where the writer's own
// checker says OK, finds the renamed file under its new name (！), and a repair that searches a
// backup folder puts the set back whole, which the checker then confirms.
#include "support/CliRows.h"
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <vector>

namespace tv::test {
namespace {

struct File {
    std::string Name, Content;
};

// Unicode, blanks, a backslash (GNU's escaped form), an empty file, two identical files, sub-folders,
// and the three files the damage changes, deletes and renames.
const std::vector<File>& Files() {
    static const std::vector<File> files = {
        {"日本語 ファイル.dat", RandomBytes(3000, 1)}, {"x y.txt", "blanks"},
        {"back\\slash.bin", "backslash"},               {"empty", ""},
        {"same 1.jpg", RandomBytes(4096, 4)},           {"same 2.jpg", RandomBytes(4096, 4)},
        {"sub/inner.bin", "inside"},                    {"sub/deeper/leaf.txt", "leaf"},
        {"changed.bin", RandomBytes(700, 5)},           {"deleted.bin", RandomBytes(900, 6)},
        {"renamed.bin", RandomBytes(1100, 7)}};
    return files;
}

struct Writer {
    const char* Label;
    const char* Command; // run in the set's folder; $ALL are the files' names
    const char* List;    // the list it writes there
    const char* Check;   // the writer's own checker
};

// RHash takes a backslash for a separator: it lists no such file, and its checker looks for another.
const Writer Writers[] = {
    {"md5sum", "md5sum $ALL > list.md5", "list.md5", "md5sum -c list.md5"},
    {"sha1sum", "sha1sum $ALL > list.sha1", "list.sha1", "sha1sum -c list.sha1"},
    {"sha256sum", "sha256sum $ALL > SHA256SUMS", "SHA256SUMS", "sha256sum -c SHA256SUMS"},
    {"sha256sum -b", "sha256sum -b $ALL > list.sha256", "list.sha256", "sha256sum -c list.sha256"},
    {"sha256sum --tag", "sha256sum --tag $ALL > list.sha256", "list.sha256", "sha256sum -c list.sha256"},
    {"sha512sum", "sha512sum $ALL > list.sha512", "list.sha512", "sha512sum -c list.sha512"},
    {"rhash --simple", "rhash --simple --sha256 $ALL > list.sha256", "list.sha256", "rhash -c list.sha256"},
    {"rhash --bsd", "rhash --bsd --sha512 $ALL > list.sha512", "list.sha512", "rhash -c list.sha512"},
    {"rhash -r", "rhash -r --sha1 . > ../list.sha1; mv ../list.sha1 list.sha1", "list.sha1", "rhash -c list.sha1"},
    // Two lines a file, and a name that only the lines tell is a list.
    {"rhash --bsd --md5 --sha1", "rhash --bsd --md5 --sha1 $ALL > sums.txt", "sums.txt", "rhash -c sums.txt"},
    {"b2sum", "b2sum $ALL > list.b2", "list.b2", "b2sum -c list.b2"},
    {"b2sum --tag", "b2sum --tag $ALL > B2SUMS", "B2SUMS", "b2sum -c B2SUMS"},
    {"b3sum", "b3sum $ALL > list.b3", "list.b3", "b3sum -c list.b3"},
    {"rhash --bsd --blake2b", "rhash --bsd --blake2b $ALL > list.blake2", "list.blake2", "rhash -c list.blake2"},
    // Names that leave 128 and 64 digits open: the first listed file's content says BLAKE2b and BLAKE3.
    {"b2sum, unnamed", "b2sum $ALL > checksums", "checksums", "b2sum -c checksums"},
    {"b3sum, .txt", "b3sum $ALL > sums.txt", "sums.txt", "b3sum -c sums.txt"},
};

using Verdicts = std::map<std::string, std::vector<std::string>>; // name -> a mark per line or row

void Add(Verdicts& v, const std::string& name, const std::string& mark) {
    auto& marks = v[name];
    marks.push_back(mark);
    std::sort(marks.begin(), marks.end());
}

// A checker's report: coreutils' "NAME: OK|FAILED|FAILED open or read", RHash's "NAME  OK|ERR|No such file",
// b3sum's "FAILED (No such file ...)" and its escaped "\NAME: OK" for a name with a backslash.
Verdicts PeerVerdicts(const std::string& report) {
    Verdicts out;
    ForEachLine(report, [&](std::string line) {
        if (line.starts_with("\\"))
            for (std::size_t at = line.erase(0, 1).find("\\\\"); at != std::string::npos; at = line.find("\\\\", at + 1))
                line.erase(at, 1);
        for (const File& f : Files()) {
            std::string rest;
            if (line.starts_with(f.Name + ": "))
                rest = line.substr(f.Name.size() + 2);
            else if (line.starts_with(f.Name + " "))
                rest = line.substr(line.find_first_not_of(' ', f.Name.size()));
            else
                continue;
            if (rest.starts_with("OK")) Add(out, f.Name, "○");
            else if (rest == "FAILED" || rest.starts_with("ERR")) Add(out, f.Name, "×");
            else if (rest.starts_with("FAILED open") || rest.starts_with("FAILED (") || rest.starts_with("No such file"))
                Add(out, f.Name, "－");
        }
    });
    return out;
}

// Our rows: mark TAB name TAB size TAB digest TAB same file.
Verdicts OurVerdicts(const std::string& rows) {
    Verdicts out;
    ForEachRow(rows, [&](const std::string& name, const std::string& mark) { Add(out, name, mark); });
    return out;
}

std::string AllNames() {
    std::string out;
    for (const File& f : Files())
        (out += ' ') += ShellQuote(f.Name);
    return out;
}

TEST(DigestPeers, SameVerdictsAsTheWritersCheckerAndARepairMakesTheSetWhole) {
    for (const Writer& w : Writers) {
        SCOPED_TRACE(w.Label);
        TempDir dir;
        const std::string set = dir.MakeFolder("set");
        for (const File& f : Files())
            dir.Write("set/" + f.Name, f.Content);
        std::string command = w.Command;
        if (const std::size_t at = command.find("$ALL"); at != std::string::npos) command.replace(at, 4, AllNames());
        Shell("cd " + ShellQuote(set) + " && { " + command + "; } 2>/dev/null");
        ASSERT_FALSE(dir.Read("set/" + std::string(w.List)).empty()) << "coreutils and rhash are needed";

        // The changed and the deleted file's contents are kept in a backup folder for the repair.
        dir.Write("backup/old changed.bin", Files()[8].Content);
        dir.Write("backup/deleted.bin", Files()[9].Content);
        dir.Write("set/changed.bin", "changed in place");
        std::filesystem::remove(PathOf(dir / "set/deleted.bin"));
        std::filesystem::rename(PathOf(dir / "set/renamed.bin"), PathOf(dir / "set/renamed (moved).bin"));

        const std::string list = ShellQuote(set + "/" + w.List);
        const std::string cli = std::string(TV_CLI_PATH);
        const std::string check = "cd " + ShellQuote(set) + " && " + w.Check + " 2>/dev/null";
        const ShellResult ours = Shell(cli + " verify " + list + " 2>&1");
        const Verdicts mine = OurVerdicts(ours.out), theirs = PeerVerdicts(Shell(check).out);
        EXPECT_EQ(ours.status, 1) << ours.out;
        ASSERT_FALSE(theirs.empty());
        EXPECT_EQ(theirs.at("changed.bin").front(), "×");
        for (const auto& [name, marks] : theirs) {
            // ！ says more than the checker can: the content is there under another name.
            if (name == "renamed.bin") {
                EXPECT_EQ(mine.at(name), std::vector<std::string>(marks.size(), "！")) << ours.out;
                continue;
            }
            EXPECT_EQ(mine.count(name) ? mine.at(name) : std::vector<std::string>{}, marks) << name << "\n" << ours.out;
        }
        EXPECT_EQ(mine.size(), theirs.size()) << ours.out;

        const ShellResult repaired = Shell(cli + " repair " + list + " --search " + ShellQuote(dir / "backup") + " 2>&1");
        EXPECT_EQ(repaired.status, 0) << repaired.out;
        // Renamed back, not copied: rows that name one file take one change between them.
        EXPECT_FALSE(dir.Exists("set/renamed (moved).bin"));
        const ShellResult again = Shell(cli + " verify " + list + " 2>&1");
        EXPECT_EQ(again.status, 0) << again.out;
        const Verdicts after = PeerVerdicts(Shell(check).out);
        for (const auto& [name, marks] : after)
            EXPECT_EQ(marks, std::vector<std::string>(marks.size(), "○")) << name;
        EXPECT_EQ(OurVerdicts(again.out), after);
    }
}

} // namespace
} // namespace tv::test
