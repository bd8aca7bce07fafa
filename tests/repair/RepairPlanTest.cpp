// The plan of a rename pass against kills: the pass is killed before, in the middle of, and after each
// of its changes, its recovery (finish or undo) is killed the same way, and then a recovery runs to its
// end. Every content must still be there, and the folder must look as after an uninterrupted pass
// (finish) or as before it (undo).
#include "RepairHarness.h"
#include "platform/Paths.h"
#include "repair/Par2Rebuild.h"
#include "repair/RepairPlan.h"
#include "writers/Par2Create.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace tv::test {
namespace {

using Files = std::map<std::string, std::string>; // every file under the temporary folder, by its path

Files Snapshot(const RepairHarness& h) {
    Files out;
    const std::filesystem::path root = PathOf(h.dir.Path());
    for (const auto& f : std::filesystem::recursive_directory_iterator(root))
        if (f.is_regular_file()) out[Utf8Of(f.path().lexically_relative(root))] = ReadFile(Utf8Of(f.path()));
    return out;
}

int ContentsLost(const Files& before, const Files& after) {
    std::set<std::string> there;
    for (const auto& f : after)
        there.insert(f.second);
    int lost = 0;
    for (const auto& f : before)
        lost += there.count(f.second) == 0;
    return lost;
}

// A set where the pass swaps two files (parking one), copies a file in from outside, makes a
// sub-folder and moves a chain of three files along (i.bin to h.bin, h.bin to g.bin, g.bin to the free
// f.bin, made the other way round): the swap's moves and the moves from e.bin on are windows.
void MakeSet(RepairHarness& h) {
    const std::string big(100000, 'C');
    h.Put("a.bin", "content of b");
    h.Put("b.bin", "content of a");
    h.Write("src/c.bin", big);
    h.Put("e_found.bin", "content of e");
    h.Put("g.bin", "content of f");
    h.Put("h.bin", "content of g");
    h.Put("i.bin", "content of h");
    h.LoadEntries({{"a.bin", "content of a"},
                   {"b.bin", "content of b"},
                   {"c.bin", big},
                   {"sub/e.bin", "content of e"},
                   {"f.bin", "content of f"},
                   {"g.bin", "content of g"},
                   {"h.bin", "content of h"}},
                  true);
    h.form.CopyComplement.SetChecked(true);
    h.Tick(2);
    ASSERT_TRUE(h.Search(h.dir.Path() + "/src"));
    h.Tick(2);
}

enum class At { Before, Midway, After };
enum class Kill { Made, Same, None };

// The content a rebuild writes to a temporary file, by the file's path: a kill midway through the
// making of that file leaves the first half of it there. Empty: no rebuild runs.
std::function<std::string(const std::string& temp)> RebuiltContent;

// Runs `body` in a child process that is killed at the k-th change: before it, midway (a copy then
// holds the first half of its bytes, a rebuild's temporary file the first half of its content), or after
// it. None when the body ended before that change; Same when a kill midway would be the kill before it
// (the change is neither).
Kill KilledAt(RepairHarness& h, int k, At at, const std::function<void()>& body) {
    std::fflush(nullptr);
    // No hashing thread may be inside the allocator at the fork: the child would wait on its lock.
    h.form.Hashing.Release();
    const pid_t pid = ::fork();
    if (pid == 0) {
        int n = 0;
        h.fs.OnChange = [&](const Change& c) {
            n += c.Before;
            if (n != k || c.Before != (at != At::After)) return;
            if (at == At::Midway) {
                const std::string rebuilt =
                    RebuiltContent && c.From.empty() && c.To.ends_with(".tallyvault-rebuild") ? RebuiltContent(c.To)
                                                                                               : std::string();
                if (!rebuilt.empty()) {
                    std::ofstream(PathOf(c.To), std::ios::binary)
                        .write(rebuilt.data(), std::streamsize(rebuilt.size() / 2));
                    std::raise(SIGKILL);
                }
                if (!c.Copy) ::_exit(3);
                const std::string bytes = ReadFile(c.From);
                std::ofstream(PathOf(c.To), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size() / 2));
            }
            std::raise(SIGKILL);
        };
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) return Kill::Made;
    return WIFEXITED(status) && WEXITSTATUS(status) == 3 ? Kill::Same : Kill::None;
}

