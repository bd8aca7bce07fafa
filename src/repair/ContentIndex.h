#pragma once
// Which entry a file on disk carries the content of, for the complement search and for dropped files.
// Built once per command over the first n entries, it gives the same answers as the table lookups of
// core/Ordering.h (FindEntryBySize on a size-sorted table, FindEntryByCrc on a CRC-sorted one) but
// never walks a run of equal sizes, so many files against many equal-sized entries stay fast. It does
// not need the table to be sorted. Entries without a size of their own (NoSize) match by CRC alone.
#include "core/Entry.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tv {

class ContentIndex {
public:
    // A digest list's files are read once for every algorithm of `algorithms`.
    ContentIndex(const TEntryTable& t, std::int32_t n, bool bySize, std::string baseFolder,
                 AlgorithmSet algorithms = HashAlgorithm::Crc32);

    // The indices (ascending) of every entry whose content the file at `path` has, but the entry whose
    // own file it is; none when the path is no file. With sizes, `knownSize` (from a folder listing)
    // spares opening files whose size no entry has. Unreadable files raise IoError.
    std::vector<std::int32_t> Find(FileSystem& fs, const std::string& path,
                                   std::optional<std::int64_t> knownSize = {}) const;

    // Whether Find reads a file of this size (as a listing gave it).
    bool Reads(std::int64_t size) const;

private:
    struct Key {
        std::int64_t Size; // NoSize when looking up by CRC alone
        std::uint32_t Crc; // a digest's first four bytes
        std::int32_t Index;
    };
    static bool Less(const Key& a, const Key& b);
    bool HasKey(std::int64_t size) const;
    bool IsOwnFile(std::int32_t i, const std::string& path) const;

    const TEntryTable& t_;
    bool bySize_;
    std::string baseFolder_;
    AlgorithmSet algorithms_;
    std::vector<Key> keys_; // sorted by (size, CRC, index)
};

} // namespace tv
