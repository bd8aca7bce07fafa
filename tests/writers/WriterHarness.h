#pragma once
// A window over real files in a fresh folder, for writing lists: a fixed clock for the SFV header,
// file times set by hand, and a file system that can be told to fail as a full disk or a lost folder
// would.
#include "app/TallyvaultMain.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tv::test {

// The real file system, with faults on request.
class FailingFs : public FileSystem {
public:
    // Writes fail with this text once this many bytes went to any one new file.
    std::string WriteError;
    std::size_t WriteBudget = 0;
    bool FailSync = false;
    bool FailReplace = false;
    std::set<std::string> Unreadable;
    // Folders whose listing is refused, and files gone by the time they are opened, by full path.
    std::set<std::string> UnlistableFolders;
    std::set<std::string> Vanished;
    // Files of zero bytes that exist only here, by full path: a quick stand-in for files of many GiB.
    std::map<std::string, std::int64_t> ZeroFiles;

    bool FileExists(const std::string& p) override { return ZeroFiles.count(p) || real_.FileExists(p); }
    bool FolderExists(const std::string& p) override { return real_.FolderExists(p); }
    std::unique_ptr<InputFile> OpenRead(const std::string& p) override {
        if (Unreadable.count(p)) throw IoError("File access denied");
        if (Vanished.count(p)) throw IoErrorFromErrno(ENOENT, p);
        if (auto z = ZeroFiles.find(p); z != ZeroFiles.end()) return std::make_unique<Zeros>(z->second);
        return real_.OpenRead(p);
    }
    std::unique_ptr<OutputFile> Create(const std::string& p) override { return Wrap(real_.Create(p)); }
    std::unique_ptr<OutputFile> CreateNew(const std::string& p) override { return Wrap(real_.CreateNew(p)); }
    std::vector<FolderEntry> ListFolder(const std::string& p) override {
        if (UnlistableFolders.count(p)) throw IoErrorFromErrno(EACCES, p);
        std::vector<FolderEntry> out = real_.ListFolder(p);
        for (const auto& [path, size] : ZeroFiles)
            if (path.rfind(p + "/", 0) == 0) out.push_back(FolderEntry{path.substr(p.size() + 1), size});
        return out;
    }
    std::int64_t FileLength(const std::string& p) override { return OpenRead(p)->Length(); }
    FileTime LastWriteTime(const std::string& p) override {
        return ZeroFiles.count(p) ? FileTime{2020, 1, 2, 3, 4, 6} : real_.LastWriteTime(p);
    }
    void RenameFile(const std::string& a, const std::string& b) override { real_.RenameFile(a, b); }
    void CopyFile(const std::string& a, const std::string& b) override { real_.CopyFile(a, b); }
    void DeleteFile(const std::string& p) override { real_.DeleteFile(p); }
    void MoveToTrash(const std::string& p) override { real_.MoveToTrash(p); }
    void CreateFolder(const std::string& p) override { real_.CreateFolder(p); }
    void ReplaceFile(const std::string& a, const std::string& b) override {
        if (FailReplace) throw IoError("I/O error 5");
        real_.ReplaceFile(a, b);
    }
    bool SameObject(const std::string& a, const std::string& b) override { return real_.SameObject(a, b); }

private:
    class Zeros : public InputFile {
    public:
        explicit Zeros(std::int64_t size) : left_(size), size_(size) {}
        std::size_t Read(void* buffer, std::size_t size) override {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::int64_t>(left_, static_cast<std::int64_t>(size)));
            std::memset(buffer, 0, n);
            left_ -= static_cast<std::int64_t>(n);
            return n;
        }
        std::int64_t Length() override { return size_; }

    private:
        std::int64_t left_, size_;
    };
    class Output : public OutputFile {
    public:
        Output(FailingFs& fs, std::unique_ptr<OutputFile> real) : fs_(fs), real_(std::move(real)) {}
        void Write(const void* data, std::size_t size) override {
            written_ += size;
            if (!fs_.WriteError.empty() && written_ > fs_.WriteBudget) throw IoError(fs_.WriteError);
            real_->Write(data, size);
        }
        void Sync() override {
            if (fs_.FailSync) throw IoError("I/O error 5");
            real_->Sync();
        }
        void Close() override { real_->Close(); }

    private:
        FailingFs& fs_;
        std::unique_ptr<OutputFile> real_;
        std::size_t written_ = 0;
    };
    std::unique_ptr<OutputFile> Wrap(std::unique_ptr<OutputFile> f) {
        return std::make_unique<Output>(*this, std::move(f));
    }

    RealFileSystem real_;
};

// The header time every test writes with: 2003-05-04 20:41:09.
inline FileTime FixedNow() {
    return FileTime{2003, 5, 4, 20, 41, 9};
}
inline constexpr const char* FixedHeader =
    "; Generated by Tallyvault v1.00 (QuickSFV v1.71 Compatibility Mode) on 2003-05-04 at 20:41:09\r\n";

// Sets a file's modification time to a local date and time.
inline void SetLocalTime(const std::string& path, int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    std::error_code ec;
    std::filesystem::last_write_time(PathOf(path),
                                     std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t)), ec);
}

struct WriterHarness {
    FakeUi ui;
    FailingFs fs;
    TForm1 form{ui, fs};
    TempDir dir;

    WriterHarness() { form.LocalClock = FixedNow; }

    // A command as the window starts it; false when it ended with an error box.
    bool Click(const std::function<void()>& body) {
        const std::size_t errors = ui.Errors.size();
        form.RunCommand(body);
        return ui.Errors.size() == errors;
    }
    // Adds a row as the list shows it.
    void AddRow(const std::string& name, const std::string& size, const std::string& crc, bool ticked = true,
                int icon = 0) {
        form.AppendEntry(name, size.empty() ? NoSize : std::stoll(size),
                         static_cast<std::uint32_t>(std::stoul(crc, nullptr, 16)));
        form.CrcList.ShowTable(form.EntryTable, true);
        TListItem& row = form.CrcList.Add(form.EntryCount - 1);
        row.ImageIndex = static_cast<std::int16_t>(icon);
        row.Checked = ticked;
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (const TListItem& r : form.CrcList.Items())
            out.push_back(r.Caption());
        return out;
    }
    // The names of a folder's entries, hidden ones included, sorted.
    static std::vector<std::string> FilesIn(const std::string& folder) {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

} // namespace tv::test
