#include "readers/TextLineReader.h"

#include "platform/Errors.h"
#include "readers/Utf16Input.h"

#include <algorithm>
#include <cstring>

namespace tv {

namespace {
constexpr std::size_t ReadBlock = 64 * 1024;
constexpr char CtrlZ = 26;

// No name of a real file comes near a mebibyte (the longest path any system takes is 32,767
// characters), so a longer line is hostile or broken. Its middle is dropped to keep the memory of one
// line bounded; both ends stay, the name's start and the fields that follow it.
constexpr std::size_t KeptHead = 512 * 1024, KeptTail = 512 * 1024;

void DropMiddle(std::string& line) {
    if (line.size() > KeptHead + KeptTail) line.erase(KeptHead, line.size() - KeptHead - KeptTail);
}

class TextInputFile final : public InputFile {
public:
    explicit TextInputFile(std::string bytes) : bytes_(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, bytes_.size() - pos_);
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    std::int64_t Length() override { return static_cast<std::int64_t>(bytes_.size()); }

private:
    std::string bytes_;
    std::size_t pos_ = 0;
};
} // namespace

TextLineReader::TextLineReader(FileSystem& fs, const std::string& path) : file_(fs.OpenRead(path)) {}

TextLineReader::TextLineReader(std::unique_ptr<InputFile> file) : file_(std::move(file)) {}

TextLineReader TextLineReader::OverText(std::string bytes) {
    return TextLineReader(std::make_unique<TextInputFile>(std::move(bytes)));
}

std::int64_t TextLineReader::LengthHint() {
    try {
        return file_->Length();
    } catch (const IoError&) {
        return 0;
    }
}

bool TextLineReader::Fill() {
    if (atEnd_) return false;
    buffer_.erase(0, pos_);
    pos_ = 0;
    std::size_t old = buffer_.size();
    buffer_.resize(old + ReadBlock);
    std::size_t n = file_->Read(buffer_.data() + old, ReadBlock);
    buffer_.resize(old + n);
    if (n == 0) atEnd_ = true;
    return n > 0;
}

void TextLineReader::Start() {
    started_ = true;
    while (buffer_.size() < 3 && Fill()) {
    }
    if (buffer_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
    bool bigEndian = false;
    if (!Utf16Input::HasBom(buffer_, bigEndian)) return;
    // From here on the lines are read from the decoded text; the bytes read so far are decoded first.
    auto decoded = std::make_unique<Utf16Input>(std::move(file_), buffer_.substr(2), bigEndian);
    utf16_ = decoded.get();
    file_ = std::move(decoded);
    buffer_.clear();
    atEnd_ = false;
}

bool TextLineReader::Undecodable() const {
    return utf16_ && utf16_->Broken();
}

int TextLineReader::Peek() {
    if (!started_) Start();
    if (pos_ >= buffer_.size() && !Fill()) {
        // Where a line would start: that line is the first the file could not give.
        if (Undecodable() && undecodableLine_ == 0) undecodableLine_ = lineNumber_ + 1;
        return -1;
    }
    return static_cast<unsigned char>(buffer_[pos_]);
}

bool TextLineReader::Eof() {
    int c = Peek();
    return c < 0 || c == CtrlZ;
}

std::string TextLineReader::ReadLine() {
    std::string line;
    if (Eof()) return line;
    ++lineNumber_;
    for (;;) {
        if (pos_ >= buffer_.size() && !Fill()) {
            if (Undecodable()) {
                // The line broke off at bytes that are no UTF-16: its text is not whole.
                if (undecodableLine_ == 0) undecodableLine_ = lineNumber_;
                line.clear();
            }
            DropMiddle(line);
            return line;
        }
        // Take everything up to the next LF in one piece, dropping lone CRs.
        std::size_t lf = buffer_.find('\n', pos_);
        std::size_t end = lf == std::string::npos ? buffer_.size() : lf;
        // Append the runs between CRs whole.
        while (pos_ < end) {
            // Look for a CR only up to the line's end: a search to the end of the buffer would make
            // every line of an LF-only file cost the whole rest of the block.
            const void* cr = std::memchr(buffer_.data() + pos_, '\r', end - pos_);
            std::size_t runEnd = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - buffer_.data()) : end;
            line.append(buffer_, pos_, runEnd - pos_);
            pos_ = runEnd < end ? runEnd + 1 : end;
        }
        // Trimmed only once twice the kept size is reached, so a long line is moved about rarely.
        if (line.size() >= 2 * (KeptHead + KeptTail)) DropMiddle(line);
        if (lf != std::string::npos) {
            ++pos_;
            DropMiddle(line);
            return line;
        }
    }
}

} // namespace tv
