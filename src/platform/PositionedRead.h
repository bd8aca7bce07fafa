#pragma once
// Reading a file at a given offset, without moving where its plain reads go on. Files that can do it
// offer it beside InputFile, so that several threads may read pieces of one file at once (BLAKE3's tree
// across the hashing workers); a file that cannot is read front to back as always.
#include <cstddef>
#include <cstdint>

namespace tv {

class PositionedRead {
public:
    // Reads up to `size` bytes from `offset`; returns how many were read, 0 at or past the end of the
    // file. Safe to call from several threads at once. Failures raise IoError as Read does.
    virtual std::size_t ReadAt(void* buffer, std::size_t size, std::int64_t offset) = 0;

protected:
    ~PositionedRead() = default;
};

} // namespace tv
