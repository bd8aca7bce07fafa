#pragma once
// New entries put into a list's own text: every line there stays as it is, in its place; the new
// lines go where the list's reader takes them as entries after the old ones. Pure functions.
#include "core/ContentKey.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

// The line forms a list is added to.
enum class UpdateForm { Sfv, Csv, DigestGnu, DigestBsd };

struct AddedEntry {
    std::string Name;      // in the list's encoding
    std::int64_t Size = 0; // SFV size lines and CSV records
    ContentKey Key;
    std::string Time;     // an SFV size line's time field ("20:40.52 2003-05-04")
    bool Escape = true;   // a digest line may escape "\" in the name (not where "\" separates folders)
};

// The list's text with the new entries' lines added, in their order, as pieces: spans of the list's text
// and of the new lines made, so that a list of megabytes is written out without a copy of itself.
struct NewEntriesText {
    struct Piece {
        bool OfMade; // a span of Made, else of the list's text
        std::size_t At, Size;
    };
    std::string Made; // the new lines, and a line end for a last line without one
    std::vector<Piece> Pieces;
    // Calls write(piece) for each piece in order; `text` is the list's text given.
    template <class Write>
    void Each(std::string_view text, Write&& write) const {
        for (const Piece& p : Pieces)
            write((p.OfMade ? std::string_view(Made) : text).substr(p.At, p.Size));
    }
};

// Where the lines go:
//   SFV: with a block of ";" size lines before the entry lines, a size line after the last one (its
//     size field left blank where the block's first line has none, "; 00:00.00 0000-00-00 name") and
//     an entry line after the entry line of the last commented file; without one, an entry line after
//     the last entry line;
//   CSV and digest lists: a record or digest line after the last line that is not blank.
// New lines end as the list's first line ends (CR LF for SFV and CSV, LF for digest lists in a list
// without any); a last line without its end gets one first.
NewEntriesText WithNewEntries(std::string_view text, UpdateForm form, const std::vector<AddedEntry>& added);

} // namespace tv
