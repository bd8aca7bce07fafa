#pragma once
#include "platform/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tv {

// The CRC-32 of the first `byteCount` bytes of a file. The file is streamed in large blocks through one
// reused, aligned buffer, so memory stays bounded whatever its size. Failures raise IoError: "File not
// found", "File access denied", "Read beyond end of file" (the file holds fewer bytes), "I/O error n".
std::uint32_t FileCrc32(FileSystem& fs, const std::string& path, std::int64_t byteCount);

// The same through a caller's buffer of any size (the block size is measured with it).
std::uint32_t FileCrc32Through(FileSystem& fs, const std::string& path, std::int64_t byteCount,
                               std::span<unsigned char> block);

// The block size FileCrc32 reads with.
std::size_t FileCrc32BlockSize();

} // namespace tv
