#include "readers/Utf16Input.h"

#include "platform/TextEncoding.h"

#include <algorithm>
#include <cstring>

namespace tv {

namespace {

constexpr std::size_t RawBlock = 32 * 1024;

bool IsHighSurrogate(unsigned u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(unsigned u) { return u >= 0xDC00 && u <= 0xDFFF; }

} // namespace

Utf16Input::Utf16Input(std::unique_ptr<InputFile> raw, std::string pending, bool bigEndian)
    : raw_(std::move(raw)), in_(std::move(pending)), bigEndian_(bigEndian) {}

bool Utf16Input::HasBom(std::string_view start, bool& bigEndian) {
    if (start.size() < 2) return false;
    const auto b0 = static_cast<unsigned char>(start[0]), b1 = static_cast<unsigned char>(start[1]);
    bigEndian = b0 == 0xFE;
    return (b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF);
}

void Utf16Input::Decode() {
    if (!rawEnd_) {
        const std::size_t old = in_.size();
        in_.resize(old + RawBlock);
        const std::size_t n = raw_->Read(in_.data() + old, RawBlock);
        in_.resize(old + n);
        rawEnd_ = n == 0;
    }
    const auto unit = [this](std::size_t i) {
        const auto a = static_cast<unsigned char>(in_[2 * i]), b = static_cast<unsigned char>(in_[2 * i + 1]);
        return bigEndian_ ? (unsigned{a} << 8) | b : (unsigned{b} << 8) | a;
    };
    // The units that decode whole: up to the first lone surrogate, and short of a high surrogate whose
    // pair is still to be read.
    const std::size_t units = in_.size() / 2;
    std::size_t good = 0;
    bool bad = false;
    while (good < units) {
        const unsigned u = unit(good);
        if (IsHighSurrogate(u)) {
            if (good + 1 == units && !rawEnd_) break;
            if (good + 1 == units || !IsLowSurrogate(unit(good + 1))) {
                bad = true;
                break;
            }
            good += 2;
        } else if (IsLowSurrogate(u)) {
            bad = true;
            break;
        } else {
            ++good;
        }
    }
    const std::optional<std::string> text = Utf16ToUtf8(std::string_view(in_).substr(0, 2 * good), bigEndian_);
    if (!text) {
        broken_ = true;
        return;
    }
    out_ = *text;
    outPos_ = 0;
    in_.erase(0, 2 * good);
    // An odd byte left when the file has ended has no partner.
    if (bad || (rawEnd_ && !in_.empty())) broken_ = true;
}

std::size_t Utf16Input::Read(void* buffer, std::size_t size) {
    while (outPos_ == out_.size()) {
        if (broken_ || (rawEnd_ && in_.empty())) return 0;
        Decode();
    }
    const std::size_t n = std::min(size, out_.size() - outPos_);
    std::memcpy(buffer, out_.data() + outPos_, n);
    outPos_ += n;
    return n;
}

} // namespace tv
