// The plain versions of the confined changes, for file systems that cannot do better (a test's
// decorator forwards to the real ones instead): the paths are joined and the ordinary operations used.
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <functional>
#include <utility>

namespace tv {

namespace {

// A refused operation: "File not found" when its file is not there, else "File access denied".
[[noreturn]] void Refused(FileSystem& fs, const std::string& path) {
    if (fs.FileExists(path)) throw IoError("File access denied", "Operation not permitted");
    throw IoError("File not found", "No such file or directory");
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
    const std::string from = JoinPath(root, fromRel);
    if (!RenameFile(from, JoinPath(root, toRel))) Refused(*this, from);
}

void FileSystem::TransferBeneath(const std::string& srcRoot, const std::string& srcRel, const FileIdentity&,
                                 const std::string& root, const std::string& toRel, bool keepSource) {
    const std::string from = JoinPath(srcRoot, srcRel), to = JoinPath(root, toRel);
    if (!(keepSource ? CopyFile(from, to) : RenameFile(from, to))) Refused(*this, from);
}

void FileSystem::DeleteBeneath(const std::string& root, const std::string& rel, const FileIdentity&) {
    const std::string path = JoinPath(root, rel);
    if (!DeleteFile(path)) Refused(*this, path);
}

void FileSystem::CreateFolderBeneath(const std::string& root, const std::string& rel) {
    const std::string path = JoinPath(root, rel);
    if (!FolderExists(path) && !CreateFolder(path)) throw IoError("File access denied", "Operation not permitted");
}

// What every file system shares: hints are ignored unless a file system acts on them, and a paced
// listing calls its pace through the file system's listing.
void FileSystem::WillRead(const std::string&, std::int64_t) {}

void FileSystem::HoldRoots(bool) {}

void FileSystem::SyncFolder(const std::string&) {}

bool FileSystem::RemoveIfAbandoned(const std::string&) {
    return false;
}

std::vector<FolderEntry> ListingPaced(FileSystem& fs, const std::string& path, std::function<void()> pace) {
    struct Restore {
        FileSystem& fs;
        std::function<void()> before;
        ~Restore() { fs.WhileListing = std::move(before); }
    } restore{fs, std::exchange(fs.WhileListing, std::move(pace))};
    return fs.ListFolder(path);
}

} // namespace tv
