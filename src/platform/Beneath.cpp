// Changes confined beneath a folder, on POSIX. Every path is opened part by part from the root's
// descriptor without following a link (openat2 with RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS where the
// kernel has it, else one openat with O_NOFOLLOW a part), and the change is made relative to the
// descriptor of the folder reached. A folder swapped for a link at any moment is refused, never
// followed out of the root.
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/FolderKinds.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <string_view>
#include <utility>
#include <vector>

namespace tv {

namespace {

using Fd = UniqueFd;

[[noreturn]] void Fail(int err) {
    throw IoErrorFromErrno(err);
}

// The file under the name is not the one the caller looked at before: it was replaced or changed size.
[[noreturn]] void FailChanged() {
    throw IoError("File access denied", "another file than the one looked at before (replaced or changed meanwhile)",
                  std::error_code(ESTALE, std::generic_category()));
}

void RejectNul(const std::string& s) {
    if (s.find('\0') != std::string::npos) Fail(EINVAL);
}

Fd OpenRoot(const std::string& root) {
    RejectNul(root);
    int fd = ::open(root.empty() ? "." : root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) Fail(errno);
    return Fd(fd);
}

// The parts of a relative path; "." and empty parts are passed over, ".." is refused.
std::vector<std::string> Parts(const std::string& rel) {
    RejectNul(rel);
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= rel.size()) {
        std::size_t end = rel.find('/', start);
        if (end == std::string::npos) end = rel.size();
        std::string part = rel.substr(start, end - start);
        if (part == "..") Fail(EXDEV);
        if (!part.empty() && part != ".") out.push_back(std::move(part));
        start = end + 1;
    }
    return out;
}

// A folder reached beneath a root: the root's own descriptor (borrowed, it outlives the change) or one
// opened for it.
struct Folder {
    Fd owned;
    int fd = -1;
    int get() const { return fd; }
};

// Opens the folder made of parts[0, count) beneath `root` without following any link.
Folder OpenFolderBeneath(int root, const std::vector<std::string>& parts, std::size_t count) {
    if (count == 0) return Folder{Fd(), root};
    std::string joined;
    for (std::size_t k = 0; k < count; ++k)
        joined += (k ? "/" : "") + parts[k];
#ifdef SYS_openat2
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, root, joined.c_str(), &how, sizeof how);
    if (fd >= 0) return Folder{Fd(static_cast<int>(fd)), static_cast<int>(fd)};
        // Any refusal is checked again by the walk below, which is as strict: a kernel or sandbox without
        // openat2 (ENOSYS, EPERM) still gets a confined open, a real failure fails there too.
#endif
    Fd cur(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    if (cur.get() < 0) Fail(errno);
    for (std::size_t k = 0; k < count; ++k) {
        int next = ::openat(cur.get(), parts[k].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) Fail(errno == ENOTDIR ? ELOOP : errno); // O_NOFOLLOW|O_DIRECTORY on a link: ENOTDIR
        cur = Fd(next);
    }
    const int reached = cur.get();
    return Folder{std::move(cur), reached};
}

// The folder holding a relative path's last part, opened beneath the root, and that part.
struct Place {
    Folder folder;
    std::string leaf;
};

Place PlaceBeneath(int root, const std::string& rel) {
    std::vector<std::string> parts = Parts(rel);
    if (parts.empty()) Fail(EINVAL);
    Place p{OpenFolderBeneath(root, parts, parts.size() - 1), parts.back()};
    return p;
}

FileIdentity IdentityOf(const struct stat& st) {
    FileIdentity id;
    id.Exists = true;
    id.IsLink = S_ISLNK(st.st_mode);
    id.IsFile = S_ISREG(st.st_mode);
    id.Volume = static_cast<std::uint64_t>(st.st_dev);
    id.Object = static_cast<std::uint64_t>(st.st_ino);
    id.Size = static_cast<std::int64_t>(st.st_size);
    return id;
}

std::int64_t Nanoseconds(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + static_cast<std::int64_t>(t.tv_nsec);
}

FileStamp StampOf(const struct stat& st) {
    return {IdentityOf(st), Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim)};
}

