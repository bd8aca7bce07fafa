// Rename and move of same files, on real file sets.
#include "repair/RepairHarness.h"

#include "platform/Paths.h"
#include "repair/RepairPlan.h"

#include <algorithm>
#include <map>

namespace tv::test {
namespace {

struct SwapCase {
    const char* Title;
    std::map<std::string, std::string> OnDisk; // file name in the list's folder -> entry whose content it holds
    std::vector<std::string> LeftOver;         // files expected under parking names afterwards
    int Parkings;                              // only a ring of names (or a file no entry takes) needs one
};

void PrintTo(const SwapCase& c, std::ostream* os) {
    *os << c.Title;
}

class SwappedNames : public ::testing::TestWithParam<std::tuple<SwapCase, bool>> {};

TEST_P(SwappedNames, AreRepairedInOneRun) {
    const auto& [c, withSizes] = GetParam();
    RepairHarness h;
    const std::map<std::string, std::string> content = {
        {"a.bin", "content of a"}, {"b.bin", "content of b, longer"}, {"c.bin", "content of c"}};
    for (const auto& [file, owner] : c.OnDisk)
        h.Put(file, owner == "junk" ? "junk" : content.at(owner));
    std::vector<FileSpec> entries;
    for (const auto& [name, text] : content)
        entries.push_back({name, text});
    h.LoadEntries(entries, withSizes);

    h.Tick(0);
    const RepairPlan plan = h.form.PlannedFileChanges();
    EXPECT_EQ(std::count_if(plan.Steps.begin(), plan.Steps.end(),
                            [](const PlanStep& s) { return s.What == PlanStep::Kind::Park; }),
              c.Parkings);
    ASSERT_TRUE(h.Rename());
    EXPECT_TRUE(h.ui.Errors.empty());
    for (const auto& [entryName, text] : content) {
        const std::string& name = entryName; // a structured binding cannot be captured by clang 14
        if (!c.OnDisk.count(name) &&
            std::none_of(c.OnDisk.begin(), c.OnDisk.end(), [&](const auto& f) { return f.second == name; }))
            continue; // this entry's content was never there
        EXPECT_EQ(h.dir.Read("set/" + name), text) << name;
        EXPECT_EQ(h.Mark(name), "○") << name;
    }
    for (const std::string& parked : c.LeftOver)
        EXPECT_EQ(h.dir.Read("set/" + parked), "junk") << parked;
    EXPECT_EQ(h.form.Status.Caption(), "処理終了　list.sfv");
    EXPECT_TRUE(h.RowsAgree());
    EXPECT_EQ(h.RepairAgain(), std::vector<std::string>{});
}

const SwapCase swapCases[] = {
    {"Swap", {{"a.bin", "b.bin"}, {"b.bin", "a.bin"}}, {}, 1},
    {"SwapUnderAnotherName", {{"a.bin", "b.bin"}, {"x.dat", "a.bin"}}, {}, 0},
    {"RotateForward", {{"a.bin", "c.bin"}, {"b.bin", "a.bin"}, {"c.bin", "b.bin"}}, {}, 1},
    {"RotateBackward", {{"a.bin", "b.bin"}, {"b.bin", "c.bin"}, {"c.bin", "a.bin"}}, {}, 1},
    // Each name is free by its turn when the rows go from the end of the chain.
    {"Chain", {{"a.bin", "b.bin"}, {"b.bin", "c.bin"}, {"x.dat", "a.bin"}}, {}, 0},
    // The wrong own file of a, which nobody claims, stays behind under its parking name.
    {"UnclaimedOccupant", {{"a.bin", "junk"}, {"z.dat", "a.bin"}}, {"a_Temp1.bin"}, 1},
};

INSTANTIATE_TEST_SUITE_P(Sets, SwappedNames, ::testing::Combine(::testing::ValuesIn(swapCases), ::testing::Bool()),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param).Title) +
                                    (std::get<1>(p.param) ? "WithSizes" : "WithoutSizes");
                         });

