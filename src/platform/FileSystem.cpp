#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"

#include "platform/Errors.h"
#include "platform/FolderKinds.h"
#include "platform/ListingThreads.h"
#include "platform/NameRules.h"
#include "platform/OpenAhead.h"
#include "platform/Paths.h"
#include "platform/PositionedRead.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <mutex>
#include <system_error>
#include <thread>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tv {

std::string SystemReason(int err) {
    // strerror's texts depend on the locale; the C locale's are the English ones.
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    return c ? ::strerror_l(err, c) : ::strerror(err);
}

bool IsNotFound(const std::error_code& code) {
    return code.category() == std::generic_category() && (code.value() == ENOENT || code.value() == ENOTDIR);
}

bool IsNameTaken(const std::error_code& code) {
    return code.category() == std::generic_category() && code.value() == EEXIST;
}

bool IsInvalidName(const std::error_code&) {
    return false;
}

IoError InvalidNameError(const std::string& path) {
    return IoErrorFromErrno(EINVAL, path);
}

bool NameCanExist(std::string_view) {
    return true;
}

namespace {

class PosixInputFile : public InputFile, public PositionedRead {
public:
    PosixInputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        for (;;) {
            ssize_t n = posix::ReadFile(fd_.get(), buffer, size);
            if (n >= 0) return static_cast<std::size_t>(n);
            if (errno != EINTR) throw IoErrorFromErrno(errno, path_);
        }
    }
    std::size_t ReadAt(void* buffer, std::size_t size, std::int64_t offset) override {
        for (;;) {
            const ssize_t n = ::pread(fd_.get(), buffer, size, static_cast<off_t>(offset));
            if (n >= 0) return static_cast<std::size_t>(n);
            if (errno == EINTR) continue;
            // As for Read: a plain file never answers "try again".
            throw IoErrorFromErrno(errno == EAGAIN ? EINVAL : errno, path_);
        }
    }
    std::int64_t Length() override {
        struct stat st {};
        if (::fstat(fd_.get(), &st) != 0) throw IoErrorFromErrno(errno, path_);
        return static_cast<std::int64_t>(st.st_size);
    }

private:
    UniqueFd fd_;
    std::string path_; // for the failures
};


class PosixOutputFile : public OutputFile {
public:
    PosixOutputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    void Write(const void* data, std::size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t n = ::write(fd_.get(), p, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw IoErrorFromErrno(errno, path_);
            }
            p += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    void Sync() override {
        while (::fsync(fd_.get()) != 0)
            if (errno != EINTR) throw IoErrorFromErrno(errno, path_);
    }
    void Close() override {
        int fd = fd_.release();
        if (fd >= 0 && ::close(fd) != 0) throw IoErrorFromErrno(errno, path_);
    }

private:
    UniqueFd fd_;
    std::string path_; // for the failures
};

// The system calls take C strings: a path with a NUL byte (a name read from a list may hold one) would
// name a shorter path, another file. Such a path names no file at all.
bool HasNul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}
void RejectNul(const std::string& path) {
    if (HasNul(path)) throw IoErrorFromErrno(EINVAL, path);
}

bool StatPath(const std::string& path, struct stat& st) {
    return !HasNul(path) && ::stat(path.c_str(), &st) == 0;
}

} // namespace