void Recover(RepairHarness& h, bool undo) {
    if (!undo) {
        h.Rename(); // the window's rename finishes a plan it finds
        return;
    }
    EntryFailures failures;
    RecoverPlan(h.fs, h.form.ListPath, true, failures);
}

TEST(RepairPlan, AKillAtEveryStepOfThePassLosesNoContentAndIsFinishedOrUndone) {
    Files start, done;
    {
        RepairHarness h;
        MakeSet(h);
        start = Snapshot(h);
        ASSERT_TRUE(h.Rename());
        done = Snapshot(h);
        ASSERT_EQ(h.Mark("b.bin"), "○");
        ASSERT_EQ(h.Mark("c.bin"), "○");
        ASSERT_EQ(h.Mark("sub/e.bin"), "○");
        ASSERT_EQ(h.Mark("f.bin"), "○");
        ASSERT_EQ(h.Mark("h.bin"), "○");
    }
    int kills = 0, lost = 0, steps = 0;
    for (const bool undo : {false, true}) {
        for (int k = 1;; ++k) {
            bool passEnded = false;
            for (const At at : {At::Before, At::Midway, At::After}) {
                bool samePass = false;
                // j = 0: the recovery is not killed; else it is killed at its j-th change and run again.
                for (int j = 0;; ++j) {
                    bool recoveryEnded = false;
                    for (const At rat : {At::Before, At::Midway, At::After}) {
                        if (j == 0 && rat != At::Before) break;
                        RepairHarness h;
                        MakeSet(h);
                        const Kill pass = KilledAt(h, k, at, [&] { h.Rename(); });
                        if (pass != Kill::Made) {
                            passEnded = pass == Kill::None;
                            samePass = pass == Kill::Same;
                            break;
                        }
                        ++kills;
                        steps = std::max(steps, k);
                        if (j > 0) {
                            const Kill recovery = KilledAt(h, j, rat, [&] { Recover(h, undo); });
                            if (recovery == Kill::None) {
                                recoveryEnded = true;
                                break;
                            }
                            if (recovery == Kill::Same) continue;
                            ++kills;
                        }
                        Recover(h, undo);
                        const Files after = Snapshot(h);
                        const int n = ContentsLost(start, after);
                        lost += n;
                        EXPECT_EQ(n, 0) << undo << " " << k << " " << int(at) << " " << j << " " << int(rat);
                        EXPECT_EQ(after, undo ? start : done)
                            << undo << " " << k << " " << int(at) << " " << j << " " << int(rat);
                    }
                    if (passEnded || samePass || recoveryEnded) break;
                }
                if (passEnded) break;
            }
            if (passEnded) break;
        }
    }
    std::printf("changes in the pass %d, kills tried %d, contents lost %d\n", steps, kills, lost);
    EXPECT_GT(steps, 9);
    EXPECT_EQ(lost, 0);
}

// A recovery set of four files in the list's folder, then two of them damaged and one deleted.
struct DamagedSet {
    Files Originals = {{"a.bin", RandomBytes(30000, 11)},
                       {"b.bin", RandomBytes(5000, 12)},
                       {"sub/c.bin", RandomBytes(12000, 13)},
                       {"d.bin", RandomBytes(3000, 14)}};
    std::string Index;