// The plain file at the place is still the one expected (when one is expected).
void CheckStill(const struct stat& st, const FileIdentity& expected) {
    if (!S_ISREG(st.st_mode)) Fail(S_ISLNK(st.st_mode) ? ELOOP : EINVAL);
    if (!expected.Exists) return;
    const FileIdentity now = IdentityOf(st);
    if (!now.SameObject(expected) || now.Size != expected.Size) FailChanged();
}

// A file that cannot be taken out of its folder for want of a right (a read-only folder, another user's
// file in a sticky one) names that folder, not the target the caller would name: the target's folder is
// the one to blame only when it is not writable itself.
[[noreturn]] void FailTaking(int err, int toDir, const std::string& srcRoot, const std::string& srcRel) {
    if ((err == EACCES || err == EPERM) && ::faccessat(toDir, ".", W_OK | X_OK, AT_EACCESS) == 0)
        throw IoErrorFromErrno(err, ExtractFileDir(JoinBeneath(srcRoot, srcRel)));
    Fail(err);
}

void SyncFolder(int fd) {
    while (::fsync(fd) != 0)
        if (errno != EINTR) Fail(errno);
}

void RenameNoReplace(int fromDir, const std::string& from, int toDir, const std::string& to) {
    if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0) return;
    if (errno != EINVAL && errno != ENOSYS) Fail(errno);
    // A file system without the no-replace flag: a hard link cannot replace either.
    if (::linkat(fromDir, from.c_str(), toDir, to.c_str(), 0) != 0) Fail(errno);
    if (::unlinkat(fromDir, from.c_str(), 0) != 0) {
        const int err = errno;
        ::unlinkat(toDir, to.c_str(), 0);
        Fail(err);
    }
}

// Copies the open plain file `in` into a new file `leaf` of `dir`; file and folder entry are on the disk
// before it returns.
void CopyInto(int in, const struct stat& st, int dir, const std::string& leaf) {
    int out = ::openat(dir, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (out < 0) Fail(errno);
    Fd outFd(out);
    try {
        std::vector<char> buf(1 << 20);
        for (;;) {
            ssize_t n = ::read(in, buf.data(), buf.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) Fail(errno);
            if (n == 0) break;
            for (ssize_t done = 0; done < n;) {
                ssize_t w = ::write(out, buf.data() + done, static_cast<std::size_t>(n - done));
                if (w < 0 && errno == EINTR) continue;
                if (w < 0) Fail(errno);
                done += w;
            }
        }
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
        SyncFolder(out);
        if (::close(outFd.release()) != 0) Fail(errno);
        SyncFolder(dir);
    } catch (const IoError&) {
        ::unlinkat(dir, leaf.c_str(), 0); // a partial copy is no copy
        throw;
    }
}

} // namespace

void RealFileSystem::HoldRoots(bool hold) {
    holdingRoots_ = hold;
    if (hold) return;
    for (auto& held : heldRoots_)
        ::close(held.second);
    heldRoots_.clear();
}

int RealFileSystem::Root(const std::string& root, UniqueFd& owned) {
    if (holdingRoots_)
        for (const auto& held : heldRoots_)
            if (held.first == root) return held.second;
    owned = OpenRoot(root);
    // A run has the list's folder and the search root; a few more are opened one change at a time.
    if (!holdingRoots_ || heldRoots_.size() >= 8) return owned.get();
    heldRoots_.emplace_back(root, owned.release());
    return heldRoots_.back().second;
}

FileIdentity RealFileSystem::Identify(const std::string& path, bool follow) {
    struct stat st {};
    if (path.find('\0') != std::string::npos) return {};
    if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return {};
    return IdentityOf(st);
}

void RealFileSystem::RenameBeneath(const std::string& root, const std::string& fromRel, const std::string& toRel) {
    Fd owned;
    const int r = Root(root, owned);
    Place from = PlaceBeneath(r, fromRel), to = PlaceBeneath(r, toRel);
    RenameNoReplace(from.folder.get(), from.leaf, to.folder.get(), to.leaf);
}