bool RealFileSystem::FileExists(const std::string& path) {
    struct stat st {};
    return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool RealFileSystem::FolderExists(const std::string& path) {
    struct stat st {};
    return StatPath(path, st) && S_ISDIR(st.st_mode);
}

// The hashing workers open files while the walk may hint, open or forget: one at a time.
struct RealFileSystem::Ahead : posix::OpenAhead {
    std::mutex Lock;
};

RealFileSystem::Ahead& RealFileSystem::ahead() {
    if (!ahead_) ahead_ = std::make_unique<Ahead>();
    return *ahead_;
}

// Made at once: workers test for it while the walk would make it.
RealFileSystem::RealFileSystem() : ahead_(std::make_unique<Ahead>()) {}
RealFileSystem::~RealFileSystem() {
    RealFileSystem::HoldRoots(false);
}

void RealFileSystem::ForgetHints() {
    if (!ahead_) return;
    const std::lock_guard<std::mutex> held(ahead_->Lock);
    ahead_->Forget();
}

void RealFileSystem::WillRead(const std::string& path, std::int64_t size) {
    if (HasNul(path)) return;
    Ahead& a = ahead();
    const std::lock_guard<std::mutex> held(a.Lock);
    a.Hint(path, size);
}

namespace {

// Each hashing worker reads its batches through a ring of its own.
posix::RingRead& ThisThreadsRing() {
    thread_local posix::RingRead ring;
    return ring;
}

} // namespace

bool RealFileSystem::ReadsWholeFiles() {
    return ThisThreadsRing().Usable();
}

std::shared_ptr<const void> RealFileSystem::ReadWholeFiles(const std::string& folder, WholeFile* files, std::size_t count) {
    static_assert(WholeFilesAtMost <= posix::RingRead::MaxFiles && WholeBytesAtMost <= posix::RingRead::MaxBytes);
    if (count == 0 || count > WholeFilesAtMost || HasNul(folder)) return nullptr;
    posix::RingRead& ring = ThisThreadsRing();
    if (!ring.Usable()) return nullptr;
    std::vector<posix::RingRead::File> batch;
    batch.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        files[k].Data = nullptr;
        if (files[k].Size < 0) return nullptr;
        // A byte more than listed tells a grown file.
        batch.push_back({files[k].Name, static_cast<std::size_t>(files[k].Size) + 1, 0});
    }
    UniqueFd dir;
    if (!folder.empty()) {
        dir = UniqueFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0) return nullptr;
    }
    // Only what the page cache holds: a file the disk must give is read by its worker, which tells a
    // cold run (and a spinning disk's turns) from a warm one.
    if (!ring.Read(folder.empty() ? AT_FDCWD : dir.get(), batch, true)) return nullptr;
    const std::shared_ptr<std::vector<unsigned char>> bytes = ring.Bytes();
    for (std::size_t k = 0; k < count; ++k)
        if (batch[k].Got == files[k].Size) files[k].Data = bytes->data() + batch[k].At;
    return bytes;
}

std::unique_ptr<InputFile> RealFileSystem::OpenRead(const std::string& path) {
    RejectNul(path);
    int fd = -1;
    if (ahead_) {
        // A hinted file may be open already, or read whole.
        posix::OpenAhead::Taken t;
        {
            const std::lock_guard<std::mutex> held(ahead_->Lock);
            t = ahead_->Take(path);
        }
        // A small file read whole ahead of time (see OpenAhead).
        if (t.Data) return std::make_unique<BytesFile>(t.Data, static_cast<std::size_t>(t.Size), std::move(t.Bytes));
        if (t.Hinted && t.Fd < 0) throw IoErrorFromErrno(errno, path);
        fd = t.Fd;
    }
    if (fd < 0) fd = posix::OpenForReading(AT_FDCWD, path.c_str());
    if (fd < 0) throw IoErrorFromErrno(errno, path);
    UniqueFd holder(fd);
    // Asked also of a file the listing found plain: another may have taken its name since (a pipe read
    // would tell a short file), and a hashing worker, which has no hints, asks it too.
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw IoErrorFromErrno(errno, path);
    // Only plain files are read: a folder is refused, a FIFO or device would block or never end.
    if (S_ISDIR(st.st_mode)) throw IoErrorFromErrno(EISDIR, path);
    if (!S_ISREG(st.st_mode)) throw IoErrorFromErrno(EINVAL, path);
    // O_NONBLOCK has no effect on reads of a plain file, so it is left set (two system calls a file
    // fewer). Only files longer than one read are worth a read-ahead hint.
    if (st.st_size > (std::int64_t{1} << 20)) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::make_unique<PosixInputFile>(holder.release(), path);
}

std::unique_ptr<OutputFile> RealFileSystem::Create(const std::string& path) {
    RejectNul(path);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw IoErrorFromErrno(errno, path);
    return std::make_unique<PosixOutputFile>(fd, path);
}

std::unique_ptr<OutputFile> RealFileSystem::CreateNew(const std::string& path) {
    RejectNul(path);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) throw IoErrorFromErrno(errno, path);
    // Held while it is written: the lock goes with the last descriptor, also when the writer is killed,
    // which tells a file in use from one abandoned.
    ::flock(fd, LOCK_EX | LOCK_NB);
    return std::make_unique<PosixOutputFile>(fd, path);
}

