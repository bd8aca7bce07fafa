// Text lists of the CRC1632 tool (".TXT", chosen in the open dialog): a title line, then one file a
// line with its CRC-16, CRC-32, size and path, the columns counted from the first comma:
//     FileName, CRC16, CRC32, FileSize, Path
//     holiday 01.jpg, 1F2E, 3A9F0C21, 1048576, C:\photos\holiday 01.jpg
// The size runs up to the last comma; the path is not used, entries are looked up beside the list.
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "readers/Dialects.h"
#include "readers/ListLine.h"
#include "readers/ListParsers.h"
#include "readers/Texts.h"

namespace tv {

namespace {

struct Crc1632Record {
    std::string Name;
    std::uint32_t Crc;
    std::int64_t Size;
};

// Name, CRC-32 and size, converted in that order; a line without a comma has an empty CRC field.
Crc1632Record ParseRecord(std::string_view line) {
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) throw ConvertError("$");
    Crc1632Record r{std::string(line.substr(0, comma)), HexCrcField(line, comma + 8), 0};
    const std::size_t sizeAt = comma + 18;
    const std::size_t last = line.rfind(',');
    r.Size = StrToInt64(last > sizeAt ? line.substr(sizeAt, last - sizeAt) : std::string_view());
    return r;
}

} // namespace

std::optional<ParsedList> ParseCrc1632List(TextLineReader& reader, const ParseProgress& progress) {
    if (reader.ReadLine() != texts::Crc1632Title) return std::nullopt;
    ParsedList list = TakingList(progress);
    list.HasSizes = true;
    while (!reader.Eof()) {
        Crc1632Record r = ParseRecord(reader.ReadLine());
        list.Add({std::move(r.Name), r.Size, r.Crc});
        ReportProgress(progress, list);
    }
    return list;
}

void TForm1::ReadCrc1632List() {
    const BusyCursor hourglass(ui);
    PrepareLoad();
    const bool text = UpperAscii(ExtractFileExt(ListPath)) == ".TXT";
    std::optional<ParsedList> list;
    if (text) list = ParseIntoTable(*this, ParseCrc1632List);
    if (list) {
        Dialect = ListDialect::ldCrc1632;
        ApplyParsedList(*this, std::move(*list));
        VerifyEntries();
    } else {
        if (text) Status.SetCaption(texts::NotCrc1632File + ExtractFileName(ListPath));
        // The table was emptied for this load: the rows of the previous list go with it.
        ClearTableAndRows();
    }
}

} // namespace tv
