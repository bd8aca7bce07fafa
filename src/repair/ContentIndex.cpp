#include "repair/ContentIndex.h"
#include "core/EntryNames.h"

#include "core/FileCrc32.h"
#include "core/FileDigest.h"
#include "platform/Paths.h"

#include <algorithm>
#include <limits>

namespace tv {

ContentIndex::ContentIndex(const TEntryTable& t, std::int32_t n, bool bySize, std::string baseFolder,
                           AlgorithmSet algorithms)
    : t_(t), bySize_(bySize), baseFolder_(std::move(baseFolder)), algorithms_(algorithms) {
    keys_.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (std::int32_t i = 0; i < n; ++i)
        keys_.push_back({bySize_ ? t[i].FileSize : NoSize, t[i].Crc, i});
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

bool ContentIndex::HasKey(std::int64_t size) const {
    auto run =
        std::lower_bound(keys_.begin(), keys_.end(), Key{size, 0, std::numeric_limits<std::int32_t>::min()}, Less);
    return run != keys_.end() && run->Size == size;
}

bool ContentIndex::Reads(std::int64_t size) const {
    if (keys_.empty()) return false;
    if (!bySize_) return true;
    // Entries without a size of their own sort first: any file may carry their content.
    return keys_.front().Size == NoSize || HasKey(size);
}

std::vector<std::int32_t> ContentIndex::Find(FileSystem& fs, const std::string& path,
                                             std::optional<std::int64_t> knownSize) const {
    std::vector<std::int32_t> out;
    if (keys_.empty()) return out;
    if (!knownSize && !fs.FileExists(path)) return out;
    const std::int64_t size = knownSize ? *knownSize : fs.FileLength(path);
    // No entry can have this content: the file is never read.
    if (!Reads(size)) return out;
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    auto collect = [&](std::int64_t key, std::uint32_t crc, const auto& carries) {
        auto it = std::lower_bound(keys_.begin(), keys_.end(), Key{key, crc, lowest}, Less);
        for (; it != keys_.end() && it->Size == key && it->Crc == crc; ++it)
            if (carries(it->Index) && !IsOwnFile(it->Index, path)) out.push_back(it->Index);
    };
    auto collectBoth = [&](std::uint32_t crc, const auto& carries) {
        collect(NoSize, crc, carries);
        if (bySize_ && size != NoSize) collect(size, crc, carries);
    };
    if (algorithms_.OnlyCrc32()) {
        collectBoth(FileCrc32AsListed(fs, path, size), [](std::int32_t) { return true; });
    } else {
        // One read for every algorithm the list names; an entry sorted under a digest's first bytes
        // is the file's only when the whole digest is.
        const FileKeys keys = FileKeysAsListed(fs, path, size, algorithms_);
        for (const AlgorithmInfo& info : Algorithms) {
            if (!algorithms_.Has(info.Algorithm)) continue;
            const ContentKey& k = keys.Of(info.Algorithm);
            collectBoth(k.Prefix(), [&](std::int32_t i) { return t_.Carries(t_[i], k); });
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace tv
