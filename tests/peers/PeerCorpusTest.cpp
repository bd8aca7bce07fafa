// Lists written by the peers (cksfv, RHash) over folders of awkward files, some files then damaged or
// deleted: tallyvault-cli verify gives every file the verdict the peers' own checkers give
// (`cksfv -f LIST`, `rhash -c LIST`); and the lists we write pass both checkers.
#include "support/CliRows.h"
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string_view>
#include <vector>

namespace tv::test {
namespace {

struct File {
    std::string Name, Content;
};

// Unicode names, names of one to four bytes, an empty file.
std::vector<File> PlainFiles() {
    return {{"日本語 ファイル.dat", RandomBytes(3000, 1)},
            {"é ü.doc", "accents"},
            {"x", "one byte name"},
            {"ab", "two"},
            {"abc", "three bytes"},
            {"a.7z", RandomBytes(70000, 2)},
            {"empty.bin", ""},
            {"kept.bin", RandomBytes(512, 3)}};
}

// Two files of the same content, and files in sub-folders.
std::vector<File> FilesWithCopiesAndFolders() {
    std::vector<File> files = PlainFiles();
    files.push_back({"same 1.jpg", RandomBytes(4096, 4)});
    files.push_back({"same 2.jpg", RandomBytes(4096, 4)});
    files.push_back({"sub/inner.bin", "inside"});
    files.push_back({"sub/deeper/leaf.txt", "leaf"});
    return files;
}

std::string Quoted(const std::vector<File>& files, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to && i < files.size(); ++i)
        (out += ' ') += ShellQuote(files[i].Name);
    return out;
}

// How a peer writes list.sfv in the folder; $ALL, $FIRST and $REST are the names, all or in two halves.
struct PeerCase {
    const char* Label;
    const char* Command;
};

const PeerCase PeerWriters[] = {
    {"cksfv", "cksfv $ALL > list.sfv"},
    {"rhash --sfv", "rhash --sfv $ALL > list.sfv"},
    // Written outside the folder first, or the list would list itself.
    {"rhash --sfv -r", "rhash --sfv -r . > ../list.sfv && mv ../list.sfv list.sfv"},
    {"rhash --sfv -u appending", "rhash --sfv $FIRST > list.sfv && rhash --sfv -u list.sfv $REST"},
};

// Two lists with sizes joined: the entry lines after those the first size block names have no size.
const PeerCase JoinedLists = {"cksfv, two runs joined", "cksfv $FIRST > list.sfv && cksfv $REST >> list.sfv"};

std::string Expand(std::string command, const std::vector<File>& files) {
    const std::size_t half = files.size() / 2;
    const std::pair<const char*, std::string> vars[] = {{"$ALL", Quoted(files, 0, files.size())},
                                                        {"$FIRST", Quoted(files, 0, half)},
                                                        {"$REST", Quoted(files, half, files.size())}};
    for (const auto& [var, value] : vars)
        for (std::size_t at; (at = command.find(var)) != std::string::npos;)
            command.replace(at, std::string(var).size(), value);
    return command;
}

// The verdict of every named file in a checker's report: a line of the name, blanks, and the verdict.
std::map<std::string, std::string> PeerVerdicts(const std::string& report, const std::vector<File>& files) {
    std::map<std::string, std::string> out;
    ForEachLine(report, [&](const std::string& line) {
        for (const File& f : files) {
            if (line.compare(0, f.Name.size() + 1, f.Name + " ") != 0) continue;
            const std::size_t at = line.find_first_not_of(' ', f.Name.size());
            const std::string_view rest = std::string_view(line).substr(at == std::string::npos ? line.size() : at);
            if (rest.starts_with("OK"))
                out[f.Name] = "○";
            else if (rest.starts_with("ERR") || rest.starts_with("different CRC"))
                out[f.Name] = "×";
            else if (rest.starts_with("No such file"))
                out[f.Name] = "－";
        }
    });
    return out;
}

// Our verdicts: the mark of each row of tallyvault-cli verify, by name.
std::map<std::string, std::string> OurVerdicts(const std::string& rows) {
    std::map<std::string, std::string> out;
    ForEachRow(rows, [&](const std::string& name, const std::string& mark) { out[name] = mark; });
    return out;
}

// Damage the set as people find it: one file changed in place, one grown, one deleted, one copy of
// the identical pair and one sub-folder file deleted or changed where the set has them.
void Damage(const TempDir& dir) {
    dir.Write("set/abc", "THREE BYTES");
    dir.Write("set/x", "one byte name, grown");
    std::filesystem::remove(PathOf(dir / "set/a.7z"));
    if (dir.Exists("set/same 2.jpg")) std::filesystem::remove(PathOf(dir / "set/same 2.jpg"));
    if (dir.Exists("set/sub/inner.bin")) dir.Write("set/sub/inner.bin", "INSIDE");
}

void ExpectSameVerdictsAsThePeers(const std::vector<File>& files, const PeerCase& peer) {
    SCOPED_TRACE(peer.Label);
    TempDir dir;
    const std::string set = dir.MakeFolder("set");
    for (const File& f : files)
        dir.Write("set/" + f.Name, f.Content);
    const ShellResult made =
        Shell("cd " + ShellQuote(set) + " && { " + Expand(peer.Command, files) + "; } 2>/dev/null");
    ASSERT_EQ(made.status, 0) << "cksfv and rhash are needed (scripts/setup installs them)";
    Damage(dir);

    const std::string list = ShellQuote(set + "/list.sfv");
    const ShellResult ours = Shell(std::string(TV_CLI_PATH) + " verify " + list + " 2>" + ShellQuote(dir / "err"));
    const ShellResult cksfv = Shell("cd " + ShellQuote(set) + " && cksfv -f list.sfv 2>&1");
    const ShellResult rhash = Shell("cd " + ShellQuote(set) + " && rhash -c list.sfv 2>&1");
    const std::map<std::string, std::string> mine = OurVerdicts(ours.out);
    const std::map<std::string, std::string> byCksfv = PeerVerdicts(cksfv.out, files);
    const std::map<std::string, std::string> byRhash = PeerVerdicts(rhash.out, files);
    ASSERT_EQ(byCksfv.size(), files.size()) << cksfv.out;
    EXPECT_EQ(byRhash, byCksfv) << rhash.out;
    for (const File& f : files) {
        const auto it = mine.find(f.Name);
        const std::string got = it == mine.end() ? "(no row)" : it->second, theirs = byCksfv.at(f.Name);
        // ！ says more than the peers can: the file under its own name is missing or wrong, and its
        // content was found under another name. The peers say － or × for it.
        if (got == "！" && theirs != "○") continue;
        EXPECT_EQ(got, theirs) << f.Name << "\n" << ours.out;
    }
    // The damage is seen, and the list was read to its end.
    EXPECT_EQ(ours.status, 1) << ours.out;
    EXPECT_EQ(dir.Read("err").find("not all checked"), std::string::npos) << dir.Read("err");
}

// Verdicts on folders of plain files: what the readers alone must get right.
TEST(PeerCorpus, SameVerdictsAsThePeersOnPlainFiles) {
    for (const PeerCase& peer : PeerWriters)
        ExpectSameVerdictsAsThePeers(PlainFiles(), peer);
}

// Identical entries keep their own rows, entries with a folder in their name are verified at that
// path, and entries without a size in a list with sizes are matched by CRC alone.
TEST(PeerCorpus, SameVerdictsAsThePeersWithCopiesAndSubFolders) {
    for (const PeerCase& peer : PeerWriters)
        ExpectSameVerdictsAsThePeers(FilesWithCopiesAndFolders(), peer);
}

TEST(PeerCorpus, JoinedListsWithSizes) {
    ExpectSameVerdictsAsThePeers(PlainFiles(), JoinedLists);
}

// Our SFV list of the folder passes both checkers untouched, and both see a changed file in it.
TEST(PeerCorpus, OurListsPassThePeersCheckers) {
    TempDir dir;
    const std::string set = dir.MakeFolder("set");
    for (const File& f : PlainFiles())
        dir.Write("set/" + f.Name, f.Content);
    const ShellResult made =
        Shell(std::string(TV_CLI_PATH) + " create " + ShellQuote(set) + " " + ShellQuote(set + "/ours.sfv") + " 2>&1");
    ASSERT_EQ(made.status, 0) << made.out;
    for (const char* checker : {"cksfv -f ours.sfv", "rhash -c ours.sfv"}) {
        const ShellResult r = Shell("cd " + ShellQuote(set) + " && " + checker + " 2>&1");
        EXPECT_EQ(r.status, 0) << checker << "\n" << r.out;
        const std::map<std::string, std::string> verdicts = PeerVerdicts(r.out, PlainFiles());
        EXPECT_EQ(verdicts.size(), PlainFiles().size()) << checker << "\n" << r.out;
        for (const auto& [name, mark] : verdicts)
            EXPECT_EQ(mark, "○") << checker << ": " << name;
    }
    dir.Write("set/abc", "THREE BYTES");
    EXPECT_EQ(Shell("cd " + ShellQuote(set) + " && cksfv -q -f ours.sfv >/dev/null 2>&1").status, 1);
    EXPECT_EQ(Shell("cd " + ShellQuote(set) + " && rhash -c ours.sfv >/dev/null 2>&1").status, 1);
}

// A 4 GiB sparse file in a cksfv list: its size goes past 32 bits. Reading it takes each checker
// seconds: run with TALLYVAULT_LARGE_TESTS=1.
TEST(PeerCorpus, FourGibSparseFile) {
    if (!std::getenv("TALLYVAULT_LARGE_TESTS")) GTEST_SKIP() << "set TALLYVAULT_LARGE_TESTS=1 to read a 4 GiB file";
    TempDir dir;
    const std::string set = dir.MakeFolder("set");
    if (Shell("truncate -s 4294967299 " + ShellQuote(set + "/huge.bin") + " 2>/dev/null").status != 0)
        GTEST_SKIP() << "the file system takes no 4 GiB sparse file";
    const std::vector<File> files = {{"huge.bin", ""}, {"small", "s"}};
    dir.Write("set/small", "s");
    for (const char* writer : {"cksfv huge.bin small > list.sfv", "rhash --sfv huge.bin small > list.sfv"}) {
        SCOPED_TRACE(writer);
        ASSERT_EQ(Shell("cd " + ShellQuote(set) + " && " + writer + " 2>/dev/null").status, 0);
        const ShellResult ours = Shell(std::string(TV_CLI_PATH) + " verify " + ShellQuote(set + "/list.sfv") + " 2>&1");
        EXPECT_EQ(ours.status, 0) << ours.out;
        const ShellResult rhash = Shell("cd " + ShellQuote(set) + " && rhash -c list.sfv 2>&1");
        EXPECT_EQ(OurVerdicts(ours.out).at("huge.bin"), PeerVerdicts(rhash.out, files).at("huge.bin")) << rhash.out;
    }
}

} // namespace
} // namespace tv::test
