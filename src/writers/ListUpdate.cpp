#include "writers/ListUpdate.h"

#include "readers/ListLine.h"
#include "writers/DigestLineFormat.h"
#include "writers/ListFormat.h"

#include <cstddef>
#include <utility>

namespace tv {

namespace {

// Calls `each(text, next)` for every line of `text`, the line without its end, `next` where the
// following line begins; the list is not copied nor its lines kept.
template <class Each>
void ForEachLine(std::string_view text, Each&& each) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t lf = text.find('\n', at);
        const std::size_t next = lf == std::string_view::npos ? text.size() : lf + 1;
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        if (end > at && text[end - 1] == '\r') --end;
        each(text.substr(at, end - at), next);
        at = next;
    }
}

std::string LineEnd(std::string_view text, UpdateForm form) {
    const std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos) return form == UpdateForm::Sfv || form == UpdateForm::Csv ? "\r\n" : "\n";
    return lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
}

std::string EntryLine(const AddedEntry& e, UpdateForm form) {
    switch (form) {
    case UpdateForm::Sfv: return e.Name + " " + KeyText(e.Key);
    case UpdateForm::Csv: return CsvNameField(e.Name) + "," + std::to_string(e.Size) + "," + KeyText(e.Key);
    case UpdateForm::DigestGnu: return GnuDigestLine(e.Key, e.Name, e.Escape);
    case UpdateForm::DigestBsd: return BsdDigestLine(e.Key, e.Name, e.Escape);
    }
    return {};
}

// Where the SFV lines go: after the last size line of the block before the entries (npos without
// one), and after the entry line of the last commented file (or the last entry line).
struct SfvPlaces {
    std::size_t AfterSizeLine = std::string_view::npos;
    std::size_t AfterEntryLine = std::string_view::npos;
    bool Sized = true; // the block's first line gives a size, not just the time ("00:00.00 ...")
};

SfvPlaces PlacesInSfv(std::string_view text) {
    SfvPlaces at;
    std::size_t sizeLines = 0, entryLines = 0;
    bool inSection = false, entriesBegun = false;
    ForEachLine(text, [&](std::string_view s, std::size_t next) {
        // A comment section between these markers is passed over whole, whatever its lines hold.
        if (inSection) {
            inSection = s.find("!SFV_COMMENT_END") == std::string_view::npos;
            return;
        }
        if (s.find("!SFV_COMMENT_START") != std::string_view::npos) {
            inSection = true;
            return;
        }
        if (TrimRight(s).empty()) return;
        if (s.front() == ';') {
            // A size line: ";", blanks, then a size or a time. Header lines hold words.
            if (!entriesBegun && StartsWithDigit(TrimLeft(s.substr(1)))) {
                const std::string_view t = TrimLeft(s.substr(1));
                if (sizeLines == 0) at.Sized = t.size() < 3 || t[2] != ':';
                ++sizeLines;
                at.AfterSizeLine = next;
            }
            return;
        }
        entriesBegun = true;
        ++entryLines;
        if (sizeLines == 0 || entryLines <= sizeLines) at.AfterEntryLine = next;
    });
    return at;
}

// The pieces of the text with the lines of each insert (a span of out.Made) put at its place, in order
// of place; a last line without its end gets its end first, the line end that begins out.Made.
void Splice(std::string_view text, std::size_t eolSize,
            const std::vector<std::pair<std::size_t, NewEntriesText::Piece>>& inserts, NewEntriesText& out) {
    const bool closeLast = !text.empty() && text.back() != '\n';
    bool closed = false;
    std::size_t at = 0;
    const auto ofText = [&](std::size_t to) {
        if (to > at) out.Pieces.push_back({false, at, to - at});
        at = to;
        if (at == text.size() && closeLast && !closed) {
            out.Pieces.push_back({true, 0, eolSize});
            closed = true;
        }
    };
    for (const auto& [place, lines] : inserts) {
        ofText(place);
        out.Pieces.push_back(lines);
    }
    ofText(text.size());
}

} // namespace

NewEntriesText WithNewEntries(std::string_view text, UpdateForm form, const std::vector<AddedEntry>& added) {
    NewEntriesText out;
    const std::string eol = LineEnd(text, form);
    std::string& made = out.Made;
    made = eol;
    const auto span = [&](std::size_t from) { return NewEntriesText::Piece{true, from, made.size() - from}; };
    const auto entryLines = [&] {
        const std::size_t from = made.size();
        for (const AddedEntry& e : added)
            made.append(EntryLine(e, form)).append(eol);
        return span(from);
    };
    if (form != UpdateForm::Sfv) {
        std::size_t after = 0;
        ForEachLine(text, [&](std::string_view s, std::size_t next) {
            if (!TrimRight(s).empty()) after = next;
        });
        Splice(text, eol.size(), {{after, entryLines()}}, out);
        return out;
    }
    const SfvPlaces at = PlacesInSfv(text);
    std::size_t entriesAt = at.AfterEntryLine;
    if (entriesAt == std::string_view::npos) entriesAt = at.AfterSizeLine;
    if (entriesAt == std::string_view::npos) entriesAt = text.size();
    if (at.AfterSizeLine == std::string_view::npos) {
        Splice(text, eol.size(), {{entriesAt, entryLines()}}, out);
        return out;
    }
    const std::size_t sizesFrom = made.size();
    for (const AddedEntry& e : added)
        made.append(SfvCommentLine(at.Sized ? std::to_string(e.Size) : "", e.Time, e.Name)).append(eol);
    const NewEntriesText::Piece sizes = span(sizesFrom);
    // The size lines come first where both go in one place (a block of size lines without entry lines).
    Splice(text, eol.size(), {{at.AfterSizeLine, sizes}, {entriesAt, entryLines()}}, out);
    return out;
}

} // namespace tv
