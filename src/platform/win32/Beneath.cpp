// Changes confined beneath a folder, on Windows. Below the root every part of a path is opened relative
// to the handle of the folder before it (NtCreateFile with a root directory, the Windows openat) and
// without following a reparse point; a symbolic link, junction or mount point on the way is refused. Each
// opened part must also be where its name says: its final path is its folder's final path and its name,
// which holds on Windows and also where a system follows links regardless (Wine with Unix links). The
// change itself is made through the handle of what was checked: renamed and deleted by handle, copied
// from the opened source.
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/win32/Handle.h"
#include "platform/win32/WideText.h"

#include <winternl.h>

#include <cstddef>
#include <string_view>
#include <vector>

namespace tv {

namespace {

using win32::Handle;

constexpr NTSTATUS NotSameDevice = static_cast<NTSTATUS>(0xC00000D4);
constexpr DWORD StoppedOnLink = 681; // ERROR_STOPPED_ON_SYMLINK

[[noreturn]] void Refuse(DWORD code, const std::string& path) {
    win32::ThrowError(code, path);
}

[[noreturn]] void ThroughLink(const std::string& path) {
    throw IoError("File access denied", "the path passes through a link or junction",
                  std::error_code(static_cast<int>(StoppedOnLink), std::system_category()), path);
}

[[noreturn]] void Changed(const std::string& path) {
    throw IoError("File not found", "the file has changed", {}, path);
}

// The parts of a relative path; either separator, "." and empty parts passed over, ".." refused.
std::vector<std::wstring> Parts(const std::string& rel, const std::string& path) {
    std::vector<std::wstring> out;
    std::string part;
    for (std::size_t i = 0; i <= rel.size(); ++i) {
        if (i < rel.size() && !IsPathDelim(rel[i])) {
            part += rel[i];
            continue;
        }
        if (part == "..") Refuse(ERROR_INVALID_NAME, path);
        if (!part.empty() && part != ".") out.push_back(win32::Widen(part));
        part.clear();
    }
    if (out.empty()) Refuse(ERROR_INVALID_NAME, path);
    return out;
}

// The handle's path as the system resolved it ("\\?\C:\..." or, on a volume without a letter, its NT form).
std::wstring FinalPath(HANDLE h, const std::string& path) {
    for (DWORD kind : {DWORD{VOLUME_NAME_DOS}, DWORD{VOLUME_NAME_NT}}) {
        std::wstring out(MAX_PATH, L'\0');
        DWORD n = ::GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), kind);
        if (n >= out.size()) {
            out.resize(n);
            n = ::GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), kind);
        }
        if (n != 0 && n < out.size()) {
            out.resize(n);
            return out;
        }
    }
    win32::ThrowLastError(path);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring Child(const std::wstring& folder, const std::wstring& name) {
    return !folder.empty() && folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

BY_HANDLE_FILE_INFORMATION InfoOf(HANDLE h, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) win32::ThrowLastError(path);
    return info;
}

// A folder reached beneath a root: its handle and final path.
struct Folder {
    Handle handle;
    std::wstring finalPath;
};