namespace {

// Whether the path still names the open file (not removed or replaced since it was opened).
bool StillNamed(int fd, const std::string& path) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
           named.st_ino == held.st_ino;
}

class PosixFileLock : public FileLock {
public:
    PosixFileLock(UniqueFd fd, std::string removed) : fd_(std::move(fd)), removed_(std::move(removed)) {}
    ~PosixFileLock() override {
        // Removed before it is let go: a waiting holder then finds the name gone and makes it again.
        if (!removed_.empty() && StillNamed(fd_.get(), removed_)) ::unlink(removed_.c_str());
    }
    PosixFileLock(const PosixFileLock&) = delete;
    PosixFileLock& operator=(const PosixFileLock&) = delete;

private:
    UniqueFd fd_;
    std::string removed_;
};

} // namespace

std::unique_ptr<OutputFile> RealFileSystem::CreateNewLocked(const std::string& path) {
    RejectNul(path);
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) throw IoErrorFromErrno(errno, path);
    // Another may have opened and locked the new file before this lock (and may have removed it).
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || !StillNamed(fd.get(), path))
        throw IoErrorFromErrno(EWOULDBLOCK, path);
    return std::make_unique<PosixOutputFile>(fd.release(), path);
}

std::unique_ptr<FileLock> RealFileSystem::TryLock(const std::string& path, bool temporary) {
    RejectNul(path);
    // A holder removes its file before it lets go: the lock is then on a file without a name, and the
    // name, if taken again meanwhile, is tried again.
    for (int tries = 0; tries < 100; ++tries) {
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (temporary ? O_CREAT : 0), 0666));
        if (fd.get() < 0) throw IoErrorFromErrno(errno, path);
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK || errno == EINTR) return nullptr;
            throw IoErrorFromErrno(errno, path);
        }
        if (StillNamed(fd.get(), path))
            return std::make_unique<PosixFileLock>(std::move(fd), temporary ? path : std::string());
        if (!temporary && !FileExists(path)) throw IoErrorFromErrno(ENOENT, path);
    }
    return nullptr;
}

bool RealFileSystem::RemoveIfAbandoned(const std::string& path) {
    RejectNul(path);
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat held {
    }, named{};
    if (fd.get() < 0 || ::fstat(fd.get(), &held) != 0 || !S_ISREG(held.st_mode)) return false;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
    // Still the file that was tried under that name, not one a new writer has made since.
    if (::lstat(path.c_str(), &named) != 0 || named.st_dev != held.st_dev || named.st_ino != held.st_ino) return false;
    return ::unlink(path.c_str()) == 0;
}

void RealFileSystem::SyncFolder(const std::string& path) {
    RejectNul(path);
    UniqueFd fd(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) throw IoErrorFromErrno(errno);
    while (::fsync(fd.get()) != 0)
        if (errno != EINTR) throw IoErrorFromErrno(errno);
}

