// Two repairs of one list at once, each a process of the command-line tool: the one that holds the
// list's plan runs; a repair, dry run or undo started meanwhile is refused before it changes anything.
// Every content is still there afterwards, and neither a plan nor its marks nor a lock file is left.
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tv::test {
namespace {

constexpr int Pairs = 1500; // 4500 steps: a pass that runs long enough to be caught running

// "<stem><i><ext>", appended piece by piece: a literal + string chain trips a false -Wrestrict of GCC 12.
std::string Numbered(const char* stem, int i, const char* ext) {
    return std::string(stem).append(std::to_string(i)).append(ext);
}

struct SwappedSet {
    TempDir d;
    std::string list;
    std::map<std::string, std::string> right; // name -> the content the list gives it
    SwappedSet() {
        std::string text;
        for (int i = 0; i < 2 * Pairs; ++i) {
            const std::string name = Numbered("f", i, ".bin");
            right[name] = Numbered("content ", i, "");
            text.append(name).append(" ").append(CrcHex(right[name])).append("\n");
            d.Write(Numbered("set/", i ^ 1, ".tmp"), right[name]); // under its neighbour's name
        }
        for (int i = 0; i < 2 * Pairs; ++i)
            std::filesystem::rename(PathOf(d / Numbered("set/", i, ".tmp")), PathOf(d / Numbered("set/f", i, ".bin")));
        list = d.Write("set/list.sfv", text);
    }
    std::vector<std::string> Contents() const {
        std::vector<std::string> out;
        for (const auto& f : std::filesystem::recursive_directory_iterator(PathOf(d.Path())))
            if (f.is_regular_file() && f.path().extension() == ".bin") out.push_back(ReadFile(Utf8Of(f.path())));
        std::sort(out.begin(), out.end());
        return out;
    }
    std::vector<std::string> Expected() const {
        std::vector<std::string> out;
        for (const auto& [name, content] : right)
            out.push_back(content);
        std::sort(out.begin(), out.end());
        return out;
    }
    bool AllInPlace() const {
        return std::all_of(right.begin(), right.end(),
                           [&](const auto& f) { return d.Exists("set/" + f.first) && d.Read("set/" + f.first) == f.second; });
    }
    // Only the files and the list: no plan, marks of a recovery, lock or temporary file beside them.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> out;
        for (const auto& f : std::filesystem::directory_iterator(PathOf(d / "set")))
            if (f.path().extension() != ".bin" && f.path().filename() != "list.sfv")
                out.push_back(Utf8Of(f.path().filename()));
        return out;
    }
};

// Starts the tool with its standard error going to `err` and its output to nowhere.
pid_t Start(const std::vector<std::string>& args, const std::string& err) {
    return StartProgram(TV_CLI_PATH, args, {}, err);
}

int ExitOf(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool Running(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == 0;
}

TEST(CliConcurrentRepair, WhileARepairHoldsThePlanRepairDryRunAndUndoAreRefused) {
    // The first repair is stopped while its plan is on the disk; a pass that ends before it is caught is
    // run again on a new set.
    for (int round = 0; round < 5; ++round) {
        SwappedSet s;
        const TempDir logs;
        const pid_t first = Start({"repair", s.list}, logs / "first");
        // A written plan is a locked one: the lock is taken before the plan is written.
        auto written = [&] {
            return s.d.Exists("set/.list.sfv.tallyvault-plan") &&
                   ReadFile(s.d / "set/.list.sfv.tallyvault-plan").find("\nplanned\n") != std::string::npos;
        };
        bool caught = false;
        while (!caught && Running(first)) {
            if (written()) {
                ::kill(first, SIGSTOP);
                caught = written();
                if (!caught) ::kill(first, SIGCONT);
            } else {
                ::usleep(100);
            }
        }
        if (!caught) {
            ExitOf(first);
            continue;
        }
        const std::string plan = ReadFile(s.d / "set/.list.sfv.tallyvault-plan");
        for (const char* mode : {"", "--dry-run", "--undo"}) {
            SCOPED_TRACE(mode);
            std::vector<std::string> args{"repair", s.list};
            if (*mode) args.push_back(mode);
            const pid_t second = Start(args, logs / "second");
            EXPECT_EQ(ExitOf(second), 2);
            EXPECT_NE(logs.Read("second").find("another repair of list.sfv is running"), std::string::npos)
                << logs.Read("second");
            EXPECT_EQ(ReadFile(s.d / "set/.list.sfv.tallyvault-plan"), plan) << "the running repair's plan was touched";
        }
        ::kill(first, SIGCONT);
        EXPECT_EQ(ExitOf(first), 0) << logs.Read("first");
        EXPECT_TRUE(s.AllInPlace());
        EXPECT_EQ(s.Contents(), s.Expected());
        EXPECT_EQ(s.Leftovers(), std::vector<std::string>{});
        return;
    }
    GTEST_SKIP() << "the repair ended each time before its plan was seen";
}

TEST(CliConcurrentRepair, TwoRepairsStartedTogetherRunOneAtATimeAndLoseNothing) {
    // Started together, the later one finds the plan of the other (or makes its own after the other
    // made one) and is refused; on a machine slow to start the second it may instead find the set
    // repaired. Either way nothing is lost and nothing is left beside the list.
    bool refused = false;
    for (int round = 0; round < 10 && !refused; ++round) {
        SwappedSet s;
        const TempDir logs;
        const pid_t a = Start({"repair", s.list}, logs / "a");
        const pid_t b = Start({"repair", s.list}, logs / "b");
        const int statusA = ExitOf(a), statusB = ExitOf(b);
        const std::string errA = logs.Read("a"), errB = logs.Read("b");
        SCOPED_TRACE(errA + "\n---\n" + errB);
        EXPECT_TRUE(statusA == 0 || statusB == 0);
        for (const auto& [status, err] : {std::pair{statusA, errA}, std::pair{statusB, errB}}) {
            if (status == 0) continue;
            EXPECT_EQ(status, 2);
            EXPECT_NE(err.find("another repair of list.sfv is running"), std::string::npos);
            refused = true;
        }
        EXPECT_EQ(s.Contents(), s.Expected());
        EXPECT_EQ(s.Leftovers(), std::vector<std::string>{});
        if (refused) {
            EXPECT_TRUE(s.AllInPlace());
        }
    }
    EXPECT_TRUE(refused) << "ten times the second repair did not meet the first";
}

} // namespace
} // namespace tv::test
