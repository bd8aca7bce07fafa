// The disk a path lives on, asked of its volume: a network drive by its type, any other by whether
// the storage stack says it pays for seeking (a spinning disk does, a solid-state one does not).
#include "platform/Disks.h"

#include "platform/Errors.h"
#include "platform/win32/Handle.h"
#include "platform/win32/WideText.h"

#include <map>
#include <mutex>
#include <winioctl.h>

namespace tv {

namespace {

DiskKind AskVolume(const std::wstring& volumeRoot) {
    const UINT type = ::GetDriveTypeW(volumeRoot.c_str());
    if (type == DRIVE_REMOTE) return DiskKind::Network;
    if (type == DRIVE_RAMDISK) return DiskKind::Solid;
    wchar_t name[MAX_PATH] = {};
    if (!::GetVolumeNameForVolumeMountPointW(volumeRoot.c_str(), name, MAX_PATH)) return DiskKind::Spinning;
    std::wstring device = name; // "\\?\Volume{...}\": the volume itself is opened without its last "\"
    if (!device.empty() && device.back() == L'\\') device.pop_back();
    win32::Handle volume(::CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
    if (!volume.valid()) return DiskKind::Spinning;
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceSeekPenaltyProperty;
    query.QueryType = PropertyStandardQuery;
    DEVICE_SEEK_PENALTY_DESCRIPTOR penalty{};
    DWORD got = 0;
    if (!::DeviceIoControl(volume.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &penalty, sizeof penalty,
                           &got, nullptr) ||
        got < sizeof penalty)
        return DiskKind::Spinning; // not told: never worse than one reader at a time
    return penalty.IncursSeekPenalty ? DiskKind::Spinning : DiskKind::Solid;
}

} // namespace

bool ReadsServedFromCache() {
    return false; // not asked of the system here: a spinning disk is read one file at a time
}

bool ReadsWaitedLately() {
    return false;
}

std::optional<std::uint64_t> WaitedReadsOfThisThread() {
    return std::nullopt;
}

DiskKind DiskKindOf(const std::string& path) {
    std::wstring wide;
    try {
        wide = win32::SystemPath(path.empty() ? std::string(".") : path);
    } catch (const IoError&) {
        return DiskKind::Spinning;
    }
    wchar_t root[MAX_PATH + 8] = {};
    if (!::GetVolumePathNameW(wide.c_str(), root, MAX_PATH + 8)) return DiskKind::Spinning;
    static std::mutex lock;
    static std::map<std::wstring, DiskKind> known;
    const std::lock_guard<std::mutex> held(lock);
    if (auto it = known.find(root); it != known.end()) return it->second;
    const DiskKind kind = AskVolume(root);
    known.emplace(root, kind);
    return kind;
}

} // namespace tv
