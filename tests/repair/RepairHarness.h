#pragma once
// A window over real files in a fresh temporary folder, for the repair commands: the list's folder is
// <tmp>/set, other folders are made beside it. The file system can be told to fail reading some files,
// as a locked file or one without access would (the tests run as root, where access rights do not bite).
#include "app/TallyvaultMain.h"
#include "core/Crc32.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tv::test {

// One change the repair makes, as the kill test sees it: told before and after it is made.
struct Change {
    bool Before = true;
    bool Copy = false; // a transfer that keeps its source
    std::string From;  // a transfer's source; empty for other changes
    std::string To;
};

// The real file system, except that reading the files named in Unreadable fails.
class FaultyFs : public FileSystem {
public:
    std::set<std::string> Unreadable;
    // Told around every change (a test may end the process there).
    std::function<void(const Change&)> OnChange;

    bool FileExists(const std::string& p) override { return real_.FileExists(p); }
    bool FolderExists(const std::string& p) override { return real_.FolderExists(p); }
    // Files that vanish, or lose their second half, between the listing and their reading.
    std::set<std::string> Vanished, Shrunk;
    std::unique_ptr<InputFile> OpenRead(const std::string& p) override {
        // Compared in one spelling: on Windows the program may join a folder and a name with either separator.
        const std::string normal = std::filesystem::path(p).lexically_normal().string();
        if (Unreadable.count(p) || Unreadable.count(normal)) throw IoError("File access denied");
        if (Vanished.count(normal)) throw IoErrorFromErrno(ENOENT, p);
        auto file = real_.OpenRead(p);
        if (!Shrunk.count(normal)) return file;
        struct Half : InputFile {
            std::unique_ptr<InputFile> Inner;
            std::int64_t Left;
            std::size_t Read(void* buffer, std::size_t size) override {
                const std::size_t n = Inner->Read(buffer, std::min<std::size_t>(size, static_cast<std::size_t>(Left)));
                Left -= static_cast<std::int64_t>(n);
                return n;
            }
            std::int64_t Length() override { return Inner->Length(); }
        };
        auto half = std::make_unique<Half>();
        half->Left = file->Length() / 2;
        half->Inner = std::move(file);
        return half;
    }
    std::unique_ptr<OutputFile> Create(const std::string& p) override { return real_.Create(p); }
    std::unique_ptr<OutputFile> CreateNew(const std::string& p) override {
        Tell({true, false, {}, p});
        auto out = real_.CreateNew(p);
        Tell({false, false, {}, p});
        return out;
    }
    std::unique_ptr<OutputFile> CreateNewLocked(const std::string& p) override {
        Tell({true, false, {}, p});
        auto out = real_.CreateNewLocked(p);
        Tell({false, false, {}, p});
        return out;
    }
    std::unique_ptr<FileLock> TryLock(const std::string& p, bool temp) override { return real_.TryLock(p, temp); }
    std::vector<FolderEntry> ListFolder(const std::string& p) override { return real_.ListFolder(p); }
    std::int64_t FileLength(const std::string& p) override { return OpenRead(p)->Length(); }
    FileTime LastWriteTime(const std::string& p) override { return real_.LastWriteTime(p); }
    void RenameFile(const std::string& a, const std::string& b) override { real_.RenameFile(a, b); }
    void CopyFile(const std::string& a, const std::string& b) override { real_.CopyFile(a, b); }
    void DeleteFile(const std::string& p) override { real_.DeleteFile(p); }
    void MoveToTrash(const std::string& p) override { real_.MoveToTrash(p); }
    void CreateFolder(const std::string& p) override { real_.CreateFolder(p); }
    void ReplaceFile(const std::string& a, const std::string& b) override { real_.ReplaceFile(a, b); }
    bool SameObject(const std::string& a, const std::string& b) override { return real_.SameObject(a, b); }
    FileIdentity Identify(const std::string& p, bool follow) override { return real_.Identify(p, follow); }
    void RenameBeneath(const std::string& r, const std::string& a, const std::string& b) override {
        Tell({true, false, {}, r + "/" + b});
        real_.RenameBeneath(r, a, b);
        Tell({false, false, {}, r + "/" + b});
    }
    void TransferBeneath(const std::string& sr, const std::string& a, const FileIdentity& id, const std::string& r,
                         const std::string& b, bool keep) override {
        Tell({true, keep, sr + "/" + a, r + "/" + b});
        real_.TransferBeneath(sr, a, id, r, b, keep);
        Tell({false, keep, sr + "/" + a, r + "/" + b});
    }
    FileStamp MoveBeneath(const std::string& sr, const std::string& a, const FileIdentity& id, const std::string& r,
                          const std::string& b) override {
        Tell({true, false, sr + "/" + a, r + "/" + b});
        const FileStamp before = real_.MoveBeneath(sr, a, id, r, b);
        Tell({false, false, sr + "/" + a, r + "/" + b});
        return before;
    }
    FileStamp StampBeneath(const std::string& r, const std::string& p) override { return real_.StampBeneath(r, p); }
    std::vector<std::string> ListNames(const std::string& p) override { return real_.ListNames(p); }
    void DeleteBeneath(const std::string& r, const std::string& p, const FileIdentity& id) override {
        Tell({true, false, {}, r + "/" + p});
        real_.DeleteBeneath(r, p, id);
        Tell({false, false, {}, r + "/" + p});
    }
    void CreateFolderBeneath(const std::string& r, const std::string& p) override {
        Tell({true, false, {}, r + "/" + p});
        real_.CreateFolderBeneath(r, p);
        Tell({false, false, {}, r + "/" + p});
    }
    void SyncFolder(const std::string& p) override { real_.SyncFolder(p); }

private:
    void Tell(const Change& c) {
        if (OnChange) OnChange(c);
    }

