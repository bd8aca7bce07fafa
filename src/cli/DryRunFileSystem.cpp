#include "DryRunFileSystem.h"
#include "CliTexts.h"

#include "platform/Errors.h"
#include "platform/Paths.h"

#include <cerrno>

namespace tv::cli {

namespace {

[[noreturn]] void Refuse(const std::string& path) {
    throw IoError("File access denied", cli::Say("試行では何も変更しません"), {}, path);
}

} // namespace

void DryRunFileSystem::Remove(bool trash, const std::string& path) {
    if (Removed(path) || !real_.Identify(path).Exists) throw IoErrorFromErrno(ENOENT, path);
    removals_.push_back({trash, path});
    removed_.insert(FileNameKey(path));
}

bool DryRunFileSystem::Removed(const std::string& path) const {
    return !removed_.empty() && removed_.count(FileNameKey(path)) != 0;
}

bool DryRunFileSystem::FileExists(const std::string& path) {
    return !Removed(path) && real_.FileExists(path);
}

std::vector<std::string> DryRunFileSystem::ListNames(const std::string& path) {
    std::vector<std::string> names = real_.ListNames(path);
    if (!removed_.empty())
        std::erase_if(names, [&](const std::string& name) { return Removed(FolderFile(path, name)); });
    return names;
}

FileIdentity DryRunFileSystem::Identify(const std::string& path, bool follow) {
    return Removed(path) ? FileIdentity{} : real_.Identify(path, follow);
}

void DryRunFileSystem::DeleteFile(const std::string& path) {
    Remove(false, path);
}

void DryRunFileSystem::MoveToTrash(const std::string& path) {
    Remove(true, path);
}

void DryRunFileSystem::DeleteBeneath(const std::string& root, const std::string& rel, const FileIdentity& expected) {
    const std::string path = FolderFile(root, rel);
    if (!real_.Identify(path).SameObject(expected)) throw IoError("File not found", cli::Say("ファイルが変わっています"), {}, path);
    Remove(false, path);
}

std::unique_ptr<OutputFile> DryRunFileSystem::Create(const std::string& path) {
    Refuse(path);
}

std::unique_ptr<OutputFile> DryRunFileSystem::CreateNew(const std::string& path) {
    Refuse(path);
}

void DryRunFileSystem::RenameFile(const std::string& from, const std::string&) {
    Refuse(from);
}

void DryRunFileSystem::CopyFile(const std::string& from, const std::string&) {
    Refuse(from);
}

void DryRunFileSystem::CreateFolder(const std::string& path) {
    Refuse(path);
}

void DryRunFileSystem::ReplaceFile(const std::string&, const std::string& to) {
    Refuse(to);
}

void DryRunFileSystem::RenameBeneath(const std::string& root, const std::string& fromRel, const std::string&) {
    Refuse(FolderFile(root, fromRel));
}

void DryRunFileSystem::TransferBeneath(const std::string& srcRoot, const std::string& srcRel, const FileIdentity&,
                                       const std::string&, const std::string&, bool) {
    Refuse(FolderFile(srcRoot, srcRel));
}

void DryRunFileSystem::CreateFolderBeneath(const std::string& root, const std::string& rel) {
    Refuse(FolderFile(root, rel));
}

} // namespace tv::cli
