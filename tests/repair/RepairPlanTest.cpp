// The plan of a rename pass against kills: the pass is killed before, in the middle of, and after each
// of its changes, its recovery (finish or undo) is killed the same way, and then a recovery runs to its
// end. Every content must still be there, and the folder must look as after an uninterrupted pass
// (finish) or as before it (undo).
#include "RepairHarness.h"
#include "repair/RepairPlan.h"

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

// Runs `body` in a child process that is killed at the k-th change: before it, midway (a copy then
// holds the first half of its bytes), or after it. None when the body ended before that change; Same
// when a kill midway would be the kill before it (the change is no copy).
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
