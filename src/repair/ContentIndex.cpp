#include "repair/ContentIndex.h"
#include "core/EntryNames.h"

#include "core/FileCrc32.h"
#include "platform/Paths.h"

#include <algorithm>
#include <limits>

namespace tv {

ContentIndex::ContentIndex(const TEntryTable& t, std::int32_t n, bool bySize, std::string baseFolder)
    : t_(t), bySize_(bySize), baseFolder_(std::move(baseFolder)) {
    keys_.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (std::int32_t i = 0; i < n; ++i)
        keys_.push_back({bySize_ ? t[i].FileSize : 0, t[i].Crc, i});
    std::sort(keys_.begin(), keys_.end(), Less);
}

bool ContentIndex::Less(const Key& a, const Key& b) {
    if (a.Size != b.Size) return a.Size < b.Size;
    if (a.Crc != b.Crc) return a.Crc < b.Crc;
    return a.Index < b.Index;
}

bool ContentIndex::IsOwnFile(std::int32_t i, const std::string& path) const {
    return SameFileName(EntryFullPath(baseFolder_, t_[i]), path);
}

bool ContentIndex::Reads(std::int64_t size) const {
    if (keys_.empty()) return false;
    if (!bySize_) return true;
    auto run =
        std::lower_bound(keys_.begin(), keys_.end(), Key{size, 0, std::numeric_limits<std::int32_t>::min()}, Less);
    return run != keys_.end() && run->Size == size;
}

std::int32_t ContentIndex::Find(FileSystem& fs, const std::string& path, std::optional<std::int64_t> knownSize) const {
    if (keys_.empty()) return -1;
    if (!knownSize && !fs.FileExists(path)) return -1;
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    std::int64_t size = 0;
    if (bySize_) {
        size = knownSize ? *knownSize : fs.FileLength(path);
        // No entry of this size: the file is never read.
        auto run = std::lower_bound(keys_.begin(), keys_.end(), Key{size, 0, lowest}, Less);
        if (run == keys_.end() || run->Size != size) return -1;
    } else {
        size = knownSize ? *knownSize : fs.FileLength(path);
    }
    const std::uint32_t crc = FileCrc32(fs, path, size);
    const std::int64_t keySize = bySize_ ? size : 0;
    auto it = std::lower_bound(keys_.begin(), keys_.end(), Key{keySize, crc, lowest}, Less);
    if (bySize_) {
        // The first entry of the run (in table order) with this content that is not the file itself.
        for (; it != keys_.end() && it->Size == keySize && it->Crc == crc; ++it)
            if (!IsOwnFile(it->Index, path)) return it->Index;
        return -1;
    }
    // By CRC the one entry with this CRC answers, unless the file is its own file.
    if (it == keys_.end() || it->Crc != crc) return -1;
    return IsOwnFile(it->Index, path) ? -1 : it->Index;
}

} // namespace tv
