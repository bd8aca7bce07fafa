// PAR2 sets made by par2cmdline (`par2 create`), then damaged: tallyvault-cli verify marks ○, × and －
// where `par2 verify` says found, damaged and missing (！ where par2, given the renamed file, says it is a
// match), and its block counts equal par2's "You have A out of M data blocks available" and the recovery
// blocks par2 loaded. A repair that renames a renamed file back leaves a set par2 finds whole.
#include "app/TallyvaultMain.h"
#include "support/CliRows.h"
#include "support/FakeUi.h"
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <vector>

namespace tv::test {
namespace {

struct File {
    std::string Name;
    std::size_t Size;
};

struct Case {
    const char* Label;
    const char* Create; // par2's options
    std::vector<File> Files;
    const char* Damage;   // shell commands run in the set's folder
    const char* ParExtra; // files par2 verify is also given (a renamed file)
    bool RepairThenWhole; // our repair renames back; par2 then finds the set whole
};

const Case Cases[] = {
    {"undamaged", "-s1024 -r10", {{"a.bin", 5000}, {"b.bin", 1}}, "true", "", false},
    {"4-byte blocks, a one-byte file, bytes changed",
     "-s4 -r5",
     {{"one.bin", 1}, {"mid.bin", 1001}, {"tail.bin", 2050}},
     "printf 'XYZ' | dd of=mid.bin bs=1 seek=500 conv=notrunc 2>/dev/null",
     "",
     false},
    {"1 MiB blocks, files ending mid-block, one cut short",
     "-s1048576 -r50",
     {{"big.bin", 2621440 + 77}, {"small.bin", 100}},
     "truncate -s 1300000 big.bin",
     "",
     false},
    {"sub-folders and Unicode names, one renamed",
     "-s512 -r10 -R",
     {{"sub/inner.dat", 3000}, {"日本語/ファイル.bin", 2000}, {"top.bin", 4097}},
     "mv top.bin elsewhere.bin",
     "elsewhere.bin",
     true},
    {"several volumes, a file deleted, a volume's packets damaged",
     "-s1024 -r40 -n3",
     {{"a.bin", 9000}, {"b.bin", 7000}, {"c.bin", 300}},
     "rm b.bin; v=$(ls set.vol*.par2 | sort | sed -n 2p); "
     "dd if=/dev/zero of=\"$v\" bs=1 seek=700 count=900 conv=notrunc 2>/dev/null",
     "",
     false},
    {"bytes changed in two files, several slices each",
     "-s256 -r30",
     {{"x.bin", 4000}, {"y.bin", 4000}, {"z.bin", 10}},
     "printf 'QQ' | dd of=x.bin bs=1 seek=10 conv=notrunc 2>/dev/null; "
     "printf 'QQ' | dd of=x.bin bs=1 seek=3000 conv=notrunc 2>/dev/null; "
     "printf 'QQ' | dd of=y.bin bs=1 seek=255 conv=notrunc 2>/dev/null",
     "",
     false},
};

struct ParSays {
    std::map<std::string, std::string> Targets; // name -> found, damaged, missing, renamed
    long Available = -1, Total = -1, Recovery = 0;
};

ParSays RunPar2Verify(const std::string& dir, const std::string& extra) {
    const ShellResult r =
        Shell("cd " + ShellQuote(dir) + " && par2 verify set.par2 " + extra + " 2>&1 | tr '\\r' '\\n'");
    ParSays s;
    const std::regex target("^Target: \"(.*)\" - (found|damaged|missing)\\."),
        match("^File: \".*\" - is a match for \"(.*)\"\\.");
    const std::regex have("^You have ([0-9]+) out of ([0-9]+) data blocks available\\."),
        total("^There are a total of ([0-9]+) data blocks\\."), loaded("including ([0-9]+) recovery blocks");
    bool allCorrect = false;
    ForEachLine(r.out, [&](const std::string& line) {
        std::smatch m;
        if (std::regex_search(line, m, target)) s.Targets[m[1]] = m[2];
        if (std::regex_search(line, m, match)) s.Targets[m[1]] = "renamed";
        if (std::regex_search(line, m, have)) s.Available = std::stol(m[1]), s.Total = std::stol(m[2]);
        if (std::regex_search(line, m, total)) s.Total = std::stol(m[1]);
        if (std::regex_search(line, m, loaded)) s.Recovery += std::stol(m[1]);
        if (line.find("All files are correct") != std::string::npos) allCorrect = true;
    });
    if (allCorrect) s.Available = s.Total;
    return s;
}

TEST(Par2Peers, MarksAndBlockCountsAgreeWithPar2Verify) {
    if (Shell("command -v par2 >/dev/null").status != 0) GTEST_SKIP() << "par2 is not installed (scripts/setup)";
    const std::map<std::string, std::string> markOf = {
        {"found", "○"}, {"damaged", "×"}, {"missing", "－"}, {"renamed", "！"}};
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.Label);
        TempDir dir;
        std::string names;
        std::uint32_t seed = 1;
        for (const File& f : c.Files) {
            dir.Write(f.Name, RandomBytes(f.Size, seed++));
            names += " " + ShellQuote(f.Name);
        }
        ASSERT_EQ(Shell("cd " + ShellQuote(dir.Path()) + " && par2 create -q -q " + c.Create + " set.par2" + names +
                        " >/dev/null 2>&1")
                      .status,
                  0);
        ASSERT_EQ(Shell("cd " + ShellQuote(dir.Path()) + " && " + c.Damage).status, 0);

