#pragma once
// One entry of a checksum list and the verification states derived from its flags.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

// The size of an entry whose list gives sizes but not for this entry (an entry line added after the
// comment block): it is matched by CRC alone.
inline constexpr std::int64_t NoSize = -1;

// A text most entries leave empty: it costs one pointer until it is set, where a std::string costs
// 32 bytes in every entry of a list of a million.
class RareText {
public:
    RareText() = default;
    RareText(const RareText& o) : text_(o.text_ ? std::make_unique<std::string>(*o.text_) : nullptr) {}
    RareText(RareText&&) noexcept = default;
    RareText& operator=(const RareText& o) { return o.text_ ? *this = *o.text_ : (clear(), *this); }
    RareText& operator=(RareText&&) noexcept = default;
    RareText& operator=(std::string s) {
        if (s.empty())
            text_.reset();
        else if (text_)
            *text_ = std::move(s);
        else
            text_ = std::make_unique<std::string>(std::move(s));
        return *this;
    }

    const std::string& str() const { return text_ ? *text_ : Empty(); }
    operator const std::string&() const { return str(); }
    operator std::string_view() const { return str(); }
    bool empty() const { return !text_; } // an empty text is never held
    std::size_t size() const { return str().size(); }
    void clear() { text_.reset(); }

    friend bool operator==(const RareText& a, const RareText& b) { return a.str() == b.str(); }
    friend bool operator==(const RareText& a, std::string_view b) { return a.str() == b; }

private:
    static const std::string& Empty() {
        static const std::string none;
        return none;
    }
    std::unique_ptr<std::string> text_;
};

// The flags are bits and the rare texts pointers, so that an entry is 64 bytes besides its name.
struct TCrcTable {
    std::string FileName;      // the name in the file system's encoding, relative to the list's folder
    std::int64_t FileSize = 0; // meaningful only while the list gives sizes; NoSize when its line gave none
    std::uint32_t Crc = 0;
    bool Found : 1 = false;       // this content has been found (own name or SameFile)
    bool SizeMatched : 1 = false; // set with Found by the size-first searches
    bool Exists : 1 = false;      // the entry's own file is present (and carries the content, once found)
    bool Selected : 1 = false;    // the row's tick, copied in by the complement search
    bool ByListBytes : 1 = false; // FileName is the list's bytes: they did not convert, or name the file on disk
    RareText SameFile;  // full path of a file with this content that is not the entry's own file
    RareText ListBytes; // the list's own bytes of the name when they differ from FileName
};

// The four verification states; the value is the icon index of the row.
enum class VerifyResult { Match = 0, SameFileFound = 1, Mismatch = 2, Missing = 3 };

// The content counts as found when Found is set and, for lists with sizes, SizeMatched too.
inline bool ContentFound(const TCrcTable& e, bool listHasSizes) {
    return e.Found && (!listHasSizes || e.SizeMatched);
}

inline VerifyResult StateOf(const TCrcTable& e, bool listHasSizes) {
    bool found = ContentFound(e, listHasSizes);
    if (e.Exists) return found ? VerifyResult::Match : VerifyResult::Mismatch;
    return found ? VerifyResult::SameFileFound : VerifyResult::Missing;
}

// The mark of an icon index: ○ ！ × －.
const char* MarkOfIcon(int iconIndex);

// The growable table: `Records.size()` is the capacity; the valid records are the first `Count`.
// Slots beyond Count keep whatever they held and are never shown or read.
class TEntryTable {
public:
    std::int32_t Capacity() const { return static_cast<std::int32_t>(Records.size()); }
    // Grows by 128 empty slots when no slot is free.
    void MakeRoom(std::int32_t count) {
        if (Capacity() - count <= 0) Records.resize(static_cast<std::size_t>(count) + 128);
    }
    TCrcTable& operator[](std::int32_t i) { return Records[static_cast<std::size_t>(i)]; }
    const TCrcTable& operator[](std::int32_t i) const { return Records[static_cast<std::size_t>(i)]; }

    // A deque, so that growing never copies the table: a vector's regrowth holds the old and the new
    // array at once, half as much again as a million entries need.
    std::deque<TCrcTable> Records;
};

} // namespace tv
