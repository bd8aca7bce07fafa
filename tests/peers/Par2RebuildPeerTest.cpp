// Recovery sets both ways with Debian's par2 (par2cmdline): sets we write pass `par2 verify` and are
// repaired by `par2 repair`; sets par2 writes are repaired by us, byte for byte, and par2 agrees after.
// The files hold sub-folders, a unicode name, a file of one byte and files that end mid-block; the damage
// is changed bytes, a file cut short, a file renamed and files deleted (our repair renames the renamed one
// back; par2, which finds it only when named, rebuilds it).
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace tv::test {
namespace {

bool HavePar2() { return Shell("command -v par2 >/dev/null").status == 0; }

std::string Cli() { return ShellQuote(TV_CLI_PATH); }

std::map<std::string, std::string> SampleFiles() {
    return {
        {"a.bin", RandomBytes(300000, 1)},
        {"b.txt", RandomBytes(70001, 2)},
        {"sub/c.bin", RandomBytes(50000, 3)},
        {"sub/deeper/ユニコード名.dat", RandomBytes(20002, 4)},
        {"one", RandomBytes(1, 5)},
    };
}

void Damage(const TempDir& dir) {
    std::string a = dir.Read("a.bin");
    for (std::size_t i = 100000; i < 100040; ++i)
        a[i] = static_cast<char>(a[i] ^ 0x5A);
    dir.Write("a.bin", a);
    std::filesystem::resize_file(PathOf(dir / "sub/c.bin"), 45000);
    std::filesystem::remove(PathOf(dir / "sub/deeper/ユニコード名.dat"));
    std::filesystem::remove(PathOf(dir / "one"));
    std::filesystem::rename(PathOf(dir / "b.txt"), PathOf(dir / "sub/renamed.bin"));
}

struct Case {
    const char* Name;
    bool WeMake;        // else par2 makes the set
    bool WeRepair;      // else par2 repairs it
    const char* Blocks; // block size in bytes, empty: each maker's own choice
    const char* Redundancy;
};

class Par2RebuildPeerTest : public ::testing::TestWithParam<Case> {};

TEST_P(Par2RebuildPeerTest, DamagedSetIsRepairedByteExact) {
    if (!HavePar2()) GTEST_SKIP() << "par2 is not installed (apt-get install par2)";
    const Case& c = GetParam();
    TempDir dir;
    const std::map<std::string, std::string> files = SampleFiles();
    for (const auto& [name, content] : files)
        dir.Write(name, content);
    const std::string cd = "cd " + ShellQuote(dir.Path()) + " && ";
    const std::string blocks(c.Blocks);
    ShellResult made;
    if (c.WeMake)
        made = Shell(cd + Cli() + " create . set.par2 --recursive --redundancy " + c.Redundancy +
                     (blocks.empty() ? "" : " --block-size " + blocks) + " 2>&1");
    else
        made = Shell(cd + "par2 create -q -q -r" + c.Redundancy + " -R" + (blocks.empty() ? "" : " -s" + blocks) + " set.par2 . 2>&1");
    ASSERT_EQ(made.status, 0) << made.out;
    const ShellResult verified = Shell(cd + "par2 verify -q set.par2 2>&1");
    ASSERT_EQ(verified.status, 0) << verified.out;

    Damage(dir);
    const ShellResult repaired =
        c.WeRepair ? Shell(cd + Cli() + " repair set.par2 2>&1") : Shell(cd + "par2 repair -q set.par2 2>&1");
    ASSERT_EQ(repaired.status, 0) << repaired.out;
    for (const auto& [name, content] : files) {
        ASSERT_TRUE(dir.Exists(name)) << name << "\n" << repaired.out;
        EXPECT_TRUE(dir.Read(name) == content) << name << " differs after the repair";
    }
    // Both keep the damaged file beside the rebuilt one.
    EXPECT_TRUE(dir.Exists("a.bin.1"));
    const ShellResult after = Shell(cd + "par2 verify -q set.par2 2>&1");
    EXPECT_EQ(after.status, 0) << after.out;
}

INSTANTIATE_TEST_SUITE_P(BothWays, Par2RebuildPeerTest,
                         ::testing::Values(Case{"OursRepairedByPar2", true, false, "", "25"},
                                           Case{"Par2sRepairedByUs", false, true, "", "10"},
                                           Case{"OursRepairedByUs", true, true, "", "10"},
                                           Case{"OursSmallBlocksRepairedByPar2", true, false, "512", "25"},
                                           // 10 blocks, 4 of them damaged
                                           Case{"Par2sLargeBlocksRepairedByUs", false, true, "65536", "50"}),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST(Par2RebuildCli, TooFewRecoveryBlocksWriteNothingAndSayHowManyMore) {
    if (!HavePar2()) GTEST_SKIP() << "par2 is not installed (apt-get install par2)";
    TempDir dir;
    for (const auto& [name, content] : SampleFiles())
        dir.Write(name, content);
    const std::string cd = "cd " + ShellQuote(dir.Path()) + " && ";
    // 203 blocks of 2200 bytes, 2 recovery blocks: a.bin alone has 137.
    ASSERT_EQ(Shell(cd + "par2 create -q -q -c2 -s2200 -R set.par2 . 2>&1").status, 0);
    std::filesystem::remove(PathOf(dir / "a.bin"));
    const std::string before = Shell(cd + "find . -printf '%p %s %T@\\n' | sort").out;
    const ShellResult r = Shell(cd + Cli() + " repair set.par2");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("－\ta.bin\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("blocks damaged 137 of 203; recovery blocks 2\nrepair needs 135 more recovery blocks\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Shell(cd + "find . -printf '%p %s %T@\\n' | sort").out, before);
}

TEST(Par2RebuildCli, PurgeReplacesTheDamagedFileAndDryRunChangesNothing) {
    if (!HavePar2()) GTEST_SKIP() << "par2 is not installed (apt-get install par2)";
    TempDir dir;
    const std::string content = RandomBytes(100000, 9);
    dir.Write("f.bin", content);
    const std::string cd = "cd " + ShellQuote(dir.Path()) + " && ";
    ASSERT_EQ(Shell(cd + "par2 create -q -q -r10 -b100 set.par2 f.bin 2>&1").status, 0);
    std::string damaged = content;
    damaged[5000] = static_cast<char>(damaged[5000] ^ 1);
    dir.Write("f.bin", damaged);

    const ShellResult dry = Shell(cd + Cli() + " repair set.par2 --dry-run");
    EXPECT_EQ(dry.status, 1);
    EXPECT_NE(dry.out.find("×\tf.bin\t"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("repair possible\n"), std::string::npos) << dry.out;
    EXPECT_TRUE(dir.Read("f.bin") == damaged);

    const ShellResult r = Shell(cd + Cli() + " repair set.par2 --purge");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("rebuilt\tf.bin\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("○\tf.bin\t"), std::string::npos) << r.out;
    EXPECT_TRUE(dir.Read("f.bin") == content);
    EXPECT_FALSE(dir.Exists("f.bin.1"));
    EXPECT_EQ(Shell(cd + "ls -A | grep -c tallyvault").out, "0\n");
}

TEST(Par2RebuildCli, AKilledRebuildIsFinishedByTheNextRepairAndLosesNothing) {
    if (!HavePar2()) GTEST_SKIP() << "par2 is not installed (apt-get install par2)";
    const std::string a = RandomBytes(3u << 20, 21), b = RandomBytes(1u << 20, 22);
    std::string damagedA = a;
    for (std::size_t i = 0; i < damagedA.size(); i += 65536)
        damagedA[i] = static_cast<char>(~damagedA[i]);
    // Killed at a spread of moments: while the set is read, while the blocks are solved, while a file is
    // written or put in place.
    for (const char* delay : {"0.05", "0.15", "0.3", "0.5", "0.8", "1.2"}) {
        TempDir dir;
        dir.Write("a.bin", a);
        dir.Write("b.bin", b);
        const std::string cd = "cd " + ShellQuote(dir.Path()) + " && ";
        ASSERT_EQ(Shell(cd + Cli() + " create . set.par2 --redundancy 60 --block-size 16384 --quiet >/dev/null").status, 0);
        dir.Write("a.bin", damagedA);
        std::filesystem::remove(PathOf(dir / "b.bin"));
        Shell(cd + "(" + Cli() + " repair set.par2 --quiet >/dev/null 2>&1 & pid=$!; sleep " + delay +
              "; kill -9 $pid 2>/dev/null; wait $pid) 2>/dev/null");
        const ShellResult again = Shell(cd + Cli() + " repair set.par2 --quiet 2>&1");
        EXPECT_EQ(again.status, 0) << "killed after " << delay << " s\n" << again.out;
        EXPECT_TRUE(dir.Read("a.bin") == a) << delay;
        EXPECT_TRUE(dir.Read("b.bin") == b) << delay;
        // The damaged file is kept once, by whichever run moved it aside.
        EXPECT_TRUE(dir.Read("a.bin.1") == damagedA) << delay;
        EXPECT_FALSE(dir.Exists("a.bin.2")) << delay;
        EXPECT_EQ(Shell(cd + "ls -A | grep -c tallyvault").out, "0\n") << delay;
    }
}

} // namespace
} // namespace tv::test
