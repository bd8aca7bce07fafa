#pragma once
// Every file operation of the program goes through FileSystem, so a test can put a fault-injecting
// decorator in front of the real one. Failures raise IoError with the runtime's text, the system's error
// and the path; only the queries (FileExists, FolderExists, SameObject, RemoveIfAbandoned, Identify)
// answer instead of raising.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tv {

// One opened file, read sequentially.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to `size` bytes; returns how many were read, 0 at the end of the file.
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
    virtual std::int64_t Length() = 0;
    // A file read whole beforehand, nothing of it read yet: its Length() bytes, which a reader may take
    // in place instead of reading them. nullptr for any other.
    virtual const unsigned char* WholeBytes() { return nullptr; }
};

// A file's bytes read whole beforehand, handed out as the file's reads would; `keep` holds them (or nothing,
// when their holder outlives the file).
class BytesFile final : public InputFile {
public:
    BytesFile(const unsigned char* data, std::size_t size, std::shared_ptr<const void> keep)
        : keep_(std::move(keep)), data_(data), left_(size), size_(size) {}
    std::size_t Read(void* buffer, std::size_t size) override;
    std::int64_t Length() override { return static_cast<std::int64_t>(size_); }
    const unsigned char* WholeBytes() override { return left_ == size_ ? data_ : nullptr; }

private:
    std::shared_ptr<const void> keep_;
    const unsigned char* data_;
    std::size_t left_, size_;
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

// One file of a batch read whole by ReadWholeFiles.
struct WholeFile {
    const char* Name = nullptr;          // within the folder
    std::int64_t Size = 0;               // as a folder listing gave it
    const unsigned char* Data = nullptr; // its bytes, when the file held exactly Size of them
};

struct FolderEntry {
    std::string Name;
    std::int64_t Size = 0;
    bool IsFolder = false;
    bool IsHidden = false;  // hidden or system: a dot name on POSIX
    bool IsLink = false;    // a symbolic link (IsFolder and Size describe what it points to)
    bool IsSpecial = false; // neither a plain file nor a folder: a device, pipe or socket
    // What the listing learnt of a plain file that is no link, where the system tells it (0 elsewhere):
    // its volume and object (as FileIdentity) and its write and change times (as FileStamp).
    std::uint64_t Volume = 0, Object = 0;
    std::int64_t Modified = 0, Changed = 0;
};

// Local time of a file, as the list writers print it.
struct FileTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

// What a path names, a link in its last part not followed. Volume and Object tell files apart: the
// device and inode number on POSIX, the volume serial number and file index on Windows.
struct FileIdentity {
    bool Exists = false;
    bool IsLink = false;
    bool IsFile = false; // a plain file: not a link, folder, device, pipe or socket
    std::uint64_t Volume = 0, Object = 0;
    std::int64_t Size = 0;
    bool SameObject(const FileIdentity& o) const {
        return Exists && o.Exists && Object != 0 && Volume == o.Volume && Object == o.Object; // 0: not known
    }
};

// A plain file's identity with its times, in nanoseconds since 1970 (0 where the system does not tell):
// the last write of its bytes, and the last change of the file at all (bytes, names, owner, times), which
// no program can set back.
struct FileStamp {
    FileIdentity Id;
    std::int64_t Modified = 0, Changed = 0;
};

// A listed plain file's stamp; Id.Exists is false where the listing did not learn it.
inline FileStamp ListedStamp(const FolderEntry& e) {
    FileStamp s;
    if (e.Object == 0) return s;
    s.Id.Exists = s.Id.IsFile = true;
    s.Id.Volume = e.Volume;
    s.Id.Object = e.Object;
    s.Id.Size = e.Size;
    s.Modified = e.Modified;
    s.Changed = e.Changed;
    return s;
}

// An exclusive lock on a file (flock on POSIX, LockFileEx on Windows), held until this object goes. The
// system drops it with its process: a killed holder leaves no lock behind.
class FileLock {
public:
    virtual ~FileLock() = default;
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
    // Creates a file that must not exist yet under the exclusive lock TryLock takes, held until the
    // returned file is closed; the file may be deleted while held. IoError
    // (EWOULDBLOCK) when another took the new file's lock before its maker could. This base version is
    // CreateNew.
    virtual std::unique_ptr<OutputFile> CreateNewLocked(const std::string& path);
    // Takes the exclusive lock of the file at `path`: nullptr while another holds it. IoError when there
    // is no file (IsNotFound), also when its holder removed it meanwhile. A `temporary` lock file is made
    // empty when missing and removed as the lock goes. This base version takes a lock that holds nothing.
    virtual std::unique_ptr<FileLock> TryLock(const std::string& path, bool temporary = false);
    // The folder's entries, "." and ".." left out, in no particular order.
    virtual std::vector<FolderEntry> ListFolder(const std::string& path) = 0;
    // The folder's entries as ListFolder gives them, but as cheaply as the system tells their names and
    // kinds: Size may be left 0 (FileLength asks), and a file that vanished meanwhile may be named. This
    // base version is ListFolder.
    virtual std::vector<FolderEntry> ListFolderKinds(const std::string& path);
    virtual std::int64_t FileLength(const std::string& path) = 0;
    virtual FileTime LastWriteTime(const std::string& path) = 0;
    // Renames or moves a file; a taken target is refused (IoError, IsNameTaken), never replaced.
    virtual void RenameFile(const std::string& from, const std::string& to) = 0;
    // Copies a file; a taken target is refused (IoError, IsNameTaken).
    virtual void CopyFile(const std::string& from, const std::string& to) = 0;
    virtual void DeleteFile(const std::string& path) = 0;
    // Moves a file to the desktop's trash so that the user can restore it; IoError when there is no
    // file to move (IsNotFound) or the trash refuses it.
    virtual void MoveToTrash(const std::string& path) = 0;
    // Creates one folder; its parent must exist, an existing one is refused (IsNameTaken).
    virtual void CreateFolder(const std::string& path) = 0;
    // Puts the complete file `from` in the place of `to` in one step, replacing a file there; `to` is never
    // seen half written. A read-only `to` is refused, as it could not be deleted. Failures raise IoError.
    virtual void ReplaceFile(const std::string& from, const std::string& to) = 0;
    // Whether two paths lead to the same file or folder on disk (through links, other spellings).
    // This base version compares the texts as the file system compares names (SameFileName).
    virtual bool SameObject(const std::string& a, const std::string& b);
    // A hint: the plain file at `path`, `size` bytes long as a folder listing gave it, is about to be
    // opened with OpenRead, after the files hinted before it. This base version ignores it.
    virtual void WillRead(const std::string& path, std::int64_t size);
    // Reads the small plain files `files` of the folder `folder` ("" is the current one) whole, as many
    // at once as the system allows, on the calling thread (a hashing worker). A file that held exactly its
    // listed size gets its bytes, kept while the returned holder lives; any other (grown, shrunk, gone,
    // refused, not a plain file) gets none, and OpenRead tells what it is. At most WholeFilesAtMost files
    // of WholeBytesAtMost bytes together, less one byte a file. This base version reads none.
    virtual std::shared_ptr<const void> ReadWholeFiles(const std::string& folder, WholeFile* files, std::size_t count);
    // Whether ReadWholeFiles reads anything here (it may still leave a batch to OpenRead).
    virtual bool ReadsWholeFiles();
    static constexpr std::size_t WholeFilesAtMost = 64;
    static constexpr std::size_t WholeBytesAtMost = std::size_t{4} << 20;
    // Deletes the plain file `path` when no process holds it: CreateNew's files stay held by their
    // writer until closed, so one left by a killed write can go. False when it is held, not a plain file
    // or cannot be deleted. This base version never deletes.
    virtual bool RemoveIfAbandoned(const std::string& path);

