#pragma once
// Which entries a file of the list's folder can match, found by binary search instead of walking the
// table from its middle. The answers are those of the walk: for a size-sorted table, every entry of
// the file's size whose CRC equals the file's; for a CRC-sorted table, the entry with the file's CRC.
#include "core/Entry.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
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
    std::int32_t n_;
    std::int64_t middleSize_ = 0;
    // The sizes in table order, packed, so the binary search stays in the cache.
    std::vector<std::int64_t> sizes_;
    // (CRC, index) of every entry, sorted, to find the equal-size entries with one CRC quickly.
    std::vector<std::pair<std::uint32_t, std::int32_t>> byCrc_;
};

// Looks CRCs up in a CRC-sorted table without repeated CRCs, through a packed copy of the CRCs.
class CrcMatcher {
public:
    CrcMatcher(const TEntryTable& t, std::int32_t n);
    // The entry with this CRC, or -1.
    std::int32_t Match(std::uint32_t crc) const;

private:
    std::vector<std::uint32_t> crcs_;
};

// The entry with this CRC in a CRC-sorted table without repeated CRCs, or -1.
std::int32_t MatchByCrc(const TEntryTable& t, std::int32_t n, std::uint32_t crc);

// The plain files of a folder (no folders, no hidden or system files), ordered by name.
std::vector<FolderEntry> ListPlainFiles(FileSystem& fs, const std::string& folder);
// The same from a listing already taken; `pace` runs between the pieces of the sort.
std::vector<FolderEntry> PlainFilesOf(std::vector<FolderEntry> listing, const std::function<void()>& pace = {});

// Answers "is there a file (not a folder) at folder + name" for the entries of a list. A plain name is
// looked up in the folder's listing (hidden files included), which saves a system call per entry; a
// name with a path inside it is asked of the file system.
class PresenceTest {
public:
    PresenceTest(FileSystem& fs, std::string folder, const std::vector<FolderEntry>& listing);
    bool Exists(const std::string& listName) const;
    // A name already in the native form, taken byte for byte ("\" is no separator in it).
    bool ExistsNative(const std::string& nativeName) const;
    // Whether the listing answers for this name (Exists, or ExistsNative when `native`): one plain folder
    // entry's name. The others are asked of the file system.
    static bool Answers(std::string_view name, bool native);

private:
    FileSystem& fs_;
    std::string folder_;
    bool Listed(std::string_view name) const;
    // Views into the listing, which outlives the test, in an open table: a slot without data is free.
    std::vector<std::string_view> files_;
};

} // namespace tv
