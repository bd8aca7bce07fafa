#pragma once
// What kind of disk a file lives on, so that the hashing workers read it the way it likes: a spinning
// disk one file at a time in order (threads reading at once make it seek), a solid-state disk several
// files at once, a network or FUSE file system a few at once. A disk that cannot be told is taken for
// a spinning one: never worse than reading one file at a time.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tv {

enum class DiskKind { Spinning, Solid, Network };

// The kind of the disk that holds `path` (a file or folder). Answers are kept per device, so asking for
// every folder of a walk costs one stat each.
DiskKind DiskKindOf(const std::string& path);

// Whether the files read of late came from the page cache, with no wait for a disk: then readers at
// once cost no seeks, whatever the disk. False where it is not known.
bool ReadsServedFromCache();
// Whether a read of this run waited for the disk lately (before enough reads in a row came from the page
// cache again). False where the system does not tell.
bool ReadsWaitedLately();
// The reads of this thread so far that had to wait for a disk; nothing where that cannot be told.
std::optional<std::uint64_t> WaitedReadsOfThisThread();

// Linux: the block devices under a sysfs tree (`root` is "/sys" on a live system, a folder of a test's
// making otherwise). A device is named by its "major:minor"; a partition counts as its disk, a
// device-mapper or md device as the devices beneath it (spinning if any of them spins), a loop device as
// the disk its backing file lives on, which `deviceOfFile` names ("major:minor", nothing when unknown).
class SysfsDisks {
public:
    explicit SysfsDisks(std::string root,
                        std::function<std::optional<std::string>(const std::string&)> deviceOfFile = nullptr)
        : root_(std::move(root)), deviceOfFile_(std::move(deviceOfFile)) {}
    // Nothing when the device or its queue cannot be found.
    std::optional<DiskKind> KindOf(const std::string& majorMinor) const;

private:
    std::optional<DiskKind> KindOfFolder(const std::string& deviceFolder, int depth) const;
    std::string root_;
    std::function<std::optional<std::string>(const std::string&)> deviceOfFile_;
};

} // namespace tv