// Opens `name` in `folder` without following a reparse point, and checks that it is no reparse point and
// lies where its name says. FILE_CREATE makes it, which never replaces.
Handle OpenIn(const Folder& folder, const std::wstring& name, ACCESS_MASK access, ULONG disposition, ULONG options,
              const std::string& path, bool linkAllowed = false) {
    UNICODE_STRING u{};
    u.Buffer = const_cast<PWSTR>(name.c_str());
    u.Length = u.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes{};
    InitializeObjectAttributes(&attributes, &u, OBJ_CASE_INSENSITIVE, folder.handle.get(), nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE h = nullptr;
    const NTSTATUS status =
        ::NtCreateFile(&h, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr,
                       FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, disposition,
                       options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
    if (status < 0) Refuse(::RtlNtStatusToDosError(status), path);
    Handle opened(h);
    if ((!linkAllowed && (InfoOf(h, path).dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) ||
        !SameText(FinalPath(h, path), Child(folder.finalPath, name))) {
        // What this call made where it should not be goes again.
        if (io.Information == FILE_CREATED) win32::MarkForDeletion(h);
        ThroughLink(path);
    }
    return opened;
}

Folder OpenRoot(const std::string& root) {
    Folder f{Handle(::CreateFileW(win32::SystemPath(root.empty() ? "." : root).c_str(),
                                  FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr)),
             {}};
    if (!f.handle.valid()) win32::ThrowLastError(root);
    f.finalPath = FinalPath(f.handle.get(), root);
    return f;
}

// The folder holding a relative path's last part, opened beneath the root part by part, and that part.
struct Place {
    Folder folder;
    std::wstring leaf;
    std::string path; // as the user spells it, for errors
};

Place PlaceBeneath(const std::string& root, const std::string& rel) {
    const std::string path = JoinBeneath(root, rel);
    // The names the system keeps (CON, "a:b", ...) are refused before any is made under a folder handle,
    // where the system would not refuse them.
    if (!win32::ValidWindowsPath(path)) Refuse(ERROR_INVALID_NAME, path);
    std::vector<std::wstring> parts = Parts(rel, path);
    Place p{OpenRoot(root), parts.back(), path};
    for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
        Handle next =
            OpenIn(p.folder, parts[k], FILE_LIST_DIRECTORY | FILE_TRAVERSE, FILE_OPEN, FILE_DIRECTORY_FILE, path);
        std::wstring reached = Child(p.folder.finalPath, parts[k]);
        p.folder = Folder{std::move(next), std::move(reached)};
    }
    return p;
}

// The opened file is a plain file and still the one expected (same volume, index and size).
void CheckStill(HANDLE h, const FileIdentity& expected, const std::string& path) {
    const BY_HANDLE_FILE_INFORMATION info = InfoOf(h, path);
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) Refuse(ERROR_ACCESS_DENIED, path);
    if (!expected.Exists) return;
    if (expected.Object == 0 || info.dwVolumeSerialNumber != expected.Volume || win32::IndexOf(info) != expected.Object ||
        win32::SizeOf(info) != expected.Size)
        Changed(path);
}

// Gives the opened file the name `leaf` in `to`; a taken name is refused, never replaced. False when the
// folders lie on different volumes.
bool RenameByHandle(HANDLE h, const Folder& to, const std::wstring& leaf, const std::string& path) {
    std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) + (leaf.size() + 1) * sizeof(wchar_t));
    if (buffer.size() < sizeof(FILE_RENAME_INFO)) buffer.resize(sizeof(FILE_RENAME_INFO));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = to.handle.get();
    info->FileNameLength = static_cast<DWORD>(leaf.size() * sizeof(wchar_t));
    leaf.copy(info->FileName, leaf.size());
    IO_STATUS_BLOCK io{};
    // Through the native call: the wide one does not take a name relative to a folder everywhere.
    const NTSTATUS status = ::NtSetInformationFile(h, &io, info, static_cast<ULONG>(buffer.size()),
                                                   static_cast<FILE_INFORMATION_CLASS>(10)); // FileRenameInformation
    if (status == NotSameDevice) return false;
    if (status < 0) Refuse(::RtlNtStatusToDosError(status), path);
    return true;
}

void DeleteByHandle(HANDLE h, const std::string& path) {
    if (!win32::MarkForDeletion(h)) win32::ThrowLastError(path);
}

// Copies the opened file `in` into a new file `leaf` of `to`, with its times; on the disk before it returns,
// and no partial copy left behind.
void CopyInto(HANDLE in, const Folder& to, const std::wstring& leaf, const std::string& path) {
    Handle out = OpenIn(to, leaf, GENERIC_WRITE | DELETE, FILE_CREATE, FILE_NON_DIRECTORY_FILE, path);
    try {
        std::vector<char> buffer(1 << 20);
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
                win32::ThrowLastError(path);
            if (got == 0) break;
            for (DWORD done = 0; done < got;) {
                DWORD wrote = 0;
                if (!::WriteFile(out.get(), buffer.data() + done, got - done, &wrote, nullptr))
                    win32::ThrowLastError(path);
                done += wrote;
            }
        }
        FILETIME created{}, accessed{}, written{};
        if (::GetFileTime(in, &created, &accessed, &written)) ::SetFileTime(out.get(), &created, &accessed, &written);
        if (!::FlushFileBuffers(out.get())) win32::ThrowLastError(path);
    } catch (const IoError&) {
        win32::MarkForDeletion(out.get());
        throw;
    }
}

