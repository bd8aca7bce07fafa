#include "core/FileCompare.h"

#include "platform/ReadFull.h"

#include <cstring>
#include <memory>
#include <vector>

namespace tv {

namespace {

constexpr std::size_t Block = 256 * 1024;

// True when `b` begins with all of `a`'s bytes and, when `whole`, holds no more.
bool LeadsWith(InputFile& b, InputFile& a, bool whole) {
    std::vector<char> ba(Block), bb(Block);
    for (;;) {
        const std::size_t na = ReadFull(a, ba.data(), Block);
        const std::size_t nb = ReadFull(b, bb.data(), whole ? Block : na);
        if (na != nb || std::memcmp(ba.data(), bb.data(), na) != 0) return false;
        if (na < Block) return true;
    }
}
} // namespace

bool FilesIdentical(FileSystem& fs, const std::string& a, const std::string& b) {
    std::unique_ptr<InputFile> fa = fs.OpenRead(a), fb = fs.OpenRead(b);
    return fa->Length() == fb->Length() && LeadsWith(*fb, *fa, true);
}

bool FileIsPrefixOf(FileSystem& fs, const std::string& a, const std::string& b) {
    std::unique_ptr<InputFile> fa = fs.OpenRead(a), fb = fs.OpenRead(b);
    return LeadsWith(*fb, *fa, false);
}

} // namespace tv
