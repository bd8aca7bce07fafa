// SFV lists of the Easy SFV kind: a comment block whose lines hold the name, the size with a
// separator every three digits, and a date and time of 19 bytes at the end, then the entry lines:
//     ; SFV created with Easy SFV
//     ; File information:   Time/Date
//     ; holiday 01.jpg     1,048,576  2003-05-04 20:40:52
//     holiday 01.jpg 3A9F0C21
// The last space before the size parts name and size. Every fourth byte of the size, counted from
// its right end, is a separator and is dropped; the CRCs come from MatchCrcLines.
#include "platform/Errors.h"
#include "readers/Dialects.h"
#include "readers/ListLine.h"
#include "readers/ListParsers.h"

namespace tv {

namespace {

bool IsHeaderLine(std::string_view line) {
    if (line == ";") return true;
    for (const char* mark : {"created with", "File information:", "Time/Date"})
        if (line.find(mark) != std::string_view::npos) return true;
    return false;
}

bool IsSpacer(std::string_view line) {
    return line.empty() || line == ";";
}

constexpr std::size_t DateTimeWidth = 19;

struct EasySfvComment {
    std::string Name;
    std::int64_t Size;
};

EasySfvComment ParseComment(std::string_view line) {
    std::string_view s = Slice(TrimRight(line), 2);
    s = TrimRight(s.substr(0, s.size() > DateTimeWidth ? s.size() - DateTimeWidth : 0));
    // The last space that is not the last byte; a text without one has no place where the name ends,
    // and the load ends with the conversion error of that text.
    const std::size_t k = s.size() < 2 ? std::string_view::npos : s.rfind(' ', s.size() - 2);
    if (k == std::string_view::npos) throw ConvertError(std::string(s));
    const std::string_view sizeText = s.substr(k + 1);
    const std::size_t n = sizeText.size();
    std::string digits;
    digits.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        if ((n - i) % 4 != 0) digits += sizeText[i];
    return {std::string(TrimRight(s.substr(0, k))), StrToInt64(digits)};
}

} // namespace

ParsedList ParseEasySfvList(TextLineReader& reader, const ParseProgress& progress) {
    ParsedList list;
    list.HasSizes = true;
    std::string line = reader.ReadLine();
    bool more = reader.SkipWhile(line, IsHeaderLine);
    // Header lines to the end, the last one with or without its ";": a list of no files.
    if (!more) line.clear();
    while (more && !line.empty() && line.front() == ';') {
        EasySfvComment c = ParseComment(line);
        list.Entries.push_back({std::move(c.Name), c.Size, 0});
        ReportProgress(progress, list);
        line = reader.ReadLine();
        more = reader.SkipWhile(line, IsSpacer);
    }
    MatchCrcLines(reader, std::move(line), list);
    return list;
}

void TForm1::ReadEasySfvList() {
    ApplyParsedList(*this, ParseListFile(fs, ListPath, ParseEasySfvList));
    VerifyEntries();
}

} // namespace tv
