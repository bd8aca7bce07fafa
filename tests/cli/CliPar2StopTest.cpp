// An interrupt or a termination request sent to the command-line tool while it makes or rebuilds a
// recovery set, at a spread of moments: whenever it lands, no part of a file stands under a set's name or
// a listed name and no temporary file is left. The tool either stops (status 2, said on standard error),
// finishes (status 0 or 1, the work whole), or dies before its work began (nothing written).
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tv::test {
namespace {

pid_t Start(const std::vector<std::string>& args, const std::string& folder) {
    return StartProgram(TV_CLI_PATH, args, folder);
}

// The files of the folder whose names are neither the data's nor its kept copies'.
std::vector<std::string> Others(const TempDir& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(PathOf(dir.Path()))) {
        const std::string name = Utf8Of(e.path().filename());
        if (name.size() != 6 && !(name.size() == 8 && name.ends_with(".1"))) out.push_back(name);
    }
    return out;
}

TEST(CliPar2Stop, AnInterruptAtAnyMomentLeavesNoPartFile) {
    std::map<std::string, std::string> files;
    for (char i = '0'; i < '8'; ++i)
        files[std::string{'f', i, '.', 'b', 'i', 'n'}] = RandomBytes(6 << 20, static_cast<std::uint32_t>(i));
    const std::vector<std::string> setNames = {"set.par2",          "set.vol00+01.par2", "set.vol01+02.par2",
                                               "set.vol03+04.par2", "set.vol07+08.par2", "set.vol15+16.par2",
                                               "set.vol31+08.par2"};
    // The damaged set the repairs start from, made once.
    TempDir made;
    for (const auto& [name, content] : files)
        made.Write(name, content);
    {
        const pid_t pid = Start({"create", ".", "set.par2", "--redundancy", "10", "--block-size", "131072"}, made.Path());
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::string damaged = files["f0.bin"];
    for (std::size_t at = 1000; at < damaged.size(); at += 131072 * 4)
        damaged[at] = static_cast<char>(~damaged[at]);
    made.Write("f0.bin", damaged);
    made.Write("f5.bin", files["f5.bin"].substr(0, 5500000)); // 12 + 7 of 384 slices lost, 39 recovery slices

    for (const bool create : {true, false})
        for (const int ms : {20, 60, 120, 250, 500, 900}) {
            const int signal = ms % 120 == 0 ? SIGTERM : SIGINT;
            const std::string where = std::string(create ? "create" : "repair") + " signalled after " + std::to_string(ms) + " ms";
            TempDir dir;
            if (create) {
                for (const auto& [name, content] : files)
                    dir.Write(name, content);
            } else {
                std::filesystem::copy(PathOf(made.Path()), PathOf(dir.Path()), std::filesystem::copy_options::recursive);
            }
            const pid_t pid = create ? Start({"create", ".", "set.par2", "--redundancy", "10", "--block-size", "131072"}, dir.Path())
                                     : Start({"repair", "set.par2"}, dir.Path());
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            ::kill(pid, signal);
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid) << where;
            const bool finished = WIFEXITED(status) && WEXITSTATUS(status) < 2;
            if (WIFEXITED(status)) {
                EXPECT_LE(WEXITSTATUS(status), 2) << where;
            }
            if (create) {
                std::vector<std::string> others = Others(dir);
                std::sort(others.begin(), others.end());
                if (finished) {
                    EXPECT_EQ(others, setNames) << where;
                } else {
                    EXPECT_TRUE(others.empty()) << where << ": " << (others.empty() ? "" : others.front());
                }
                for (const auto& [name, content] : files)
                    EXPECT_TRUE(dir.Read(name) == content) << where << ": " << name;
                continue;
            }
            // A set's files and the data only: no temporary file, no plan.
            for (const std::string& name : Others(dir))
                EXPECT_TRUE(std::find(setNames.begin(), setNames.end(), name) != setNames.end()) << where << ": " << name;
            for (const auto& [name, content] : files) {
                const std::string now = dir.Read(name);
                if (name == "f0.bin" || name == "f5.bin") {
                    const std::string& before = name == "f0.bin" ? damaged : made.Read("f5.bin");
                    EXPECT_TRUE(now == before || now == content) << where << ": " << name;
                    EXPECT_EQ(dir.Exists(name + ".1"), now == content) << where << ": " << name;
                    if (finished) {
                        EXPECT_TRUE(now == content) << where << ": " << name;
                    }
                } else {
                    EXPECT_TRUE(now == content) << where << ": " << name;
                }
            }
        }
}

} // namespace
} // namespace tv::test