namespace {

std::int64_t TimeNanos(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + static_cast<std::int64_t>(t.tv_nsec);
}

// Fills in what the listing tells of the entry `fe` (its name set) of the folder open as `dfd` from its
// status; false when it is gone meanwhile or is a link that leads nowhere.
bool Describe(int dfd, unsigned char type, FolderEntry& fe) {
    struct stat st {};
    if (::fstatat(dfd, fe.Name.c_str(), &st, 0) != 0) return false;
    fe.IsFolder = S_ISDIR(st.st_mode);
    fe.IsHidden = fe.Name[0] == '.' || (!fe.IsFolder && !S_ISREG(st.st_mode));
    fe.IsSpecial = !fe.IsFolder && !S_ISREG(st.st_mode);
    struct stat lst {};
    fe.IsLink = type == DT_LNK ||
                (type == DT_UNKNOWN && ::fstatat(dfd, fe.Name.c_str(), &lst, AT_SYMLINK_NOFOLLOW) == 0 &&
                 S_ISLNK(lst.st_mode));
    fe.Size = fe.IsFolder ? 0 : static_cast<std::int64_t>(st.st_size);
    if (!fe.IsLink && S_ISREG(st.st_mode)) {
        fe.Volume = static_cast<std::uint64_t>(st.st_dev);
        fe.Object = static_cast<std::uint64_t>(st.st_ino);
        fe.Modified = TimeNanos(st.st_mtim);
        fe.Changed = TimeNanos(st.st_ctim);
    }
    return true;
}

// A folder this large is worth threads besides the caller's.
constexpr std::size_t ThreadedListing = 8192;
// Entries looked at first by the caller alone, timed: from memory each takes a microsecond or two. A
// spinning disk's cold folder spends more than their whole allowance on its first seek, so it is looked
// at one entry after the other as before.
constexpr std::size_t ProbedEntries = 512;
constexpr auto CachedEntryTime = std::chrono::microseconds(8);
constexpr unsigned MaxListingThreads = 4;

// Describes listed[from, to), keeping in `kept` which are still there; `pace` every few hundred.
void DescribeRange(int dfd, std::vector<FolderEntry>& listed, const std::vector<unsigned char>& types,
                   std::vector<char>& kept, std::size_t from, std::size_t to, const std::function<void()>* pace,
                   const std::atomic<bool>& stop) {
    for (std::size_t k = from; k < to && !stop.load(std::memory_order_relaxed); ++k) {
        kept[k] = Describe(dfd, types[k], listed[k]) ? 1 : 0;
        if (pace && *pace && k % 256 == 255) (*pace)();
    }
}

} // namespace

std::vector<FolderEntry> RealFileSystem::ListFolder(const std::string& path) {
    // The names first, then what each one is: a large folder whose first entries came from memory has
    // the rest looked at by several threads at once, each on a part of its own. The names are gathered
    // packed and the entries made once, of the size the folder has: a vector of entries grown one by one
    // would hold its old and new room at once, half again as much as the listing, as it doubles.
    std::string names; // each followed by a NUL
    std::vector<unsigned char> types;
    UniqueFd folder;
    ForEachListed(path, WhileListing, [&](int dfd, const char* name, unsigned char type) {
        if (folder.get() < 0) {
            folder = UniqueFd(::fcntl(dfd, F_DUPFD_CLOEXEC, 0));
            if (folder.get() < 0) throw IoErrorFromErrno(errno, path);
        }
        names.append(name).push_back('\0');
        types.push_back(type);
    });
    std::vector<FolderEntry> out(types.size());
    for (std::size_t k = 0, at = 0; k < out.size(); ++k) {
        out[k].Name = names.c_str() + at;
        at += out[k].Name.size() + 1;
    }
    std::string().swap(names);
    const unsigned threads = std::min(ListingThreads::Now(), MaxListingThreads);
    const std::size_t n = out.size();
    std::vector<char> kept(n);
    const std::function<void()>* pace = &WhileListing;
    // The helpers end at their next entry when the listing is left early (the window stopped it), and
    // are always gone before it returns.
    struct Helpers {
        std::vector<std::thread> Threads;
        std::atomic<bool> Stop{false};
        void Join() {
            for (std::thread& t : Threads)
                t.join();
            Threads.clear();
        }
        ~Helpers() {
            Stop.store(true);
            Join();
        }
    } helpers;
    const std::size_t probed = std::min(n, ProbedEntries);
    const auto began = std::chrono::steady_clock::now();
    DescribeRange(folder.get(), out, types, kept, 0, probed, pace, helpers.Stop);
    const bool cached =
        std::chrono::steady_clock::now() - began < CachedEntryTime * static_cast<std::int64_t>(probed);
    std::size_t mine = n;
    std::vector<std::pair<std::size_t, std::size_t>> left; // parts no thread could be started for
    if (cached && n >= ThreadedListing && threads > 1) {
        const std::size_t part = (n - probed + threads - 1) / threads;
        mine = std::min(n, probed + part);
        for (std::size_t from = mine; from < n; from += part) {
            const std::size_t to = std::min(n, from + part);
            try {
                helpers.Threads.emplace_back(DescribeRange, folder.get(), std::ref(out), std::cref(types),
                                             std::ref(kept), from, to, nullptr, std::cref(helpers.Stop));
            } catch (const std::system_error&) {
                left.emplace_back(from, to);
            }
        }
    }
    DescribeRange(folder.get(), out, types, kept, probed, mine, pace, helpers.Stop);
    helpers.Join();
    for (const auto& [from, to] : left)
        DescribeRange(folder.get(), out, types, kept, from, to, pace, helpers.Stop);
    std::size_t at = 0;
    for (std::size_t k = 0; k < n; ++k)
        if (kept[k]) {
            if (at != k) out[at] = std::move(out[k]);
            ++at;
        }
    out.resize(at);
    return out;
}

