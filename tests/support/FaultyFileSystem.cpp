#include "support/FaultyFileSystem.h"

#include "platform/Errors.h"

#include <cerrno>

namespace tv::test {

const char* FaultName(Fault f) {
    switch (f) {
    case Fault::NotFound:
        return "not found";
    case Fault::AccessDenied:
        return "access denied";
    case Fault::ReadBeyondEnd:
        return "read beyond end";
    case Fault::DiskFull:
        return "disk full";
    case Fault::RenameRefused:
        return "rename refused";
    }
    return "?";
}

namespace {

bool Applies(Fault f, FaultyFileSystem::Op op) {
    using Op = FaultyFileSystem::Op;
    switch (f) {
    case Fault::NotFound:
    case Fault::AccessDenied:
        return op == Op::Path || op == Op::Rename || op == Op::Copy;
    case Fault::ReadBeyondEnd:
        return op == Op::Read;
    case Fault::DiskFull:
        return op == Op::Write || op == Op::Copy;
    case Fault::RenameRefused:
        return op == Op::Rename;
    }
    return false;
}

class FaultyInput : public InputFile {
public:
    FaultyInput(FaultyFileSystem& fs, std::unique_ptr<InputFile> inner, std::string path)
        : fs_(fs), inner_(std::move(inner)), path_(std::move(path)) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        if (fs_.Hit(FaultyFileSystem::Op::Read, true, "Read", path_)) fs_.Throw();
        return inner_->Read(buffer, size);
    }
    std::int64_t Length() override { return inner_->Length(); }

private:
    FaultyFileSystem& fs_;
    std::unique_ptr<InputFile> inner_;
    std::string path_;
};

class FaultyOutput : public OutputFile {
public:
    FaultyOutput(FaultyFileSystem& fs, std::unique_ptr<OutputFile> inner, std::string path)
        : fs_(fs), inner_(std::move(inner)), path_(std::move(path)) {}
    void Write(const void* data, std::size_t size) override {
        if (fs_.Hit(FaultyFileSystem::Op::Write, true, "Write", path_)) {
            // The disk fills up part of the way through: half of the bytes get written.
            inner_->Write(data, size / 2);
            fs_.Throw();
        }
        inner_->Write(data, size);
    }
    void Sync() override {
        if (fs_.Hit(FaultyFileSystem::Op::Write, true, "Sync", path_)) fs_.Throw();
        inner_->Sync();
    }
    void Close() override {
        if (fs_.Hit(FaultyFileSystem::Op::Write, true, "Close", path_)) {
            try {
                inner_->Close();
            } catch (const IoError&) {
            }
            fs_.Throw();
        }
        inner_->Close();
    }

private:
    FaultyFileSystem& fs_;
    std::unique_ptr<OutputFile> inner_;
    std::string path_;
};

} // namespace

void FaultyFileSystem::FailAt(Fault fault, int k) {
    active_ = true;
    fault_ = fault;
    failAt_ = k;
    count_ = 0;
    failed_.clear();
    loud_ = false;
}

void FaultyFileSystem::Off() {
    active_ = false;
}

bool FaultyFileSystem::Hit(Op op, bool loud, const char* name, const std::string& path) {
    const std::lock_guard<std::mutex> held(hitLock_);
    if (!active_ || !Applies(fault_, op)) return false;
    ++count_;
    if (count_ != failAt_) return false;
    failed_ = std::string(name) + " " + path;
    failedPath_ = path;
    loud_ = loud;
    return true;
}

void FaultyFileSystem::Throw() const {
    // The runtime's texts, with the system's error a real failure of the kind carries.
    auto failure = [&](const char* text, int err) {
        return IoError(text, {}, std::error_code(err, std::generic_category()), failedPath_);
    };
    switch (fault_) {
    case Fault::NotFound:
        throw failure("File not found", ENOENT);
    case Fault::AccessDenied:
        throw failure("File access denied", EACCES);
    case Fault::ReadBeyondEnd:
        throw IoError("Read beyond end of file", {}, {}, failedPath_);
    case Fault::DiskFull:
        throw IoErrorFromErrno(ENOSPC, failedPath_);
    case Fault::RenameRefused:
        throw failure("File access denied", EACCES);
    }
    throw IoError("I/O error");
}