    void Make(RepairHarness& h) {
        for (const auto& [name, content] : Originals)
            h.Put(name, content);
        Index = h.base + "/set.par2";
        Par2CreateOptions options;
        options.Recursive = true;
        options.Redundancy = 60;
        options.SliceSize = 1024;
        CreatePar2Set(RealFs(), h.base, Index, options);
        h.Put("a.bin", Damaged(Originals["a.bin"]));
        h.Put("b.bin", Damaged(Originals["b.bin"]).substr(0, 4000)); // cut short as well
        std::filesystem::remove(PathOf(h.base + "/sub/c.bin"));
    }
    static std::string Damaged(std::string s) {
        for (std::size_t i = 1000; i < 1100; ++i)
            s[i] = static_cast<char>(~s[i]);
        return s;
    }
    // The file a rebuild's temporary file stands for: ".NAME.tallyvault-rebuild" beside it.
    std::string Target(const std::string& temp) const {
        const std::size_t slash = temp.rfind('/');
        if (slash == std::string::npos || !temp.ends_with(".tallyvault-rebuild") ||
            temp.compare(slash, 2, "/.") != 0)
            return {};
        std::string name = temp.substr(slash + 2); // past "/."
        name.resize(name.size() - std::string_view(".tallyvault-rebuild").size());
        const std::string rel = temp.substr(0, slash + 1) + name;
        for (const auto& [n, content] : Originals)
            if (rel == "set/" + n || rel.ends_with("/set/" + n)) return n;
        return {};
    }
};

