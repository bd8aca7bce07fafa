// Plain SFV lists, read leniently: one entry a line, name, a space and eight hex digits:
//     holiday photo 01.jpg 3A9F0C21
// Empty lines, ";" lines and lines of 13 bytes or fewer are passed over; other lines that are not
// entries are counted as irregular, so the loader can tell an irregular file from an unknown one.
#include "app/TallyvaultMain.h"
#include "readers/ListLine.h"
#include "readers/TextLineReader.h"

namespace tv {

void TForm1::ReadPlainSfvList(std::int32_t& irregularLineCount) {
    ListHasSizes = false;
    {
        TextLineReader reader(fs, ListPath);
        do {
            const std::string line = reader.ReadLine();
            // A list of a hundred thousand lines takes a while to read: the window stays alive.
            ui.ProcessMessages();
            if (line.empty() || line[0] == ';' || line.size() <= 13) continue;
            EntryTable.MakeRoom(EntryCount);
            const std::string_view t = TrimRight(line);
            if (IsEntryLine(t)) {
                const EntryLineParts parts = SplitEntryLine(t);
                AppendEntry(std::string(parts.Name), 0, HexCrc(parts.CrcText));
            } else {
                ++irregularLineCount;
            }
        } while (!reader.Eof());
    }
    VerifyEntries();
}

} // namespace tv
