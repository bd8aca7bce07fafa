// tallyvault-cli repair --dry-run and --undo: a dry run changes nothing and lists what the repair then
// does; after a killed repair, --undo gives the folder back as it was and a plain repair finishes it.
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "repair/Confine.h"
#include "repair/Par2Rebuild.h"
#include "repair/RepairHarness.h"
#include "repair/RepairPlan.h"
#include "writers/Par2Create.h"
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tv::test {
namespace {

using Files = std::map<std::string, std::string>; // every file below the folder, by its relative path

Files Snapshot(const TempDir& d) {
    Files out;
    const std::filesystem::path root = PathOf(d.Path());
    for (const auto& f : std::filesystem::recursive_directory_iterator(root))
        if (f.is_regular_file()) out[Utf8Of(f.path().lexically_relative(root))] = ReadFile(Utf8Of(f.path()));
    return out;
}

struct CliRun {
    int Status = -1;
    std::string Out, Err;
};

// Runs the tool with `args`, in which $DIR stands for the temporary folder; standard error goes to a
// file outside it, so that the folder holds only what the tool made.
CliRun Cli(const TempDir& d, std::string args) {
    for (std::size_t at; (at = args.find("$DIR")) != std::string::npos;)
        args.replace(at, 4, ShellQuote(d.Path()));
    const TempDir errDir;
    const ShellResult r = Shell(std::string(TV_CLI_PATH) + " " + args + " 2>" + ShellQuote(errDir / "err"));
    return {r.status, r.out, errDir.Read("err")};
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    for (std::string f; std::getline(in, f, '\t');)
        out.push_back(f);
    return out;
}

// The changes printed (one a line: verb, name, new name; the rows left out), made on a snapshot of the
// folder: a name below the list's folder "set" is relative to it, any other is in full.
Files Apply(Files files, const TempDir& d, const std::string& out, int& changes) {
    auto path = [&](const std::string& name) {
        return name.front() == '/' ? RelativeBeneath(d.Path(), name).value_or("?" + name) : "set/" + name;
    };
    changes = 0;
    std::stringstream in(out);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> f = Fields(line);
        const std::string& verb = f[0];
        if (verb != "park" && verb != "rename" && verb != "move" && verb != "copy" && verb != "delete") continue;
        ++changes;
        const std::string from = path(f.at(1));
        EXPECT_TRUE(files.count(from)) << line;
        if (verb == "delete") {
            files.erase(from);
            continue;
        }
        const std::string to = path(f.at(2));
        EXPECT_FALSE(files.count(to)) << line; // a change never replaces a file
        files[to] = files[from];
        if (verb != "copy") files.erase(from);
    }
    return files;
}

std::string Line(const std::string& name, const std::string& content) {
    return name + " " + CrcHex(content) + "\n";
}

struct DryCase {
    const char* Label;
    Files Start;         // below the temporary folder; the list is set/list.sfv
    const char* Options; // after "repair $DIR/set/list.sfv"
    int DryStatus;
    int Changes; // the dry run lists this many
};

TEST(CliPlan, ADryRunChangesNothingAndListsWhatTheRepairThenDoes) {
    const std::string big(70000, 'c');
    const std::string swapList = Line("a.bin", "A") + Line("b.bin", "B");
    const DryCase cases[] = {
        {"a swap within the set", {{"set/a.bin", "B"}, {"set/b.bin", "A"}, {"set/list.sfv", swapList}}, "", 1, 3},
        {"a swap and a move in from the search root",
         {{"set/a.bin", "B"},
          {"set/b.bin", "A"},
          {"in/deep/c.moved", big},
          {"set/list.sfv", swapList + Line("c.bin", big)}},
         "--search $DIR/in",
         1,
         4},
        {"a copy in, its second copy deleted, a file in the way parked",
         {{"set/d.bin", "not D"}, {"in/one/d", "D"}, {"in/two/d", "D"}, {"set/list.sfv", Line("d.bin", "D")}},
         "--search $DIR/in --copy --delete-duplicates",
         1,
         3},
        {"a set in order", {{"set/a.bin", "A"}, {"set/b.bin", "B"}, {"set/list.sfv", swapList}}, "", 0, 0},
        // The edit that made y.ini a copy of notes.txt is parked, then deleted as its duplicate.
        {"a file in the way parked and then deleted as a duplicate",
         {{"set/y.ini", "N"},
          {"set/y.ini.bak", "Y"},
          {"set/notes.txt", "N"},
          {"set/list.sfv", Line("y.ini", "Y") + Line("notes.txt", "N")}},
         "--delete-duplicates",
         1,
         3},
        {"a file in the way parked and kept",
         {{"set/y.ini", "N"},
          {"set/y.ini.bak", "Y"},
          {"set/notes.txt", "N"},
          {"set/list.sfv", Line("y.ini", "Y") + Line("notes.txt", "N")}},
         "",
         1,
         2},
    };
    for (const DryCase& c : cases) {
        SCOPED_TRACE(c.Label);
        const TempDir d;
        for (const auto& [name, content] : c.Start)
            d.Write(name, content);
        const std::string command = std::string("repair $DIR/set/list.sfv ") + c.Options;
        const CliRun dry = Cli(d, command + " --dry-run");
        EXPECT_EQ(dry.Status, c.DryStatus) << dry.Out << dry.Err;
        EXPECT_EQ(Snapshot(d), c.Start) << "the dry run changed the folder";
        int changes = 0;
        const Files expected = Apply(c.Start, d, dry.Out, changes);
        EXPECT_EQ(changes, c.Changes) << dry.Out;
        const CliRun real = Cli(d, command);
        EXPECT_EQ(real.Status, 0) << real.Out << real.Err;
        EXPECT_EQ(Snapshot(d), expected) << dry.Out;
    }
}

TEST(CliPlan, ADryRunNamesTheParkingOfALinkInARowsPlace) {
    // A link left dangling where a row's file belongs is parked as itself, as the dry run says.
    const TempDir d;
    d.Write("set/list.sfv", Line("link.bin", "L"));
    d.Write("set/moved.bin", "L");
    std::filesystem::create_symlink("gone.bin", PathOf(d / "set/link.bin"));
    const CliRun dry = Cli(d, "repair $DIR/set/list.sfv --dry-run");
    EXPECT_EQ(dry.Out.rfind("park\tlink.bin\tlink_Temp1.bin\nrename\tmoved.bin\tlink.bin\n", 0), 0u) << dry.Out;
    const CliRun real = Cli(d, "repair $DIR/set/list.sfv");
    EXPECT_EQ(real.Status, 0) << real.Out << real.Err;
    EXPECT_TRUE(std::filesystem::is_symlink(PathOf(d / "set/link_Temp1.bin")));
    EXPECT_EQ(d.Read("set/link.bin"), "L");
}

// A repair that swaps a.bin and b.bin, copies c.bin in, moves e.bin into a new sub-folder and moves a
// chain along (i.bin to h.bin, h.bin to g.bin, g.bin to f.bin, made the other way round).
struct KilledSet {
    TempDir d;
    std::string set = d.MakeFolder("set");
    std::string list =
        d.Write("set/list.sfv", Line("a.bin", "A") + Line("b.bin", "B") + Line("c.bin", "C") + Line("sub/e.bin", "E") +
                                    Line("f.bin", "F") + Line("g.bin", "G") + Line("h.bin", "H"));
    Files start;
    RepairPlan plan;
    KilledSet() {
        d.Write("set/a.bin", "B");
        d.Write("set/b.bin", "A");
        d.Write("src/c.bin", "C");
        d.Write("src/e.bin", "E");
        d.Write("set/g.bin", "F");
        d.Write("set/h.bin", "G");
        d.Write("set/i.bin", "H");
        start = Snapshot(d);
        using K = PlanStep::Kind;
        plan.Base = set;
        plan.Steps = {{K::Park, set, "a.bin", "a_Temp1.bin"},     {K::Move, set, "b.bin", "a.bin"},
                      {K::Move, set, "a_Temp1.bin", "b.bin"},     {K::Copy, d / "src", "c.bin", "c.bin"},
                      {K::Move, d / "src", "e.bin", "sub/e.bin"}, {K::Move, set, "g.bin", "f.bin"},
                      {K::Move, set, "h.bin", "g.bin"},           {K::Move, set, "i.bin", "h.bin"}};
    }
    // The run is killed after its first `made` steps, marked as a pass marks them (the marks of a window
    // of moves not written yet).
    void KillAfter(std::size_t made) {
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            FileSystem& fs = RealFs();
            PlanJournal journal(fs, PlanPath(list), plan);
            for (std::size_t k = 0; k < made; ++k) {
                journal.Starting(k);
                const PlanStep& s = plan.Steps[k];
                if (s.What == PlanStep::Kind::Park) {
                    fs.RenameBeneath(set, s.From, s.To);
                } else {
                    MakeFoldersBeneath(fs, set, s.To);
                    fs.TransferBeneath(s.Root, s.From, fs.Identify(FolderFile(s.Root, s.From)), set, s.To,
                                       s.What == PlanStep::Kind::Copy);
                }
                journal.Done(k);
            }
            std::raise(SIGKILL);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        ASSERT_TRUE(d.Exists("set/.list.sfv.tallyvault-plan"));
    }
};

TEST(CliPlan, AfterAKilledRepairUndoGivesTheFolderBackAndARepairFinishesIt) {
    const std::size_t steps = 8;
    for (std::size_t made = 0; made <= steps; ++made) {
        for (const bool undo : {true, false}) {
            SCOPED_TRACE(std::to_string(made) + (undo ? " made, undone" : " made, finished"));
            KilledSet s;
            Files finished = s.start;
            finished["set/a.bin"] = "A";
            finished["set/b.bin"] = "B";
            finished["set/c.bin"] = "C";
            finished["set/sub/e.bin"] = finished["src/e.bin"];
            finished.erase("src/e.bin");
            finished["set/f.bin"] = "F";
            finished["set/g.bin"] = "G";
            finished["set/h.bin"] = "H";
            finished.erase("set/i.bin");
            s.KillAfter(made);
            const Files killed = Snapshot(s.d);
            Files killedSet = killed; // without the plan, which the recovery removes
            EXPECT_EQ(killedSet.erase("set/.list.sfv.tallyvault-plan"), 1U);
            // A dry run lists the steps not made yet, which finish the repair, and leaves everything as
            // it is, the plan too.
            const CliRun dry = Cli(s.d, "repair $DIR/set/list.sfv --dry-run");
            EXPECT_EQ(dry.Status, 1) << dry.Err;
            int changes = 0;
            EXPECT_EQ(Apply(killedSet, s.d, dry.Out, changes), finished) << dry.Out;
            EXPECT_EQ(changes, static_cast<int>(steps - made)) << dry.Out;
            EXPECT_EQ(Snapshot(s.d), killed);
            const CliRun r = Cli(s.d, std::string("repair $DIR/set/list.sfv") + (undo ? " --undo" : ""));
            EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
            EXPECT_FALSE(s.d.Exists("set/.list.sfv.tallyvault-plan"));
            if (undo) {
                EXPECT_EQ(Snapshot(s.d), s.start) << r.Out;
                // What it prints is what it did: made on the killed folder, it gives the start.
                EXPECT_EQ(Apply(killedSet, s.d, r.Out, changes), s.start) << r.Out;
                EXPECT_NE(r.Err.find("was undone"), std::string::npos) << r.Err;
            } else {
                EXPECT_EQ(Snapshot(s.d), finished) << r.Err;
                EXPECT_NE(r.Err.find("finished the killed repair"), std::string::npos) << r.Err;
                EXPECT_NE(r.Out.find("total 7 match 7"), std::string::npos) << r.Out;
            }
        }
    }
}

// A rebuild of a recovery set killed after each of its changes: --undo gives every file its damaged
// content back (a whole rebuilt one stays only under its hidden temporary name), and a plain repair
// finishes the killed rebuild first and then rebuilds what is left, ending as an uninterrupted one.
TEST(CliPlan, AfterAKilledRebuildUndoGivesTheDamagedFilesBackAndARepairFinishesIt) {
    const std::string a = RandomBytes(20000, 31), c = RandomBytes(9000, 32);
    auto make = [&](const TempDir& d) {
        d.Write("set/a.bin", a);
        d.Write("set/c.bin", c);
        d.Write("set/d.bin", RandomBytes(3000, 33));
        Par2CreateOptions options;
        options.Redundancy = 50;
        options.SliceSize = 1024;
        CreatePar2Set(RealFs(), d / "set", d / "set/set.par2", options);
        std::string damaged = a;
        damaged[5000] = static_cast<char>(~damaged[5000]);
        d.Write("set/a.bin", damaged);
        std::filesystem::remove(PathOf(d / "set/c.bin"));
    };
    int kills = 0;
    for (int k = 1;; ++k) {
        bool ended = false;
        for (const bool undo : {true, false}) {
            const TempDir d;
            make(d);
            const Files start = Snapshot(d);
            std::fflush(nullptr);
            const pid_t pid = ::fork();
            if (pid == 0) {
                FaultyFs fs;
                int n = 0;
                fs.OnChange = [&](const Change& ch) {
                    if (!ch.Before && ++n == k) std::raise(SIGKILL);
                };
                RebuildPar2Set(fs, d / "set/set.par2", {});
                ::_exit(0);
            }
            int status = 0;
            ::waitpid(pid, &status, 0);
            if (!WIFSIGNALED(status)) {
                ended = true;
                break;
            }
            ++kills;
            const std::string trace = std::to_string(k) + (undo ? " undone" : " finished");
            ASSERT_TRUE(d.Exists("set/.set.par2.tallyvault-plan")) << trace;
            const CliRun r = Cli(d, std::string("repair $DIR/set/set.par2") + (undo ? " --undo" : ""));
            EXPECT_EQ(r.Status, 0) << trace << r.Out << r.Err;
            EXPECT_FALSE(d.Exists("set/.set.par2.tallyvault-plan")) << trace;
            Files after = Snapshot(d);
            if (undo) {
                for (const auto& [name, content] : {std::pair<std::string, std::string>{"set/.a.bin.tallyvault-rebuild", a},
                                                    {"set/.c.bin.tallyvault-rebuild", c}}) {
                    if (!after.count(name)) continue;
                    EXPECT_TRUE(after.at(name) == content) << trace << " " << name;
                    after.erase(name);
                }
                EXPECT_TRUE(after == start) << trace << r.Out;
                // Killed as the plan was made: nothing was changed yet, and the plan was not whole.
                EXPECT_NE(r.Err.find(k == 1 ? "cut off" : "was undone"), std::string::npos) << trace << r.Err;
            } else {
                EXPECT_TRUE(after.at("set/a.bin") == a) << trace;
                EXPECT_TRUE(after.at("set/a.bin.1") == start.at("set/a.bin")) << trace;
                EXPECT_TRUE(after.at("set/c.bin") == c) << trace;
                EXPECT_EQ(after.size(), start.size() + 2) << trace; // a.bin.1 and c.bin, nothing else
                EXPECT_EQ(r.Err.find("finished the killed repair") != std::string::npos, k > 1) << trace << r.Err;
            }
        }
        if (ended) break;
    }
    EXPECT_GE(kills, 8);
}

TEST(CliPlan, AnUndoWithAFailedStepKeepsThePlanAndCanBeRunAgain) {
    KilledSet s;
    s.KillAfter(8);
    // A folder stands where e.bin was moved to: that step cannot be taken back, the others can.
    std::filesystem::rename(PathOf(s.d / "set/sub/e.bin"), PathOf(s.d / "e.held"));
    s.d.MakeFolder("set/sub/e.bin");
    const CliRun failed = Cli(s.d, "repair $DIR/set/list.sfv --undo");
    EXPECT_EQ(failed.Status, 2) << failed.Err;
    EXPECT_NE(failed.Err.find("1 failed; the plan stays"), std::string::npos) << failed.Err;
    EXPECT_TRUE(s.d.Exists("set/.list.sfv.tallyvault-plan"));
    std::filesystem::remove(PathOf(s.d / "set/sub/e.bin"));
    std::filesystem::rename(PathOf(s.d / "e.held"), PathOf(s.d / "set/sub/e.bin"));
    const CliRun again = Cli(s.d, "repair $DIR/set/list.sfv --undo");
    EXPECT_EQ(again.Status, 0) << again.Err;
    EXPECT_EQ(Snapshot(s.d), s.start) << again.Out; // the plan and the marks of both undos gone too
}

// After the kill the user puts a file at the old name of a moved file: the undo never moves the file back
// over it, says so and keeps the plan; the same bytes there (a move to another volume cut off between its
// copy and the source's removal) make the moved copy the one to go.
TEST(CliPlan, AnUndoNeverMovesAFileBackOverAnotherAtItsOldName) {
    const struct {
        const char* Title;
        const char* AtOldName;
        int Status;
    } cases[] = {{"another file", "new", 2}, {"the same bytes", "E", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Title);
        KilledSet s;
        s.KillAfter(8);
        s.d.Write("src/e.bin", c.AtOldName);
        const CliRun r = Cli(s.d, "repair $DIR/set/list.sfv --undo");
        EXPECT_EQ(r.Status, c.Status) << r.Out << r.Err;
        if (c.Status == 0) {
            EXPECT_EQ(Snapshot(s.d), s.start) << r.Out;
            continue;
        }
        EXPECT_NE(r.Err.find("its old name " + s.d / "src/e.bin" + " is held by another file now"), std::string::npos)
            << r.Err;
        EXPECT_NE(r.Err.find("1 failed; the plan stays"), std::string::npos) << r.Err;
        EXPECT_EQ(s.d.Read("set/sub/e.bin"), "E");
        EXPECT_EQ(s.d.Read("src/e.bin"), "new");
        std::filesystem::remove(PathOf(s.d / "src/e.bin"));
        const CliRun again = Cli(s.d, "repair $DIR/set/list.sfv --undo");
        EXPECT_EQ(again.Status, 0) << again.Err;
        EXPECT_EQ(Snapshot(s.d), s.start) << again.Out;
    }
}

TEST(CliPlan, UndoWithoutAPlanSaysSoAndChangesNothing) {
    const TempDir d;
    d.Write("set/a.bin", "B");
    d.Write("set/list.sfv", Line("a.bin", "A"));
    const Files start = Snapshot(d);
    const CliRun r = Cli(d, "repair $DIR/set/list.sfv --undo");
    EXPECT_EQ(r.Status, 4);
    EXPECT_NE(r.Err.find("nothing to undo"), std::string::npos) << r.Err;
    EXPECT_EQ(Snapshot(d), start);
    for (const char* args : {"--undo --dry-run", "--undo --search $DIR", "--undo --copy"})
        EXPECT_EQ(Cli(d, std::string("repair $DIR/set/list.sfv ") + args).Status, 2) << args;
}

} // namespace
} // namespace tv::test