std::int64_t RealFileSystem::FileLength(const std::string& path) {
    return OpenRead(path)->Length();
}

FileTime RealFileSystem::LastWriteTime(const std::string& path) {
    struct stat st {};
    if (!StatPath(path, st)) throw IoErrorFromErrno(HasNul(path) ? EINVAL : errno, path);
    std::tm tm{};
    time_t t = st.st_mtime;
    ::localtime_r(&t, &tm);
    return FileTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void RealFileSystem::RenameFile(const std::string& from, const std::string& to) {
    ForgetHints(); // a path hinted before may lead to another file now
    // Never replace an existing target: on one volume a rename that refuses a taken name; across volumes a
    // copy to a new file, then the source deleted (the copy is removed again if the source cannot be).
    RejectNul(from);
    RejectNul(to);
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) throw IoErrorFromErrno(EEXIST, to);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    if (errno != EXDEV) throw IoErrorFromErrno(errno, errno == EEXIST ? to : from);
    CopyFile(from, to);
    if (::unlink(from.c_str()) != 0) {
        const int err = errno;
        ::unlink(to.c_str());
        throw IoErrorFromErrno(err, from);
    }
}

void RealFileSystem::CopyFile(const std::string& from, const std::string& to) {
    std::unique_ptr<InputFile> in = OpenRead(from);
    RejectNul(to);
    int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) throw IoErrorFromErrno(errno, to);
    PosixOutputFile out(fd, to);
    try {
        std::vector<char> buf(1 << 20);
        for (;;) {
            std::size_t n = in->Read(buf.data(), buf.size());
            if (n == 0) break;
            out.Write(buf.data(), n);
        }
        out.Close();
    } catch (const IoError&) {
        ::unlink(to.c_str()); // a partial copy is no copy
        throw;
    }
    struct stat st {};
    if (StatPath(from, st)) {
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(AT_FDCWD, to.c_str(), times, 0);
    }
}

void RealFileSystem::DeleteFile(const std::string& path) {
    ForgetHints(); // a path hinted before may lead to another file now
    RejectNul(path);
    if (FolderExists(path)) throw IoErrorFromErrno(EISDIR, path);
    if (::unlink(path.c_str()) != 0) throw IoErrorFromErrno(errno, path);
}

void RealFileSystem::CreateFolder(const std::string& path) {
    RejectNul(path);
    if (::mkdir(path.c_str(), 0777) != 0) throw IoErrorFromErrno(errno, path);
}

void RealFileSystem::ReplaceFile(const std::string& from, const std::string& to) {
    ForgetHints(); // a path hinted before may lead to another file now
    RejectNul(from);
    RejectNul(to);
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        // A folder cannot be replaced by a file, and a read-only file is not ours to delete.
        if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0))
            throw IoErrorFromErrno(EACCES, to);
        // The new file keeps the access rights of the one it replaces.
        if (S_ISREG(st.st_mode)) ::chmod(from.c_str(), st.st_mode & 07777);
    }
    if (::rename(from.c_str(), to.c_str()) != 0) throw IoErrorFromErrno(errno, to);
    // The rename reaches the disk with the folder's own entry list.
    const std::string folder = ExtractFileDir(to);
    int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

bool FileSystem::SameObject(const std::string& a, const std::string& b) {
    return SameFileName(a, b);
}

bool RealFileSystem::SameObject(const std::string& a, const std::string& b) {
    if (SameFileName(a, b)) return true;
    struct stat sa {
    }, sb{};
    return StatPath(a, sa) && StatPath(b, sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

FileSystem& RealFs() {
    static RealFileSystem fs;
    return fs;
}

} // namespace tv
