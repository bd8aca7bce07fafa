#include "core/FileCrc32.h"

#include "core/ByteProgress.h"
#include "core/Crc32.h"
#include "core/KeyAhead.h"
#include "core/ListedRead.h"
#include "platform/Errors.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>

namespace tv {

namespace {

// Reads of a page-cached file were timed with blocks of 64 KiB to 16 MiB (bench/, BM_FileCrc32Block):
// 1 MiB and 4 MiB were fastest; smaller blocks pay for more system calls, and a 16 MiB block no longer
// stays in the processor's cache between the copy and the CRC.
constexpr std::size_t BlockSize = std::size_t{1} << 20;
// Page-aligned, so the kernel copies into whole pages and the wide loads never split a page.
constexpr std::size_t BlockAlignment = 4096;

// This thread's block. A plain pointer, not an object with a destructor: on MinGW the thread's storage
// is torn down before such destructors run when a worker thread ends, and the destructor then freed a
// stale pointer. A worker gives its block back as it ends (ReleaseSharedReadBlock); the blocks of other
// threads are freed when the program ends.
thread_local unsigned char* threadBlock = nullptr;

struct LiveBlocks {
    std::mutex Lock;
    std::unordered_set<unsigned char*> Blocks;
    ~LiveBlocks() {
        for (unsigned char* p : Blocks) ::operator delete (p, std::align_val_t{BlockAlignment});
    }
};

LiveBlocks& Live() {
    static LiveBlocks live;
    return live;
}

} // namespace

std::span<unsigned char> SharedReadBlock() {
    if (!threadBlock) {
        // Aligned operator new rather than std::aligned_alloc, which the Windows C runtime lacks.
        auto* block = static_cast<unsigned char*>(::operator new (BlockSize, std::align_val_t{BlockAlignment}));
        LiveBlocks& live = Live();
        const std::lock_guard<std::mutex> held(live.Lock);
        live.Blocks.insert(block);
        threadBlock = block;
    }
    return {threadBlock, BlockSize};
}

void ReleaseSharedReadBlock() {
    if (!threadBlock) return;
    LiveBlocks& live = Live();
    {
        const std::lock_guard<std::mutex> held(live.Lock);
        live.Blocks.erase(threadBlock);
    }
    ::operator delete (threadBlock, std::align_val_t{BlockAlignment});
    threadBlock = nullptr;
}

std::size_t FileCrc32BlockSize() {
    return BlockSize;
}

namespace {

std::uint32_t PrefixCrc(InputFile& file, std::int64_t byteCount, std::span<unsigned char> block, ReadingFile& reading) {
    if (byteCount <= 0) return 0;
    std::uint32_t reg = 0xFFFFFFFFu;
    std::int64_t left = byteCount;
    while (left > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
        const std::size_t got = file.Read(block.data(), want);
        if (got == 0) throw IoError("Read beyond end of file", "the file is shorter than it was");
        reg = Crc32Update(reg, block.data(), got);
        reading.Read(static_cast<std::int64_t>(got));
        left -= static_cast<std::int64_t>(got);
    }
    return reg ^ 0xFFFFFFFFu;
}

} // namespace

std::uint32_t FileCrc32Through(FileSystem& fs, const std::string& path, std::int64_t byteCount,
                               std::span<unsigned char> block) {
    ReadingFile reading(byteCount);
    try {
        std::unique_ptr<InputFile> file = fs.OpenRead(path);
        return PrefixCrc(*file, byteCount, block, reading);
    } catch (const IoError& e) {
        throw NamingPath(e, path);
    }
}

std::uint32_t Crc32PrefixOf(InputFile& file, std::int64_t byteCount) {
    ReadingFile reading(byteCount);
    return PrefixCrc(file, byteCount, byteCount <= 0 ? std::span<unsigned char>() : SharedReadBlock(), reading);
}

std::uint32_t FileCrc32(FileSystem& fs, const std::string& path, std::int64_t byteCount) {
    try {
        if (auto ahead = TakeHashedAhead(path, byteCount, KeyRead::CrcPrefix, HashAlgorithm::Crc32))
            return ahead->Keys[0].Prefix();
    } catch (const IoError& e) {
        throw NamingPath(e, path);
    }
    if (byteCount <= 0) return FileCrc32Through(fs, path, byteCount, {});
    return FileCrc32Through(fs, path, byteCount, SharedReadBlock());
}

std::uint32_t Crc32AsListedOf(InputFile& file, std::int64_t listedSize) {
    std::uint32_t reg = 0xFFFFFFFFu;
    ReadAsListed(file, listedSize, SharedReadBlock(),
                 [&reg](const unsigned char* data, std::size_t size) { reg = Crc32Update(reg, data, size); });
    return reg ^ 0xFFFFFFFFu;
}

std::uint32_t FileCrc32AsListed(FileSystem& fs, const std::string& path, std::int64_t listedSize) {
    // A failure names the file: a read deep in the loop (or on a worker) knows no name.
    try {
        if (auto ahead = TakeHashedAhead(path, listedSize, KeyRead::CrcAsListed, HashAlgorithm::Crc32))
            return ahead->Keys[0].Prefix();
        std::unique_ptr<InputFile> file = fs.OpenRead(path);
        return Crc32AsListedOf(*file, listedSize);
    } catch (const IoError& e) {
        throw NamingPath(e, path);
    }
}

} // namespace tv
