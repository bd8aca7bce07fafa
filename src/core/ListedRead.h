#pragma once
// The one loop that reads a whole file as a folder listing gave it, for the CRC-32 alone and for the
// digests alike, and the bounded block it reads through.
#include "core/ByteProgress.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tv {

// This thread's block: page-aligned, allocated on first use and reused by every later read.
std::span<unsigned char> SharedReadBlock();
// Frees this thread's block, if it has one: a worker thread calls it before it ends.
void ReleaseSharedReadBlock();

// Reads the file a listing said is `listedSize` bytes long through `block`, handing every piece read
// to `consume(data, size)`. A file that grew is read to its end; one that shrank raises "Read beyond end
// of file". A file that fits the block is read in one go: the read asks for a byte more than listed.
template <class Consume>
void ReadAsListed(InputFile& file, std::int64_t listedSize, std::span<unsigned char> block, Consume&& consume) {
    const std::int64_t room = static_cast<std::int64_t>(block.size());
    ReadingFile reading(listedSize); // a big file moves the progress while it is read
    // Read whole beforehand, exactly as listed: its bytes are taken where they are, a block at a time.
    if (const unsigned char* whole = file.WholeBytes(); whole && file.Length() == listedSize) {
        for (std::int64_t at = 0; at < listedSize; at += room) {
            const std::int64_t n = std::min(room, listedSize - at);
            consume(whole + at, static_cast<std::size_t>(n));
            reading.Read(n);
        }
        return;
    }
    std::int64_t left = std::max<std::int64_t>(listedSize, 0);
    bool grown = false; // more bytes than listed: read on to the end, a whole block at a time
    for (;;) {
        // The block that holds the listed end asks for one byte more, which tells a grown file from one
        // that ends there without another read.
        const bool last = !grown && left < room;
        const std::size_t want = static_cast<std::size_t>(last ? left + 1 : room);
        const std::size_t got = file.Read(block.data(), want);
        if (got == 0) {
            if (left > 0) throw IoError("Read beyond end of file", "the file is shorter than when it was listed");
            break;
        }
        consume(block.data(), got);
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
}

} // namespace tv