// A rebuild of two damaged files and a missing one, killed before, midway through and after each of its
// changes (a temporary file midway holds half its content), its recovery killed the same way, and then
// recovered to the end, finishing or undoing it. Finishing puts every rebuilt content that was whole at
// the kill in its place, the damaged file beside it; the others stay as they were, and the next rebuild
// ends where an uninterrupted one ends. Undoing gives every file its damaged content back; a whole rebuilt
// content stays only under its temporary name. No content is lost, no temporary file is left cut off.
TEST(RepairPlan, AKillAtEveryChangeOfARebuildIsFinishedOrUndone) {
    Files start, done;
    DamagedSet set;
    {
        RepairHarness h;
        set.Make(h);
        start = Snapshot(h);
        const Par2RebuildResult r = RebuildPar2Set(h.fs, set.Index, {});
        ASSERT_EQ(std::count_if(r.Files.begin(), r.Files.end(),
                                [](const Par2FileOutcome& f) { return f.Result == Par2FileOutcome::Rebuilt; }),
                  3);
        done = Snapshot(h);
        ASSERT_EQ(done.at("set/a.bin.1"), start.at("set/a.bin"));
        ASSERT_EQ(done.at("set/sub/c.bin"), set.Originals["sub/c.bin"]);
    }
    RebuiltContent = [&](const std::string& temp) {
        const std::string n = set.Target(temp);
        return n.empty() ? std::string() : set.Originals[n];
    };
    int kills = 0, steps = 0;
    for (const bool undo : {false, true}) {
        for (int k = 1;; ++k) {
            bool passEnded = false;
            for (const At at : {At::Before, At::Midway, At::After}) {
                bool samePass = false;
                for (int j = 0;; ++j) {
                    bool recoveryEnded = false;
                    for (const At rat : {At::Before, At::After}) {
                        if (j == 0 && rat != At::Before) break;
                        RepairHarness h;
                        set.Make(h);
                        const Kill pass = KilledAt(h, k, at, [&] { RebuildPar2Set(h.fs, set.Index, {}); });
                        if (pass != Kill::Made) {
                            passEnded = pass == Kill::None;
                            samePass = pass == Kill::Same;
                            break;
                        }
                        ++kills;
                        steps = std::max(steps, k);
                        const Files killed = Snapshot(h);
                        const std::string trace = std::string(undo ? "undo" : "finish") + " at change " +
                                                  std::to_string(k) + "/" + std::to_string(int(at)) + ", recovery " +
                                                  std::to_string(j) + "/" + std::to_string(int(rat));
                        EntryFailures failures;
                        if (j > 0) {
                            const Kill recovery =
                                KilledAt(h, j, rat, [&] { RecoverPlan(h.fs, set.Index, undo, failures); });
                            if (recovery == Kill::None) {
                                recoveryEnded = true;
                                break;
                            }
                            ++kills;
                        }
                        RecoverPlan(h.fs, set.Index, undo, failures);
                        EXPECT_TRUE(failures.Empty()) << trace;
                        Files after = Snapshot(h);
                        EXPECT_EQ(ContentsLost(start, after), 0) << trace;
                        // Whether the rebuilt content of a file was whole anywhere at the kill.
                        auto wholeAtKill = [&](const std::string& name) {
                            return std::any_of(killed.begin(), killed.end(),
                                               [&](const auto& f) { return f.second == set.Originals[name]; });
                        };
                        if (undo) {
                            // Whole rebuilt contents stay parked; the rest is as before the rebuild.
                            for (auto it = after.begin(); it != after.end();) {
                                const std::string n = set.Target(it->first);
                                if (!n.empty()) {
                                    EXPECT_TRUE(it->second == set.Originals[n]) << trace << " " << it->first;
                                    EXPECT_TRUE(wholeAtKill(n)) << trace << " " << it->first;
                                    it = after.erase(it);
                                } else {
                                    ++it;
                                }
                            }
                            std::string differ;
                            for (const auto& [path, content] : after)
                                if (!start.count(path) || start.at(path) != content) differ += " +" + path;
                            for (const auto& [path, content] : start)
                                if (!after.count(path)) differ += " -" + path;
                            EXPECT_EQ(differ, "") << trace;
                            continue;
                        }
                        for (const auto& [path, content] : after)
                            EXPECT_EQ(path.find("tallyvault"), std::string::npos) << trace << " " << path;
                        for (const char* name : {"a.bin", "b.bin", "sub/c.bin"}) {
                            const std::string path = std::string("set/") + name;
                            const bool rebuilt = after.count(path) && after.at(path) == set.Originals[name];
                            EXPECT_EQ(rebuilt, wholeAtKill(name)) << trace << " " << name;
                            if (rebuilt) {
                                EXPECT_TRUE((after.count(path + ".1") ? after.at(path + ".1") : "-") ==
                                            (start.count(path) ? start.at(path) : "-"))
                                    << trace << " " << name;
                            } else {
                                EXPECT_TRUE((after.count(path) ? after.at(path) : "-") ==
                                            (start.count(path) ? start.at(path) : "-"))
                                    << trace << " " << name;
                                EXPECT_EQ(after.count(path + ".1"), 0U) << trace << " " << name;
                            }
                        }
                        // The next repair's rebuild ends where an uninterrupted one ends.
                        RebuildPar2Set(h.fs, set.Index, {});
                        EXPECT_TRUE(Snapshot(h) == done) << trace;
                    }
                    if (passEnded || samePass || recoveryEnded) break;
                }
                if (passEnded) break;
            }
            if (passEnded) break;
        }
    }
    RebuiltContent = {};
    std::printf("changes in the rebuild %d, kills tried %d\n", steps, kills);
    EXPECT_GE(steps, 8); // the plan, and for each file its temporary file and its renames
}

