#include "core/FileCrc32.h"

#include "core/Crc32.h"
#include "platform/Errors.h"

#include <algorithm>
#include <memory>

namespace tv {

namespace {
constexpr std::size_t BlockSize = std::size_t{1} << 20;
}

std::uint32_t FileCrc32(FileSystem& fs, const std::string& path, std::int64_t byteCount) {
    std::unique_ptr<InputFile> file = fs.OpenRead(path);
    if (byteCount <= 0) return 0;
    // One block buffer per thread, reused between calls.
    thread_local auto block = std::make_unique_for_overwrite<unsigned char[]>(BlockSize);
    std::uint32_t reg = 0xFFFFFFFFu;
    std::int64_t left = byteCount;
    while (left > 0) {
        std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(BlockSize)));
        std::size_t got = file->Read(block.get(), want);
        if (got == 0) throw IoError("Read beyond end of file");
        reg = Crc32Update(reg, block.get(), got);
        left -= static_cast<std::int64_t>(got);
    }
    return reg ^ 0xFFFFFFFFu;
}

} // namespace tv
