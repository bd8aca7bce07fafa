#pragma once
// The file system of a dry run: everything is read from the real one, and nothing is changed. A
// deletion or a move to the trash (what the verification and the search do to duplicates) is noted
// instead of made, and the noted files look gone to later questions, so the rest of the run plans
// as it would after them; any other change is refused, as a dry run never reaches one.
#include "platform/FileSystem.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace tv::cli {

class DryRunFileSystem : public FileSystem {
public:
    struct Removal {
        bool Trash = false;
        std::string Path;
    };

    explicit DryRunFileSystem(FileSystem& real) : real_(real) {}

    // The deletions and trashings a real run would have made, in order.
    const std::vector<Removal>& Removals() const { return removals_; }

    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override { return real_.FolderExists(path); }
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override { return real_.OpenRead(path); }
    std::unique_ptr<OutputFile> Create(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateNew(const std::string& path) override;
    std::vector<FolderEntry> ListFolder(const std::string& path) override { return real_.ListFolder(path); }
    // Every name the real run's planning sees, a dangling link's too; the noted removals left out.
    std::vector<std::string> ListNames(const std::string& path) override;
    std::int64_t FileLength(const std::string& path) override { return real_.FileLength(path); }
    FileTime LastWriteTime(const std::string& path) override { return real_.LastWriteTime(path); }
    void RenameFile(const std::string& from, const std::string& to) override;
    void CopyFile(const std::string& from, const std::string& to) override;
    void DeleteFile(const std::string& path) override;
    void MoveToTrash(const std::string& path) override;
    void CreateFolder(const std::string& path) override;
    void ReplaceFile(const std::string& from, const std::string& to) override;
    bool SameObject(const std::string& a, const std::string& b) override { return real_.SameObject(a, b); }
    void WillRead(const std::string& path, std::int64_t size) override { real_.WillRead(path, size); }
    std::shared_ptr<const void> ReadWholeFiles(const std::string& folder, WholeFile* files, std::size_t count) override {
        return real_.ReadWholeFiles(folder, files, count);
    }
    bool ReadsWholeFiles() override { return real_.ReadsWholeFiles(); }
    bool RemoveIfAbandoned(const std::string&) override { return false; }
    FileIdentity Identify(const std::string& path, bool follow = false) override;
    void RenameBeneath(const std::string& root, const std::string& fromRel, const std::string& toRel) override;
    void TransferBeneath(const std::string& srcRoot, const std::string& srcRel, const FileIdentity& expected,
                         const std::string& root, const std::string& toRel, bool keepSource) override;
    void DeleteBeneath(const std::string& root, const std::string& rel, const FileIdentity& expected) override;
    void CreateFolderBeneath(const std::string& root, const std::string& rel) override;
    void SyncFolder(const std::string&) override {}
    void HoldRoots(bool hold) override { real_.HoldRoots(hold); }

private:
    void Remove(bool trash, const std::string& path);
    bool Removed(const std::string& path) const;

    FileSystem& real_;
    std::vector<Removal> removals_;
    std::unordered_set<std::string> removed_; // by FileNameKey
};

} // namespace tv::cli