// The same with the damaged files purged: a damaged file goes only once its rebuilt one is in place, so a
// finish leaves each file rebuilt (nothing beside it) or as it was, and an undo gives back every damaged
// file not yet purged at the kill.
TEST(RepairPlan, AKillAtEveryChangeOfAPurgingRebuildLosesOnlyDamageReplaced) {
    DamagedSet set;
    Par2RebuildOptions purge;
    purge.Purge = true;
    Files start, done;
    {
        RepairHarness h;
        set.Make(h);
        start = Snapshot(h);
        RebuildPar2Set(h.fs, set.Index, purge);
        done = Snapshot(h);
        ASSERT_EQ(done.count("set/a.bin.1"), 0U);
        ASSERT_TRUE(done.at("set/a.bin") == set.Originals["a.bin"]);
    }
    RebuiltContent = [&](const std::string& temp) {
        const std::string n = set.Target(temp);
        return n.empty() ? std::string() : set.Originals[n];
    };
    int kills = 0;
    for (const bool undo : {false, true})
        for (int k = 1;; ++k) {
            bool ended = false;
            for (const At at : {At::Before, At::Midway, At::After}) {
                RepairHarness h;
                set.Make(h);
                const Kill pass = KilledAt(h, k, at, [&] { RebuildPar2Set(h.fs, set.Index, purge); });
                ended = pass == Kill::None;
                if (pass != Kill::Made) continue;
                ++kills;
                const Files killed = Snapshot(h);
                auto heldAtKill = [&](const std::string& content) {
                    return std::any_of(killed.begin(), killed.end(), [&](const auto& f) { return f.second == content; });
                };
                EntryFailures failures;
                RecoverPlan(h.fs, set.Index, undo, failures);
                EXPECT_TRUE(failures.Empty());
                Files after = Snapshot(h);
                const std::string trace = std::string(undo ? "undo" : "finish") + " at change " + std::to_string(k) +
                                          "/" + std::to_string(int(at));
                for (const char* name : {"a.bin", "b.bin", "sub/c.bin"}) {
                    const std::string path = std::string("set/") + name;
                    const std::string before = start.count(path) ? start.at(path) : "-";
                    const std::string now = after.count(path) ? after.at(path) : "-";
                    const std::string parked = "set/" + ExtractFileDir(name) + (ExtractFileDir(name).empty() ? "." : "/.") +
                                               ExtractFileName(name) + ".tallyvault-rebuild";
                    EXPECT_EQ(after.count(path + ".1"), 0U) << trace << " " << name;
                    if (undo) {
                        // Back as it was, unless its damaged content was purged before the kill.
                        const bool purged = before != "-" && !heldAtKill(before);
                        EXPECT_TRUE(now == (purged ? set.Originals[name] : before)) << trace << " " << name;
                        if (after.count(parked)) {
                            EXPECT_TRUE(after.at(parked) == set.Originals[name]) << trace << " " << name;
                            after.erase(parked);
                        }
                    } else {
                        EXPECT_TRUE(now == (heldAtKill(set.Originals[name]) ? set.Originals[name] : before))
                            << trace << " " << name;
                    }
                    after.erase(path);
                }
                for (const auto& [path, content] : after)
                    EXPECT_TRUE(start.count(path) && start.at(path) == content) << trace << " " << path;
                if (!undo) {
                    RebuildPar2Set(h.fs, set.Index, purge);
                    EXPECT_TRUE(Snapshot(h) == done) << trace;
                }
            }
            if (ended) break;
        }
    RebuiltContent = {};
    EXPECT_GT(kills, 20);
}

// The files under one folder of a snapshot, by their paths below it.
Files Under(const Files& all, const std::string& folder) {
    Files out;
    for (const auto& [path, content] : all)
        if (path.rfind(folder + "/", 0) == 0) out[path.substr(folder.size() + 1)] = content;
    return out;
}

