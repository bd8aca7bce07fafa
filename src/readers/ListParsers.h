#pragma once
// The parsers of the list dialects. Each reads a whole list from a line source and returns what it
// read: the entries as the list spells them, whether the list gives sizes, and where and why reading
// ended early. They know nothing of the window; the TForm1 readers put the result into the table.
#include "core/ContentKey.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "readers/TextLineReader.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace tv {

// One entry as its line gave it. Name holds the list's own bytes (converted only when applied).
struct ListRecord {
    ListRecord() = default;
    ListRecord(std::string name, std::int64_t size, std::uint32_t crc) : Name(std::move(name)), Size(size), Crc(crc) {}

    std::string Name;
    std::int64_t Size = 0; // NoSize for an entry line past a comment block, in a list with sizes
    std::uint32_t Crc = 0;
    // A digest list's line: its algorithm and the digest's bytes (empty for a CRC-32 list's entry).
    HashAlgorithm Algorithm = HashAlgorithm::Crc32;
    std::string Digest;
    // The name came from GNU's escaped form ("\\" for a backslash): its backslashes are the name's own
    // characters, not folder separators.
    bool LiteralBackslash = false;
    // A digest whose algorithm only its hex length gave (no tag, no list name): 64 digits may be BLAKE3 as
    // well as SHA-256, 128 BLAKE2b as well as SHA-512.
    bool AlgorithmByLength = false;
};

enum class ListStop {
    None,            // the list was read to its end
    NothingReadable, // not one entry could be read
    RestUnreadable,  // reading ended early: the status names where
};

struct ParsedList {
    // The entries read, unless they were handed over as they were read (Taken counts those).
    std::vector<ListRecord> Entries;
    std::size_t Taken = 0;
    std::function<void(ListRecord&&)> Take;
    bool HasSizes = false;
    ListStop Stop = ListStop::None;
    // With RestUnreadable: how many entries were read whole before the stop (the status names the last
    // of them), or the text it names instead (the name column of a ruler table's cut line).
    std::size_t ReadWhole = 0;
    std::optional<std::string> StopText;
    // The line in hand when reading ended early (1-based; the last line when the file ended first).
    std::int32_t StopLine = 0;
    // Lines passed over that were neither blank nor comments: the files they name were not checked.
    std::int32_t UnreadLines = 0;
    // Lines of a plain list that are not entry lines at all: they tell an irregular file from an unknown one.
    std::int32_t IrregularLines = 0;

    // The entries read whole so far, kept or handed over.
    std::size_t Size() const { return Taken + Entries.size(); }
    // An entry read whole: handed over at once when the reader takes entries as they come.
    void Add(ListRecord&& r) {
        if (Take)
            Take(std::move(r)), ++Taken;
        else
            Entries.push_back(std::move(r));
    }

    // Reading ended at line `line` after `readWhole` entries were read whole.
    void StopAfter(std::size_t readWhole, std::int32_t line) {
        Stop = readWhole == 0 ? ListStop::NothingReadable : ListStop::RestUnreadable;
        ReadWhole = readWhole;
        StopLine = line;
    }
};

// What a parse reports as it advances. Read is called with the count of entries read so far: a long
// list shows progress through it. Take, when set, receives each entry as soon as it is read whole (by
// the parsers whose entries are final when read); the result's Entries then stays empty, so a list of
// a million entries is not held a second time before it reaches the table. Either may be empty.
struct ParseProgress {
    ParseProgress() = default;
    template <class F>
        requires std::is_invocable_v<const F&, std::int32_t>
    ParseProgress(F read) : Read(std::move(read)) {}

    std::function<void(std::int32_t entries)> Read;
    std::function<void(ListRecord&&)> Take;
};

ParsedList ParsePlainSfvList(TextLineReader& reader, const ParseProgress& progress = {});
ParsedList ParseStrictSfvList(TextLineReader& reader, const ParseProgress& progress = {});
ParsedList ParseQuickSfvList(TextLineReader& reader, const ParseProgress& progress = {});
ParsedList ParseEasySfvList(TextLineReader& reader, const ParseProgress& progress = {});
ParsedList ParseSfv32List(TextLineReader& reader, const ParseProgress& progress = {});
ParsedList ParseCrcExList(TextLineReader& reader, const ParseProgress& progress = {});
ParsedList ParseRulerTableList(TextLineReader& reader, const ParseProgress& progress = {});
ParsedList ParseCsvList(TextLineReader& reader, const ParseProgress& progress = {});
// nullopt when the first line is not the CRC1632 title: the file is no list of that tool.
std::optional<ParsedList> ParseCrc1632List(TextLineReader& reader, const ParseProgress& progress = {});

// Gives the entries of a comment block their CRCs from the entry lines that follow it, starting with
// `line`, the line that ended the block; entry lines past those the block names are entries too.
void MatchCrcLines(TextLineReader& reader, std::string line, ParsedList& list);

using ListParser = ParsedList (*)(TextLineReader&, const ParseProgress&);

// A UTF-16 list that breaks off at line `line` (a lone surrogate, an odd last byte) is read up to the
// line before: the rest is unreadable, unless the parser stopped earlier on its own. The broken line
// is no entry line, so a list broken in its first line is an irregular one.
inline void StopAtUndecodable(ParsedList& list, std::int32_t line) {
    if (line == 0 || (list.Stop != ListStop::None && list.StopLine < line)) return;
    list.StopText.reset();
    list.StopAfter(list.Size(), line);
    ++list.IrregularLines;
}
inline void StopAtUndecodable(std::optional<ParsedList>& list, std::int32_t line) {
    if (list) StopAtUndecodable(*list, line);
}

// Parses the lines of `reader`; a conversion error raised on the way names the line it came from.
template <class Parser> auto ParseLines(TextLineReader& reader, Parser parse, const ParseProgress& progress = {}) {
    try {
        auto list = parse(reader, progress);
        StopAtUndecodable(list, reader.UndecodableLine());
        return list;
    } catch (const ConvertError& e) {
        // The field's own converter knows no line: the reader does.
        if (e.Line() != 0) throw;
        throw ConvertError(e.Field(), reader.LineNumber());
    }
}

// Parses the list file at `path`; the file is closed again when this returns.
template <class Parser>
auto ParseListFile(FileSystem& fs, const std::string& path, Parser parse, const ParseProgress& progress = {}) {
    TextLineReader reader(fs, path);
    return ParseLines(reader, parse, progress);
}

inline void ReportProgress(const ParseProgress& progress, const ParsedList& list) {
    if (progress.Read) progress.Read(static_cast<std::int32_t>(list.Size()));
}

// A parse that hands its entries over as it reads them, if the parser can.
inline ParsedList TakingList(const ParseProgress& progress) {
    ParsedList list;
    list.Take = progress.Take;
    return list;
}

} // namespace tv
