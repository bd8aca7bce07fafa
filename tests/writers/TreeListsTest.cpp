// Lists of whole folder trees over real files: what a recursive create lists (checked by rhash -c and
// cksfv -f), which files a verification reports as unlisted, content of sub-folders serving entries, and
// sub-folders or files that cannot be read being passed over.
#include "writers/WriterHarness.h"

#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <sys/stat.h>

namespace tv::test {
namespace {

struct Step {
    enum Kind { File, FolderLink, FileLink, Fifo } What;
    std::string Name, Content; // for links: the target
};

ShellResult Cli(const std::string& args) {
    return Shell(std::string(TV_CLI_PATH) + " " + args + " 2>&1");
}

void Build(const TempDir& dir, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        if (s.What == Step::File) {
            dir.Write(s.Name, s.Content);
            continue;
        }
        std::filesystem::path link = PathOf(dir / s.Name);
        std::filesystem::create_directories(link.parent_path());
        if (s.What == Step::Fifo)
            ASSERT_EQ(::mkfifo(link.c_str(), 0600), 0);
        else if (s.What == Step::FolderLink)
            std::filesystem::create_directory_symlink(s.Content, link);
        else
            std::filesystem::create_symlink(s.Content, link);
    }
}

// The names a CSV list holds, in its order (no name here holds a comma).
std::vector<std::string> CsvNames(const std::string& text) {
    std::vector<std::string> names;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        names.push_back(line.substr(0, line.find(',')));
    return names;
}

TEST(TreeLists, RecursiveCreateListsEveryPlainFileBelowTheFolder) {
    const struct {
        const char* What;
        std::vector<Step> Tree;
        std::vector<std::string> Listed;
    } cases[] = {
        {"nested folders, names relative with /",
         {{Step::File, "set/a.bin", "a"},
          {Step::File, "set/d1/b.bin", "b"},
          {Step::File, "set/d1/d2/d3/c.bin", "c"},
          {Step::File, "set/写真 2020/夏.jpg", "summer"},
          {Step::File, "set/e.bin", "e"}},
         {"a.bin", "d1/b.bin", "d1/d2/d3/c.bin", "e.bin", "写真 2020/夏.jpg"}},
        {"hidden entries, links, loops and the program's own files left out",
         {{Step::File, "set/keep.bin", "k"},
          {Step::File, "set/.hidden/x.bin", "x"},
          {Step::File, "set/d/.dot.bin", "dot"},
          {Step::File, "set/d/real.bin", "r"},
          {Step::File, "set/d/.tallyvault-7.tmp", "tmp"},
          {Step::File, "set/d/list.sfv.tallyvault-plan", "plan"},
          {Step::File, "outside/secret.bin", "secret"},
          {Step::FolderLink, "set/out", "../outside"},
          {Step::FolderLink, "set/d/loop", ".."},
          {Step::FileLink, "set/d/secret.bin", "../../outside/secret.bin"}},
         {"d/real.bin", "keep.bin"}},
        {"excluded extensions in sub-folders stay unticked; a dotted folder name is no extension",
         {{Step::File, "set/v1.sfv/data", "data"},
          {Step::File, "set/sub/notes.txt", "notes"},
          {Step::File, "set/sub/old.sfv", "old"},
          {Step::File, "set/sub/pic.jpg", "pic"}},
         {"sub/pic.jpg", "v1.sfv/data"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TempDir dir;
        Build(dir, c.Tree);
        const std::string set = ShellQuote(dir / "set");
        const ShellResult csv = Cli("create " + set + " " + ShellQuote(dir / "set/tree.csv") + " --recursive");
        EXPECT_EQ(csv.status, 0) << csv.out;
        EXPECT_EQ(CsvNames(dir.Read("set/tree.csv")), c.Listed);
        // Options may come first, too.
        const ShellResult sfv = Cli("create --recursive " + set + " " + ShellQuote(dir / "set/tree.sfv"));
        EXPECT_EQ(sfv.status, 0) << sfv.out;
        EXPECT_EQ(Shell("cd " + set + " && rhash -c tree.sfv >/dev/null 2>&1").status, 0);
        EXPECT_EQ(Shell("cd " + set + " && cksfv -q -f tree.sfv >/dev/null 2>&1").status, 0);
        for (const std::string& name : c.Listed)
            EXPECT_NE(sfv.out.find("○\t" + name + "\t"), std::string::npos) << sfv.out;
    }
}

TEST(TreeLists, VerifyReportsTheFilesNoEntryNames) {
    const struct {
        const char* What;
        const char* Create; // options of the create
        std::vector<Step> After;
        bool RenameTop;       // top.bin is renamed.bin now
        const char* Verify;   // options of the verify beside --unlisted
        std::string Unlisted; // the "＋" lines
        int Status;
    } cases[] = {
        {"a new file beside a flat list; sub-folders not looked at",
         "",
         {{Step::File, "set/new.bin", "new"}, {Step::File, "set/sub/n.bin", "n"}},
         false,
         "",
         "＋\tnew.bin\n",
         0},
        {"--recursive looks at the tree of a flat list",
         "",
         {{Step::File, "set/sub/n.bin", "n"}},
         false,
         "--recursive",
         "＋\tsub/m.bin\n＋\tsub/n.bin\n",
         0},
        {"a tree list looks at its tree; hidden and own files left out",
         "--recursive",
         {{Step::File, "set/sub/deeper/n.bin", "n"},
          {Step::File, "set/sub/.h", "h"},
          {Step::File, "set/.tallyvault-2.tmp", "t"}},
         false,
         "",
         "＋\tsub/deeper/n.bin\n",
         0},
        {"a file found as an entry's same file is no extra",
         "--recursive",
         {{Step::File, "set/renamed.bin", "top"}},
         true,
         "",
         "",
         1},
        {"beside a flat list a link is told by what it leads to; pipes and links leading nowhere left out",
         "",
         {{Step::FileLink, "set/flink.bin", "top.bin"},
          {Step::FolderLink, "set/dlink", "sub"},
          {Step::FileLink, "set/dangling.bin", "nothing.bin"},
          {Step::Fifo, "set/pipe", ""}},
         false,
         "",
         "＋\tflink.bin\n",
         0},
        {"in a tree no link is followed, no hidden folder or pipe listed",
         "--recursive",
         {{Step::File, "set/sub/n.bin", "n"},
          {Step::File, "outside/x.bin", "x"},
          {Step::FolderLink, "set/out", "../outside"},
          {Step::FolderLink, "set/sub/loop", ".."},
          {Step::FileLink, "set/sub/flink.bin", "../top.bin"},
          {Step::File, "set/.hidden/h.bin", "h"},
          {Step::Fifo, "set/sub/pipe", ""}},
         false,
         "",
         "＋\tsub/n.bin\n",
         0},
        {"names escaped as rows are",
         "",
         {{Step::File, "set/tab\there.bin", "t"}},
         false,
         "",
         "＋\ttab\\there.bin\n",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TempDir dir;
        dir.Write("set/top.bin", "top");
        dir.Write("set/sub/m.bin", "m");
        const std::string list = ShellQuote(dir / "set/list.sfv");
        ASSERT_EQ(Cli("create " + ShellQuote(dir / "set") + " " + list + " " + c.Create).status, 0);
        if (c.RenameTop) std::filesystem::remove(PathOf(dir / "set/top.bin"));
        Build(dir, c.After);
        const ShellResult r = Cli("verify " + list + " --unlisted " + c.Verify);
        EXPECT_EQ(r.status, c.Status) << r.out;
        const std::size_t total = r.out.find("total ");
        ASSERT_NE(total, std::string::npos) << r.out;
        const std::size_t plus = r.out.find("＋");
        EXPECT_EQ(plus == std::string::npos ? "" : r.out.substr(plus, total - plus), c.Unlisted);
        const std::size_t count = static_cast<std::size_t>(std::count(c.Unlisted.begin(), c.Unlisted.end(), '\n'));
        EXPECT_NE(r.out.find(" unlisted " + std::to_string(count) + "\n"), std::string::npos) << r.out;
        // Adding files walks the tree by names alone: the same files.
        const ShellResult u = Cli("update " + list + " --dry-run " + c.Verify);
        const std::size_t would = u.out.find("would add ");
        ASSERT_NE(would, std::string::npos) << u.out;
        const std::size_t first = u.out.find("＋");
        EXPECT_EQ(first == std::string::npos ? "" : u.out.substr(first, would - first), c.Unlisted);
    }
}

TEST(TreeLists, ContentInSubFoldersServesEntriesAndIsNobodysDuplicate) {
    TempDir dir;
    dir.Write("set/sub/a.bin", "same");
    dir.Write("set/sub/b.bin", "same");
    dir.Write("set/top.bin", "top");
    const std::string list = ShellQuote(dir / "set/list.csv");
    ASSERT_EQ(Cli("create " + ShellQuote(dir / "set") + " " + list + " --recursive").status, 0);
    std::filesystem::remove(PathOf(dir / "set/sub/b.bin"));
    dir.Write("set/other/copy.bin", "top");
    const ShellResult r = Cli("verify " + list + " --delete-duplicates");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("！\tsub/b.bin\t4\t" + CrcHex("same") + "\t" + dir / "set/sub/a.bin\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("○\ttop.bin\t"), std::string::npos) << r.out;
    // A copy in a sub-folder is not the folder's duplicate: it stays.
    EXPECT_TRUE(dir.Exists("set/other/copy.bin"));
}

TEST(TreeLists, ALinkInTheListsFolderIsItsRowsFileWhetherTheListNamesSubFoldersOrNot) {
    // As cksfv -f and sha256sum -c read it: through the link, whatever else the list names.
    for (const bool tree : {false, true}) {
        SCOPED_TRACE(tree ? "with a sub-folder's file" : "the list's folder alone");
        TempDir dir;
        Build(dir, {{Step::File, "set/sub/c.bin", "linked"}, {Step::FileLink, "set/link.bin", "sub/c.bin"}});
        dir.Write("set/list.sfv", std::string("link.bin ") + CrcHex("linked") + "\n" +
                                      (tree ? "sub/c.bin " + CrcHex("linked") + "\n" : ""));
        const ShellResult r = Cli("verify " + ShellQuote(dir / "set/list.sfv"));
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("○\tlink.bin\t"), std::string::npos) << r.out;
    }
}

TEST(TreeLists, UnreadableSubFoldersAndVanishedFilesArePassedOverAndNamed) {
    WriterHarness h;
    h.dir.Write("set/a.bin", "a");
    h.dir.Write("set/locked/x.bin", "x");
    h.dir.Write("set/gone/y.bin", "y");
    h.dir.Write("set/gone/z.bin", "z");
    h.fs.UnlistableFolders.insert(h.dir / "set/locked");
    h.fs.Vanished.insert(h.dir / "set/gone/y.bin");
    h.form.IncludeSubFolders.SetChecked(true);
    ASSERT_TRUE(h.Click([&] {
        h.form.ModeButtonClick();
        h.form.BaseFolder = h.dir / "set";
        h.form.ScanFolder();
    }));
    EXPECT_EQ(h.Captions(), (std::vector<std::string>{"a.bin", "gone/z.bin"}));
    ASSERT_EQ(h.form.PassedOverPaths.size(), 2u);
    EXPECT_EQ(h.form.Status.Caption(), "読み取れないフォルダを飛ばしました： locked ほか 1 件");
    EXPECT_EQ(h.form.PassedOverPaths[1].Path, "gone/y.bin");
    EXPECT_FALSE(h.form.PassedOverPaths[1].IsFolder);

    // A list naming a sub-folder entry is verified against the tree; the locked folder is named again.
    h.form.CheckButtonClick();
    ASSERT_TRUE(h.Click([&] { h.form.WriteCsvList(h.dir / "set/l.csv"); }));
    h.fs.Vanished.clear();
    h.form.IsCreateMode = false;
    h.form.ListPath = h.dir / "set/l.csv";
    ASSERT_TRUE(h.Click([&] { h.form.OpenListFile(); }));
    EXPECT_EQ(h.form.GoodCount, 2);
    EXPECT_EQ(h.form.Status.Caption(), "読み取れないフォルダを飛ばしました： locked");
    EXPECT_EQ(h.form.ListUnlisted(), (std::vector<std::string>{"gone/y.bin"}));
}

// Entries of a sub-folder that is gone, became a file or a link to a folder, or whose files moved within
// the tree: each folder is listed once for all its entries, and every row comes out as a look-up of its
// own path would have it.
TEST(TreeLists, EntriesOfChangedSubFoldersKeepTheirMarks) {
    namespace fs = std::filesystem;
    const struct {
        const char* What;
        std::function<void(const TempDir&)> Change;
        std::vector<std::string> Rows; // found in the output: rows' starts, a same file's path
        int Status;
    } cases[] = {
        {"a sub-folder gone", [](const TempDir& d) { fs::remove_all(PathOf(d / "set/sub")); },
         {"－\tsub/a.bin\t", "－\tsub/deep/b.bin\t", "○\tother/c.bin\t", "○\ttop.bin\t"}, 1},
        {"a sub-folder become a file",
         [](const TempDir& d) {
             fs::remove_all(PathOf(d / "set/sub"));
             d.Write("set/sub", "now a file");
         },
         {"－\tsub/a.bin\t", "－\tsub/deep/b.bin\t"}, 1},
        {"a sub-folder become a link to the folder now holding its files",
         [](const TempDir& d) {
             fs::rename(PathOf(d / "set/sub"), PathOf(d / "moved"));
             fs::create_directory_symlink("../moved", PathOf(d / "set/sub"));
         },
         {"○\tsub/a.bin\t", "○\tsub/deep/b.bin\t"}, 0},
        {"a file moved to another sub-folder, another changed",
         [](const TempDir& d) {
             fs::rename(PathOf(d / "set/sub/a.bin"), PathOf(d / "set/other/a2.bin"));
             d.Write("set/sub/deep/b.bin", "changed");
         },
         {"！\tsub/a.bin\t", "/set/other/a2.bin\n", "×\tsub/deep/b.bin\t", "○\tother/c.bin\t"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TempDir dir;
        dir.Write("set/top.bin", "top");
        dir.Write("set/sub/a.bin", "a");
        dir.Write("set/sub/deep/b.bin", "b");
        dir.Write("set/other/c.bin", "c");
        const std::string list = ShellQuote(dir / "set/list.sfv");
        ASSERT_EQ(Cli("create " + ShellQuote(dir / "set") + " " + list + " --recursive").status, 0);
        c.Change(dir);
        const ShellResult r = Cli("verify " + list);
        EXPECT_EQ(r.status, c.Status) << r.out;
        for (const std::string& row : c.Rows)
            EXPECT_NE(r.out.find(row), std::string::npos) << row << "\n" << r.out;
    }
}

} // namespace
} // namespace tv::test
