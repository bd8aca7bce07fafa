// Text lists of the CRC1632 tool (".TXT", chosen in the open dialog): a title line, then one file a
// line with its CRC-16, CRC-32, size and path, the columns counted from the first comma:
//     FileName, CRC16, CRC32, FileSize, Path
//     holiday 01.jpg, 1F2E, 3A9F0C21, 1048576, C:\photos\holiday 01.jpg
// The size runs up to the last comma; the path is not used, entries are looked up beside the list.
#include "app/TallyvaultMain.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "readers/ListLine.h"
#include "readers/TextLineReader.h"
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

void TForm1::ReadCrc1632List() {
    PrepareLoad();
    const std::string name = ExtractFileName(ListPath);
    bool accepted = false;
    if (UpperAscii(ExtractFileExt(ListPath)) == ".TXT") {
        TextLineReader reader(fs, ListPath);
        if (reader.ReadLine() == texts::Crc1632Title) {
            accepted = true;
            ListHasSizes = true;
            Dialect = ListDialect::ldCrc1632;
            while (!reader.Eof()) {
                EntryTable.MakeRoom(EntryCount);
                Crc1632Record r = ParseRecord(reader.ReadLine());
                AppendEntry(std::move(r.Name), r.Size, r.Crc);
            }
        } else {
            Status.SetCaption(texts::NotCrc1632File + name);
        }
    }
    if (accepted) {
        VerifyEntries();
    } else {
        // The table was emptied for this load: the rows of the previous list go with it.
        ClearTableAndRows();
    }
    ui.SetBusyCursor(false);
}

} // namespace tv
