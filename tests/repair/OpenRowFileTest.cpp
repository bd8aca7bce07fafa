#include "app/TallyvaultMain.h"
#include "platform/FileSystem.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

using test::CrcHex;

TEST(RowDoubleClick, OpensTheRowsOwnFileOrItsSameFileAndClearsTheSelection) {
    test::TempDir dir;
    dir.Write("set/good.bin", "good content");
    dir.Write("set/bad.bin", "changed");
    const std::string elsewhere = dir.Write("elsewhere/found.bin", "moved content");
    const std::string list = dir.Write(
        "set/list.sfv", "good.bin " + CrcHex("good content") + "\r\nmoved.bin " + CrcHex("moved content") +
                            "\r\nbad.bin " + CrcHex("original") + "\r\ngone.bin " + CrcHex("never here") + "\r\n");
    test::FakeUi ui;
    TForm1 f(ui, RealFs());
    f.OpenCommandLineList(list);
    ASSERT_EQ(f.CrcList.Count(), 4); // bad, gone, good, moved
    // The complement search records a file from another folder like this.
    f.EntryTable[3].Found = true;
    f.EntryTable[3].SameFile = elsewhere;

    const struct {
        std::int32_t Row;
        std::string Opened; // empty: nothing opened
    } cases[] = {
        {0, dir / "set/bad.bin"}, {1, ""}, {2, dir / "set/good.bin"}, {3, elsewhere}, {-1, ""},
    };
    for (const auto& c : cases) {
        ui.Opened.clear();
        f.CrcList.SetSelected(c.Row);
        f.CrcListDblClick();
        if (c.Opened.empty()) {
            EXPECT_TRUE(ui.Opened.empty()) << c.Row;
        } else {
            ASSERT_EQ(ui.Opened.size(), 1u) << c.Row;
            EXPECT_EQ(ui.Opened[0], c.Opened);
        }
        EXPECT_EQ(f.CrcList.Selected(), -1);
    }
}

TEST(RowDoubleClick, InCreateModeOpensTheScannedFileByItsRealName) {
    test::TempDir dir;
    // On this system "\" is an ordinary character of a name, not a folder separator.
    dir.Write("set/a\\b.bin", "one");
    dir.MakeFolder("set/a");
    dir.Write("set/a/b.bin", "other");
    test::FakeUi ui;
    TForm1 f(ui, RealFs());
    f.BaseFolder = dir / "set";
    f.ListPath = dir / "set/none.sfv";
    f.ModeButtonClick();
    ASSERT_TRUE(f.IsCreateMode);
    ASSERT_EQ(f.CrcList.Count(), 1);
    f.CrcList.SetSelected(0);
    f.CrcListDblClick();
    ASSERT_EQ(ui.Opened.size(), 1u);
    EXPECT_EQ(ui.Opened[0], dir / "set/a\\b.bin");
}

} // namespace
} // namespace tv
