#pragma once
// A UTF-16 list file read as UTF-8: the bytes after its byte order mark are decoded a block at a time,
// so a list of any length is never held whole. Decoding stops for good at the first code unit that is
// no character (a lone surrogate) or at an odd last byte; the text before it is still given out, and
// Broken() then tells the reader that the file did not end where its text ended.
#include "platform/FileSystem.h"

#include <memory>
#include <string>

namespace tv {

class Utf16Input final : public InputFile {
public:
    // `pending` holds the bytes already read from `raw` past the byte order mark.
    Utf16Input(std::unique_ptr<InputFile> raw, std::string pending, bool bigEndian);

    std::size_t Read(void* buffer, std::size_t size) override;
    // The length of the file as stored (its UTF-16 bytes).
    std::int64_t Length() override { return raw_->Length(); }

    // True once the text stopped at bytes that are no UTF-16.
    bool Broken() const { return broken_; }

    // Whether a file opening with these bytes is UTF-16 with a byte order mark, and in which order.
    static bool HasBom(std::string_view start, bool& bigEndian);

private:
    void Decode();

    std::unique_ptr<InputFile> raw_;
    std::string in_;  // bytes read and not yet decoded: a block, an odd byte, a surrogate awaiting its pair
    std::string out_; // decoded text not yet given out
    std::size_t outPos_ = 0;
    bool bigEndian_;
    bool rawEnd_ = false;
    bool broken_ = false;
};

} // namespace tv