struct ParkingCase {
    const char* Title;
    std::vector<std::string> Existing; // parking names taken before the run
    std::string XParked, YParked;
};

void PrintTo(const ParkingCase& c, std::ostream* os) {
    *os << c.Title;
}

class ParkingNumbers : public ::testing::TestWithParam<ParkingCase> {};

TEST_P(ParkingNumbers, TakeTheNextFreeNumberAndKeepGrowing) {
    const ParkingCase& c = GetParam();
    RepairHarness h;
    h.Put("x.bin", "old x");
    h.Put("y.bin", "old y");
    h.Put("p.dat", "right x");
    h.Put("q.dat", "right y");
    for (const std::string& name : c.Existing)
        h.Put(name, "taken " + name);
    h.LoadEntries({{"x.bin", "right x"}, {"y.bin", "right y"}}, false);
    ASSERT_EQ(h.Mark("x.bin"), "！");

    ASSERT_TRUE(h.Rename());
    EXPECT_EQ(h.dir.Read("set/" + c.XParked), "old x");
    EXPECT_EQ(h.dir.Read("set/" + c.YParked), "old y");
    EXPECT_EQ(h.dir.Read("set/x.bin"), "right x");
    EXPECT_EQ(h.dir.Read("set/y.bin"), "right y");
    for (const std::string& name : c.Existing)
        EXPECT_EQ(h.dir.Read("set/" + name), "taken " + name);
    EXPECT_EQ(h.RepairAgain(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParkingNumbers,
    ::testing::Values(ParkingCase{"AllFree", {}, "x_Temp1.bin", "y_Temp1.bin"},
                      ParkingCase{"FirstTaken", {"x_Temp1.bin"}, "x_Temp2.bin", "y_Temp2.bin"},
                      ParkingCase{"BothTaken", {"x_Temp1.bin", "y_Temp2.bin"}, "x_Temp2.bin", "y_Temp3.bin"},
                      ParkingCase{"FolderInTheWay", {"x_Temp1.bin/inner"}, "x_Temp2.bin", "y_Temp2.bin"}),
    [](const auto& p) { return std::string(p.param.Title); });

TEST(RenameMove, NameWithoutExtensionParksAsStemTempNumber) {
    RepairHarness h;
    h.Put("readme", "old text");
    h.Put("readme.found", "the real readme");
    h.LoadEntries({{"readme", "the real readme"}}, true);
    ASSERT_TRUE(h.Rename());
    EXPECT_EQ(h.dir.Read("set/readme_Temp1"), "old text");
    EXPECT_EQ(h.dir.Read("set/readme"), "the real readme");
    EXPECT_EQ(h.Mark("readme"), "○");
}

TEST(RenameMove, FileInAnotherFolderIsCopiedOrMovedByTheOption) {
    for (bool copy : {false, true}) {
        RepairHarness h;
        const std::string source = h.Write("elsewhere/m.copy", "missing content");
        h.Put("in-folder.dat", "renamed content");
        h.LoadEntries({{"m.bin", "missing content"}, {"n.bin", "renamed content"}}, true);
        ASSERT_TRUE(h.Drop({source}));
        ASSERT_EQ(h.Mark("m.bin"), "！");
        h.form.CopyComplement.SetChecked(copy);
        h.Tick(0);
        ASSERT_TRUE(h.Rename());
        EXPECT_EQ(h.dir.Read("set/m.bin"), "missing content") << copy;
        EXPECT_EQ(h.dir.Exists("elsewhere/m.copy"), copy);
        // A same file in the list's own folder is renamed, also when copies are asked for.
        EXPECT_EQ(h.dir.Read("set/n.bin"), "renamed content");
        EXPECT_FALSE(h.dir.Exists("set/in-folder.dat")) << copy;
        EXPECT_EQ(h.Mark("m.bin"), "○");
        EXPECT_EQ(h.Mark("n.bin"), "○");
    }
}

TEST(RenameMove, OnlyTickedRowsWithAFindAreTouched) {
    RepairHarness h;
    h.Put("ok.bin", "ok");
    h.Put("bad.bin", "not what the list says");
    h.Put("f.dat", "found content");
    h.Put("g.dat", "also found");
    h.LoadEntries({{"ok.bin", "ok"},
                   {"bad.bin", "bad content"},
                   {"gone.bin", "gone content"},
                   {"found.bin", "found content"},
                   {"left.bin", "also found"}},
                  false);
    h.Tick(2); // every row, then the ！ row of left.bin unticked
    for (std::int32_t i = 0; i < h.form.CrcList.Count(); ++i)
        if (h.form.CrcList.Item(i).Caption() == "left.bin") h.form.CrcList.SetChecked(i, false);

    ASSERT_TRUE(h.Rename());
    EXPECT_EQ(h.dir.Read("set/ok.bin"), "ok");
    EXPECT_EQ(h.dir.Read("set/bad.bin"), "not what the list says");
    EXPECT_FALSE(h.dir.Exists("set/bad_Temp1.bin"));
    EXPECT_FALSE(h.dir.Exists("set/gone.bin"));
    EXPECT_EQ(h.dir.Read("set/found.bin"), "found content");
    EXPECT_TRUE(h.dir.Exists("set/g.dat"));
    EXPECT_FALSE(h.dir.Exists("set/left.bin"));
    // Afterwards the rows whose content is still not found are the ticked ones.
    EXPECT_EQ(h.TickedNames(), (std::vector<std::string>{"bad.bin", "gone.bin"}));
    EXPECT_EQ(h.form.CheckCycle, 2);
    EXPECT_EQ(h.form.Status.Caption(), "処理終了　list.sfv");
    EXPECT_FALSE(h.ui.Busy);
}

TEST(RenameMove, NamesLeadingOutOfTheFolderAreNeverTargets) {
    RepairHarness h;
    const std::string outside = h.dir.MakeFolder("outside");
    const std::string absoluteName = outside + "/abs.bin";
    // "set/../../<unique>" would land beside the temporary folder.
    const std::string climbName = "..\\..\\" + std::filesystem::path(h.dir.Path()).filename().string() + "-evil.bin";
    const std::string climbTarget = h.dir.Path() + "-evil.bin";
    const std::string d1 = h.Write("drops/1", "absolute content");
    const std::string d2 = h.Write("drops/2", "climbing content");
    const std::string d3 = h.Write("drops/3", "fine content");
    h.LoadEntries({{absoluteName, "absolute content"}, {climbName, "climbing content"}, {"ok.bin", "fine content"}},
                  false);
    ASSERT_TRUE(h.Drop({d1, d2, d3}));
    ASSERT_EQ(h.form.SameFileCount, 3);

    ASSERT_TRUE(h.Rename());
    EXPECT_FALSE(std::filesystem::exists(absoluteName));
    EXPECT_FALSE(std::filesystem::exists(climbTarget));
    EXPECT_TRUE(h.dir.Exists("drops/1"));
    EXPECT_TRUE(h.dir.Exists("drops/2"));
    EXPECT_EQ(h.dir.Read("set/ok.bin"), "fine content");
    ASSERT_EQ(h.ui.Messages.size(), 1u);
    EXPECT_EQ(h.ui.Messages[0], "リストのフォルダの外を指す項目は改名・移動しませんでした（2件）");
}

TEST(RenameMove, EntryInAMissingSubfolderIsBroughtBackIntoIt) {
    RepairHarness h;
    const std::string source = h.Write("elsewhere/x", "deep content");
    h.LoadEntries({{"sub\\deeper\\x.bin", "deep content"}}, false);
    ASSERT_TRUE(h.Drop({source}));
    ASSERT_TRUE(h.Rename());
    EXPECT_EQ(h.dir.Read("set/sub/deeper/x.bin"), "deep content");
}

TEST(RenameMove, FailedEntryIsNamedAndTheOthersGoOnKeepingTheirFinds) {
    RepairHarness h;
    const std::string a = h.Write("elsewhere/a", "content a");
    const std::string b = h.Write("elsewhere/b", "content b");
    const std::string c = h.Write("elsewhere/c", "content c");
    h.dir.MakeFolder("set/b.bin"); // the target of b is taken by a folder
    h.LoadEntries({{"a.bin", "content a"}, {"b.bin", "content b"}, {"c.bin", "content c"}}, true);
    ASSERT_TRUE(h.Drop({a, b, c}));
    ASSERT_EQ(h.form.SameFileCount, 3);

    ASSERT_TRUE(h.Rename());
    ASSERT_EQ(h.ui.Errors.size(), 1u);
    // The error names the target that could not be taken, the system's reason, and the file to bring there.
    EXPECT_EQ(h.ui.Errors[0], "File access denied: " + h.base + PathDelim + "b.bin (" + SystemReason(EISDIR) +
                                  "), from " + h.dir.Path() + PathDelim + "elsewhere" + PathDelim + "b")
        << h.ui.Errors[0];
    EXPECT_EQ(h.dir.Read("set/a.bin"), "content a");
    EXPECT_EQ(h.dir.Read("elsewhere/b"), "content b");
    EXPECT_EQ(h.dir.Read("set/c.bin"), "content c"); // the failure of b did not stop c
    // Only the changed rows were checked again: b keeps its find outside, so a retry needs no search.
    EXPECT_TRUE(h.RowsAgree());
    EXPECT_EQ(h.Mark("a.bin"), "○");
    EXPECT_EQ(h.Mark("b.bin"), "！");
    EXPECT_EQ(h.Mark("c.bin"), "○");
    EXPECT_FALSE(h.ui.Busy);
}

// A folder of the entry's name that is a link (leading anywhere) or a file: the change is refused when it
// is planned, so the dry run promises nothing the run cannot make, and the error names that folder.
TEST(RenameMove, AFolderOfTheNameThatIsALinkOrAFileIsRefusedWhenPlanned) {
    for (const bool link : {true, false}) {
#ifdef _WIN32
        if (link) continue; // a Windows program under Wine cannot make links
#endif
        RepairHarness h;
        const std::string outside = h.dir.MakeFolder("outside");
        if (link)
            std::filesystem::create_directory_symlink(outside, h.base + "/sub");
        else
            h.Put("sub", "a file where the folder would be");
        h.Put("k.found", "content of k");
        h.LoadEntries({{"sub/k.bin", "content of k"}}, false);
        ASSERT_EQ(h.Mark("sub/k.bin"), "！") << link;
        h.Tick(0);
        EXPECT_TRUE(h.form.PlannedFileChanges().Steps.empty()) << link;
        ASSERT_EQ(h.ui.Errors.size(), 1u) << link;
        const std::string named = h.base + PathDelim + "sub";
        EXPECT_EQ(h.ui.Errors[0].rfind(std::string(link ? "File access denied: " : "File not found: ") + named + " (", 0),
                  0u)
            << h.ui.Errors[0];
        EXPECT_NE(h.ui.Errors[0].find(", to " + h.base + PathDelim + "sub" + PathDelim + "k.bin"), std::string::npos)
            << h.ui.Errors[0];
        ASSERT_TRUE(h.Rename());
        EXPECT_EQ(h.ui.Errors.size(), 2u);
        EXPECT_EQ(h.dir.Read("set/k.found"), "content of k");
        EXPECT_TRUE(std::filesystem::is_empty(outside));
    }
}

TEST(RenameMove, EmptyTableOnlyTicksAndReports) {
    RepairHarness h;
    h.LoadEntries({}, false);
    ASSERT_TRUE(h.Click([&] { h.form.RenameButtonClick(); }));
    EXPECT_EQ(h.form.Status.Caption(), "処理終了　list.sfv");
    EXPECT_EQ(h.form.CheckCycle, 2);
    EXPECT_TRUE(h.ui.Errors.empty());
}

} // namespace
} // namespace tv::test
