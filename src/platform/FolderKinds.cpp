// A folder listed for names and kinds only: the listing's type field says what each entry is, so a
// walk of a hundred thousand files asks nothing of each file, where a listing with sizes looks at every
// one of them.
#include "platform/FolderKinds.h"

#include "platform/Errors.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace tv {

bool KindFromListing(int folderFd, const char* name, unsigned char type, FolderEntry& out) {
    struct stat st {};
    if (type == DT_UNKNOWN) {
        if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
        type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_FIFO;
    }
    out.IsLink = type == DT_LNK;
    // A link is told by what it leads to, as ListFolder tells it; one that leads nowhere is left out.
    if (out.IsLink) {
        if (::fstatat(folderFd, name, &st, 0) != 0) return false;
        type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_FIFO;
    }
    out.IsFolder = type == DT_DIR;
    out.IsSpecial = !out.IsFolder && type != DT_REG;
    out.IsHidden = name[0] == '.' || out.IsSpecial;
    out.Size = 0;
    return true;
}

void ForEachListed(const std::string& path, const std::function<void()>& whileListing,
                   const std::function<void(int folderFd, const char* name, unsigned char type)>& each) {
    if (path.find('\0') != std::string::npos) throw IoErrorFromErrno(EINVAL, path);
    DIR* dir = ::opendir(path.c_str());
    if (!dir) throw IoErrorFromErrno(errno, path);
    struct Closer {
        DIR* d;
        ~Closer() { ::closedir(d); }
    } closer{dir};
    const int dfd = ::dirfd(dir);
    std::size_t seen = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (whileListing && ++seen % 256 == 0) whileListing();
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        each(dfd, name, e->d_type);
    }
}

std::vector<FolderEntry> RealFileSystem::ListFolderKinds(const std::string& path) {
    std::vector<FolderEntry> out;
    ForEachListed(path, WhileListing, [&](int dfd, const char* name, unsigned char type) {
        FolderEntry fe;
        if (!KindFromListing(dfd, name, type, fe)) return; // gone meanwhile
        fe.Name = name;
        out.push_back(std::move(fe));
    });
    return out;
}

} // namespace tv
