#include "core/Ordering.h"
#include "core/EntryNames.h"

#include "core/FileCrc32.h"
#include "core/FileDigest.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <algorithm>
#include <utility>
#include <vector>

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

// What the sort holds of a record: its index and a key that decides most comparisons without reading
// the record. Keys that tie are looked up in the record, which stays put while the sort runs.
template <class K> struct Slot {
    K Key;
    std::int32_t Index;
};

struct BySize {
    using Key = std::int64_t;
    static Key Of(const TCrcTable& e) { return e.FileSize; }
    static int Compare(const TEntryTable&, const Slot<Key>& a, const Slot<Key>& b) {
        return a.Key < b.Key ? -1 : a.Key > b.Key ? 1 : 0;
    }
};

struct ByCrc {
    using Key = std::uint32_t;
    static Key Of(const TCrcTable& e) { return e.Crc; }
    static int Compare(const TEntryTable&, const Slot<Key>& a, const Slot<Key>& b) {
        return a.Key < b.Key ? -1 : a.Key > b.Key ? 1 : 0;
    }
};

// The first eight bytes of a name as CompareNames sees them (letters in upper case, big-endian, a short
// name padded with zeros): two different prefixes order their names as CompareNames does; equal ones
// leave it to CompareNames.
struct ByName {
    using Key = std::uint64_t;
    static Key Of(const TCrcTable& e) {
        const std::string_view v = e.FileName.view();
        Key k = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            unsigned x = i < v.size() ? static_cast<unsigned char>(v[i]) : 0u;
            if (x >= 'a' && x <= 'z') x -= 'a' - 'A';
            k = k << 8 | x;
        }
        return k;
    }
    static int Compare(const TEntryTable& t, const Slot<Key>& a, const Slot<Key>& b) {
        if (a.Key != b.Key) return a.Key < b.Key ? -1 : 1;
        return CompareNames(t[a.Index].FileName.view(), t[b.Index].FileName.view());
    }
};

// Parts smaller than this are sorted without pausing: their whole subtree is quick.
constexpr std::int32_t PacedPart = 256;

// The quicksort runs on the slots, not on the records: the same comparisons and the same exchanges, so
// the same order, but the slots lie side by side and an exchange moves a slot rather than a 40-byte record
// with its pointers. The records then move once, each straight to its place.
template <class Order>
void QuickSort(const TEntryTable& t, std::vector<Slot<typename Order::Key>>& at, std::int32_t lo, std::int32_t hi,
               const SortPace& pace) {
    using S = Slot<typename Order::Key>;
    const auto slot = [&](std::int32_t k) -> S& { return at[static_cast<std::size_t>(k)]; };
    while (lo < hi) {
        if (pace && hi - lo >= PacedPart) pace();
        const S pivot = slot(lo + (hi - lo) / 2);
        std::int32_t i = lo, j = hi;
        do {
            while (Order::Compare(t, slot(i), pivot) < 0) ++i;
            while (Order::Compare(t, slot(j), pivot) > 0) --j;
            if (i <= j) {
                if (i != j) std::swap(slot(i), slot(j));
                ++i;
                --j;
            }
        } while (i <= j);
        // The two parts are disjoint, so the order in which they are sorted does not change the result.
        if (j - lo < hi - i) {
            if (lo < j) QuickSort<Order>(t, at, lo, j, pace);
            lo = i;
        } else {
            if (i < hi) QuickSort<Order>(t, at, i, hi, pace);
            hi = j;
        }
    }
}

template <class Order> void SortRecords(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace) {
    if (lo >= hi) return;
    std::vector<Slot<typename Order::Key>> at(static_cast<std::size_t>(hi - lo) + 1);
    for (std::size_t k = 0; k < at.size(); ++k) {
        const std::int32_t i = lo + static_cast<std::int32_t>(k);
        at[k] = {Order::Of(t[i]), i};
    }
    QuickSort<Order>(t, at, 0, hi - lo, pace);
    // Place k takes the record at[k]: each cycle of the permutation is walked once, a placed record
    // marked by its place pointing at itself.
    for (std::int32_t k = 0; k <= hi - lo; ++k) {
        if (at[static_cast<std::size_t>(k)].Index == lo + k) continue;
        TCrcTable held = std::move(t[lo + k]);
        std::int32_t j = k;
        for (;;) {
            const std::int32_t from = at[static_cast<std::size_t>(j)].Index;
            at[static_cast<std::size_t>(j)].Index = lo + j;
            if (from == lo + k) {
                t[lo + j] = std::move(held);
                break;
            }
            t[lo + j] = std::move(t[from]);
            j = from - lo;
        }
    }
}

bool IsOwnFile(const TCrcTable& e, const std::string& baseFolder, const std::string& path) {
    return SameFileName(EntryFullPath(baseFolder, e), path);
}

} // namespace

void SortEntriesBySize(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace) {
    SortRecords<BySize>(t, lo, hi, pace);
}
void SortEntriesByCrc(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace) {
    SortRecords<ByCrc>(t, lo, hi, pace);
}
void SortEntriesByName(TEntryTable& t, std::int32_t lo, std::int32_t hi, const SortPace& pace) {
    SortRecords<ByName>(t, lo, hi, pace);
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
