#pragma once
#include "platform/FileSystem.h"

#include <cstdint>
#include <string>

namespace tv {

// The CRC-32 of the first `byteCount` bytes of a file. The file is streamed in fixed-size blocks, so
// memory stays bounded whatever its size. Failures raise IoError: "File not found", "File access
// denied", "Read beyond end of file" (the file holds fewer bytes), "I/O error n".
std::uint32_t FileCrc32(FileSystem& fs, const std::string& path, std::int64_t byteCount);

} // namespace tv
