#pragma once
// Reading a file's next bytes in one call, however the system splits them.
#include "platform/FileSystem.h"

#include <cstddef>

namespace tv {

// Reads until `size` bytes are in `buffer` or the file ends; returns how many were read (fewer than
// `size` only at the end of the file).
inline std::size_t ReadFull(InputFile& in, void* buffer, std::size_t size) {
    auto* at = static_cast<unsigned char*>(buffer);
    std::size_t got = 0;
    while (got < size) {
        const std::size_t n = in.Read(at + got, size - got);
        if (n == 0) break;
        got += n;
    }
    return got;
}

} // namespace tv
