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

// The CRC-32 of the whole file that a folder listing (or a stat) said is `listedSize` bytes long. The
// file may have changed since: one that grew is read to its end, so its CRC is of what it holds now and
// never that of a prefix that happens to match; one that shrank fails as too short. A file that fits
// the buffer is still read in one go: the one read asks for a byte more than listed.
std::uint32_t FileCrc32AsListed(FileSystem& fs, const std::string& path, std::int64_t listedSize);

// The same through a caller's buffer of any size (the block size is measured with it).
std::uint32_t FileCrc32Through(FileSystem& fs, const std::string& path, std::int64_t byteCount,
                               std::span<unsigned char> block);

// The same from a file opened already (the hashing workers read through these): as FileCrc32AsListed,
// and as FileCrc32 for the first `byteCount` bytes.
std::uint32_t Crc32AsListedOf(InputFile& file, std::int64_t listedSize);
std::uint32_t Crc32PrefixOf(InputFile& file, std::int64_t byteCount);

// The block size FileCrc32 reads with.
std::size_t FileCrc32BlockSize();

} // namespace tv
