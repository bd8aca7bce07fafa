#include "core/Matching.h"

#include "core/Ordering.h"
#include "core/PacedSort.h"
#include "platform/Paths.h"

#include <algorithm>

namespace tv {

SizeMatcher::SizeMatcher(const TEntryTable& t, std::int32_t n) : n_(n) {
    if (n_ < 1) return;
    sizes_.reserve(static_cast<std::size_t>(n_));
    byCrc_.reserve(static_cast<std::size_t>(n_));
    for (std::int32_t i = 0; i < n_; ++i) {
        sizes_.push_back(t[i].FileSize);
        byCrc_.emplace_back(t[i].Crc, i);
    }
    std::int32_t middle = (n_ - 1) / 2;
    while (middle > 0 && t[middle - 1].FileSize == t[middle].FileSize) --middle;
    middleSize_ = t[middle].FileSize;
    std::sort(byCrc_.begin(), byCrc_.end());
}

bool SizeMatcher::HasSize(std::int64_t size) const {
    if (n_ < 1 || size < sizes_.front() || size > sizes_.back()) return false;
    return std::binary_search(sizes_.begin(), sizes_.end(), size,
                              [](auto a, auto b) { return static_cast<std::int64_t>(a) < static_cast<std::int64_t>(b); });
}

std::vector<std::int32_t> SizeMatcher::Match(std::int64_t size, const std::function<std::uint32_t()>& fileCrc) const {
    std::vector<std::int32_t> out;
    if (!HasSize(size)) return out;
    std::uint32_t crc = fileCrc();
    auto lo = std::lower_bound(byCrc_.begin(), byCrc_.end(), std::make_pair(crc, std::int32_t{-1}));
    for (auto it = lo; it != byCrc_.end() && it->first == crc; ++it)
        if (sizes_[static_cast<std::size_t>(it->second)] == size) out.push_back(it->second);
    // Below the middle the walk goes downward, from the middle up it goes upward.
    if (size < middleSize_)
        std::sort(out.begin(), out.end(), std::greater<>());
    else
        std::sort(out.begin(), out.end());
    return out;
}

CrcMatcher::CrcMatcher(const TEntryTable& t, std::int32_t n) {
    crcs_.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (std::int32_t i = 0; i < n; ++i) crcs_.push_back(t[i].Crc);
}

std::int32_t CrcMatcher::Match(std::uint32_t crc) const {
    if (crcs_.empty() || crc < crcs_.front() || crc > crcs_.back()) return -1;
    auto it = std::lower_bound(crcs_.begin(), crcs_.end(), crc);
    return it != crcs_.end() && *it == crc ? static_cast<std::int32_t>(it - crcs_.begin()) : -1;
}

std::int32_t MatchByCrc(const TEntryTable& t, std::int32_t n, std::uint32_t crc) {
    if (n < 1 || crc < t[0].Crc || crc > t[n - 1].Crc) return -1;
    return FindCrcIndex(t, n, crc);
}

std::vector<FolderEntry> ListPlainFiles(FileSystem& fs, const std::string& folder) {
    return PlainFilesOf(fs.ListFolder(folder));
}

std::vector<FolderEntry> PlainFilesOf(std::vector<FolderEntry> files, const std::function<void()>& pace) {
    std::erase_if(files, [](const FolderEntry& e) { return e.IsFolder || e.IsHidden; });
    // A total order (names of one folder differ), so the pieces give the one order a plain sort gives.
    // Their places are sorted, each beside its name's first bytes, and the entries then moved into their
    // places where they are: an entry is some ninety bytes, most comparisons end within the first bytes,
    // and a second copy of a million-file listing would double the memory the verification needs.
    struct Place {
        std::uint64_t Head;
        std::uint32_t At;
    };
    std::vector<Place> order;
    order.reserve(files.size());
    for (std::size_t k = 0; k < files.size(); ++k)
        order.push_back({NameHead(files[k].Name), static_cast<std::uint32_t>(k)});
    const auto byName = [&files](const Place& a, const Place& b) {
        return a.Head != b.Head ? a.Head < b.Head : NameBefore(files[a.At].Name, files[b.At].Name);
    };
    PacedSort(order.begin(), order.end(), byName, pace);
    // The place k takes the entry order[k].At: each cycle of the permutation is followed once, and a
    // place filled is marked as its own source.
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (order[k].At == k) continue;
        FolderEntry held = std::move(files[k]);
        std::size_t to = k;
        for (;;) {
            const std::size_t from = order[to].At;
            order[to].At = static_cast<std::uint32_t>(to);
            if (from == k) {
                files[to] = std::move(held);
                break;
            }
            files[to] = std::move(files[from]);
            to = from;
        }
    }
    return files;
}

PresenceTest::PresenceTest(FileSystem& fs, std::string folder, const std::vector<FolderEntry>& listing)
    : fs_(fs), folder_(std::move(folder)) {
    std::size_t slots = 16;
    while (slots < 2 * listing.size())
        slots *= 2;
    files_.resize(slots);
    const std::hash<std::string_view> hash;
    for (const FolderEntry& e : listing) {
        if (e.IsFolder) continue;
        const std::string_view name = e.Name;
        std::size_t slot = hash(name) & (slots - 1);
        while (files_[slot].data() && files_[slot] != name)
            slot = (slot + 1) & (slots - 1);
        files_[slot] = name;
    }
}

bool PresenceTest::Listed(std::string_view name) const {
    const std::size_t mask = files_.size() - 1;
    for (std::size_t slot = std::hash<std::string_view>()(name) & mask; files_[slot].data(); slot = (slot + 1) & mask)
        if (files_[slot] == name) return true;
    return false;
}

bool PresenceTest::Answers(std::string_view name, bool native) {
    const std::string_view delims = native ? std::string_view("/\0", 2) : std::string_view("/\\\0", 3);
    return !name.empty() && name != "." && name != ".." && name.find_first_of(delims) == std::string_view::npos;
}

bool PresenceTest::Exists(const std::string& listName) const {
    if (!Answers(listName, false)) return fs_.FileExists(JoinPath(folder_, listName));
    return Listed(listName);
}

bool PresenceTest::ExistsNative(const std::string& nativeName) const {
    if (!Answers(nativeName, true)) return fs_.FileExists(FolderFile(folder_, nativeName));
    return Listed(nativeName);
}

} // namespace tv
