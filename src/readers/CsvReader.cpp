// CSV lists (any list whose extension is ".CSV"): one file a line, name, size and CRC, no header, no
// quoting; what follows the eighth CRC digit is not read:
//     holiday 01.jpg,1048576,3A9F0C21
// Lines of 13 bytes or fewer are passed over. A record without a usable size (above 0, within 32
// bits) or with a CRC of 0 or not in hexadecimal ends the list; the status then names the last entry
// read, so that a list cut short is never shown as read to its end.
#include "app/TallyvaultMain.h"
#include "readers/ListLine.h"
#include "readers/TextLineReader.h"
#include "readers/Texts.h"

namespace tv {

namespace {

struct CsvRecord {
    std::string Name;
    std::int32_t Size = 0;
    std::uint32_t Crc = 0;
};

// Fields that cannot be read stay 0.
CsvRecord ParseRecord(std::string_view line) {
    CsvRecord r;
    const std::size_t c1 = line.find(',');
    if (c1 == std::string_view::npos) return r;
    r.Name = line.substr(0, c1);
    const std::size_t c2 = line.find(',', c1 + 1);
    const std::string_view sizeText = line.substr(c1 + 1, c2 == std::string_view::npos ? c2 : c2 - c1 - 1);
    if (!TryDecimal(sizeText, r.Size)) r.Size = 0;
    if (c2 != std::string_view::npos && !TryHex(Slice(line, c2 + 1, 8), r.Crc)) r.Crc = 0;
    return r;
}

} // namespace

void TForm1::ReadCsvList() {
    ListHasSizes = true;
    const std::int32_t first = EntryCount;
    bool cutShort = false;
    {
        TextLineReader reader(fs, ListPath);
        while (!reader.Eof()) {
            EntryTable.MakeRoom(EntryCount);
            const std::string line = reader.ReadLine();
            if (line.size() <= 13) continue;
            CsvRecord r = ParseRecord(line);
            if (r.Size <= 0 || r.Crc == 0) {
                cutShort = true;
                break;
            }
            AppendEntry(std::move(r.Name), r.Size, r.Crc);
            TotalCounter.SetCaption(std::to_string(EntryCount));
            ui.ProcessMessages();
        }
    }
    if (cutShort)
        ReadErrorText = EntryCount == first ? std::string(texts::NothingReadable)
                                            : EntryTable[EntryCount - 1].FileName + texts::RestUnreadable;
    VerifyEntries();
}

} // namespace tv
