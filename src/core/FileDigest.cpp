#include "core/FileDigest.h"

#include "core/Blake3.h"
#include "core/Crc32.h"
#include "core/HashPool.h"
#include "core/KeyAhead.h"
#include "core/FileCrc32.h"
#include "core/ListedRead.h"
#include "platform/Hashing.h"
#include "platform/PositionedRead.h"

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

namespace tv {

namespace {

// With several algorithms a block is fed to them a slice at a time, so that each reads the slice from
// the processor's cache the one before it brought it into, not the whole block again from memory.
constexpr std::size_t SliceSize = std::size_t{64} << 10;

// Subtrees read at once by one thread of the spread: fewer calls, and the read block (1 MiB) still in the
// processor's cache when they are hashed.
constexpr std::size_t SpreadSubtrees = 4;

// Reads `size` bytes at `offset`, all of them: a file that ends before raises what a front-to-back read
// of a file shorter than listed raises.
void ReadWholeAt(PositionedRead& file, unsigned char* data, std::size_t size, std::uint64_t offset) {
    for (std::size_t got = 0; got < size;) {
        const std::size_t n = file.ReadAt(data + got, size - got, static_cast<std::int64_t>(offset + got));
        if (n == 0) throw IoError("Read beyond end of file", "the file is shorter than when it was listed");
        got += n;
    }
}

// BLAKE3 alone, across the pool: every thread reads whole subtrees of the file into its own read block
// and hashes them there while the block is still in the processor's cache, so that the copying out of
// the page cache is spread as well as the hashing. The subtrees of a batch are joined in order; the
// bytes past the last whole subtree (and past the listed end of a file that grew) are read and hashed
// by the calling thread, as the front-to-back read would.
FileKeys SpreadBlake3(PositionedRead& file, std::int64_t listedSize, HashPool& pool) {
    constexpr std::size_t perRead = SpreadSubtrees;
    constexpr std::size_t piece = Blake3::SubtreeBytes * perRead;
    // Reads handed out at once: the progress hears of each batch, and a stop ends the file after it.
    constexpr std::size_t batch = 16;
    std::array<std::array<std::uint8_t, 64>, batch * perRead> halves;
    ReadingFile reading(listedSize);
    Blake3 hash;
    const auto listed = static_cast<std::uint64_t>(std::max<std::int64_t>(listedSize, 0));
    const std::uint64_t pieces = listed / piece;
    for (std::uint64_t first = 0; first < pieces; first += batch) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(batch, pieces - first));
        pool.ForEach(count, [&](std::size_t k) {
            const std::uint64_t offset = (first + k) * piece;
            unsigned char* data = SharedReadBlock().data();
            ReadWholeAt(file, data, piece, offset);
            for (std::size_t i = 0; i < perRead; ++i)
                Blake3::SubtreeHalves(data + i * Blake3::SubtreeBytes, offset + i * Blake3::SubtreeBytes,
                                      halves[k * perRead + i].data());
        });
        for (std::size_t k = 0; k < count * perRead; ++k)
            hash.AppendSubtree(halves[k].data());
        reading.Read(static_cast<std::int64_t>(count * piece));
    }
    // The rest, asking a byte past the listed end to tell a file that grew.
    const std::span<unsigned char> block = SharedReadBlock();
    std::uint64_t at = pieces * piece;
    for (bool grown = false;;) {
        const std::uint64_t left = grown ? 0 : listed - at;
        const std::size_t want = grown || left >= block.size() ? block.size() : static_cast<std::size_t>(left + 1);
        const std::size_t got = file.ReadAt(block.data(), want, static_cast<std::int64_t>(at));
        if (got == 0) {
            if (left > 0) throw IoError("Read beyond end of file", "the file is shorter than when it was listed");
            break;
        }
        hash.Update(block.data(), got);
        reading.Read(static_cast<std::int64_t>(got));
        at += got;
        if (at > listed) grown = true;
        if (!grown && at == listed && want == left + 1) break; // asked past the listed end and got none of it
    }
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

FileKeys KeysAsListedOf(InputFile& file, std::int64_t listedSize, AlgorithmSet algorithms, HashPool* pool) {
    if (pool && algorithms == AlgorithmSet(HashAlgorithm::Blake3))
        if (auto* positioned = dynamic_cast<PositionedRead*>(&file);
            positioned && SharedReadBlock().size() >= SpreadSubtrees * Blake3::SubtreeBytes)
            return SpreadBlake3(*positioned, listedSize, *pool);
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
