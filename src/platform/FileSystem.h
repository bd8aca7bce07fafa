#pragma once
// Every file operation of the program goes through FileSystem, so a test can put a fault-injecting
// decorator in front of the real one. Failures raise IoError with the runtime's text.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tv {

// One opened file, read sequentially.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to `size` bytes; returns how many were read, 0 at the end of the file.
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
    virtual std::int64_t Length() = 0;
};

// One file being written; Close() flushes and reports a failed write.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    virtual void Write(const void* data, std::size_t size) = 0;
    // Puts what was written on the disk (before a rename makes the file take another's place).
    virtual void Sync() = 0;
    virtual void Close() = 0;
};

struct FolderEntry {
    std::string Name;
    std::int64_t Size = 0;
    bool IsFolder = false;
    bool IsHidden = false;  // hidden or system: a dot name on POSIX
    bool IsLink = false;    // a symbolic link (IsFolder and Size describe what it points to)
    bool IsSpecial = false; // neither a plain file nor a folder: a device, pipe or socket
};

// Local time of a file, as the list writers print it.
struct FileTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Called now and then while a folder is listed: a listing of a hundred thousand files takes
    // seconds, in which a window wants to handle its events. Set for one listing by ListingPaced.
    std::function<void()> WhileListing;

    virtual bool FileExists(const std::string& path) = 0; // a file, not a folder
    virtual bool FolderExists(const std::string& path) = 0;
    virtual std::unique_ptr<InputFile> OpenRead(const std::string& path) = 0;
    // Creates (or truncates) a file for writing.
    virtual std::unique_ptr<OutputFile> Create(const std::string& path) = 0;
    // Creates a file that must not exist yet.
    virtual std::unique_ptr<OutputFile> CreateNew(const std::string& path) = 0;
    // The folder's entries, "." and ".." left out, in no particular order.
    virtual std::vector<FolderEntry> ListFolder(const std::string& path) = 0;
    virtual std::int64_t FileLength(const std::string& path) = 0;
    virtual FileTime LastWriteTime(const std::string& path) = 0;
    // Renames or moves a file; fails (false) when the target exists or the move is refused.
    virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
    // Copies a file; fails (false) when the target exists.
    virtual bool CopyFile(const std::string& from, const std::string& to) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    // Moves a file to the desktop's trash so that the user can restore it; false when it could not.
    virtual bool MoveToTrash(const std::string& path) = 0;
    virtual bool CreateFolder(const std::string& path) = 0;
    // Puts the complete file `from` in the place of `to` in one step, replacing a file there; `to` is never
    // seen half written. A read-only `to` is refused, as it could not be deleted. Failures raise IoError.
    virtual void ReplaceFile(const std::string& from, const std::string& to) = 0;
    // Whether two paths lead to the same file or folder on disk (through links, other spellings).
    // This base version compares the texts without regard to letter case.
    virtual bool SameObject(const std::string& a, const std::string& b);
    // A hint: the plain file at `path`, `size` bytes long as a folder listing gave it, is about to be
    // opened with OpenRead, after the files hinted before it. This base version ignores it.
    virtual void WillRead(const std::string& path, std::int64_t size);
};

// Lists `path` with `pace` called now and then on the way (FileSystem::WhileListing).
std::vector<FolderEntry> ListingPaced(FileSystem& fs, const std::string& path, std::function<void()> pace);

// The real file system of the machine.
class RealFileSystem : public FileSystem {
public:
    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> Create(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateNew(const std::string& path) override;
    std::vector<FolderEntry> ListFolder(const std::string& path) override;
    std::int64_t FileLength(const std::string& path) override;
    FileTime LastWriteTime(const std::string& path) override;
    bool RenameFile(const std::string& from, const std::string& to) override;
    bool CopyFile(const std::string& from, const std::string& to) override;
    bool DeleteFile(const std::string& path) override;
    bool MoveToTrash(const std::string& path) override;
    bool CreateFolder(const std::string& path) override;
    void ReplaceFile(const std::string& from, const std::string& to) override;
    bool SameObject(const std::string& a, const std::string& b) override;
    void WillRead(const std::string& path, std::int64_t size) override;
    RealFileSystem();
    ~RealFileSystem() override;

private:
    struct Ahead;
    Ahead& ahead();
    void ForgetHints();
    std::unique_ptr<Ahead> ahead_; // the hinted files, made on the first hint
};

// The one real file system of the process.
FileSystem& RealFs();

} // namespace tv