    // Puts the folder's list of entries on the disk (a file just made or renamed in it stays so after a
    // power loss). This base version does nothing.
    virtual void SyncFolder(const std::string& path);

    // The path itself, a link in its last part not followed (Follow: what opening it reaches). This base
    // version knows only whether a file is there.
    virtual FileIdentity Identify(const std::string& path, bool follow = false);

    // Changes confined beneath a folder. `root` is taken as given; `rel` is a path below it whose parts
    // are separated by "/", none of them "..", and none of them may be a link: a link, or a folder swapped
    // for one during the run, never leads outside `root`. Failures raise IoError with the system's reason.
    // These base versions join the paths and use the plain operations (no confinement).
    //
    // Renames within `root`; never replaces a file.
    virtual void RenameBeneath(const std::string& root, const std::string& fromRel, const std::string& toRel);
    // Brings the plain file `srcRel` beneath `srcRoot`, which must still be `expected` (same object and size)
    // and is never followed when it is a link, to `toRel` beneath `root`: copied (keepSource) or moved. A
    // copy is on the disk, file and folder entry, before its source is removed.
    virtual void TransferBeneath(const std::string& srcRoot, const std::string& srcRel, const FileIdentity& expected,
                                 const std::string& root, const std::string& toRel, bool keepSource);
    // Deletes the plain file `rel` beneath `root` when it is still `expected`.
    virtual void DeleteBeneath(const std::string& root, const std::string& rel, const FileIdentity& expected);
    // Creates the folder `rel` beneath `root` (its parent must exist); an existing real folder is fine.
    virtual void CreateFolderBeneath(const std::string& root, const std::string& rel);
    // The names in a folder, "." and ".." left out, nothing asked of each (a file that vanished meanwhile
    // may be named). This base version takes them from ListFolder.
    virtual std::vector<std::string> ListNames(const std::string& path);
    // The stamp of `rel` beneath `root`, a link not followed (Id.Exists false when nothing is there). This
    // base version knows the identity alone.
    virtual FileStamp StampBeneath(const std::string& root, const std::string& rel);
    // Moves the plain file `srcRel` beneath `srcRoot`, which must still be `expected` (same object and
    // size), to `toRel` beneath `root`, never replacing a file, and returns the stamp the file had just
    // before: a rename on one volume keeps it all but the change time. This base version is
    // TransferBeneath with the identity alone.
    virtual FileStamp MoveBeneath(const std::string& srcRoot, const std::string& srcRel, const FileIdentity& expected,
                                  const std::string& root, const std::string& toRel);
    // While held, the changes above open each root once and keep it open, instead of once a change: a run
    // over a hundred thousand entries then walks the roots' paths once. The changes stay beneath each root
    // as it was when first opened. This base version does nothing.
    virtual void HoldRoots(bool hold);
};

// Holds the roots of the confined changes for one scope.
class RootsHeld {
public:
    explicit RootsHeld(FileSystem& fs) : fs_(fs) { fs_.HoldRoots(true); }
    ~RootsHeld() { fs_.HoldRoots(false); }
    RootsHeld(const RootsHeld&) = delete;
    RootsHeld& operator=(const RootsHeld&) = delete;

private:
    FileSystem& fs_;
};

class UniqueFd;

// Lists `path` with `pace` called now and then on the way (FileSystem::WhileListing); with `kindsOnly`,
// as ListFolderKinds lists it.
std::vector<FolderEntry> ListingPaced(FileSystem& fs, const std::string& path, std::function<void()> pace,
                                      bool kindsOnly = false);
// The folder's names (ListNames), with `pace` called now and then on the way.
std::vector<std::string> NamesPaced(FileSystem& fs, const std::string& path, std::function<void()> pace);

// The real file system of the machine.
class RealFileSystem : public FileSystem {
public:
    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> Create(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateNew(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateNewLocked(const std::string& path) override;
    std::unique_ptr<FileLock> TryLock(const std::string& path, bool temporary = false) override;
    std::vector<FolderEntry> ListFolder(const std::string& path) override;
    std::int64_t FileLength(const std::string& path) override;
    FileTime LastWriteTime(const std::string& path) override;
    void RenameFile(const std::string& from, const std::string& to) override;
    void CopyFile(const std::string& from, const std::string& to) override;
    void DeleteFile(const std::string& path) override;
    void MoveToTrash(const std::string& path) override;
    void CreateFolder(const std::string& path) override;
    void ReplaceFile(const std::string& from, const std::string& to) override;
    bool SameObject(const std::string& a, const std::string& b) override;
    FileIdentity Identify(const std::string& path, bool follow = false) override;
    bool RemoveIfAbandoned(const std::string& path) override;
    void RenameBeneath(const std::string& root, const std::string& fromRel, const std::string& toRel) override;
    void TransferBeneath(const std::string& srcRoot, const std::string& srcRel, const FileIdentity& expected,
                         const std::string& root, const std::string& toRel, bool keepSource) override;
    void DeleteBeneath(const std::string& root, const std::string& rel, const FileIdentity& expected) override;
    void CreateFolderBeneath(const std::string& root, const std::string& rel) override;
    void SyncFolder(const std::string& path) override;
#ifndef _WIN32
    // Read-ahead and held roots are POSIX here; on Windows the base versions serve (each confined
    // change opens its root again).
    void WillRead(const std::string& path, std::int64_t size) override;
    std::shared_ptr<const void> ReadWholeFiles(const std::string& folder, WholeFile* files, std::size_t count) override;
    bool ReadsWholeFiles() override;
    void HoldRoots(bool hold) override;
    std::vector<std::string> ListNames(const std::string& path) override;
    std::vector<FolderEntry> ListFolderKinds(const std::string& path) override;
    FileStamp StampBeneath(const std::string& root, const std::string& rel) override;
    FileStamp MoveBeneath(const std::string& srcRoot, const std::string& srcRel, const FileIdentity& expected,
                          const std::string& root, const std::string& toRel) override;
    RealFileSystem();
    ~RealFileSystem() override;

private:
    struct Ahead;
    Ahead& ahead();
    void ForgetHints();
    std::unique_ptr<Ahead> ahead_; // the hinted files, made on the first hint
    // A root's descriptor: a held one, or one opened into `owned` for a single change.
    int Root(const std::string& root, UniqueFd& owned);
    bool holdingRoots_ = false;
    std::vector<std::pair<std::string, int>> heldRoots_; // path as given, descriptor
#endif
};

// The one real file system of the process.
FileSystem& RealFs();

} // namespace tv
