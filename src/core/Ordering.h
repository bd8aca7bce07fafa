#pragma once
// The three orders of the entry table and the lookups of a file among its entries.
#include "core/Entry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

class FileSystem;

// Names compare byte by byte as unsigned bytes after mapping a-z to capitals; a prefix sorts first.
// So "A_" sorts after "AZ".
int CompareNames(std::string_view a, std::string_view b);
// The first eight bytes of a name as CompareNames sees them (a-z as capitals), big-endian in one word,
// zeros past a short name's end. Where the heads of two names differ, they order the names as
// CompareNames does; where they agree, the names are compared whole.
inline std::uint64_t NameHead(std::string_view name) {
    std::uint64_t head = 0;
    for (std::size_t k = 0; k < 8; ++k) {
        unsigned c = k < name.size() ? static_cast<unsigned char>(name[k]) : 0u;
        if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
        head = (head << 8) | c;
    }
    return head;
}
// A total order of names: CompareNames, and names it takes as equal by their bytes.
inline bool NameBefore(std::string_view a, std::string_view b) {
    const int c = CompareNames(a, b);
    return c != 0 ? c < 0 : a < b;
}

// In-place quicksorts of entries lo..hi (middle record as pivot copy, Hoare-style partition). The exact
// steps decide where equal keys end, and the de-duplication relies on them. The smaller side recurses
// first and the larger side loops, so the depth stays logarithmic; the resulting order is the same.
// `pace` runs before each partition of a large part (a window handles its events there); it must
// not touch the table.
using SortPace = std::function<void()>;
void SortEntriesBySize(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace = {}); // signed sizes
void SortEntriesByCrc(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace = {});  // unsigned CRCs
void SortEntriesByName(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace = {}); // CompareNames

// Every entry whose content a file carries, entries 0..n-1 sorted by size (resp. by CRC), in table
// order, but the entry whose own file it is (its path equals baseFolder + name without regard to case).
// By size, entries without a size of their own (NoSize, sorted first) match by CRC alone.
// A digest list's file is read once for every algorithm of `algorithms`; its entries sort by their
// digests' first bytes and are then confirmed whole.
std::vector<std::int32_t> FindEntryBySize(FileSystem& fs, const TEntryTable& t, std::int32_t n,
                                          const std::string& baseFolder, const std::string& path,
                                          AlgorithmSet algorithms = HashAlgorithm::Crc32);
std::vector<std::int32_t> FindEntryByCrc(FileSystem& fs, const TEntryTable& t, std::int32_t n,
                                         const std::string& baseFolder, const std::string& path,
                                         AlgorithmSet algorithms = HashAlgorithm::Crc32);

// Index ranges of equal keys in a sorted table, by binary search: [first, last), empty when absent.
struct IndexRange {
    std::int32_t First = 0, Last = 0;
    bool Empty() const { return First >= Last; }
};
IndexRange EqualSizeRange(const TEntryTable& t, std::int32_t n, std::int64_t size);
// The entry with this CRC in a CRC-sorted table (the first of its run), or -1.
std::int32_t FindCrcIndex(const TEntryTable& t, std::int32_t n, std::uint32_t crc);

} // namespace tv
