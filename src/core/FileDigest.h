#pragma once
// The content keys of one file for every algorithm its list needs, the file read once.
#include "core/ContentKey.h"
#include "platform/FileSystem.h"

#include <array>
#include <cstdint>
#include <string>

namespace tv {

struct FileKeys {
    AlgorithmSet Have;
    std::array<ContentKey, HashAlgorithmCount> Keys{};
    const ContentKey& Of(HashAlgorithm a) const { return Keys[static_cast<std::size_t>(a)]; }
};

// As FileCrc32AsListed: the file a listing said is `listedSize` bytes long is read whole (a file that
// grew is read to its end, one that shrank fails as too short), in bounded blocks, and every algorithm
// of `algorithms` (CRC-32 among them through our own kernels) is fed from the same reads. Failures
// raise IoError with the texts FileCrc32 uses.
FileKeys FileKeysAsListed(FileSystem& fs, const std::string& path, std::int64_t listedSize, AlgorithmSet algorithms);

class HashPool;
// The same from a file opened already (the hashing workers read through this). With a pool, BLAKE3 alone
// of a file that reads at offsets (PositionedRead) has its tree read and hashed across the pool.
FileKeys KeysAsListedOf(InputFile& file, std::int64_t listedSize, AlgorithmSet algorithms, HashPool* pool = nullptr);

// The key of one algorithm, `bytes` long where that may differ (BLAKE2b; 0: the algorithm's own length):
// CRC-32 takes the fast path of FileCrc32AsListed.
ContentKey FileKeyAsListed(FileSystem& fs, const std::string& path, std::int64_t listedSize, HashAlgorithm algorithm,
                           std::size_t bytes = 0);

} // namespace tv
