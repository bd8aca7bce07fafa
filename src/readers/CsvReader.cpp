// CSV lists (any list whose extension is ".CSV"): one file a line, name, size and CRC, no header;
// what follows the eighth CRC digit is not read:
//     holiday 01.jpg,1048576,3A9F0C21
//     "Smith, John.jpg",2048,0C7E2A19
// A name that holds a comma or a double quote is quoted, a quote inside doubled. Empty lines and
// short lines that are no record are passed over. A record without a usable size (a decimal of 0 or
// more) or without eight hexadecimal CRC digits ends the list; the status then names the last entry
// read, so that a list cut short is never shown as read to its end. An empty file is "name,0,00000000".
// A list without sizes leaves the size fields empty ("holiday 01.jpg,,3A9F0C21"); a list exported with
// every field quoted is read as well ("holiday 01.jpg","1048576","3A9F0C21").
// A first line of column titles, as spreadsheets and other tools write it, is passed over:
//     Filename,Size,CRC32
#include "readers/Dialects.h"
#include "readers/ListLine.h"
#include "readers/ListParsers.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace tv {

namespace {

struct CsvRecord {
    std::string Name;
    std::int64_t Size = 0;
    bool NoSize = false; // an empty size field
    std::uint32_t Crc = 0;
};

// The name field and the position of the comma after it; nullopt when the line has no such comma or
// a quoted name is not closed.
std::optional<std::size_t> ReadName(std::string_view line, std::string& name) {
    if (line.empty() || line.front() != '"') {
        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos) return std::nullopt;
        name = line.substr(0, comma);
        return comma;
    }
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (line[i] != '"') {
            name += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
            name += '"';
            ++i;
        } else {
            if (i + 1 < line.size() && line[i + 1] == ',') return i + 1;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<CsvRecord> ParseRecord(std::string_view line) {
    CsvRecord r;
    const std::optional<std::size_t> c1 = ReadName(line, r.Name);
    if (!c1) return std::nullopt;
    const std::size_t c2 = line.find(',', *c1 + 1);
    if (c2 == std::string_view::npos) return std::nullopt;
    // A list exported with every field quoted ("a.bin","4","77F85D95") quotes the size and the CRC too.
    std::string_view size = line.substr(*c1 + 1, c2 - *c1 - 1);
    if (size.size() >= 2 && size.front() == '"' && size.back() == '"') size = size.substr(1, size.size() - 2);
    r.NoSize = Trim(size).empty();
    if (!r.NoSize && (!TryDecimal(size, r.Size) || r.Size < 0)) return std::nullopt;
    const std::size_t crcAt = c2 + 1 < line.size() && line[c2 + 1] == '"' ? c2 + 2 : c2 + 1;
    const std::string_view crc = Slice(line, crcAt, 8);
    if (crc.size() != 8 || !TryHex(crc, r.Crc)) return std::nullopt;
    return r;
}

// A line of column titles: its size field holds words ("Size", "\"File size\"", "サイズ"), where a record,
// even a broken one, holds a number or a name with its dot.
bool IsTitleLine(std::string_view line) {
    std::string name;
    const std::optional<std::size_t> c1 = ReadName(line, name);
    if (!c1) return false;
    const std::size_t c2 = line.find(',', *c1 + 1);
    const std::string_view size = Trim(line.substr(*c1 + 1, c2 == std::string_view::npos ? c2 : c2 - *c1 - 1));
    if (size.empty()) return false;
    return std::all_of(size.begin(), size.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x80 || std::isalpha(u) || c == ' ' || c == '"' || c == '_' || c == '-' || c == '(' || c == ')';
    });
}

} // namespace

ParsedList ParseCsvList(TextLineReader& reader, const ParseProgress& progress) {
    ParsedList list = TakingList(progress);
    list.HasSizes = true;
    bool first = true, kindKnown = false;
    std::int32_t titleLine = 0;
    while (!reader.Eof()) {
        const std::string line = reader.ReadLine();
        std::optional<CsvRecord> r = ParseRecord(line);
        const bool atFirst = first;
        if (!Trim(line).empty()) first = false;
        if (atFirst && !r && IsTitleLine(line)) {
            titleLine = reader.LineNumber();
            continue;
        }
        // A list made from one without sizes (a request list of an SFV list) has empty size fields: its
        // first record says which kind the list is. A list with sizes ends at a record without one; a
        // list without them has no use for a size given later (a line added by an update).
        if (r && !kindKnown) {
            list.HasSizes = !r->NoSize;
            kindKnown = true;
        }
        if (r && r->NoSize && list.HasSizes) r.reset();
        if (r && !list.HasSizes) r->Size = 0;
        if (!r && line.size() <= 13) {
            if (!Trim(line).empty()) ++list.UnreadLines;
            continue;
        }
        if (!r) {
            list.StopAfter(list.Size(), reader.LineNumber());
            break;
        }
        list.Add({std::move(r->Name), r->Size, r->Crc});
        ReportProgress(progress, list);
    }
    // Titles with no record after them are one more line that reads as nothing.
    if (titleLine != 0 && list.Size() == 0 && list.Stop == ListStop::None) list.StopAfter(0, titleLine);
    return list;
}

void TForm1::ReadCsvList() {
    ApplyParsedList(*this, ParseIntoTable(*this, ParseCsvList, [this](std::int32_t) {
        // The entries read so far are in the table already.
        ReportProgress([&] { TotalCounter.SetCaption(std::to_string(EntryCount)); });
    }));
    VerifyEntries();
}

} // namespace tv