        const ParSays par = RunPar2Verify(dir.Path(), c.ParExtra);
        const ShellResult ours =
            Shell(std::string(TV_CLI_PATH) + " verify " + ShellQuote(dir / "set.par2") + " --quiet");
        std::map<std::string, std::string> rows;
        ForEachRow(ours.out, [&](const std::string& name, const std::string& mark) { rows[name] = mark; });
        ASSERT_EQ(rows.size(), c.Files.size()) << ours.out;
        ASSERT_EQ(par.Targets.size(), c.Files.size());
        for (const auto& [name, said] : par.Targets)
            EXPECT_EQ(rows[name], markOf.at(said)) << name;

        std::smatch m;
        ASSERT_TRUE(
            std::regex_search(ours.out, m, std::regex("blocks damaged ([0-9]+) of ([0-9]+); recovery blocks ([0-9]+)")))
            << ours.out;
        ASSERT_GE(par.Available, 0);
        EXPECT_EQ(std::stol(m[2]), par.Total);
        EXPECT_EQ(std::stol(m[1]), par.Total - par.Available);
        EXPECT_EQ(std::stol(m[3]), par.Recovery);
        const bool possible = par.Total - par.Available <= par.Recovery;
        EXPECT_NE(ours.out.find(possible ? "\nrepair possible\n" : "\nrepair needs "), std::string::npos);
        EXPECT_EQ(ours.status,
                  rows.size() == static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(),
                                                                        [](const auto& r) { return r.second == "○"; }))
                      ? 0
                      : 1);

        if (c.RepairThenWhole) {
            const ShellResult repaired =
                Shell(std::string(TV_CLI_PATH) + " repair " + ShellQuote(dir / "set.par2") + " --quiet");
            EXPECT_EQ(repaired.status, 0) << repaired.out;
            EXPECT_EQ(Shell("cd " + ShellQuote(dir.Path()) + " && par2 verify -q set.par2 >/dev/null 2>&1").status, 0);
        }
    }
}

