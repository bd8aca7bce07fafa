#include "writers/ListUpdate.h"

#include "readers/ListLine.h"
#include "writers/DigestLineFormat.h"
#include "writers/ListFormat.h"

#include <cstddef>

namespace tv {

namespace {

struct Line {
    std::size_t Begin, End; // the text without its end of line
    std::size_t Next;       // where the following line begins
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t lf = text.find('\n', at);
        const std::size_t next = lf == std::string_view::npos ? text.size() : lf + 1;
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        if (end > at && text[end - 1] == '\r') --end;
        lines.push_back({at, end, next});
        at = next;
    }
    return lines;
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

SfvPlaces PlacesInSfv(std::string_view text, const std::vector<Line>& lines) {
    SfvPlaces at;
    std::size_t sizeLines = 0, entryLines = 0;
    bool inSection = false, entriesBegun = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view s = text.substr(lines[i].Begin, lines[i].End - lines[i].Begin);
        // A comment section between these markers is passed over whole, whatever its lines hold.
        if (inSection) {
            inSection = s.find("!SFV_COMMENT_END") == std::string_view::npos;
            continue;
        }
        if (s.find("!SFV_COMMENT_START") != std::string_view::npos) {
            inSection = true;
            continue;
        }
        if (TrimRight(s).empty()) continue;
        if (s.front() == ';') {
            // A size line: ";", blanks, then a size or a time. Header lines hold words.
            if (!entriesBegun && StartsWithDigit(TrimLeft(s.substr(1)))) {
                const std::string_view t = TrimLeft(s.substr(1));
                if (sizeLines == 0) at.Sized = t.size() < 3 || t[2] != ':';
                ++sizeLines;
                at.AfterSizeLine = lines[i].Next;
            }
            continue;
        }
        entriesBegun = true;
        ++entryLines;
        if (sizeLines == 0 || entryLines <= sizeLines) at.AfterEntryLine = lines[i].Next;
    }
    return at;
}

} // namespace

std::string ListWithNewEntries(std::string_view text, UpdateForm form, const std::vector<AddedEntry>& added) {
    const std::string eol = LineEnd(text, form);
    std::string whole(text);
    if (!whole.empty() && whole.back() != '\n') whole += eol;
    const std::vector<Line> lines = SplitLines(whole);

    std::string entries;
    for (const AddedEntry& e : added)
        entries.append(EntryLine(e, form)).append(eol);
    if (form != UpdateForm::Sfv) {
        std::size_t after = 0;
        for (const Line& l : lines)
            if (!TrimRight(std::string_view(whole).substr(l.Begin, l.End - l.Begin)).empty()) after = l.Next;
        return whole.insert(after, entries);
    }
    const SfvPlaces at = PlacesInSfv(whole, lines);
    std::size_t entriesAt = at.AfterEntryLine;
    if (entriesAt == std::string_view::npos) entriesAt = at.AfterSizeLine;
    if (entriesAt == std::string_view::npos) entriesAt = whole.size();
    whole.insert(entriesAt, entries);
    if (at.AfterSizeLine != std::string_view::npos) {
        std::string sizes;
        for (const AddedEntry& e : added)
            sizes.append(SfvCommentLine(at.Sized ? std::to_string(e.Size) : "", e.Time, e.Name)).append(eol);
        whole.insert(at.AfterSizeLine, sizes);
    }
    return whole;
}

} // namespace tv
