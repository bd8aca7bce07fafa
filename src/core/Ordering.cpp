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

struct BySize {
    using Key = std::int64_t;
    static Key Of(const TCrcTable& e) { return e.FileSize; }
    static bool Less(const TCrcTable& e, const Key& k) { return e.FileSize < k; }
    static bool Greater(const TCrcTable& e, const Key& k) { return e.FileSize > k; }
};

struct ByCrc {
    using Key = std::uint32_t;
    static Key Of(const TCrcTable& e) { return e.Crc; }
    static bool Less(const TCrcTable& e, const Key& k) { return e.Crc < k; }
    static bool Greater(const TCrcTable& e, const Key& k) { return e.Crc > k; }
};

struct ByName {
    using Key = std::string;
    static Key Of(const TCrcTable& e) { return e.FileName; }
    static bool Less(const TCrcTable& e, const Key& k) { return CompareNames(e.FileName, k) < 0; }
    static bool Greater(const TCrcTable& e, const Key& k) { return CompareNames(e.FileName, k) > 0; }
};

// Parts smaller than this are sorted without pausing: their whole subtree is quick.
constexpr std::int32_t PacedPart = 256;

template <class Order>
void QuickSort(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace) {
    while (lo < hi) {
        if (pace && hi - lo >= PacedPart) pace();
        const typename Order::Key pivot = Order::Of(t[lo + (hi - lo) / 2]);
        std::int32_t i = lo, j = hi;
        do {
            while (Order::Less(t[i], pivot)) ++i;
            while (Order::Greater(t[j], pivot)) --j;
            if (i <= j) {
                if (i != j) std::swap(t[i], t[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        // The two parts are disjoint, so the order in which they are sorted does not change the result.
        if (j - lo < hi - i) {
            if (lo < j) QuickSort<Order>(t, lo, j, pace);
            lo = i;
        } else {
            if (i < hi) QuickSort<Order>(t, i, hi, pace);
            hi = j;
        }
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