    RealFileSystem real_;
};

// Every file under a folder, by path, with its content and its file number: a file put under another
// name shows as a change even where the two hold the same content. Folders are listed by path alone.
inline std::map<std::string, std::pair<std::string, std::uint64_t>> TreeState(const std::string& root) {
    std::map<std::string, std::pair<std::string, std::uint64_t>> out;
    namespace fsys = std::filesystem;
    for (auto it = fsys::recursive_directory_iterator(root); it != fsys::recursive_directory_iterator(); ++it) {
        const std::string path = it->path().string();
        if (it->is_symlink() || !it->is_regular_file()) {
            out[path] = {};
            continue;
        }
        out[path] = {ReadFile(path), RealFileSystem().Identify(path, false).Object};
    }
    return out;
}

struct FileSpec {
    std::string Name;
    std::string Content;
};

inline std::uint32_t CrcOf(const std::string& s) {
    return Crc32(s.data(), s.size());
}

struct RepairHarness {
    FakeUi ui;
    FaultyFs fs;
    TForm1 form{ui, fs};
    TempDir dir;
    std::string base = dir.MakeFolder("set");
    RepairHarness() { form.SteadyClock = EveryStepClock(); }

    // Fills the table as a list reader does (names, CRCs of the contents, sizes when asked) and verifies
    // it against the list's folder.
    void LoadEntries(const std::vector<FileSpec>& entries, bool withSizes) {
        form.ListPath = base + "/list.sfv";
        form.BaseFolder = base;
        form.ListHasSizes = withSizes;
        form.ReadErrorText = "読み取り終了 list.sfv";
        form.EntryCount = 0;
        form.CheckCycle = 0;
        for (const FileSpec& e : entries)
            form.AppendEntry(e.Name, static_cast<std::int32_t>(e.Content.size()), CrcOf(e.Content));
        form.RunCommand([&] { form.VerifyEntries(); }, true);
    }
    // Writes a file inside the list's folder.
    std::string Put(const std::string& name, const std::string& content) { return dir.Write("set/" + name, content); }
    // Writes a file anywhere under the temporary folder.
    std::string Write(const std::string& name, const std::string& content) { return dir.Write(name, content); }

