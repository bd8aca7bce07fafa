#pragma once
// The ".crc" table of cfv, read beside the ruler table: header lines, a line of column titles, a line
// of dashes that fixes each column's place, then one file a line until the file ends.
#include "readers/ListParsers.h"

#include <optional>
#include <string_view>

namespace tv {

// Byte ranges [begin, end) of the columns that are read.
struct CfvColumns {
    std::size_t NameBegin = 0, NameEnd = 0;
    std::size_t SizeBegin = 0, SizeEnd = 0;
    std::size_t CrcBegin = 0, CrcEnd = 0;
};

// The columns when `titles` and the dashes line under it are cfv's; nullopt for any other table.
std::optional<CfvColumns> CfvTableColumns(std::string_view titles, std::string_view dashes);

// Reads the rows that follow the dashes line into `list`.
void ParseCfvTableRows(TextLineReader& reader, const CfvColumns& columns, ParsedList& list,
                       const ParseProgress& progress);

} // namespace tv
