#include "core/FileCrc32.h"

#include "core/ByteProgress.h"
#include "core/Crc32.h"
#include "platform/Errors.h"

#include <algorithm>
#include <memory>
#include <new>

namespace tv {

namespace {

// Reads of a page-cached file were timed with blocks of 64 KiB to 16 MiB (bench/, BM_FileCrc32Block):
// 1 MiB and 4 MiB were fastest; smaller blocks pay for more system calls, and a 16 MiB block no longer
// stays in the processor's cache between the copy and the CRC.
constexpr std::size_t BlockSize = std::size_t{1} << 20;
// Page-aligned, so the kernel copies into whole pages and the wide loads never split a page.
constexpr std::size_t BlockAlignment = 4096;

// Aligned operator new rather than std::aligned_alloc, which the Windows C runtime lacks.
struct AlignedDeleter {
    void operator()(unsigned char* p) const { ::operator delete (p, std::align_val_t{BlockAlignment}); }
};

std::span<unsigned char> SharedBlock() {
    // One buffer per thread, allocated on first use and reused by every later call.
    thread_local std::unique_ptr<unsigned char, AlignedDeleter> block(
        static_cast<unsigned char*>(::operator new (BlockSize, std::align_val_t{BlockAlignment})));
    return {block.get(), BlockSize};
}

} // namespace

std::size_t FileCrc32BlockSize() {
    return BlockSize;
}

std::uint32_t FileCrc32Through(FileSystem& fs, const std::string& path, std::int64_t byteCount,
                               std::span<unsigned char> block) {
    ReadingFile reading(byteCount);
    std::unique_ptr<InputFile> file = fs.OpenRead(path);
    if (byteCount <= 0) return 0;
    std::uint32_t reg = 0xFFFFFFFFu;
    std::int64_t left = byteCount;
    while (left > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
        const std::size_t got = file->Read(block.data(), want);
        if (got == 0) throw IoError("Read beyond end of file");
        reg = Crc32Update(reg, block.data(), got);
        reading.Read(static_cast<std::int64_t>(got));
        left -= static_cast<std::int64_t>(got);
    }
    return reg ^ 0xFFFFFFFFu;
}

std::uint32_t FileCrc32(FileSystem& fs, const std::string& path, std::int64_t byteCount) {
    if (byteCount <= 0) return FileCrc32Through(fs, path, byteCount, {});
    return FileCrc32Through(fs, path, byteCount, SharedBlock());
}

std::uint32_t FileCrc32AsListed(FileSystem& fs, const std::string& path, std::int64_t listedSize) {
    const std::span<unsigned char> block = SharedBlock();
    const std::int64_t room = static_cast<std::int64_t>(block.size());
    ReadingFile reading(listedSize);
    std::unique_ptr<InputFile> file = fs.OpenRead(path);
    std::uint32_t reg = 0xFFFFFFFFu;
    std::int64_t left = std::max<std::int64_t>(listedSize, 0);
    bool grown = false; // more bytes than listed: read on to the end, a whole block at a time
    for (;;) {
        // The block that holds the listed end asks for one byte more, which tells a grown file from one
        // that ends there without another read.
        const bool last = !grown && left < room;
        const std::size_t want = static_cast<std::size_t>(last ? left + 1 : room);
        const std::size_t got = file->Read(block.data(), want);
        if (got == 0) {
            if (left > 0) throw IoError("Read beyond end of file");
            break;
        }
        reg = Crc32Update(reg, block.data(), got);
        reading.Read(static_cast<std::int64_t>(got));
        if (grown) continue;
        if (static_cast<std::int64_t>(got) > left) {
            grown = true;
            left = 0;
            continue;
        }
        left -= static_cast<std::int64_t>(got);
        if (last && left == 0) break; // asked past the listed end and got none of it: the file ends there
    }
    return reg ^ 0xFFFFFFFFu;
}

} // namespace tv
