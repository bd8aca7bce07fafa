// Ruler tables (".CRC" lists without a signature, and the lists of JPEG Sheriff): one file a line in
// fixed columns between two ruler lines of hyphens; the columns are counted back from the right end
// of the first ruler, W bytes long:
//     File name                            Size  Date           CRC-32
//     ----------------------------------------------------------------
//     holiday 01.jpg                  1,048,576  2003/05/04   3A9F0C21
//     ----------------------------------------------------------------
// Name in bytes 1 to W-34, size digits at W-32..W-23 with separators at W-30 and W-26, CRC in the
// last eight bytes W-7..W; what stands after W is not read.
#include "readers/Dialects.h"
#include "readers/ListLine.h"
#include "readers/ListParsers.h"

namespace tv {

namespace {

bool IsRuler(std::string_view line) {
    return line.find("--------") != std::string_view::npos;
}

// The first byte past the name column: a ruler must be at least this wide for every column to have
// its place, the name column at least one byte.
constexpr std::size_t NarrowestRuler = 35;

std::int64_t SizeColumn(std::string_view line, std::size_t w) {
    std::string digits;
    for (std::size_t back : {33u, 32u, 30u, 29u, 28u, 26u, 25u, 24u})
        digits += line[w - back];
    return StrToInt64(TrimLeft(digits));
}

} // namespace

ParsedList ParseRulerTableList(TextLineReader& reader, const ParseProgress& progress) {
    ParsedList list = TakingList(progress);
    list.HasSizes = true;
    std::string line = reader.ReadLine();
    const bool haveRuler = reader.SkipWhile(line, [](std::string_view l) { return !IsRuler(l); });
    const std::size_t w = TrimRight(line).size();
    if (!haveRuler || w < NarrowestRuler) return list;
    line = reader.ReadLine();
    while (!IsRuler(line)) {
        if (line.size() < w) {
            list.Stop = ListStop::RestUnreadable;
            list.StopText = std::string(Slice(line, 0, w - 34));
            list.StopLine = reader.LineNumber();
            break;
        }
        const std::uint32_t crc = HexCrc(line.substr(w - 8, 8));
        const std::int64_t size = SizeColumn(line, w);
        list.Add({std::string(TrimRight(line.substr(0, w - 34))), size, crc});
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