// A refused change shows "File not found" when its file is not there (or is no longer the one compared),
// else "File access denied", as the plain versions do; the system's code, reason and the path are kept.
template <class Change> void Refusing(const std::string& path, Change change) {
    try {
        change();
    } catch (const IoError& e) {
        const bool gone = IsNotFound(e) || std::string_view(e.what()) == "File not found";
        throw IoError(gone ? "File not found" : "File access denied", e.Reason(), e.Code(),
                      e.Path().empty() ? path : e.Path());
    }
}

void RenameBeneathAsIs(const std::string& root, const std::string& fromRel, const std::string& toRel) {
    Place from = PlaceBeneath(root, fromRel), to = PlaceBeneath(root, toRel);
    // A link in the way is renamed as itself (its handle is the link's own), never what it points to.
    Handle h = OpenIn(from.folder, from.leaf, DELETE, FILE_OPEN, 0, from.path, true);
    if (!RenameByHandle(h.get(), to.folder, to.leaf, to.path)) Refuse(ERROR_NOT_SAME_DEVICE, from.path);
}

void TransferBeneathAsIs(const std::string& srcRoot, const std::string& srcRel, const FileIdentity& expected,
                         const std::string& root, const std::string& toRel, bool keepSource) {
    Place from = PlaceBeneath(srcRoot, srcRel), to = PlaceBeneath(root, toRel);
    Handle in = OpenIn(from.folder, from.leaf, GENERIC_READ | (keepSource ? 0 : DELETE), FILE_OPEN,
                       FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, from.path);
    CheckStill(in.get(), expected, from.path);
    if (!keepSource && RenameByHandle(in.get(), to.folder, to.leaf, to.path)) return;
    CopyInto(in.get(), to.folder, to.leaf, to.path);
    if (keepSource) return;
    // Another volume: the source goes once the copy is on the disk, and it is the very file copied (by its
    // handle). When it cannot go, the copy goes instead: a move leaves one copy.
    try {
        DeleteByHandle(in.get(), from.path);
    } catch (const IoError&) {
        Handle copy = OpenIn(to.folder, to.leaf, DELETE, FILE_OPEN, FILE_NON_DIRECTORY_FILE, to.path);
        DeleteByHandle(copy.get(), to.path);
        throw;
    }
}

void DeleteBeneathAsIs(const std::string& root, const std::string& rel, const FileIdentity& expected) {
    Place p = PlaceBeneath(root, rel);
    Handle h = OpenIn(p.folder, p.leaf, DELETE, FILE_OPEN, FILE_NON_DIRECTORY_FILE, p.path);
    CheckStill(h.get(), expected, p.path);
    DeleteByHandle(h.get(), p.path);
}

void CreateFolderBeneathAsIs(const std::string& root, const std::string& rel) {
    Place p = PlaceBeneath(root, rel);
    // FILE_OPEN_IF: an existing real folder is fine, a link or a file is not (checked by OpenIn).
    OpenIn(p.folder, p.leaf, FILE_LIST_DIRECTORY, FILE_OPEN_IF, FILE_DIRECTORY_FILE, p.path);
}

} // namespace

void RealFileSystem::RenameBeneath(const std::string& root, const std::string& fromRel, const std::string& toRel) {
    Refusing(JoinBeneath(root, fromRel), [&] { RenameBeneathAsIs(root, fromRel, toRel); });
}

void RealFileSystem::TransferBeneath(const std::string& srcRoot, const std::string& srcRel,
                                     const FileIdentity& expected, const std::string& root, const std::string& toRel,
                                     bool keepSource) {
    Refusing(JoinBeneath(srcRoot, srcRel),
             [&] { TransferBeneathAsIs(srcRoot, srcRel, expected, root, toRel, keepSource); });
}

void RealFileSystem::DeleteBeneath(const std::string& root, const std::string& rel, const FileIdentity& expected) {
    Refusing(JoinBeneath(root, rel), [&] { DeleteBeneathAsIs(root, rel, expected); });
}

void RealFileSystem::CreateFolderBeneath(const std::string& root, const std::string& rel) {
    Refusing(JoinBeneath(root, rel), [&] { CreateFolderBeneathAsIs(root, rel); });
}

} // namespace tv
