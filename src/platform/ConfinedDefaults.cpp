// The plain versions of the confined changes, for file systems that cannot do better (a test's
// decorator forwards to the real ones instead): the paths are joined and the ordinary operations used.
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <utility>

namespace tv {

namespace {

// A refused change shows "File not found" when its file is not there, else "File access denied", with the
// system's own error and reason kept.
template <class Change> void Refusing(const std::string& path, Change change) {
    try {
        change();
    } catch (const IoError& e) {
        const std::string& reason = e.Reason().empty() ? SystemReason(IsNotFound(e) ? ENOENT : EPERM) : e.Reason();
        throw IoError(IsNotFound(e) ? "File not found" : "File access denied", reason, e.Code(),
                      e.Path().empty() ? path : e.Path());
    }
}

} // namespace

FileIdentity FileSystem::Identify(const std::string& path, bool) {
    FileIdentity id;
    id.IsFile = FileExists(path);
    id.Exists = id.IsFile || FolderExists(path);
    if (id.IsFile) id.Size = FileLength(path);
    return id;
}

void FileSystem::RenameBeneath(const std::string& root, const std::string& fromRel, const std::string& toRel) {
    const std::string from = JoinBeneath(root, fromRel);
    Refusing(from, [&] { RenameFile(from, JoinBeneath(root, toRel)); });
}

void FileSystem::TransferBeneath(const std::string& srcRoot, const std::string& srcRel, const FileIdentity&,
                                 const std::string& root, const std::string& toRel, bool keepSource) {
    const std::string from = JoinBeneath(srcRoot, srcRel), to = JoinBeneath(root, toRel);
    Refusing(from, [&] { keepSource ? CopyFile(from, to) : RenameFile(from, to); });
}

void FileSystem::DeleteBeneath(const std::string& root, const std::string& rel, const FileIdentity&) {
    const std::string path = JoinBeneath(root, rel);
    Refusing(path, [&] { DeleteFile(path); });
}

void FileSystem::CreateFolderBeneath(const std::string& root, const std::string& rel) {
    const std::string path = JoinBeneath(root, rel);
    if (FolderExists(path)) return;
    try {
        CreateFolder(path);
    } catch (const IoError& e) {
        throw IoError("File access denied", e.Reason().empty() ? SystemReason(EPERM) : e.Reason(), e.Code(), path);
    }
}

std::vector<std::string> FileSystem::ListNames(const std::string& path) {
    std::vector<std::string> out;
    for (FolderEntry& e : ListFolder(path))
        out.push_back(std::move(e.Name));
    return out;
}

FileStamp FileSystem::StampBeneath(const std::string& root, const std::string& rel) {
    return {Identify(JoinBeneath(root, rel)), 0, 0};
}

FileStamp FileSystem::MoveBeneath(const std::string& srcRoot, const std::string& srcRel, const FileIdentity& expected,
                                  const std::string& root, const std::string& toRel) {
    FileStamp before{expected, 0, 0};
    TransferBeneath(srcRoot, srcRel, expected, root, toRel, false);
    return before;
}

// What every file system shares: hints are ignored unless a file system acts on them, and a paced
// listing calls its pace through the file system's listing.
void FileSystem::WillRead(const std::string&, std::int64_t) {}

std::shared_ptr<const void> FileSystem::ReadWholeFiles(const std::string&, WholeFile*, std::size_t) {
    return nullptr;
}

std::size_t BytesFile::Read(void* buffer, std::size_t size) {
    const std::size_t n = std::min(size, left_);
    std::memcpy(buffer, data_, n);
    data_ += n;
    left_ -= n;
    return n;
}

bool FileSystem::ReadsWholeFiles() {
    return false;
}

void FileSystem::HoldRoots(bool) {}

void FileSystem::SyncFolder(const std::string&) {}

bool FileSystem::RemoveIfAbandoned(const std::string&) {
    return false;
}

std::unique_ptr<OutputFile> FileSystem::CreateNewLocked(const std::string& path) {
    return CreateNew(path);
}

std::unique_ptr<FileLock> FileSystem::TryLock(const std::string&, bool) {
    return std::make_unique<FileLock>();
}

std::vector<FolderEntry> FileSystem::ListFolderKinds(const std::string& path) {
    return ListFolder(path);
}

namespace {

// The file system's pace for as long as it lives, then the one before.
struct PacedScope {
    PacedScope(FileSystem& f, std::function<void()> pace) : fs(f), before(std::exchange(f.WhileListing, std::move(pace))) {}
    ~PacedScope() { fs.WhileListing = std::move(before); }
    PacedScope(const PacedScope&) = delete;
    PacedScope& operator=(const PacedScope&) = delete;
    FileSystem& fs;
    std::function<void()> before;
};

} // namespace

std::vector<FolderEntry> ListingPaced(FileSystem& fs, const std::string& path, std::function<void()> pace,
                                      bool kindsOnly) {
    const PacedScope scope(fs, std::move(pace));
    return kindsOnly ? fs.ListFolderKinds(path) : fs.ListFolder(path);
}

std::vector<std::string> NamesPaced(FileSystem& fs, const std::string& path, std::function<void()> pace) {
    const PacedScope scope(fs, std::move(pace));
    return fs.ListNames(path);
}

} // namespace tv
