// Plain SFV lists, read leniently: one entry a line, name, a space and eight hex digits:
//     holiday photo 01.jpg 3A9F0C21
// Empty lines, ";" lines and lines of 13 bytes or fewer that are not whole entry lines ("x 1234ABCD")
// are passed over; other lines that are not entries are counted as irregular, so the loader can tell
// an irregular file from an unknown one. Every passed-over line that is not blank or a comment is
// counted as unread.
#include "readers/Dialects.h"
#include "readers/ListLine.h"
#include "readers/ListParsers.h"

namespace tv {

ParsedList ParsePlainSfvList(TextLineReader& reader, const ParseProgress& progress) {
    ParsedList list = TakingList(progress);
    do {
        const std::string line = reader.ReadLine();
        // A list of a hundred thousand lines takes a while to read: the window stays alive.
        ReportProgress(progress, list);
        if (line.empty() || line[0] == ';') continue;
        const std::string_view t = TrimRight(line);
        if (t.empty()) continue; // blanks only, however many: a blank line names no file

        // A short line is passed over unless it is a whole entry: a short name is still a file.
        // Either way a line that is not blank was not read, and the load says so.
        if (line.size() <= 13 && !IsHexEntryLine(t)) {
            if (!Trim(t).empty()) ++list.UnreadLines;
            continue;
        }
        if (IsEntryLine(t)) {
            const EntryLineParts parts = SplitEntryLine(t);
            list.Add({std::string(parts.Name), 0, HexCrc(parts.CrcText)});
        } else {
            ++list.IrregularLines;
            ++list.UnreadLines;
        }
    } while (!reader.Eof());
    return list;
}

void TForm1::ReadPlainSfvList(std::int32_t& irregularLineCount) {
    ParsedList list = ParseIntoTable(*this, ParsePlainSfvList, [this](std::int32_t) { ReportProgress(); });
    irregularLineCount += list.IrregularLines;
    ApplyParsedList(*this, std::move(list));
    VerifyEntries();
}

} // namespace tv