void RealFileSystem::TransferBeneath(const std::string& srcRoot, const std::string& srcRel,
                                     const FileIdentity& expected, const std::string& root, const std::string& toRel,
                                     bool keepSource) {
    Fd ownedSource, owned;
    const int sr = Root(srcRoot, ownedSource), r = Root(root, owned);
    Place from = PlaceBeneath(sr, srcRel), to = PlaceBeneath(r, toRel);
    int in = ::openat(from.folder.get(), from.leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) Fail(errno);
    Fd inFd(in);
    struct stat st {};
    if (::fstat(in, &st) != 0) Fail(errno);
    CheckStill(st, expected);
    if (!keepSource) {
        if (::renameat2(from.folder.get(), from.leaf.c_str(), to.folder.get(), to.leaf.c_str(), RENAME_NOREPLACE) == 0)
            return;
        if (errno != EXDEV) {
            if (errno != EINVAL && errno != ENOSYS) FailTaking(errno, to.folder.get(), srcRoot, srcRel);
            RenameNoReplace(from.folder.get(), from.leaf, to.folder.get(), to.leaf);
            return;
        }
    }
    CopyInto(in, st, to.folder.get(), to.leaf);
    if (keepSource) return;
    // Another volume: the source goes only once the copy is on the disk, and only when it is still the
    // file that was copied.
    struct stat now {};
    if (::fstatat(from.folder.get(), from.leaf.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 || now.st_dev != st.st_dev ||
        now.st_ino != st.st_ino)
        FailChanged();
    if (::unlinkat(from.folder.get(), from.leaf.c_str(), 0) != 0) {
        const int err = errno;
        ::unlinkat(to.folder.get(), to.leaf.c_str(), 0); // a move that cannot finish leaves one copy only
        FailTaking(err, to.folder.get(), srcRoot, srcRel);
    }
}

std::vector<std::string> RealFileSystem::ListNames(const std::string& path) {
    std::vector<std::string> out;
    ForEachListed(path.empty() ? "." : path, WhileListing,
                  [&out](int, const char* name, unsigned char) { out.emplace_back(name); });
    return out;
}

FileStamp RealFileSystem::StampBeneath(const std::string& root, const std::string& rel) {
    try {
        Fd owned;
        Place p = PlaceBeneath(Root(root, owned), rel);
        struct stat st {};
        if (::fstatat(p.folder.get(), p.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return {};
        return StampOf(st);
    } catch (const IoError&) {
        return {};
    }
}

FileStamp RealFileSystem::MoveBeneath(const std::string& srcRoot, const std::string& srcRel,
                                      const FileIdentity& expected, const std::string& root,
                                      const std::string& toRel) {
    Fd ownedSource, owned;
    const int sr = Root(srcRoot, ownedSource), r = Root(root, owned);
    Place from = PlaceBeneath(sr, srcRel), to = PlaceBeneath(r, toRel);
    // Looked at by name, not opened: the rename takes the name anyway, and a stat is a third of the
    // calls of an open, a stat of the open file and a close.
    struct stat st {};
    if (::fstatat(from.folder.get(), from.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) Fail(errno);
    CheckStill(st, expected);
    if (::renameat2(from.folder.get(), from.leaf.c_str(), to.folder.get(), to.leaf.c_str(), RENAME_NOREPLACE) == 0)
        return StampOf(st);
    if (errno == EXDEV) {
        // Another volume: copied and the source removed; the copy is a file of its own.
        TransferBeneath(srcRoot, srcRel, expected, root, toRel, false);
        return {IdentityOf(st), 0, 0};
    }
    if (errno != EINVAL && errno != ENOSYS) FailTaking(errno, to.folder.get(), srcRoot, srcRel);
    RenameNoReplace(from.folder.get(), from.leaf, to.folder.get(), to.leaf);
    return StampOf(st);
}

void RealFileSystem::DeleteBeneath(const std::string& root, const std::string& rel, const FileIdentity& expected) {
    Fd r = OpenRoot(root);
    Place p = PlaceBeneath(r.get(), rel);
    struct stat st {};
    if (::fstatat(p.folder.get(), p.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) Fail(errno);
    CheckStill(st, expected);
    if (::unlinkat(p.folder.get(), p.leaf.c_str(), 0) != 0) Fail(errno);
}

void RealFileSystem::CreateFolderBeneath(const std::string& root, const std::string& rel) {
    Fd owned;
    Place p = PlaceBeneath(Root(root, owned), rel);
    if (::mkdirat(p.folder.get(), p.leaf.c_str(), 0777) == 0) return;
    const int err = errno;
    struct stat st {};
    if (err == EEXIST && ::fstatat(p.folder.get(), p.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(st.st_mode))
        return;
    Fail(err == EEXIST ? EEXIST : err);
}

} // namespace tv
