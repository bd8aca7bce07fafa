#include "platform/Disks.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#endif

namespace tv {

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs file, without its line end.
std::optional<std::string> FirstLine(const fs::path& p) {
    std::ifstream in(p);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// Stacks of devices are short; a deeper one is a loop of links.
constexpr int MaxDepth = 8;

} // namespace

std::optional<DiskKind> SysfsDisks::KindOf(const std::string& majorMinor) const {
    std::error_code ec;
    const fs::path link = fs::path(root_) / "dev" / "block" / majorMinor;
    const fs::path folder = fs::canonical(link, ec);
    if (ec) return std::nullopt;
    return KindOfFolder(folder.string(), 0);
}

std::optional<DiskKind> SysfsDisks::KindOfFolder(const std::string& deviceFolder, int depth) const {
    if (depth > MaxDepth) return std::nullopt;
    std::error_code ec;
    fs::path folder(deviceFolder);
    // A partition's queue is its disk's.
    if (fs::exists(folder / "partition", ec)) folder = folder.parent_path();
    // Device-mapper and md devices stand on others: one spinning disk beneath makes the whole spin.
    const fs::path slaves = folder / "slaves";
    if (fs::is_directory(slaves, ec)) {
        bool any = false, spinning = false, unknown = false;
        for (const fs::directory_entry& s : fs::directory_iterator(slaves, ec)) {
            std::error_code e2;
            const fs::path beneath = fs::canonical(s.path(), e2);
            const std::optional<DiskKind> k = e2 ? std::nullopt : KindOfFolder(beneath.string(), depth + 1);
            any = true;
            if (!k)
                unknown = true;
            else if (*k == DiskKind::Spinning)
                spinning = true;
        }
        if (any) {
            if (spinning) return DiskKind::Spinning;
            if (unknown) return std::nullopt;
            return DiskKind::Solid;
        }
    }
    // A loop device reads its backing file: the disk is that file's.
    if (const std::optional<std::string> backing = FirstLine(folder / "loop" / "backing_file")) {
        if (!deviceOfFile_) return std::nullopt;
        const std::optional<std::string> dev = deviceOfFile_(*backing);
        if (!dev) return std::nullopt;
        const fs::path next = fs::canonical(fs::path(root_) / "dev" / "block" / *dev, ec);
        if (ec) return std::nullopt;
        return KindOfFolder(next.string(), depth + 1);
    }
    const std::optional<std::string> rotational = FirstLine(folder / "queue" / "rotational");
    if (rotational == "0") return DiskKind::Solid;
    if (rotational == "1") return DiskKind::Spinning;
    return std::nullopt;
}

#ifndef _WIN32

namespace {

std::optional<std::string> DeviceNumberOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
}

// File systems whose reads go over a network or through a user-space server.
bool RemoteFileSystem(long type) {
    switch (static_cast<unsigned long>(type) & 0xFFFFFFFFul) {
    case 0x6969ul:     // NFS
    case 0x517Bul:     // SMB
    case 0xFF534D42ul: // CIFS
    case 0xFE534D42ul: // SMB2
    case 0x65735546ul: // FUSE
    case 0x00C36400ul: // Ceph
    case 0x5346414Ful: // AFS
    case 0x01021997ul: // 9P
    case 0x564C:       // NCP
        return true;
    default:
        return false;
    }
}

// File systems held in memory: any number of readers at once.
bool MemoryFileSystem(long type) {
    switch (static_cast<unsigned long>(type) & 0xFFFFFFFFul) {
    case 0x01021994ul: // tmpfs
    case 0x858458F6ul: // ramfs
        return true;
    default:
        return false;
    }
}

} // namespace

DiskKind DiskKindOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.empty() ? "." : path.c_str(), &st) != 0) return DiskKind::Spinning;
    static std::mutex lock;
    static std::map<dev_t, DiskKind> known;
    {
        const std::lock_guard<std::mutex> held(lock);
        if (auto it = known.find(st.st_dev); it != known.end()) return it->second;
    }
    DiskKind kind = DiskKind::Spinning;
    struct statfs sf {};
    const bool typed = ::statfs(path.empty() ? "." : path.c_str(), &sf) == 0;
    if (typed && RemoteFileSystem(static_cast<long>(sf.f_type))) {
        kind = DiskKind::Network;
    } else if (typed && MemoryFileSystem(static_cast<long>(sf.f_type))) {
        kind = DiskKind::Solid;
    } else {
        const SysfsDisks sys("/sys", DeviceNumberOf);
        kind = sys.KindOf(std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)))
                   .value_or(DiskKind::Spinning);
    }
    const std::lock_guard<std::mutex> held(lock);
    known.emplace(st.st_dev, kind);
    return kind;
}

#endif

} // namespace tv
