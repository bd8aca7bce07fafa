#include "core/FileCompare.h"

#include <cstring>
#include <memory>
#include <vector>

namespace tv {

namespace {
// Reads until the buffer is full or the file ends.
std::size_t ReadFull(InputFile& f, char* buf, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        std::size_t n = f.Read(buf + got, size - got);
        if (n == 0) break;
        got += n;
    }
    return got;
}
} // namespace

bool FilesIdentical(FileSystem& fs, const std::string& a, const std::string& b) {
    std::unique_ptr<InputFile> fa = fs.OpenRead(a), fb = fs.OpenRead(b);
    if (fa->Length() != fb->Length()) return false;
    constexpr std::size_t Block = 256 * 1024;
    std::vector<char> ba(Block), bb(Block);
    for (;;) {
        std::size_t na = ReadFull(*fa, ba.data(), Block), nb = ReadFull(*fb, bb.data(), Block);
        if (na != nb || std::memcmp(ba.data(), bb.data(), na) != 0) return false;
        if (na < Block) return true;
    }
}

} // namespace tv
