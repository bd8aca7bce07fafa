#include "core/ScanKeys.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace tv {

DigestScanKeys::DigestScanKeys(FileSystem& fs, const TEntryTable& t, std::size_t files, AlgorithmSet algorithms)
    : fs_(fs), t_(t), algorithms_(algorithms), ref_(files) {
    for (const AlgorithmInfo& info : Algorithms)
        if (algorithms.Has(info.Algorithm)) {
            list_.push_back(info.Algorithm);
            stride_ += algorithms.BytesOf(info.Algorithm);
        }
}

void DigestScanKeys::Read(std::size_t k, const std::string& path, std::int64_t size, bool) {
    current_ = FileKeysAsListed(fs_, path, size, algorithms_);
    at_ = k;
}

void DigestScanKeys::Keep(std::size_t k, std::span<const std::int32_t> owners) {
    if (at_ != k) return;
    // A list of one algorithm: the file's digest is that of an owner it carries.
    if (list_.size() == 1)
        for (std::int32_t i : owners)
            if (t_.Carries(t_[i], current_.Of(list_[0]))) {
                ref_[k] = static_cast<std::uint32_t>(i) + 1;
                return;
            }
    const std::size_t slot = stride_ == 0 ? 0 : beside_.size() / stride_;
    if (slot >= Beside - 1) throw std::length_error("too many files");
    for (HashAlgorithm a : list_) {
        const ContentKey& key = current_.Of(a);
        beside_.insert(beside_.end(), key.Bytes.begin(), key.Bytes.begin() + static_cast<std::ptrdiff_t>(key.Size()));
    }
    ref_[k] = Beside | static_cast<std::uint32_t>(slot);
}

ContentKey DigestScanKeys::KeyOf(std::size_t k, HashAlgorithm a) const {
    if (at_ == k) return current_.Of(a);
    const std::uint32_t ref = ref_[k];
    if ((ref & Beside) == 0) return t_.KeyOf(static_cast<std::int32_t>(ref - 1));
    const std::uint8_t* p = beside_.data() + static_cast<std::size_t>(ref & ~Beside) * stride_;
    for (HashAlgorithm b : list_) {
        if (b == a) return ContentKey::Of(a, p, algorithms_.BytesOf(a));
        p += algorithms_.BytesOf(b);
    }
    return ContentKey{}; // an algorithm the list does not name: carries nothing of it
}

bool FileCarriesEntry(FileSystem& fs, const TEntryTable& t, const TCrcTable& e, const std::string& path,
                      std::int64_t size, AlgorithmSet algorithms) {
    if (algorithms.OnlyCrc32()) return FileCrc32AsListed(fs, path, size) == e.Crc;
    return t.Carries(e, FileKeyAsListed(fs, path, size, t.AlgorithmOf(e), algorithms.BytesOf(t.AlgorithmOf(e))));
}

} // namespace tv
