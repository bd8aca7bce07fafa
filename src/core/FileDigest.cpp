#include "core/FileDigest.h"

#include "core/Crc32.h"
#include "core/FileCrc32.h"
#include "core/ListedRead.h"
#include "platform/Hashing.h"

#include <algorithm>
#include <memory>

namespace tv {

namespace {

// With several algorithms a block is fed to them a slice at a time, so that each reads the slice from
// the processor's cache the one before it brought it into, not the whole block again from memory.
constexpr std::size_t SliceSize = std::size_t{64} << 10;

} // namespace

FileKeys FileKeysAsListed(FileSystem& fs, const std::string& path, std::int64_t listedSize, AlgorithmSet algorithms) {
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
    try {
        std::unique_ptr<InputFile> file = fs.OpenRead(path);
        ReadAsListed(*file, listedSize, SharedReadBlock(), [&](const unsigned char* data, std::size_t size) {
            for (std::size_t at = 0; at < size; at += slice) {
                const std::size_t n = std::min(slice, size - at);
                if (crc) reg = Crc32Update(reg, data + at, n);
                for (const std::unique_ptr<Digester>& d : digesters)
                    if (d) d->Update(data + at, n);
            }
        });
    } catch (const IoError& e) {
        throw NamingPath(e, path);
    }

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
