// Ruler tables (".CRC" lists without a signature, and the lists of JPEG Sheriff): one file a line in
// fixed columns between two ruler lines of hyphens; the columns are counted back from the right end
// of the first ruler, W bytes long:
//     File name                            Size  Date           CRC-32
//     ----------------------------------------------------------------
//     holiday 01.jpg                  1,048,576  2003/05/04   3A9F0C21
//     ----------------------------------------------------------------
// Name in bytes 1 to W-34, size digits at W-32..W-23 with separators at W-30 and W-26, CRC in the
// last eight bytes W-7..W; what stands after W is not read. cfv's tables, whose dashes line stands under
// a line of column titles, are read by their own columns.
#include "readers/CfvTable.h"
#include "readers/Dialects.h"
#include "readers/ListLine.h"
#include "readers/ListParsers.h"
#include "readers/TextColumns.h"

namespace tv {

namespace {

bool IsRuler(std::string_view line) {
    return line.find("--------") != std::string_view::npos;
}

// The first byte past the name column: a ruler must be at least this wide for every column to have
// its place, the name column at least one byte.
constexpr std::size_t NarrowestRuler = 35;

std::int64_t SizeColumn(const TextColumns& row, std::size_t w) {
    std::string digits;
    for (std::size_t back : {33u, 32u, 30u, 29u, 28u, 26u, 25u, 24u})
        digits += row.Slice(w - back, 1);
    return StrToInt64(TrimLeft(digits));
}

} // namespace

ParsedList ParseRulerTableList(TextLineReader& reader, const ParseProgress& progress) {
    ParsedList list = TakingList(progress);
    list.HasSizes = true;
    std::string titles, line = reader.ReadLine();
    while (!IsRuler(line) && !reader.Eof()) {
        titles = std::move(line);
        line = reader.ReadLine();
    }
    const bool haveRuler = IsRuler(line);
    if (const std::optional<CfvColumns> columns = haveRuler ? CfvTableColumns(titles, line) : std::nullopt) {
        ParseCfvTableRows(reader, *columns, list, progress);
        return list;
    }
    const std::size_t w = TrimRight(line).size();
    if (!haveRuler || w < NarrowestRuler) return list;
    line = reader.ReadLine();
    while (!IsRuler(line)) {
        // A UTF-16 list's table is padded by characters.
        const TextColumns row(line, reader.DecodesUtf16());
        if (row.Count() < w) {
            list.Stop = ListStop::RestUnreadable;
            list.StopText = std::string(row.Slice(0, w - 34));
            list.StopLine = reader.LineNumber();
            break;
        }
        const std::uint32_t crc = HexCrc(row.Slice(w - 8, 8));
        const std::int64_t size = SizeColumn(row, w);
        list.Add({std::string(TrimRight(row.Slice(0, w - 34))), size, crc});
        ReportProgress(progress, list);
        if (reader.Eof()) {
            // The closing ruler is missing: the list may have been cut short.
            list.StopAfter(list.Size(), reader.LineNumber());
            break;
        }
        line = reader.ReadLine();
    }
    return list;
}

void TForm1::ReadRulerTableList() {
    ApplyParsedList(*this, ParseIntoTable(*this, ParseRulerTableList));
    VerifyEntries();
}

} // namespace tv
