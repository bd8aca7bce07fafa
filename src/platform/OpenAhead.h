#pragma once
// The real file system's side of reading ahead (POSIX). While the page cache holds what is read, a
// hint costs nothing but remembering that the listing vouched for a plain file, which spares the
// type check when it is opened. Once a read finds the data not cached, each hinted file is opened
// relative to its folder and its first bytes are asked of the disk at once, so that the reads of the
// next files are queued while the current one is checked; the open is then handed to the reader.
#include "platform/RingRead.h"

#include <cstddef>
#include <climits>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>
#include <sys/types.h>

namespace tv::posix {

// Reads up to `size` bytes at the file's position. The page cache is tried first without waiting for
// the disk, which tells whether the files of the run are cached. -1 with errno set on failure.
ssize_t ReadFile(int fd, void* buffer, std::size_t size);

// Opens `path` (relative to the folder `dir`, or AT_FDCWD) for a checksum read. The read leaves the file's
// access time alone where the file's owner runs the program: otherwise every file read would have its
// inode written (at once on a file system without relatime, and after a rename pass with it). A file
// of another owner refuses that; it is opened plainly, and after a run of refusals no longer asked.
int OpenForReading(int dir, const char* path);

class OpenAhead {
public:
    OpenAhead() = default;
    OpenAhead(const OpenAhead&) = delete;
    OpenAhead& operator=(const OpenAhead&) = delete;
    ~OpenAhead() { Forget(); }

    void Hint(const std::string& path, std::int64_t size);

    struct Taken {
        bool Hinted = false; // the listing vouched for a plain file at the path
        int Fd = -1;         // opened already, or -1 (the open fails as it failed at the hint, or the
                             // failure is errno after Take)
        std::int64_t Size = 0;
        // Or the whole file, read ahead in a batch: exactly its listed size, and not a byte more.
        std::shared_ptr<const std::vector<unsigned char>> Bytes;
        const unsigned char* Data = nullptr;
    };
    // The hint for `path`, if it is still held; a hinted path without an open is opened here, relative
    // to its folder.
    Taken Take(const std::string& path);

    // Files may have been renamed or replaced: every open and the folder's descriptor are let go.
    void Forget();

    // Hints held at most; older ones are dropped (the window of a run is smaller).
    static constexpr std::size_t MaxHeld = 64;

private:
    struct Held {
        std::string Path;
        std::int64_t Size;
        int Fd;
        std::int64_t Got = NotRead; // bytes read in a batch, or why not
        std::size_t At = 0;
        std::shared_ptr<const std::vector<unsigned char>> Bytes;
    };
    static constexpr std::int64_t NotRead = INT64_MIN;
    // A file up to this size is read whole in a batch with the small files held after it.
    static constexpr std::int64_t BatchedSize = std::int64_t{256} << 10;
    int FolderFd(const std::string& folder);
    int OpenRelative(const std::string& path);
    void ReadBatch(std::deque<Held>::iterator first);

    std::deque<Held> held_;
    std::string folder_;
    int folderFd_ = -1;
    RingRead ring_;
};

} // namespace tv::posix