TEST(Par2Peers, CommandLineExitStatusesForSetsThatCannotBeRead) {
    if (Shell("command -v par2 >/dev/null").status != 0) GTEST_SKIP() << "par2 is not installed (scripts/setup)";
    TempDir dir;
    dir.Write("a.bin", RandomBytes(3000, 9));
    dir.Write("b.bin", RandomBytes(3000, 10));
    ASSERT_EQ(Shell("cd " + ShellQuote(dir.Path()) +
                    " && par2 create -q -q -s512 -r1 -n1 set.par2 a.bin b.bin >/dev/null 2>&1")
                  .status,
              0);
    // Only the creator's packet left: no Main packet, so no list; the creator is named.
    ASSERT_EQ(Shell("cd " + ShellQuote(dir.Path()) +
                    " && python3 -c \"import sys,struct\n"
                    "d=open('set.par2','rb').read(); i=d.find(b'PAR 2.0\\0Creator'); s=d.rfind(b'PAR2\\0PKT',0,i)\n"
                    "n=struct.unpack('<Q',d[s+8:s+16])[0]; open('c.par2','wb').write(d[s:s+n])\n"
                    "f=d.find(b'PAR 2.0\\0FileDesc'); s=d.rfind(b'PAR2\\0PKT',0,f)\n"
                    "open('d.par2','wb').write(d[:s+70]+bytes([d[s+70]^1])+d[s+71:])\"")
                  .status,
              0);
    const ShellResult noMain =
        Shell(std::string(TV_CLI_PATH) + " verify " + ShellQuote(dir / "c.par2") + " --quiet 2>&1");
    EXPECT_EQ(noMain.status, 2);
    EXPECT_NE(noMain.out.find("Created by par2cmdline"), std::string::npos) << noMain.out;
    // One description damaged in the only file that holds it: that file is not checked, exit 3.
    const ShellResult undescribed =
        Shell(std::string(TV_CLI_PATH) + " verify " + ShellQuote(dir / "d.par2") + " --quiet 2>&1");
    EXPECT_EQ(undescribed.status, 3) << undescribed.out;
    EXPECT_NE(undescribed.out.find("1 file of the set d.par2 has no description"), std::string::npos)
        << undescribed.out;
}

// A set the window's create mode writes for the ticked files of a tree (a sub-folder, Unicode names, one file
// left unticked): par2 finds it whole, and repairs a damaged file of it byte for byte.
TEST(Par2Peers, ASetWrittenInTheWindowsCreateModeIsWholeForPar2AndRepairedByIt) {
    if (Shell("command -v par2 >/dev/null").status != 0) GTEST_SKIP() << "par2 is not installed (scripts/setup)";
    TempDir dir;
    const std::vector<File> files = {{"top.bin", 5000}, {"sub/inner.dat", 3000}, {"日本語/ファイル.bin", 2000}};
    std::uint32_t seed = 7;
    for (const File& f : files)
        dir.Write(f.Name, RandomBytes(f.Size, seed++));
    dir.Write("unticked.bin", "not in the set");
    FakeUi ui;
    TForm1 form(ui, RealFs());
    form.ClickMenuItem(form.ListKindPar2, MenuClick::Radio, [&] { form.ListKindClick(); });
    form.IncludeSubFolders.SetChecked(true);
    form.Par2Redundancy = 20;
    form.RunCommand([&] {
        form.ModeButtonClick();
        form.BaseFolder = dir.Path();
        form.ScanFolder();
    });
    ASSERT_EQ(form.CrcList.Count(), 4);
    for (std::int32_t i = 0; i < form.CrcList.Count(); ++i)
        form.CrcList.EditItem(i).Checked = form.CrcList.Item(i).Caption() != "unticked.bin";
    ui.DialogAnswers.push_back(dir / "set.par2");
    form.RunCommand([&] { form.MakeCrcCmdClick(); });
    ASSERT_TRUE(ui.Errors.empty()) << ui.Errors.front();
    ASSERT_FALSE(form.IsCreateMode);

    const ParSays whole = RunPar2Verify(dir.Path(), "");
    ASSERT_EQ(whole.Targets.size(), files.size());
    for (const File& f : files)
        EXPECT_EQ(whole.Targets.at(f.Name), "found") << f.Name;
    EXPECT_EQ(whole.Available, whole.Total);
    const std::string before = dir.Read("sub/inner.dat");
    ASSERT_EQ(Shell("cd " + ShellQuote(dir.Path()) + " && printf 'XXXX' | dd of=sub/inner.dat bs=1 seek=100 "
                    "conv=notrunc 2>/dev/null && par2 repair -q -q set.par2 >/dev/null 2>&1")
                  .status,
              0);
    EXPECT_EQ(dir.Read("sub/inner.dat"), before);
}

} // namespace
} // namespace tv::test
