// The verification and the repair on the Windows file system: entry names the system keeps for devices
// or itself are never opened nor made targets, read-only files are read but not deleted, and the
// recycle bin takes a duplicate where the shell can count it.
#include "repair/RepairHarness.h"

#include "platform/win32/WideText.h"

#include <shellapi.h>

namespace tv::test {
namespace {

void SetReadOnly(const std::string& path, bool on) {
    ASSERT_TRUE(
        ::SetFileAttributesW(win32::SystemPath(path).c_str(), on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL));
}

// Items in all recycle bins, as the shell counts them; -1 when it cannot say.
long long RecycleBinItems() {
    SHQUERYRBINFO info{};
    info.cbSize = sizeof info;
    return ::SHQueryRecycleBinW(nullptr, &info) == S_OK ? info.i64NumItems : -1;
}

TEST(WindowsRepair, ReservedNamesAreNeitherOpenedNorMadeTargets) {
    // Each entry's content lies in the list's folder under another name, so the rename would make the
    // entry's name: it must fail for that entry alone, and the file keeps its name and content.
    for (const char* name : {"CON", "nul.txt", "COM1.bin", "Lpt9", "ab:stream.bin", "a*b.bin", "a?b.bin", "a\"b.bin",
                             "a<b.bin", "a>b.bin", "a|b.bin"}) {
        SCOPED_TRACE(name);
        RepairHarness h;
        h.Put("found.bin", "the content");
        h.Put("good.bin", "good content");
        h.LoadEntries({{name, "the content"}, {"good.bin", "good content"}}, true);
        ASSERT_EQ(h.Mark(name), "！"); // found under the other name; the device itself was never read
        h.Tick(0);
        ASSERT_TRUE(h.Rename());
        ASSERT_EQ(h.ui.Errors.size(), 1u);
        EXPECT_EQ(h.ui.Errors[0].rfind("File access denied: ", 0), 0u) << h.ui.Errors[0];
        EXPECT_EQ(h.Mark(name), "！");
        EXPECT_EQ(h.Mark("good.bin"), "○");
        EXPECT_EQ(h.dir.Read("set/found.bin"), "the content");
        EXPECT_EQ(h.fs.ListFolder(h.base).size(), 2u); // nothing made under any spelling of the name

        // Missing from the list's folder and found by the search, to be copied in: refused too, the source kept.
        RepairHarness c;
        c.Write("R/copy.bin", "the content");
        c.LoadEntries({{name, "the content"}}, true);
        ASSERT_EQ(c.Mark(name), "－");
        c.form.CopyComplement.SetChecked(true);
        c.Tick(1);
        ASSERT_TRUE(c.Search(c.dir / "R"));
        EXPECT_EQ(c.Mark(name), "！");
        c.Tick(0);
        ASSERT_TRUE(c.Rename());
        EXPECT_EQ(c.ui.Errors.size(), 1u);
        EXPECT_EQ(c.Mark(name), "！");
        EXPECT_EQ(c.dir.Read("R/copy.bin"), "the content");
        EXPECT_TRUE(c.fs.ListFolder(c.base).empty());
    }
}

TEST(WindowsRepair, AReadOnlyFileIsVerifiedAndRenamedButNotDeleted) {
    const struct {
        const char* What;
        bool Trash;
    } cases[] = {
        {"deleted for good", false},
        {"to the recycle bin", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        RepairHarness h;
        SetReadOnly(h.Put("good.bin", "good content"), true);
        SetReadOnly(h.Put("misnamed.bin", "moved content"), true);
        const std::string dup = h.Write("R/copy.bin", "good content");
        SetReadOnly(dup, true);
        h.form.ClickDuplicateOption(h.form.DblDel);
        h.form.TashUse.SetChecked(c.Trash);
        h.LoadEntries({{"good.bin", "good content"}, {"moved.bin", "moved content"}}, true);
        EXPECT_EQ(h.Mark("good.bin"), "○");
        ASSERT_EQ(h.Mark("moved.bin"), "！");
        // Windows renames a read-only file (only its content and deletion are guarded).
        h.Tick(0);
        ASSERT_TRUE(h.Rename());
        EXPECT_TRUE(h.ui.Errors.empty());
        EXPECT_EQ(h.Mark("moved.bin"), "○");
        EXPECT_EQ(h.dir.Read("set/moved.bin"), "moved content");
        // The duplicate found by the search: deleting it is refused and said for that file; the recycle
        // bin takes it as the shell takes any read-only file.
        h.Tick(2);
        ASSERT_TRUE(h.Search(h.dir / "R"));
        if (c.Trash) {
            EXPECT_TRUE(h.ui.Errors.empty());
            EXPECT_FALSE(h.dir.Exists("R/copy.bin"));
        } else {
            // The reason in brackets is the system's own words, which differ between Windows and Wine.
            ASSERT_EQ(h.ui.Errors.size(), 1u);
            EXPECT_EQ(h.ui.Errors[0].rfind("File access denied: " + dup + " (", 0), 0u) << h.ui.Errors[0];
            EXPECT_EQ(h.dir.Read("R/copy.bin"), "good content");
            SetReadOnly(dup, false);
        }
        EXPECT_EQ(h.dir.Read("set/good.bin"), "good content");
        SetReadOnly(h.dir / "set/good.bin", false);
        SetReadOnly(h.dir / "set/moved.bin", false);
    }
}

TEST(WindowsRepair, TheRecycleBinTakesADuplicateTheShellCounts) {
    RepairHarness h;
    h.Put("k.bin", "kept content");
    h.Write("R/k1", "kept content");
    h.form.ClickDuplicateOption(h.form.DblDel);
    h.form.TashUse.SetChecked(true);
    h.LoadEntries({{"k.bin", "kept content"}}, true);
    const long long before = RecycleBinItems();
    h.Tick(2);
    ASSERT_TRUE(h.Search(h.dir / "R"));
    // The shell counts one item more: the file is in the bin, where the user can restore it.
    EXPECT_TRUE(h.ui.Errors.empty());
    EXPECT_FALSE(h.dir.Exists("R/k1"));
    EXPECT_EQ(RecycleBinItems(), before + 1);
    EXPECT_EQ(h.dir.Read("set/k.bin"), "kept content");
}

} // namespace
} // namespace tv::test
