// The verification and the repair on the Windows file system: entry names the system keeps for devices
// or itself are never opened nor made targets, files holding such names (made through "\\?\" paths, a
// network share or Linux) are passed over and named, names that differ only in letter case are one
// file, read-only files are read but not deleted, and the recycle bin takes a duplicate where the shell
// can count it.
#include "repair/RepairHarness.h"

#include "platform/win32/Handle.h"
#include "platform/win32/WideText.h"
#include "repair/RepairPlan.h"

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

// The path in the form that reaches the file system unchanged: a name Windows refuses is made there.
std::wstring RawPath(const std::string& path) {
    std::wstring wide = win32::Widen(path);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    return L"\\\\?\\" + wide;
}

// A file of a name Windows refuses, made as another system or a "\\?\" path makes it; removed again at
// the end, which the temporary folder's own removal could not do.
class RawFile {
public:
    RawFile(std::string path, std::string_view content) : path_(std::move(path)) {
        win32::Handle h(::CreateFileW(RawPath(path_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(h.valid()) << path_ << ": error " << ::GetLastError();
        DWORD done = 0;
        if (h.valid()) ::WriteFile(h.get(), content.data(), static_cast<DWORD>(content.size()), &done, nullptr);
    }
    ~RawFile() { ::DeleteFileW(RawPath(path_).c_str()); }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

private:
    std::string path_;
};

// Names Windows refuses to open, though NTFS holds them.
constexpr const char* RefusedNames[] = {"aux.bin", "CON.txt", "trail.", "blank "};

TEST(WindowsNames, AFileWhoseNameWindowsRefusesIsPassedOverAndNamedAndTheRestIsChecked) {
    // Unlisted beside a missing row (the scan reads every file of the folder), and listed itself: either
    // way the file is passed over and named whether or not unreadable files are skipped, its own row is
    // × (there, not read), and every other row is checked.
    for (const bool listed : {false, true})
        for (const bool keepGoing : {false, true})
            for (const char* name : RefusedNames) {
                SCOPED_TRACE(std::string(name) + (listed ? ", listed" : ", unlisted") +
                             (keepGoing ? ", skipping unreadable files" : ""));
                RepairHarness h;
                h.Put("good.bin", "good content");
                const RawFile bad(h.base + "/" + name, "held content");
                h.form.KeepGoing.SetChecked(keepGoing);
                std::vector<FileSpec> rows{{"good.bin", "good content"}, {"lost.bin", "lost content"}};
                if (listed) rows.push_back({name, "held content"});
                h.LoadEntries(rows, true);
                EXPECT_TRUE(h.ui.Errors.empty()) << h.ui.Errors.front();
                EXPECT_EQ(h.Mark("good.bin"), "○");
                EXPECT_EQ(h.Mark("lost.bin"), "－");
                if (listed) {
                    EXPECT_EQ(h.Mark(name), "×");
                }
                ASSERT_EQ(h.form.PassedOverPaths.size(), 1u);
                EXPECT_EQ(h.form.PassedOverPaths[0].Path, name);
                EXPECT_TRUE(h.form.PassedOverPaths[0].Unreadable);
                EXPECT_EQ(h.form.PassedOverPaths[0].Reason.rfind("I/O error 123: ", 0), 0u);
                EXPECT_EQ(h.form.Status.Caption(), std::string("読めないファイルを飛ばしました： ") + name);
                // The repair leaves the file where it is: nothing parks, renames or deletes it.
                h.Tick(2);
                ASSERT_TRUE(h.Rename());
                EXPECT_TRUE(h.ui.Errors.empty()) << h.ui.Errors.front();
                EXPECT_EQ(h.fs.ListFolder(h.base).size(), 2u);
            }
}

TEST(WindowsNames, NamesThatDifferOnlyInLetterCaseAreOneFileAndAConflict) {
    // The list names the file twice in two spellings with two contents (an edit listed again): both rows
    // are shown as they are, the conflict is named, and no repair swaps the edit for the backup.
    RepairHarness h;
    h.Put("notes.md", "edited");
    h.Put("notes.md.bak", "original");
    h.LoadEntries({{"NOTES.MD", "original"}, {"notes.md", "edited"}}, true);
    EXPECT_EQ(h.Mark("notes.md"), "○");
    EXPECT_EQ(h.Mark("NOTES.MD"), "！");
    ASSERT_EQ(h.form.ConflictNames.size(), 1u);
    EXPECT_NE(h.form.Status.Caption().find("同じ名前で内容の違う項目があります"), std::string::npos);
    EXPECT_TRUE(h.form.PlannedFileChanges().Steps.empty());
    for (int run = 0; run < 2; ++run) {
        EXPECT_TRUE(h.RepairAgain().empty()) << "repair " << run + 1;
        EXPECT_EQ(h.dir.Read("set/notes.md"), "edited");
        EXPECT_EQ(h.dir.Read("set/notes.md.bak"), "original");
    }
}

TEST(WindowsRepair, ReservedNamesAreNeitherOpenedNorMadeTargets) {
    // Each entry's content lies in the list's folder under another name, so the rename would make the
    // entry's name: it is refused for that entry alone when planned, so the dry run names the same failure
    // as the run, and the file keeps its name and content. The system's word for it is an invalid name.
    for (const char* name : {"CON", "nul.txt", "COM1.bin", "Lpt9", "aux.bin", "trail.", "blank ", "ab:stream.bin",
                             "a*b.bin", "a?b.bin", "a\"b.bin", "a<b.bin", "a>b.bin", "a|b.bin"}) {
        SCOPED_TRACE(name);
        RepairHarness h;
        h.Put("found.bin", "the content");
        h.Put("good.bin", "good content");
        h.LoadEntries({{name, "the content"}, {"good.bin", "good content"}}, true);
        ASSERT_EQ(h.Mark(name), "！"); // found under the other name; the device itself was never read
        h.Tick(0);
        EXPECT_TRUE(h.form.PlannedFileChanges().Steps.empty());
        ASSERT_EQ(h.ui.Errors.size(), 1u);
        const std::string planned = h.ui.Errors[0];
        EXPECT_EQ(planned.rfind("I/O error 123: " + h.base + "\\" + name + " (", 0), 0u) << planned;
        h.ui.Errors.clear();
        ASSERT_TRUE(h.Rename());
        ASSERT_EQ(h.ui.Errors.size(), 1u);
        EXPECT_EQ(h.ui.Errors[0], planned);
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

TEST(WindowsRepair, TheListFileIsNeverParkedUnderAnySpellingOfItsName) {
    // NTFS takes names without regard to letter case: each of these is the list file itself.
    for (const char* name : {"list.sfv", "LIST.SFV", "List.Sfv"}) {
        SCOPED_TRACE(name);
        RepairHarness h;
        const std::string src = h.Write("elsewhere/a", "content a");
        h.LoadEntries({{name, "content a"}}, true);
        h.Put("list.sfv", "the list");
        ASSERT_TRUE(h.Drop({src}));
        ASSERT_TRUE(h.Rename());
        EXPECT_EQ(h.dir.Read("set/list.sfv"), "the list");
        EXPECT_EQ(h.dir.Read("elsewhere/a"), "content a");
        EXPECT_EQ(h.fs.ListFolder(h.base).size(), 1u); // nothing parked beside it
        EXPECT_EQ(h.ui.Errors.size(), 1u);
    }
}

} // namespace
} // namespace tv::test
