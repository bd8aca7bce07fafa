// Random bytes through every dialect's parser, from memory: nothing may crash or hang, a parse must
// give the same result twice, and what a result says of its stop must agree with the lines read.
#include "platform/Errors.h"
#include "readers/ListParsers.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using namespace tv;

std::optional<ParsedList> Parse(int parser, const std::string& text, std::int32_t& lines) {
    static constexpr ListParser Parsers[] = {ParsePlainSfvList, ParseStrictSfvList, ParseQuickSfvList,
                                             ParseEasySfvList,  ParseSfv32List,     ParseCrcExList,
                                             ParseRulerTableList, ParseCsvList};
    TextLineReader reader = TextLineReader::OverText(text);
    std::optional<ParsedList> list;
    try {
        if (parser < 8)
            list = Parsers[parser](reader, {});
        else
            list = ParseCrc1632List(reader);
    } catch (const ConvertError&) {
        // A field that does not convert ends the load with its error: a result of its own.
    }
    lines = reader.LineNumber();
    return list;
}

void Check(bool ok) {
    if (!ok) std::abort();
}

bool Same(const ParsedList& a, const ParsedList& b) {
    if (a.Entries.size() != b.Entries.size()) return false;
    for (std::size_t i = 0; i < a.Entries.size(); ++i)
        if (a.Entries[i].Name != b.Entries[i].Name || a.Entries[i].Size != b.Entries[i].Size ||
            a.Entries[i].Crc != b.Entries[i].Crc)
            return false;
    return a.HasSizes == b.HasSizes && a.Stop == b.Stop && a.StopLine == b.StopLine && a.ReadWhole == b.ReadWhole &&
           a.StopText == b.StopText && a.UnreadLines == b.UnreadLines && a.IrregularLines == b.IrregularLines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (int parser = 0; parser < 9; ++parser) {
        std::int32_t lines = 0, again = 0;
        const std::optional<ParsedList> first = Parse(parser, text, lines);
        const std::optional<ParsedList> second = Parse(parser, text, again);
        Check(first.has_value() == second.has_value() && lines == again);
        if (!first) continue;
        Check(Same(*first, *second));
        const ParsedList& r = *first;
        // Every entry comes from a line of its own; a stop lies among the lines read.
        Check(r.Entries.size() <= static_cast<std::size_t>(lines));
        Check(r.StopLine >= 0 && r.StopLine <= lines);
        Check(r.ReadWhole <= r.Entries.size());
        if (r.Stop == ListStop::None) Check(r.StopLine == 0 && r.ReadWhole == 0 && !r.StopText);
        if (r.Stop == ListStop::NothingReadable) Check(r.ReadWhole == 0);
        if (r.Stop == ListStop::RestUnreadable && !r.StopText) Check(r.ReadWhole > 0);
        Check(r.UnreadLines >= r.IrregularLines && r.UnreadLines <= lines);
    }
    return 0;
}
