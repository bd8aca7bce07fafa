#include "platform/ReplacingFile.h"

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace tv {

namespace {
constexpr std::size_t FlushAt = std::size_t{1} << 16;
constexpr int MaxTempTries = 1000;
} // namespace

ReplacingFile::ReplacingFile(FileSystem& fs, std::string target) : fs_(fs), target_(std::move(target)) {
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

void ReplacingFile::Commit() {
    Flush();
    out_->Sync();
    out_->Close();
    out_.reset();
    fs_.ReplaceFile(temp_, target_);
    committed_ = true;
}

} // namespace tv
