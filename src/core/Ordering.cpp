#include "core/Ordering.h"
#include "core/EntryNames.h"

#include "core/FileCrc32.h"
#include "core/FileDigest.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <algorithm>
#include <utility>

namespace tv {

int CompareNames(std::string_view a, std::string_view b) {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x -= 'a' - 'A';
        if (y >= 'a' && y <= 'z') y -= 'a' - 'A';
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

namespace {

// Each order sorts a copy of the keys with the entries' places, then moves the entries once: the steps
// are those of the design's quicksort over the table itself, so equal keys end where they always did,
// while a step moves eight or twenty-four bytes where a record is forty and lives in a deque.
struct BySize {
    struct Item {
        std::int64_t Key;
        std::int32_t At;
    };
    static Item Of(const TCrcTable& e, std::int32_t at) { return {e.FileSize, at}; }
    static bool Less(const Item& a, const Item& b) { return a.Key < b.Key; }
};

struct ByCrc {
    struct Item {
        std::uint32_t Key;
        std::int32_t At;
    };
    static Item Of(const TCrcTable& e, std::int32_t at) { return {e.Crc, at}; }
    static bool Less(const Item& a, const Item& b) { return a.Key < b.Key; }
};

// Names in the order CompareNames gives, their heads first (see NameHead).
struct ByName {
    struct Item {
        std::uint64_t Head;
        std::string_view Name;
        std::int32_t At;
    };
    static Item Of(const TCrcTable& e, std::int32_t at) { return {NameHead(e.FileName.view()), e.FileName.view(), at}; }
    static bool Less(const Item& a, const Item& b) {
        if (a.Head != b.Head) return a.Head < b.Head;
        return CompareNames(a.Name, b.Name) < 0;
    }
};

// Parts smaller than this are sorted without pausing: their whole subtree is quick.
constexpr std::int32_t PacedPart = 256;

template <class Order>
void QuickSortItems(std::vector<typename Order::Item>& v, std::int32_t lo, std::int32_t hi, const SortPace& pace) {
    using Item = typename Order::Item;
    while (lo < hi) {
        if (pace && hi - lo >= PacedPart) pace();
        const Item pivot = v[static_cast<std::size_t>(lo + (hi - lo) / 2)];
        std::int32_t i = lo, j = hi;
        do {
            while (Order::Less(v[static_cast<std::size_t>(i)], pivot)) ++i;
            while (Order::Less(pivot, v[static_cast<std::size_t>(j)])) --j;
            if (i <= j) {
                if (i != j) std::swap(v[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        // The two parts are disjoint, so the order in which they are sorted does not change the result.
        if (j - lo < hi - i) {
            if (lo < j) QuickSortItems<Order>(v, lo, j, pace);
            lo = i;
        } else {
            if (i < hi) QuickSortItems<Order>(v, i, hi, pace);
            hi = j;
        }
    }
}

template <class Order>
void QuickSort(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace) {
    if (lo >= hi) return;
    std::vector<typename Order::Item> v;
    v.reserve(static_cast<std::size_t>(hi - lo + 1));
    for (std::int32_t i = lo; i <= hi; ++i)
        v.push_back(Order::Of(t[i], i));
    QuickSortItems<Order>(v, 0, hi - lo, pace);
    // The record at lo + k comes from v[k].At: each cycle of the permutation is walked once.
    std::vector<bool> placed(v.size());
    for (std::size_t k = 0; k < v.size(); ++k) {
        if (placed[k]) continue;
        placed[k] = true;
        const auto start = static_cast<std::int32_t>(k) + lo;
        if (v[k].At == start) continue;
        TCrcTable held = std::move(t[start]);
        std::int32_t to = start;
        for (;;) {
            const std::int32_t from = v[static_cast<std::size_t>(to - lo)].At;
            if (from == start) break;
            t[to] = std::move(t[from]);
            placed[static_cast<std::size_t>(from - lo)] = true;
            to = from;
        }
        t[to] = std::move(held);
    }
}

bool IsOwnFile(const TCrcTable& e, const std::string& baseFolder, const std::string& path) {
    return SameFileName(EntryFullPath(baseFolder, e), path);
}

} // namespace

void SortEntriesBySize(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace) {
    QuickSort<BySize>(t, lo, hi, pace);
}
void SortEntriesByCrc(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace) {
    QuickSort<ByCrc>(t, lo, hi, pace);
}
void SortEntriesByName(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace) {
    QuickSort<ByName>(t, lo, hi, pace);
}

IndexRange EqualSizeRange(const TEntryTable& t, std::int32_t n, std::int64_t size) {
    std::int32_t lo = 0, hi = n;
    while (lo < hi) {
        std::int32_t m = lo + (hi - lo) / 2;
        if (t[m].FileSize < size) lo = m + 1; else hi = m;
    }
    IndexRange r{lo, lo};
    hi = n;
    while (r.Last < hi) {
        std::int32_t m = r.Last + (hi - r.Last) / 2;
        if (t[m].FileSize <= size) r.Last = m + 1; else hi = m;
    }
    return r;
}

std::int32_t FindCrcIndex(const TEntryTable& t, std::int32_t n, std::uint32_t crc) {
    std::int32_t lo = 0, hi = n;
    while (lo < hi) {
        std::int32_t m = lo + (hi - lo) / 2;
        if (t[m].Crc < crc) lo = m + 1; else hi = m;
    }
    return lo < n && t[lo].Crc == crc ? lo : -1;
}

std::vector<std::int32_t> FindEntryBySize(FileSystem& fs, const TEntryTable& t, std::int32_t n,
                                          const std::string& baseFolder, const std::string& path,
                                          AlgorithmSet algorithms) {
    std::vector<std::int32_t> out;
    if (!fs.FileExists(path) || n < 1) return out;
    std::int64_t s = fs.FileLength(path);
    // Entries without a size of their own sort first and match by CRC alone.
    const IndexRange any = EqualSizeRange(t, n, NoSize);
    if (any.Empty() && (s < t[0].FileSize || s > t[n - 1].FileSize)) return out;
    IndexRange run = EqualSizeRange(t, n, s);
    if (run.Empty() && any.Empty()) return out;
    if (!algorithms.OnlyCrc32()) {
        const FileKeys keys = FileKeysAsListed(fs, path, s, algorithms);
        for (const IndexRange& r : {any, run})
            for (std::int32_t i = r.First; i < r.Last; ++i)
                if (t.Carries(t[i], keys.Of(t.AlgorithmOf(t[i]))) && !IsOwnFile(t[i], baseFolder, path)) out.push_back(i);
        return out;
    }
    std::uint32_t c = FileCrc32AsListed(fs, path, s);
    for (const IndexRange& r : {any, run})
        for (std::int32_t i = r.First; i < r.Last; ++i)
            if (t[i].Crc == c && !IsOwnFile(t[i], baseFolder, path)) out.push_back(i);
    return out;
}

std::vector<std::int32_t> FindEntryByCrc(FileSystem& fs, const TEntryTable& t, std::int32_t n,
                                         const std::string& baseFolder, const std::string& path,
                                         AlgorithmSet algorithms) {
    std::vector<std::int32_t> out;
    if (!fs.FileExists(path) || n < 1) return out;
    std::int64_t s = fs.FileLength(path);
    if (!algorithms.OnlyCrc32()) {
        const FileKeys keys = FileKeysAsListed(fs, path, s, algorithms);
        for (const AlgorithmInfo& info : Algorithms) {
            if (!algorithms.Has(info.Algorithm)) continue;
            const ContentKey& k = keys.Of(info.Algorithm);
            for (std::int32_t i = FindCrcIndex(t, n, k.Prefix()); i >= 0 && i < n && t[i].Crc == k.Prefix(); ++i)
                if (t.Carries(t[i], k) && !IsOwnFile(t[i], baseFolder, path)) out.push_back(i);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    std::uint32_t c = FileCrc32AsListed(fs, path, s);
    if (c < t[0].Crc || c > t[n - 1].Crc) return out;
    // Every entry of the run with this CRC, but the one whose own file this is.
    for (std::int32_t i = FindCrcIndex(t, n, c); i >= 0 && i < n && t[i].Crc == c; ++i)
        if (!IsOwnFile(t[i], baseFolder, path)) out.push_back(i);
    return out;
}

const char* MarkOfIcon(int iconIndex) {
    switch (iconIndex) {
    case 0: return "○";
    case 1: return "！";
    case 2: return "×";
    case 3: return "－";
    default: return "";
    }
}

} // namespace tv
