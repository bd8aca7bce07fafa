#pragma once
// What a folder scan knows of the files it read, by their place in the folder's listing, and how it
// asks whether a file carries an entry's content. A CRC-32 list keeps a CRC a file, as it always did.
// A digest list reads a file once for every algorithm the list names; a file whose digest is its own
// entry's is known by that entry (4 bytes), any other keeps its digests beside, so a million intact
// files cost no more than their entries do.
#include "core/Entry.h"
#include "core/FileCrc32.h"
#include "core/FileDigest.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tv {

class CrcScanKeys {
public:
    CrcScanKeys(FileSystem& fs, const TEntryTable&, std::size_t files, AlgorithmSet) : fs_(fs), crcs_(files) {}
    bool Known(std::size_t k) const { return crcs_[k].has_value(); }
    // Reads the file at listing position k; `keep` asks for its value to be kept for a later look.
    void Read(std::size_t k, const std::string& path, std::int64_t size, bool) {
        crcs_[k] = FileCrc32AsListed(fs_, path, size);
    }
    // Whether the file read at k carries e's content.
    bool Carries(std::size_t k, const TCrcTable& e) const { return e.Crc == *crcs_[k]; }
    // The owners of the file at k have been judged: its value is kept for the rest of the scan.
    void Keep(std::size_t, std::span<const std::int32_t>) {}
    // The file at k is entry i's own file, found intact at its path before the scan.
    void KnownAs(std::size_t k, std::int32_t, const TCrcTable& e) { crcs_[k] = e.Crc; }
    // f(prefix, carries) for each key of the file at k: the entries sorted under `prefix` whose
    // content it carries are those `carries` accepts.
    template <class F> void ForEachKey(std::size_t k, F f) const {
        f(*crcs_[k], [](const TCrcTable&) { return true; });
    }

private:
    FileSystem& fs_;
    std::vector<std::optional<std::uint32_t>> crcs_;
};

class DigestScanKeys {
public:
    DigestScanKeys(FileSystem& fs, const TEntryTable& t, std::size_t files, AlgorithmSet algorithms);
    bool Known(std::size_t k) const { return ref_[k] != 0 || at_ == k; }
    void Read(std::size_t k, const std::string& path, std::int64_t size, bool keep);
    bool Carries(std::size_t k, const TCrcTable& e) const { return t_.Carries(e, KeyOf(k, t_.AlgorithmOf(e))); }
    void Keep(std::size_t k, std::span<const std::int32_t> owners);
    // The file at k is entry i's own file, found intact at its path before the scan: with one algorithm
    // that entry's digest is the file's; with several the others are not known, and it is read.
    void KnownAs(std::size_t k, std::int32_t i, const TCrcTable&) {
        if (list_.size() == 1) ref_[k] = static_cast<std::uint32_t>(i) + 1;
    }
    template <class F> void ForEachKey(std::size_t k, F f) const {
        for (HashAlgorithm a : list_) {
            const ContentKey key = KeyOf(k, a);
            f(key.Prefix(), [this, &key](const TCrcTable& e) { return t_.Carries(e, key); });
        }
    }

private:
    ContentKey KeyOf(std::size_t k, HashAlgorithm a) const;
    static constexpr std::uint32_t Beside = 0x80000000u;

    FileSystem& fs_;
    const TEntryTable& t_; // not reordered while the scan runs
    AlgorithmSet algorithms_;
    std::vector<HashAlgorithm> list_; // the algorithms of algorithms_, in table order
    std::size_t stride_ = 0;          // the bytes of one file's digests kept beside
    // Per file: 0 not read; an entry index + 1 whose digest it carries; Beside | slot of its digests.
    std::vector<std::uint32_t> ref_;
    std::vector<std::uint8_t> beside_;
    FileKeys current_; // the file read last
    std::size_t at_ = SIZE_MAX;
};

// Whether the file at `path` (`size` bytes as listed) carries entry e's content, by the list's algorithms.
bool FileCarriesEntry(FileSystem& fs, const TEntryTable& t, const TCrcTable& e, const std::string& path,
                      std::int64_t size, AlgorithmSet algorithms);

} // namespace tv
