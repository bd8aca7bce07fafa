#include "platform/OpenAhead.h"

#include "platform/Disks.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tv::posix {

namespace {

// Reads served from the page cache in a row. The run counts as cold until enough of them follow a
// read that had to wait; one more such read makes it cold again.
std::atomic<int> cachedStreak{1 << 20};
constexpr int WarmAfter = 256;
std::atomic<bool> noWaitWorks{true};
// The same streak as seen: none at start, where cachedStreak assumes a warm cache.
std::atomic<int> seenCached{0};
// This thread's reads that found their data not cached.
thread_local std::uint64_t waitedReads = 0;

bool Cold() {
    return cachedStreak.load(std::memory_order_relaxed) < WarmAfter;
}

// The start of a file asked of the disk early; the kernel's own read-ahead takes the rest.
constexpr std::int64_t HintBytes = std::int64_t{4} << 20;

// Refusals of O_NOATIME in a row: past this many the files are not the program's own.
std::atomic<int> noAtimeRefusals{0};
constexpr int NoAtimeGivenUp = 8;

} // namespace

} // namespace tv::posix

namespace tv {

bool ReadsServedFromCache() {
    return posix::noWaitWorks.load(std::memory_order_relaxed) &&
           posix::seenCached.load(std::memory_order_relaxed) >= posix::WarmAfter;
}

bool ReadsWaitedLately() {
    return posix::Cold();
}

std::optional<std::uint64_t> WaitedReadsOfThisThread() {
    if (!posix::noWaitWorks.load(std::memory_order_relaxed)) return std::nullopt;
    return posix::waitedReads;
}

} // namespace tv

namespace tv::posix {

int OpenForReading(int dir, const char* path) {
    constexpr int plain = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    if (noAtimeRefusals.load(std::memory_order_relaxed) < NoAtimeGivenUp) {
        const int fd = ::openat(dir, path, plain | O_NOATIME);
        if (fd >= 0) {
            noAtimeRefusals.store(0, std::memory_order_relaxed);
            return fd;
        }
        if (errno != EPERM) return fd;
        noAtimeRefusals.fetch_add(1, std::memory_order_relaxed);
    }
    return ::openat(dir, path, plain);
}

ssize_t ReadFile(int fd, void* buffer, std::size_t size) {
    if (noWaitWorks.load(std::memory_order_relaxed)) {
        iovec v{buffer, size};
        for (;;) {
            ssize_t n = ::preadv2(fd, &v, 1, -1, RWF_NOWAIT);
            if (n > 0 || (n == 0 && size == 0)) {
                // Served from the cache, if perhaps short: a reader asks a byte past a file's end.
                if (n > 0) {
                    int s = cachedStreak.load(std::memory_order_relaxed);
                    if (s < WarmAfter) cachedStreak.store(s + 1, std::memory_order_relaxed);
                    s = seenCached.load(std::memory_order_relaxed);
                    if (s < WarmAfter) seenCached.store(s + 1, std::memory_order_relaxed);
                }
                return n;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EOPNOTSUPP || errno == ENOSYS)) noWaitWorks.store(false, std::memory_order_relaxed);
            // EAGAIN: not cached, and the wait is the disk's; 0: the end of the file or nothing cached
            // at it; either way the blocking read below answers.
            if (n < 0 && errno == EAGAIN) {
                ++waitedReads;
                cachedStreak.store(0, std::memory_order_relaxed);
                seenCached.store(0, std::memory_order_relaxed);
            }
            break;
        }
    }
    for (;;) {
        ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        // A plain file never answers "try again": the name now leads to a pipe or a device.
        if (errno == EAGAIN) errno = EINVAL;
        return -1;
    }
}

