// Plain SFV lists, read leniently: one entry a line, name, a space and eight hex digits:
//     holiday photo 01.jpg 3A9F0C21
// Empty lines, ";" lines and lines of 13 bytes or fewer that are not whole entry lines ("x 1234ABCD")
// are passed over; other lines that are not
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
            if (line.empty() || line[0] == ';') continue;
            const std::string_view t = TrimRight(line);
            // A short line is passed over unless it is a whole entry: a short name is still a file.
            if (line.size() <= 13 && !IsHexEntryLine(t)) continue;
            EntryTable.MakeRoom(EntryCount);
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
