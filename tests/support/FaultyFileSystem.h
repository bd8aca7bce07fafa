#pragma once
// A file system that fails on purpose: a decorator over another one (the real one by default) that
// makes the k-th operation of a chosen kind fail with a chosen error, so that every step of a command
// can be made to fail in turn. The queries (exists) answer false; the others raise IoError with the
// runtime's text, the system's error of the kind and the path.
#include "platform/FileSystem.h"

#include <mutex>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tv::test {

enum class Fault {
    NotFound,      // any operation on a path: the file or folder is not there
    AccessDenied,  // any operation on a path: refused
    ReadBeyondEnd, // a read of an open file: the file ended early
    DiskFull,      // a write, putting a written file on the disk, its close, or a copy: no space left
    RenameRefused, // a rename, a move, or a file taking another's place: refused
};
const char* FaultName(Fault f);
inline constexpr Fault AllFaults[] = {Fault::NotFound, Fault::AccessDenied, Fault::ReadBeyondEnd, Fault::DiskFull,
                                      Fault::RenameRefused};

class FaultyFileSystem : public FileSystem {
public:
    explicit FaultyFileSystem(FileSystem& inner = RealFs()) : inner_(inner) {}

    // From now on, counts the operations `fault` applies to and fails the k-th of them (1-based);
    // k = 0 only counts.
    void FailAt(Fault fault, int k);
    // Counts nothing and fails nothing.
    void Off();
    // Operations `fault` applied to since FailAt.
    int Count() const { return count_; }
    // The failed operation, as "Operation path"; empty while none has failed.
    const std::string& Failed() const { return failed_; }
    // Whether the failure is one the command must report: an IoError. A false from an existence test
    // shows only in what the command does next.
    bool FailedLoudly() const { return loud_; }

    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> Create(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateNew(const std::string& path) override;
    std::vector<FolderEntry> ListFolder(const std::string& path) override;
    std::int64_t FileLength(const std::string& path) override;
    FileTime LastWriteTime(const std::string& path) override;
    void RenameFile(const std::string& from, const std::string& to) override;
    void CopyFile(const std::string& from, const std::string& to) override;
    void DeleteFile(const std::string& path) override;
    void MoveToTrash(const std::string& path) override;
    void CreateFolder(const std::string& path) override;
    void ReplaceFile(const std::string& from, const std::string& to) override;
    // Never fails: it answers a question about two paths and touches no file.
    bool SameObject(const std::string& a, const std::string& b) override { return inner_.SameObject(a, b); }

    FileIdentity Identify(const std::string& path, bool follow = false) override {
        return inner_.Identify(path, follow);
    }
    void RenameBeneath(const std::string& root, const std::string& fromRel, const std::string& toRel) override;
    void TransferBeneath(const std::string& srcRoot, const std::string& srcRel, const FileIdentity& expected,
                         const std::string& root, const std::string& toRel, bool keepSource) override;
    void DeleteBeneath(const std::string& root, const std::string& rel, const FileIdentity& expected) override;
    void CreateFolderBeneath(const std::string& root, const std::string& rel) override;

    // Used by the opened files this decorator hands out.
    enum class Op { Path, Read, Write, Rename, Copy };
    // Counts the operation; true when it is the one to fail.
    bool Hit(Op op, bool loud, const char* name, const std::string& path);
    [[noreturn]] void Throw() const;

private:
    FileSystem& inner_;
    std::mutex hitLock_; // the hashing workers open and read files while the walk runs
    bool active_ = false;
    Fault fault_ = Fault::NotFound;
    int failAt_ = 0;
    int count_ = 0;
    std::string failed_;
    std::string failedPath_;
    bool loud_ = false;
};

} // namespace tv::test