int OpenAhead::FolderFd(const std::string& folder) {
    if (folderFd_ >= 0 && folder == folder_) return folderFd_;
    if (folderFd_ >= 0) ::close(folderFd_);
    folder_ = folder;
    folderFd_ = ::open(folder.empty() ? "/" : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return folderFd_;
}

int OpenAhead::OpenRelative(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    if (cut == std::string::npos) return OpenForReading(AT_FDCWD, path.c_str());
    const int dir = FolderFd(path.substr(0, cut));
    if (dir < 0) return OpenForReading(AT_FDCWD, path.c_str());
    return OpenForReading(dir, path.c_str() + cut + 1);
}

void OpenAhead::Hint(const std::string& path, std::int64_t size) {
    if (held_.size() >= MaxHeld) {
        if (held_.front().Fd >= 0) ::close(held_.front().Fd);
        held_.pop_front();
    }
    int fd = -1;
    if (Cold() && size > 0) {
        fd = OpenRelative(path);
        if (fd >= 0) ::posix_fadvise(fd, 0, static_cast<off_t>(std::min(size, HintBytes)), POSIX_FADV_WILLNEED);
    }
    held_.push_back({path, size, fd, NotRead, 0, nullptr});
}

void OpenAhead::ReadBatch(std::deque<Held>::iterator first) {
    const std::size_t cut = first->Path.rfind('/');
    const std::string folder = cut == std::string::npos ? std::string(".") : first->Path.substr(0, cut);
    const int dir = cut == std::string::npos ? AT_FDCWD : FolderFd(folder);
    std::vector<RingRead::File> files;
    std::vector<Held*> of;
    std::size_t bytes = 0;
    for (auto it = first; it != held_.end() && files.size() < RingRead::MaxFiles; ++it) {
        const std::size_t at = it->Path.rfind('/');
        const bool sameFolder = at == cut && (cut == std::string::npos || it->Path.compare(0, cut, folder) == 0);
        // An empty file is opened alone: a pipe that took its name would read as empty too.
        if (it->Fd >= 0 || it->Got != NotRead || it->Size <= 0 || it->Size > BatchedSize || !sameFolder) break;
        const std::size_t want = static_cast<std::size_t>(it->Size) + 1; // a byte more tells a grown file
        if (bytes + want > RingRead::MaxBytes) break;
        bytes += want;
        files.push_back({it->Path.c_str() + (cut == std::string::npos ? 0 : cut + 1), want, 0});
        of.push_back(&*it);
    }
    const bool read = dir >= 0 || dir == AT_FDCWD ? ring_.Read(dir, files) : false;
    for (std::size_t k = 0; k < of.size(); ++k) {
        of[k]->Got = read ? files[k].Got : -1;
        if (read) of[k]->At = files[k].At, of[k]->Bytes = ring_.Bytes();
    }
}

OpenAhead::Taken OpenAhead::Take(const std::string& path) {
    auto it = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.Path == path; });
    if (it == held_.end()) return {};
    // Small page-cached files are read whole, a batch at a time: the ones that read exactly as listed
    // are handed over as bytes; any other (grown, shrunk, refused) is opened and read as before.
    if (it->Fd < 0 && it->Got == NotRead && it->Size > 0 && it->Size <= BatchedSize && !Cold() && ring_.Usable()) ReadBatch(it);
    Taken t{true, it->Fd, it->Size, nullptr, nullptr};
    if (it->Got == it->Size && it->Bytes) {
        t.Bytes = std::move(it->Bytes);
        t.Data = t.Bytes->data() + it->At;
    }
    // The hints before it were passed over by the reader: their opens are let go.
    for (auto k = held_.begin(); k != it; ++k)
        if (k->Fd >= 0) ::close(k->Fd);
    held_.erase(held_.begin(), it + 1);
    if (t.Fd < 0 && !t.Data) t.Fd = OpenRelative(path);
    return t;
}

void OpenAhead::Forget() {
    for (const Held& h : held_)
        if (h.Fd >= 0) ::close(h.Fd);
    held_.clear();
    if (folderFd_ >= 0) ::close(folderFd_);
    folderFd_ = -1;
    folder_.clear();
}

} // namespace tv::posix