    // Searches from `root` without the folder dialog.
    bool Search(const std::string& root) {
        form.FixFolder.SetChecked(true);
        form.FixedComplementFolder = root;
        return Click([&] { form.SearchButtonClick(); }, form.SearchRunning);
    }
    bool Drop(const std::vector<std::string>& paths) {
        return Click([&] { form.FilesDropped(paths); });
    }
    bool Rename() {
        return Click([&] { form.FileChangeCmdClick(); });
    }
    // A command as the window starts it.
    bool Click(const std::function<void()>& body, bool evenWhileRunning = false) {
        return form.RunCommand(body, false, evenWhileRunning);
    }
    // Ticks the rows of one selection of the check button (0 the ！ rows, 1 the × and － rows, 2 all).
    void Tick(int selection) {
        form.CheckCycle = selection;
        form.CheckButtonClick();
    }

    const TListItem* Row(const std::string& name) const {
        for (const TListItem& r : form.CrcList.Items())
            if (r.Caption() == name) return &r;
        return nullptr;
    }
    std::string Mark(const std::string& name) const {
        const TListItem* r = Row(name);
        return r ? MarkOfIcon(r->ImageIndex) : "(no row)";
    }
    // Row i shows entry i, with the entry's state.
    bool RowsAgree() const {
        if (form.CrcList.Count() != form.EntryCount) return false;
        for (std::int32_t i = 0; i < form.EntryCount; ++i) {
            const TListItem& r = form.CrcList.Item(i);
            if (r.Caption() != form.EntryTable[i].FileName) return false;
            if (r.ImageIndex != static_cast<int>(form.EntryState(i))) return false;
        }
        return true;
    }
    // A second repair right after one, as a user would run it: the ！ rows ticked again, duplicates kept,
    // and renamed. Answers the paths it changed under the temporary folder (none, when repairs settle).
    std::vector<std::string> RepairAgain() {
        const auto before = TreeState(dir.Path());
        ui.DuplicateAnswers.clear();
        Tick(0);
        EXPECT_TRUE(Rename());
        const auto after = TreeState(dir.Path());
        std::vector<std::string> changed;
        for (const auto& [path, state] : before) {
            auto it = after.find(path);
            if (it == after.end() || it->second != state) changed.push_back(path);
        }
        for (const auto& [path, state] : after)
            if (!before.count(path)) changed.push_back(path);
        return changed;
    }
    std::vector<std::string> TickedNames() const {
        std::vector<std::string> out;
        for (const TListItem& r : form.CrcList.Items())
            if (r.Checked) out.push_back(r.Caption());
        return out;
    }
};

// Every file content under a folder, with the paths that hold it.
inline std::multiset<std::string> ContentsUnder(const std::string& root, const std::string& skip = {}) {
    std::multiset<std::string> out;
    namespace fsys = std::filesystem;
    for (auto it = fsys::recursive_directory_iterator(root); it != fsys::recursive_directory_iterator(); ++it) {
        if (!skip.empty() && it->path().string() == skip) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file() && !it->is_symlink()) out.insert(ReadFile(it->path().string()));
    }
    return out;
}

// Points the desktop trash into a folder of the test for as long as it lives.
class TrashInto {
public:
    explicit TrashInto(const std::string& folder) {
        if (const char* old = std::getenv("XDG_DATA_HOME")) old_ = old, had_ = true;
        tv::test::SetEnv("XDG_DATA_HOME", folder.c_str());
    }
    ~TrashInto() {
        if (had_)
            tv::test::SetEnv("XDG_DATA_HOME", old_.c_str());
        else
            tv::test::UnsetEnv("XDG_DATA_HOME");
    }
    TrashInto(const TrashInto&) = delete;
    TrashInto& operator=(const TrashInto&) = delete;

private:
    std::string old_;
    bool had_ = false;
};

// The rows as shown: "MARKname " each, in the table's order.
inline std::string RowsOf(const RepairHarness& h) {
    std::string out;
    for (const TListItem& r : h.form.CrcList.Items())
        out += std::string(MarkOfIcon(r.ImageIndex)) + r.Caption() + " ";
    return out;
}

} // namespace tv::test
