#include "core/Matching.h"

#include "core/Ordering.h"

#include <algorithm>

namespace tv {

SizeMatcher::SizeMatcher(const TEntryTable& t, std::int32_t n) : t_(t), n_(n) {
    if (n_ < 1) return;
    middle_ = (n_ - 1) / 2;
    while (middle_ > 0 && t_[middle_ - 1].FileSize == t_[middle_].FileSize) --middle_;
    byCrc_.reserve(static_cast<std::size_t>(n_));
    for (std::int32_t i = 0; i < n_; ++i) byCrc_.emplace_back(t_[i].Crc, i);
    std::sort(byCrc_.begin(), byCrc_.end());
}

bool SizeMatcher::HasSize(std::int64_t size) const {
    if (n_ < 1 || size < t_[0].FileSize || size > t_[n_ - 1].FileSize) return false;
    return !EqualSizeRange(t_, n_, size).Empty();
}

std::vector<std::int32_t> SizeMatcher::Match(std::int64_t size, const std::function<std::uint32_t()>& fileCrc) const {
    std::vector<std::int32_t> out;
    if (!HasSize(size)) return out;
    std::uint32_t crc = fileCrc();
    auto lo = std::lower_bound(byCrc_.begin(), byCrc_.end(), std::make_pair(crc, std::int32_t{-1}));
    for (auto it = lo; it != byCrc_.end() && it->first == crc; ++it)
        if (t_[it->second].FileSize == size) out.push_back(it->second);
    // Below the middle the walk goes downward, from the middle up it goes upward.
    if (size < t_[middle_].FileSize)
        std::sort(out.begin(), out.end(), std::greater<>());
    else
        std::sort(out.begin(), out.end());
    return out;
}

std::int32_t MatchByCrc(const TEntryTable& t, std::int32_t n, std::uint32_t crc) {
    if (n < 1 || crc < t[0].Crc || crc > t[n - 1].Crc) return -1;
    return FindCrcIndex(t, n, crc);
}

std::vector<FolderEntry> ListPlainFiles(FileSystem& fs, const std::string& folder) {
    std::vector<FolderEntry> files = fs.ListFolder(folder);
    std::erase_if(files, [](const FolderEntry& e) { return e.IsFolder || e.IsHidden; });
    std::sort(files.begin(), files.end(), [](const FolderEntry& a, const FolderEntry& b) {
        int c = CompareNames(a.Name, b.Name);
        return c != 0 ? c < 0 : a.Name < b.Name;
    });
    return files;
}

} // namespace tv
