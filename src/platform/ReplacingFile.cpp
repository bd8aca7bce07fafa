#include "platform/ReplacingFile.h"

#include "platform/Errors.h"
#include "platform/Paths.h"

#include <cerrno>
#include <chrono>
#include <thread>

namespace tv {

namespace {
constexpr std::size_t FlushAt = std::size_t{1} << 16;
constexpr int MaxTempTries = 1000;
constexpr auto LockWait = std::chrono::seconds(30);

// The lock of the writes of `target`: nullptr when another write still holds it after LockWait.
std::unique_ptr<FileLock> TakeTurn(FileSystem& fs, const std::string& target) {
    // Appended piece by piece: a literal + string chain trips a false -Wrestrict of GCC 12 at -O3.
    std::string name = ".";
    name += ExtractFileName(target);
    name += ".tallyvault-lock";
    const std::string path = FolderFile(ExtractFileDir(target), name);
    const auto until = std::chrono::steady_clock::now() + LockWait;
    for (;;) {
        if (std::unique_ptr<FileLock> lock = fs.TryLock(path, true)) return lock;
        if (std::chrono::steady_clock::now() > until) {
            std::string reason = "another write of ";
            reason += ExtractFileName(target);
            reason += " is running";
            throw IoError("File access denied", reason, std::error_code(EWOULDBLOCK, std::generic_category()), target);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
} // namespace

ReplacingFile::ReplacingFile(FileSystem& fs, std::string target)
    : fs_(fs), target_(std::move(target)), lock_(TakeTurn(fs_, target_)) {
    const std::string folder = ExtractFileDir(target_);
    // Leftovers of killed writes go first, the unbroken run from the first name on: otherwise they
    // would pile up until no name is left.
    for (int n = 1; n <= MaxTempTries; ++n) {
        const std::string candidate = FolderFile(folder, ".tallyvault-" + std::to_string(n) + ".tmp");
        if (!fs_.FileExists(candidate)) break;
        fs_.RemoveIfAbandoned(candidate);
    }
    for (int n = 1;; ++n) {
        std::string candidate = FolderFile(folder, ".tallyvault-" + std::to_string(n) + ".tmp");
        if (n < MaxTempTries && (fs_.FileExists(candidate) || fs_.FolderExists(candidate))) continue;
        try {
            out_ = fs_.CreateNew(candidate);
            temp_ = std::move(candidate);
            break;
        } catch (const IoError& e) {
            // Another writer took the name between the test and the creation: try the next one.
            if (n >= MaxTempTries || !IsNameTaken(e)) throw;
        }
    }
    buffer_.reserve(FlushAt + 4096);
}

ReplacingFile::~ReplacingFile() {
    if (committed_) return;
    out_.reset(); // closes the file without reporting
    try {
        fs_.DeleteFile(temp_);
    } catch (const IoError&) {
        // Left behind, it is removed as abandoned by the next write into this folder.
    }
}

void ReplacingFile::Write(std::string_view text) {
    // A piece as large as the buffer goes to the file as it is, not copied through the buffer.
    if (text.size() >= FlushAt) {
        Flush();
        out_->Write(text.data(), text.size());
        return;
    }
    buffer_ += text;
    if (buffer_.size() >= FlushAt) Flush();
}

void ReplacingFile::WriteLine(std::string_view text) {
    Write(text);
    Write("\r\n");
}

void ReplacingFile::Flush() {
    if (buffer_.empty()) return;
    out_->Write(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void ReplacingFile::Seal() {
    Flush();
    out_->Sync();
    sealed_ = true;
}

void ReplacingFile::Commit() {
    if (!sealed_) Seal();
    out_->Close();
    out_.reset();
    fs_.ReplaceFile(temp_, target_);
    committed_ = true;
    lock_.reset();
}

} // namespace tv