// A plan belongs to its folder: moved (another mount point, another drive letter) or copied between the
// kill and the recovery, the folder is finished or undone where it is now just as it would have been in
// its old place, and nothing else changes.
TEST(RepairPlan, AFolderMovedOrCopiedAfterTheKillIsRecoveredWhereItIsNow) {
    int kills = 0;
    for (const bool copy : {false, true})
        for (const bool undo : {false, true})
            for (int k = 1;; ++k) {
                // The same kill twice: recovered in place, and recovered after the folder went elsewhere.
                // Midway through a copy, else after the change.
                std::optional<RepairHarness> first(std::in_place);
                MakeSet(*first);
                const Kill pass = KilledAt(*first, k, At::Midway, [&] { first->Rename(); });
                if (pass == Kill::None) break;
                const At at = pass == Kill::Same ? At::After : At::Midway;
                if (pass == Kill::Same) {
                    first.emplace();
                    MakeSet(*first);
                    if (KilledAt(*first, k, at, [&] { first->Rename(); }) != Kill::Made) continue;
                }
                RepairHarness& stay = *first;
                RepairHarness went;
                MakeSet(went);
                ASSERT_EQ(KilledAt(went, k, at, [&] { went.Rename(); }), Kill::Made);
                ++kills;
                const Files killed = Snapshot(went);
                namespace fsys = std::filesystem;
                const std::string there = copy ? "copy" : "moved";
                if (copy)
                    fsys::copy(PathOf(went.base), PathOf(went.dir / there), fsys::copy_options::recursive);
                else
                    fsys::rename(PathOf(went.base), PathOf(went.dir / there));
                EntryFailures stayFailures, wentFailures;
                std::vector<PlanChange> made;
                const bool planned = RecoverPlan(stay.fs, stay.form.ListPath, undo, stayFailures);
                EXPECT_EQ(RecoverPlan(went.fs, went.dir / (there + "/list.sfv"), undo, wentFailures, &made), planned);
                EXPECT_TRUE(wentFailures.Empty());
                const std::string trace = there + (undo ? " undo " : " finish ") + std::to_string(k);
                const Files expected = Snapshot(stay), after = Snapshot(went);
                EXPECT_TRUE(Under(after, there) == Under(expected, "set")) << trace;
                EXPECT_TRUE(Under(after, "src") == Under(expected, "src")) << trace;
                // A copy's original is left as the kill left it, its plan with it.
                EXPECT_TRUE(Under(after, "set") == (copy ? Under(killed, "set") : Files{})) << trace;
                for (const PlanChange& c : made)
                    EXPECT_EQ(c.From.find(went.base + "/"), std::string::npos) << trace << " " << c.From;
            }
    EXPECT_GT(kills, 20);
}

// The marks after a plan's "planned" line: a window's "upto" line counts up to the number of steps, the
// largest one read counts, and a line cut off by a kill or not of this form is passed over.
TEST(RepairPlan, MarksAndWindowEndsAreReadFromThePlanFile) {
    const std::string plan = "tallyvault-plan 1\nbase\t/s\npark\ta\ta_Temp1\nmove\t/s\tb\ta\nmove\t/s\tc\td\n";
    struct Case {
        const char* Marks;
        const char* States; // by step: D done, F failed, U undone, - none
        std::size_t Upto;
    };
    const Case cases[] = {
        {"", "---", 0},
        {"done\t0\nupto\t3\ndone\t1\n", "DD-", 3},
        {"upto\t2\nupto\t3\nupto\t1\nfailed\t2\nundone\t0\n", "U-F", 3},
        {"upto\t4\ndone\t3\n", "---", 0},
        {"upto\t3", "---", 0},
        {"upto\t\nupto\tx\nupto\t2\t3\nupto 2\nup\t2\n", "---", 0},
        {"done\t1\nupto\t2", "-D-", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Marks);
        const PlanRecord r = ParsePlan(plan + "planned\n" + c.Marks);
        ASSERT_TRUE(r.Complete);
        ASSERT_EQ(r.Plan.Steps.size(), 3U);
        std::string states;
        for (std::size_t k = 0; k < 3; ++k)
            states += r.Done[k] ? 'D' : r.Failed[k] ? 'F' : r.Undone[k] ? 'U' : '-';
        EXPECT_EQ(states, c.States);
        EXPECT_EQ(r.Upto, c.Upto);
    }
    // Before the "planned" line an "upto" line is no line of a plan: the plan is not read.
    EXPECT_FALSE(ParsePlan(plan + "upto\t3\nplanned\n").Complete);
}

} // namespace
} // namespace tv::test
