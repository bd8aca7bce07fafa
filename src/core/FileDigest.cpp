#include "core/FileDigest.h"

#include "core/Blake3.h"
#include "core/Crc32.h"
#include "core/HashPool.h"
#include "core/KeyAhead.h"
#include "core/FileCrc32.h"
#include "core/ListedRead.h"
#include "platform/Hashing.h"

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

namespace tv {

namespace {

// With several algorithms a block is fed to them a slice at a time, so that each reads the slice from
// the processor's cache the one before it brought it into, not the whole block again from memory.
constexpr std::size_t SliceSize = std::size_t{64} << 10;

// BLAKE3 alone, the pieces of each read hashed at once across the pool and joined in order.
FileKeys SpreadBlake3(InputFile& file, std::int64_t listedSize, HashPool& pool, std::size_t spreadBytes) {
    constexpr std::size_t piece = Blake3::SubtreeBytes;
    const std::size_t pieces = std::max<std::size_t>(2, spreadBytes / piece);
    const std::unique_ptr<unsigned char[]> block = std::make_unique_for_overwrite<unsigned char[]>(pieces * piece);
    std::vector<std::array<std::uint8_t, 64>> halves(pieces);
    Blake3 hash;
    std::uint64_t fed = 0;
    ReadAsListed(file, listedSize, std::span<unsigned char>(block.get(), pieces * piece),
                 [&](const unsigned char* data, std::size_t size) {
                     std::size_t at = 0;
                     if (fed % piece == 0 && size / piece >= 2) {
                         const std::size_t whole = size / piece;
                         pool.ForEach(whole, [&](std::size_t k) {
                             Blake3::SubtreeHalves(data + k * piece, fed + k * piece, halves[k].data());
                         });
                         for (std::size_t k = 0; k < whole; ++k)
                             hash.AppendSubtree(halves[k].data());
                         at = whole * piece;
                     }
                     hash.Update(data + at, size - at);
                     fed += size;
                 });
    std::uint8_t out[Blake3::DigestBytes];
    hash.Final(out);
    FileKeys keys;
    keys.Have = HashAlgorithm::Blake3;
    keys.Keys[static_cast<std::size_t>(HashAlgorithm::Blake3)] = ContentKey::Of(HashAlgorithm::Blake3, out);
    return keys;
}

} // namespace

FileKeys FileKeysAsListed(FileSystem& fs, const std::string& path, std::int64_t listedSize, AlgorithmSet algorithms) {
    // A failure names the file: a read deep in the loop (or on a worker) knows no name.
    try {
        if (auto ahead = TakeHashedAhead(path, listedSize, KeyRead::Keys, algorithms)) return *ahead;
        std::unique_ptr<InputFile> file = fs.OpenRead(path);
        return KeysAsListedOf(*file, listedSize, algorithms);
    } catch (const IoError& e) {
        throw NamingPath(e, path);
    }
}

FileKeys KeysAsListedOf(InputFile& file, std::int64_t listedSize, AlgorithmSet algorithms, HashPool* pool,
                        std::size_t spreadBytes) {
    if (pool && algorithms == AlgorithmSet(HashAlgorithm::Blake3)) return SpreadBlake3(file, listedSize, *pool, spreadBytes);
    FileKeys keys;
    keys.Have = algorithms;
    const bool crc = algorithms.Has(HashAlgorithm::Crc32);
    std::array<std::unique_ptr<Digester>, HashAlgorithmCount> digesters;
    std::size_t consumers = crc ? 1 : 0;
    for (const AlgorithmInfo& info : Algorithms) {
        if (info.Algorithm == HashAlgorithm::Crc32 || !algorithms.Has(info.Algorithm)) continue;
        digesters[static_cast<std::size_t>(info.Algorithm)] = MakeDigester(info.Algorithm, algorithms.BytesOf(info.Algorithm));
        ++consumers;
    }
    const std::size_t slice = consumers > 1 ? SliceSize : SharedReadBlock().size();

    std::uint32_t reg = 0xFFFFFFFFu;
    ReadAsListed(file, listedSize, SharedReadBlock(), [&](const unsigned char* data, std::size_t size) {
        for (std::size_t at = 0; at < size; at += slice) {
            const std::size_t n = std::min(slice, size - at);
            if (crc) reg = Crc32Update(reg, data + at, n);
            for (const std::unique_ptr<Digester>& d : digesters)
                if (d) d->Update(data + at, n);
        }
    });

    if (crc) keys.Keys[0] = ContentKey::OfCrc(reg ^ 0xFFFFFFFFu);
    for (std::size_t i = 0; i < HashAlgorithmCount; ++i)
        if (digesters[i]) keys.Keys[i] = digesters[i]->Final();
    return keys;
}

ContentKey FileKeyAsListed(FileSystem& fs, const std::string& path, std::int64_t listedSize, HashAlgorithm algorithm,
                           std::size_t bytes) {
    if (algorithm == HashAlgorithm::Crc32) return ContentKey::OfCrc(FileCrc32AsListed(fs, path, listedSize));
    AlgorithmSet one(algorithm);
    if (algorithm == HashAlgorithm::Blake2b512 && bytes != 0) one.SetBlake2bBytes(bytes);
    return FileKeysAsListed(fs, path, listedSize, one).Of(algorithm);
}

} // namespace tv
