// Deletion to the desktop's trash (the freedesktop.org Trash): the file moves into files/ of the
// trash of its own volume and a .trashinfo with its original path and the deletion time goes into
// info/, so a file manager can restore it. No question is asked.
//
// Which trash: the home trash when the file (the name itself, not what a link points to) is on the
// home trash's volume; otherwise the volume's shared $top/.Trash/$uid when $top/.Trash is a real
// folder with the sticky bit, else $top/.Trash-$uid. Every folder of a volume's trash is opened
// without following links and must belong to us: a trash anyone could have planted or linked
// elsewhere is refused, and the refusal is an IoError with the reason, never a quiet false.
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tv {

namespace {

[[noreturn]] void Refuse(const std::string& why) {
    throw IoError("File access denied", why);
}
[[noreturn]] void Refuse(const std::string& what, int err) {
    throw IoError("File access denied", what + ": " + SystemReason(err), std::error_code(err, std::generic_category()));
}

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf)) return path;
    return JoinPath(buf, path);
}

std::string HomeTrash() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return JoinPath(xdg, "Trash");
    if (const char* home = std::getenv("HOME"); home && *home) return JoinPath(JoinPath(home, ".local/share"), "Trash");
    return std::string();
}

bool MakeFolders(const std::string& path) {
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

dev_t DeviceOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_dev : static_cast<dev_t>(-1);
}

// The device of the nearest folder of `path` that exists: the home trash may not have been made yet.
dev_t DeviceOfNearest(std::string path) {
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) return st.st_dev;
        const std::string parent = ExtractFileDir(path);
        if (parent == path) return static_cast<dev_t>(-1);
        path = parent;
    }
}

// The top folder of the volume `dev` that holds the folder `dir` (a path without links).
std::string VolumeTop(std::string dir, dev_t dev) {
    for (;;) {
        std::string parent = ExtractFileDir(dir);
        if (parent == dir || DeviceOf(parent) != dev) return dir;
        dir = std::move(parent);
    }
}

// Opens (making it first when asked) the folder `name` in `at`, never through a link, and only when
// it is ours: -1 with errno when it is missing, a link, not a folder or someone else's.
UniqueFd OpenOwnFolder(int at, const std::string& name, bool make) {
    if (make && ::mkdirat(at, name.c_str(), 0700) != 0 && errno != EEXIST) return UniqueFd();
    UniqueFd fd(::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) return fd;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return UniqueFd();
    if (st.st_uid != ::getuid()) {
        errno = EPERM;
        return UniqueFd();
    }
    return fd;
}

// Percent-encodes a path for the Path= line; "/" and unreserved characters stay.
std::string EncodePath(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
            c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

struct TrashFolders {
    UniqueFd files, info;
    std::string pathInInfo; // absolute in the home trash, relative to the volume's top elsewhere
};

TrashFolders OpenTrashFolders(UniqueFd trash, const std::string& shown) {
    TrashFolders t;
    t.files = OpenOwnFolder(trash.get(), "files", true);
    if (t.files.get() < 0) Refuse(shown + "/files", errno);
    t.info = OpenOwnFolder(trash.get(), "info", true);
    if (t.info.get() < 0) Refuse(shown + "/info", errno);
    return t;
}

// The trash for the file `full` (its folder without links) whose own device is `dev`.
TrashFolders TrashFor(const std::string& full, dev_t dev) {
    const std::string home = HomeTrash();
    if (!home.empty() && DeviceOfNearest(home) == dev) {
        if (!MakeFolders(home)) Refuse(home, errno);
        UniqueFd fd(::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fd.get() < 0) Refuse(home, errno);
        TrashFolders t = OpenTrashFolders(std::move(fd), home);
        t.pathInInfo = full;
        return t;
    }
    const std::string dir = ExtractFileDir(full);
    if (DeviceOf(dir) != dev) Refuse(full + " is a volume of its own");
    const std::string top = VolumeTop(dir, dev);
    UniqueFd topFd(::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (topFd.get() < 0) Refuse(top, errno);
    const std::string uid = std::to_string(::getuid());
    UniqueFd trash;
    std::string shown;
    // The shared trash counts only as a real, sticky folder: anyone may make a folder of that name.
    struct stat st {};
    if (::fstatat(topFd.get(), ".Trash", &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX) != 0) {
        UniqueFd shared(::openat(topFd.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (shared.get() >= 0) trash = OpenOwnFolder(shared.get(), uid, true);
        shown = JoinPath(JoinPath(top, ".Trash"), uid);
    }
    if (trash.get() < 0) {
        shown = JoinPath(top, ".Trash-" + uid);
        trash = OpenOwnFolder(topFd.get(), ".Trash-" + uid, true);
        if (trash.get() < 0) Refuse(shown, errno);
    }
    TrashFolders t = OpenTrashFolders(std::move(trash), shown);
    t.pathInInfo = top == "/" ? full.substr(1) : full.substr(top.size() + 1);
    return t;
}

std::string NowText() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
    return date;
}

} // namespace

void RealFileSystem::MoveToTrash(const std::string& path) {
    ForgetHints(); // a path hinted before may lead to another file now
    const std::string given = AbsolutePath(path);
    // The folder is taken without links so that its volume's top is found; the name itself is not
    // followed: a link is trashed as the link, on its own volume.
    char real[PATH_MAX];
    if (!::realpath(ExtractFileDir(given).c_str(), real)) throw IoErrorFromErrno(errno, path);
    const std::string full = JoinPath(real, ExtractFileName(given));
    struct stat self {};
    if (::lstat(full.c_str(), &self) != 0) throw IoErrorFromErrno(errno, path);
    TrashFolders trash = TrashFor(full, self.st_dev);
    const std::string text =
        "[Trash Info]\nPath=" + EncodePath(trash.pathInInfo) + "\nDeletionDate=" + NowText() + "\n";

    const std::string base = ExtractFileName(full);
    for (int n = 1; n < 10000; ++n) {
        const std::string name = n == 1 ? base : base + "." + std::to_string(n);
        const std::string infoName = name + ".trashinfo";
        // The info file is made first and exclusively: it reserves the name.
        UniqueFd fd(
            ::openat(trash.info.get(), infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST) continue;
            Refuse("the trash's info folder", errno);
        }
        const bool written = ::write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                             ::fsync(fd.get()) == 0 && ::close(fd.release()) == 0;
        if (!written) {
            const int err = errno;
            ::unlinkat(trash.info.get(), infoName.c_str(), 0);
            Refuse("the trash's info folder", err);
        }
        struct stat st {};
        if (::fstatat(trash.files.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            ::unlinkat(trash.info.get(), infoName.c_str(), 0);
            continue; // a stray file without its info: next name
        }
        if (::renameat(AT_FDCWD, full.c_str(), trash.files.get(), name.c_str()) == 0) return;
        const int err = errno;
        ::unlinkat(trash.info.get(), infoName.c_str(), 0);
        Refuse(full, err);
    }
    Refuse(full + ": no free name in the trash");
}

} // namespace tv
