#pragma once
// Which entries a file of the list's folder can match, found by binary search instead of walking the
// table from its middle. The answers are those of the walk: for a size-sorted table, every entry of
// the file's size whose CRC equals the file's; for a CRC-sorted table, the entry with the file's CRC.
#include "core/Entry.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tv {

// Looks files up in a table sorted by size. The CRC of a file is asked for only when some entry has
// the file's size, and at most once per file.
class SizeMatcher {
public:
    SizeMatcher(const TEntryTable& t, std::int32_t n);
    // Entry indices in the order the middle-out walk meets them.
    std::vector<std::int32_t> Match(std::int64_t size, const std::function<std::uint32_t()>& fileCrc) const;
    bool HasSize(std::int64_t size) const;

private:
    const TEntryTable& t_;
    std::int32_t n_;
    std::int32_t middle_ = 0;
    // (CRC, index) of every entry, sorted, to find the equal-size entries with one CRC quickly.
    std::vector<std::pair<std::uint32_t, std::int32_t>> byCrc_;
};

// The entry with this CRC in a CRC-sorted table without repeated CRCs, or -1.
std::int32_t MatchByCrc(const TEntryTable& t, std::int32_t n, std::uint32_t crc);

// The plain files of a folder (no folders, no hidden or system files), ordered by name.
std::vector<FolderEntry> ListPlainFiles(FileSystem& fs, const std::string& folder);

} // namespace tv
