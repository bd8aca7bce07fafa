#include "support/FormHarness.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

using test::FormHarness;

// Builds rows straight from flags: each state letter makes one entry (M match, S same file,
// X mismatch, G gone).
void Build(TForm1& f, const std::string& states, bool sizes = false) {
    f.EntryCount = 0;
    f.ListHasSizes = sizes;
    int i = 0;
    for (char s : states) {
        std::string name(1, s);
        name += std::to_string(i);
        f.AppendEntry(name, 1, static_cast<std::uint32_t>(0xABCD + i));
        TCrcTable& e = f.EntryTable[f.EntryCount - 1];
        e.Exists = s == 'M' || s == 'X';
        e.Found = e.SizeMatched = s == 'M' || s == 'S';
        e.SameFile = s == 'S' ? "/elsewhere/x" : "";
        ++i;
    }
    f.ShowEntries();
}

std::string Ticks(const TForm1& f) {
    std::string out;
    for (const TListItem& r : f.CrcList.Items())
        out += r.Checked ? '1' : '0';
    return out;
}

TEST(CheckCycle, StartsWithTheSameFileRowsWhenThereAreAny) {
    FormHarness h;
    Build(h.form, "MSXG");
    EXPECT_EQ(Ticks(h.form), "0100"); // the ！ rows
    std::vector<std::string> presses;
    for (int i = 0; i < 5; ++i) {
        h.form.CheckButtonClick();
        presses.push_back(Ticks(h.form));
    }
    // × and －, all, none, ！ again, then × and － again.
    EXPECT_EQ(presses, (std::vector<std::string>{"0011", "1111", "0000", "0100", "0011"}));
}

TEST(CheckCycle, WithoutSameFilesStartsWithTheRowsNotFound) {
    FormHarness h;
    Build(h.form, "MXGM");
    EXPECT_EQ(Ticks(h.form), "0110");
    h.form.CheckButtonClick();
    EXPECT_EQ(Ticks(h.form), "1111");
}

TEST(CheckCycle, CreateModeAlternatesBetweenAllButIcon3AndNone) {
    FormHarness h;
    Build(h.form, "MGMM");
    h.form.IsCreateMode = true;
    h.form.CheckCycle = 0;
    h.form.CheckButtonClick();
    EXPECT_EQ(Ticks(h.form), "1011");
    EXPECT_EQ(h.form.GoodCounter.Caption(), "3");
    h.form.CheckButtonClick();
    EXPECT_EQ(Ticks(h.form), "0000");
    EXPECT_EQ(h.form.GoodCounter.Caption(), "0");
    h.form.CheckButtonClick();
    EXPECT_EQ(Ticks(h.form), "1011");
}

TEST(CheckCycle, NoRowsStillAdvancesTheCycleWithoutTheRaise) {
    FormHarness h;
    h.form.IsCreateMode = true;
    h.form.CheckCycle = 0;
    h.form.CheckButtonClick();
    EXPECT_EQ(h.form.CheckCycle, 1);
    EXPECT_EQ(h.form.GoodCounter.Caption(), "0");
}

TEST(StateMenu, ItemsApplyAllFourTicksByIcon) {
    FormHarness h;
    Build(h.form, "MSXG");
    // The menu flips the item's tick before the handler runs.
    h.form.ON0.SetChecked(true);
    h.form.ON0Click();
    EXPECT_EQ(Ticks(h.form), "1000");
    h.form.AllOnClick();
    EXPECT_EQ(Ticks(h.form), "1111");
    h.form.ON2.SetChecked(false);
    h.form.ON0Click();
    EXPECT_EQ(Ticks(h.form), "1101");
    h.form.AllOffClick();
    EXPECT_EQ(Ticks(h.form), "0000");
    EXPECT_FALSE(h.form.ON0.Checked());
}

TEST(Rows, ColumnsAndCounters) {
    FormHarness h;
    Build(h.form, "MSXGG");
    const TListItem& first = h.form.CrcList.Item(0);
    EXPECT_EQ(first.SubItem(1), "0000ABCD");
    EXPECT_EQ(first.SubItem(0), "");
    EXPECT_EQ(h.form.CrcList.Item(1).SubItem(2), "/elsewhere/x");
    EXPECT_EQ(h.form.CrcList.Item(2).SubItem(2), "");
    EXPECT_EQ(h.form.TotalCounter.Caption(), "5");
    EXPECT_EQ(h.form.GoodCounter.Caption(), "1");
    EXPECT_EQ(h.form.BadCounter.Caption(), "1");
    EXPECT_EQ(h.form.NotingCounter.Caption(), "3");
    Build(h.form, "M", true);
    EXPECT_EQ(h.form.CrcList.Item(0).SubItem(0), "1");
}

TEST(Rows, FoundWithoutSizeMatchCountsAsNotFoundInAListWithSizes) {
    FormHarness h;
    Build(h.form, "M", true);
    h.form.EntryTable[0].SizeMatched = false;
    h.form.ShowEntries();
    EXPECT_EQ(h.form.CrcList.Item(0).ImageIndex, 2);
}

TEST(DuplicateOptions, RadioGroupAllowsNoneTicked) {
    FormHarness h;
    EXPECT_TRUE(h.form.DblInq.Checked());
    h.form.ClickDuplicateOption(h.form.DblDel);
    EXPECT_TRUE(h.form.DblDel.Checked());
    EXPECT_FALSE(h.form.DblInq.Checked());
    h.form.ClickDuplicateOption(h.form.DblDel);
    EXPECT_FALSE(h.form.DblNop.Checked() || h.form.DblInq.Checked() || h.form.DblDel.Checked());
}

} // namespace
} // namespace tv