bool FaultyFileSystem::FileExists(const std::string& path) {
    if (Hit(Op::Path, false, "FileExists", path)) return false;
    return inner_.FileExists(path);
}

bool FaultyFileSystem::FolderExists(const std::string& path) {
    if (Hit(Op::Path, false, "FolderExists", path)) return false;
    return inner_.FolderExists(path);
}

std::unique_ptr<InputFile> FaultyFileSystem::OpenRead(const std::string& path) {
    if (Hit(Op::Path, true, "OpenRead", path)) Throw();
    return std::make_unique<FaultyInput>(*this, inner_.OpenRead(path), path);
}

std::unique_ptr<OutputFile> FaultyFileSystem::Create(const std::string& path) {
    if (Hit(Op::Path, true, "Create", path)) Throw();
    return std::make_unique<FaultyOutput>(*this, inner_.Create(path), path);
}

std::unique_ptr<OutputFile> FaultyFileSystem::CreateNew(const std::string& path) {
    if (Hit(Op::Path, true, "CreateNew", path)) Throw();
    return std::make_unique<FaultyOutput>(*this, inner_.CreateNew(path), path);
}

std::vector<FolderEntry> FaultyFileSystem::ListFolder(const std::string& path) {
    if (Hit(Op::Path, true, "ListFolder", path)) Throw();
    return inner_.ListFolder(path);
}

std::int64_t FaultyFileSystem::FileLength(const std::string& path) {
    if (Hit(Op::Path, true, "FileLength", path)) Throw();
    return inner_.FileLength(path);
}

FileTime FaultyFileSystem::LastWriteTime(const std::string& path) {
    if (Hit(Op::Path, true, "LastWriteTime", path)) Throw();
    return inner_.LastWriteTime(path);
}

void FaultyFileSystem::RenameFile(const std::string& from, const std::string& to) {
    if (Hit(Op::Rename, true, "RenameFile", from)) Throw();
    inner_.RenameFile(from, to);
}

void FaultyFileSystem::CopyFile(const std::string& from, const std::string& to) {
    if (Hit(Op::Copy, true, "CopyFile", from)) Throw();
    inner_.CopyFile(from, to);
}

void FaultyFileSystem::DeleteFile(const std::string& path) {
    if (Hit(Op::Path, true, "DeleteFile", path)) Throw();
    inner_.DeleteFile(path);
}

void FaultyFileSystem::MoveToTrash(const std::string& path) {
    if (Hit(Op::Path, true, "MoveToTrash", path)) Throw();
    inner_.MoveToTrash(path);
}

void FaultyFileSystem::CreateFolder(const std::string& path) {
    if (Hit(Op::Path, true, "CreateFolder", path)) Throw();
    inner_.CreateFolder(path);
}

void FaultyFileSystem::ReplaceFile(const std::string& from, const std::string& to) {
    if (Hit(Op::Rename, true, "ReplaceFile", to)) Throw();
    inner_.ReplaceFile(from, to);
}

// The confined changes fail as their plain counterparts do, and forward to the inner file system's own.
void FaultyFileSystem::RenameBeneath(const std::string& root, const std::string& fromRel, const std::string& toRel) {
    if (Hit(Op::Rename, true, "RenameBeneath", fromRel)) Throw();
    inner_.RenameBeneath(root, fromRel, toRel);
}

void FaultyFileSystem::TransferBeneath(const std::string& srcRoot, const std::string& srcRel,
                                       const FileIdentity& expected, const std::string& root, const std::string& toRel,
                                       bool keepSource) {
    if (Hit(keepSource ? Op::Copy : Op::Rename, true, "TransferBeneath", srcRel)) Throw();
    inner_.TransferBeneath(srcRoot, srcRel, expected, root, toRel, keepSource);
}

void FaultyFileSystem::DeleteBeneath(const std::string& root, const std::string& rel, const FileIdentity& expected) {
    if (Hit(Op::Path, true, "DeleteBeneath", rel)) Throw();
    inner_.DeleteBeneath(root, rel, expected);
}

void FaultyFileSystem::CreateFolderBeneath(const std::string& root, const std::string& rel) {
    if (Hit(Op::Path, true, "CreateFolderBeneath", rel)) Throw();
    inner_.CreateFolderBeneath(root, rel);
}

} // namespace tv::test
