#pragma once
// One entry of a checksum list and the verification states derived from its flags.
#include <cstdint>
#include <string>
#include <vector>

namespace tv {

// The size of an entry whose list gives sizes but not for this entry (an entry line added after the
// comment block): it is matched by CRC alone.
inline constexpr std::int64_t NoSize = -1;

struct TCrcTable {
    std::string FileName;      // the name in the file system's encoding, relative to the list's folder
    std::int64_t FileSize = 0; // meaningful only while the list gives sizes; NoSize when its line gave none
    std::uint32_t Crc = 0;
    std::string SameFile;      // full path of a file with this content that is not the entry's own file
    bool Found = false;        // this content has been found (own name or SameFile)
    bool SizeMatched = false;  // set with Found by the size-first searches
    bool Exists = false;       // the entry's own file is present (and carries the content, once found)
    bool Selected = false;     // the row's tick, copied in by the complement search
    std::string ListBytes;     // the list's own bytes of the name when they differ from FileName
    bool ByListBytes = false;  // FileName is the list's bytes: they did not convert, or name the file on disk
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

    std::vector<TCrcTable> Records;
};

} // namespace tv
