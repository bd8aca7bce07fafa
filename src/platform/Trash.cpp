// Deletion to the desktop's trash (the freedesktop.org Trash): the file moves into files/ of the
// trash of its own volume and a .trashinfo with its original path and the deletion time goes into
// info/, so a file manager can restore it. No question is asked.
#include "platform/FileSystem.h"
#include "platform/Paths.h"

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

// The top folder of the volume that holds `path`.
std::string VolumeTop(const std::string& path) {
    dev_t dev = DeviceOf(path);
    std::string dir = ExtractFileDir(path);
    for (;;) {
        std::string parent = ExtractFileDir(dir);
        if (parent == dir || DeviceOf(parent) != dev) return dir;
        dir = parent;
    }
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

// The trash folder for a file: the home trash when the file is on the home trash's volume, otherwise
// $top/.Trash-$uid on the file's own volume.
std::string TrashFor(const std::string& path, std::string& pathInInfo) {
    pathInInfo = path;
    std::string home = HomeTrash();
    if (!home.empty() && MakeFolders(home) && DeviceOf(home) == DeviceOf(path)) return home;
    std::string top = VolumeTop(path);
    std::string trash = JoinPath(top, ".Trash-" + std::to_string(::getuid()));
    // On another volume the info file names the path relative to the volume's top.
    if (top != "/" && path.compare(0, top.size() + 1, top + "/") == 0) pathInInfo = path.substr(top.size() + 1);
    return trash;
}

} // namespace

bool RealFileSystem::MoveToTrash(const std::string& path) {
    ForgetHints(); // a path hinted before may lead to another file now
    std::string full = AbsolutePath(path);
    if (!FileExists(full)) return false;
    std::string pathInInfo;
    std::string trash = TrashFor(full, pathInInfo);
    std::string files = JoinPath(trash, "files"), info = JoinPath(trash, "info");
    if (!MakeFolders(files) || !MakeFolders(info)) return false;

    std::time_t now = std::time(nullptr);
    std::tm tm {};
    ::localtime_r(&now, &tm);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
    std::string text = "[Trash Info]\nPath=" + EncodePath(pathInInfo) + "\nDeletionDate=" + date + "\n";

    std::string base = ExtractFileName(full);
    for (int n = 1; n < 10000; ++n) {
        std::string name = n == 1 ? base : base + "." + std::to_string(n);
        std::string infoPath = JoinPath(info, name + ".trashinfo");
        // The info file is made first and exclusively: it reserves the name.
        int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        written = (::close(fd) == 0) && written;
        std::string target = JoinPath(files, name);
        if (written && !FileExists(target) && ::rename(full.c_str(), target.c_str()) == 0) return true;
        ::unlink(infoPath.c_str());
        if (written && FileExists(target)) continue; // a stray file without its info: next name
        return false;
    }
    return false;
}

} // namespace tv
