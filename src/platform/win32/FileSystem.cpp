// The file system through the wide Win32 calls. Every path passes SystemPath first: UTF-16, absolute,
// "\\?\" long form, device names and reserved characters refused.
#include "platform/FileSystem.h"

#include "platform/Errors.h"
#include "platform/NameRules.h"
#include "platform/Paths.h"
#include "platform/PositionedRead.h"
#include "platform/win32/Handle.h"
#include "platform/win32/WideText.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace tv {

using win32::Handle;
using win32::IndexOf;
using win32::MarkForDeletion;
using win32::SizeOf;
using win32::SystemPath;
using win32::ThrowLastError;

std::string SystemReason(int err) {
    // The C runtime's texts for its error numbers are English on every Windows.
    return std::strerror(err);
}

// The program's own findings carry errno values (generic), the system's failures GetLastError() codes.
bool IsNotFound(const std::error_code& code) {
    if (code.category() == std::generic_category()) return code.value() == ENOENT || code.value() == ENOTDIR;
    return code.category() == std::system_category() &&
           (code.value() == ERROR_FILE_NOT_FOUND || code.value() == ERROR_PATH_NOT_FOUND);
}

bool IsNameTaken(const std::error_code& code) {
    if (code.category() == std::generic_category()) return code.value() == EEXIST;
    return code.category() == std::system_category() &&
           (code.value() == ERROR_FILE_EXISTS || code.value() == ERROR_ALREADY_EXISTS);
}

bool IsInvalidName(const std::error_code& code) {
    return code.category() == std::system_category() &&
           (code.value() == ERROR_INVALID_NAME || code.value() == ERROR_BAD_PATHNAME);
}

IoError InvalidNameError(const std::string& path) {
    return IoError(win32::ErrorText(ERROR_INVALID_NAME), win32::WindowsReason(ERROR_INVALID_NAME),
                   std::error_code(ERROR_INVALID_NAME, std::system_category()), path);
}

bool NameCanExist(std::string_view name) {
    return win32::ValidWindowsName(name);
}

namespace {

// Any cap below 4 GiB works; large reads keep the calls few.
constexpr std::size_t MaxChunk = std::size_t{1} << 30;

// Every read names its offset: a read at an offset moves the handle's own file pointer, so the plain
// reads keep theirs here and positioned reads from other threads leave them alone. The system takes the
// reads of one handle in turn; the hashing of what they read runs on every thread at once.
class WinInputFile : public InputFile, public PositionedRead {
public:
    WinInputFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        const std::size_t got = ReadAt(buffer, size, at_);
        at_ += static_cast<std::int64_t>(got);
        return got;
    }
    std::size_t ReadAt(void* buffer, std::size_t size, std::int64_t offset) override {
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
        where.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
        DWORD got = 0;
        const auto want = static_cast<DWORD>(size < MaxChunk ? size : MaxChunk);
        if (!::ReadFile(h_.get(), buffer, want, &got, &where)) {
            // At or past the end: a read that names its offset fails where a plain one reads nothing.
            if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
            ThrowLastError(path_);
        }
        return got;
    }
    std::int64_t Length() override {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(h_.get(), &size)) ThrowLastError(path_);
        return size.QuadPart;
    }

private:
    Handle h_;
    std::string path_;
    std::int64_t at_ = 0; // where the plain reads go on
};

class WinOutputFile : public OutputFile {
public:
    WinOutputFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
    void Write(const void* data, std::size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            DWORD done = 0;
            const auto chunk = static_cast<DWORD>(size < MaxChunk ? size : MaxChunk);
            if (!::WriteFile(h_.get(), p, chunk, &done, nullptr)) ThrowLastError(path_);
            p += done;
            size -= done;
        }
    }
    void Sync() override {
        if (!::FlushFileBuffers(h_.get())) ThrowLastError(path_);
    }
    void Close() override {
        HANDLE h = h_.release();
        if (h != INVALID_HANDLE_VALUE && !::CloseHandle(h)) ThrowLastError(path_);
    }

private:
    Handle h_;
    std::string path_;
};

// The attributes of a path, or INVALID_FILE_ATTRIBUTES when it names nothing (or nothing valid).
DWORD Attributes(const std::string& path) {
    try {
        return ::GetFileAttributesW(SystemPath(path).c_str());
    } catch (const IoError&) {
        return INVALID_FILE_ATTRIBUTES;
    }
}

std::unique_ptr<OutputFile> CreateWith(const std::string& path, DWORD disposition) {
    // Truncating a read-only file is refused, as Windows does (and Wine does not).
    const DWORD a = Attributes(path);
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) != 0 && disposition == CREATE_ALWAYS)
        throw IoError("File access denied", SystemReason(EACCES), std::error_code(EACCES, std::generic_category()),
                      path);
    // Others may read a list while it is written, as on POSIX; nobody may write it meanwhile.
    HANDLE h = ::CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) ThrowLastError(path);
    return std::make_unique<WinOutputFile>(h, path);
}

FileTime LocalTimeOf(const FILETIME& utc) {
    SYSTEMTIME system{}, local{};
    ::FileTimeToSystemTime(&utc, &system);
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &system, &local)) local = system;
    return FileTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

bool IsFolderAttr(DWORD a) {
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

bool RealFileSystem::FileExists(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !IsFolderAttr(a);
}

bool RealFileSystem::FolderExists(const std::string& path) {
    return IsFolderAttr(Attributes(path));
}

std::unique_ptr<InputFile> RealFileSystem::OpenRead(const std::string& path) {
    // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS: it fails with access denied.
    Handle h(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h.valid()) ThrowLastError(path);
    // Only files on a disk are read: a pipe or device would block or never end.
    if (::GetFileType(h.get()) != FILE_TYPE_DISK) win32::ThrowError(ERROR_INVALID_FUNCTION, path);
    return std::make_unique<WinInputFile>(h.release(), path);
}

std::unique_ptr<OutputFile> RealFileSystem::Create(const std::string& path) {
    return CreateWith(path, CREATE_ALWAYS);
}

std::unique_ptr<OutputFile> RealFileSystem::CreateNew(const std::string& path) {
    return CreateWith(path, CREATE_NEW);
}

std::vector<FolderEntry> RealFileSystem::ListFolder(const std::string& path) {
    std::wstring pattern = SystemPath(path);
    if (pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return {}; // an empty root folder
        ThrowLastError(path);
    }
    struct Closer {
        HANDLE h;
        ~Closer() { ::FindClose(h); }
    } closer{find};
    std::vector<FolderEntry> out;
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        FolderEntry fe;
        fe.Name = win32::Narrow(name);
        const DWORD a = data.dwFileAttributes;
        fe.IsFolder = (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
        fe.IsHidden = (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        fe.IsLink = (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                    (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK || data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
        // A name with a separator in it (a Linux file's "\" seen through Wine or a share) names a path, not
        // this file: no call can reach it, and it is left out as a device is.
        fe.IsSpecial = (a & FILE_ATTRIBUTE_DEVICE) != 0 || name.find_first_of(L"\\/") != std::wstring_view::npos;
        fe.Size =
            fe.IsFolder
                ? 0
                : static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        out.push_back(std::move(fe));
    } while (::FindNextFileW(find, &data));
    if (::GetLastError() != ERROR_NO_MORE_FILES) ThrowLastError(path);
    return out;
}

std::int64_t RealFileSystem::FileLength(const std::string& path) {
    return OpenRead(path)->Length();
}

FileTime RealFileSystem::LastWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data)) ThrowLastError(path);
    return LocalTimeOf(data.ftLastWriteTime);
}

void RealFileSystem::RenameFile(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists; across volumes the
    // system copies and deletes.
    if (!::MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), MOVEFILE_COPY_ALLOWED)) {
        const DWORD code = ::GetLastError();
        win32::ThrowError(code, code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? to : from);
    }
}

void RealFileSystem::CopyFile(const std::string& from, const std::string& to) {
    // CopyFileW keeps the times and attributes and removes a partial copy itself. A folder is no file to copy.
    if (IsFolderAttr(Attributes(from)))
        throw IoError("File access denied", SystemReason(EISDIR), std::error_code(EISDIR, std::generic_category()),
                      from);
    if (!::CopyFileW(SystemPath(from).c_str(), SystemPath(to).c_str(), TRUE)) {
        const DWORD code = ::GetLastError();
        win32::ThrowError(code, code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? to : from);
    }
}

void RealFileSystem::DeleteFile(const std::string& path) {
    if (!::DeleteFileW(SystemPath(path).c_str())) ThrowLastError(path);
}

void RealFileSystem::CreateFolder(const std::string& path) {
    if (!::CreateDirectoryW(SystemPath(path).c_str(), nullptr)) ThrowLastError(path);
}

void RealFileSystem::ReplaceFile(const std::string& from, const std::string& to) {
    const std::wstring source = SystemPath(from), target = SystemPath(to);
    const DWORD a = ::GetFileAttributesW(target.c_str());
    if (a != INVALID_FILE_ATTRIBUTES) {
        // A folder cannot be replaced by a file, and a read-only file is not ours to delete.
        if ((a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
            throw IoError("File access denied", SystemReason(EACCES), std::error_code(EACCES, std::generic_category()),
                          to);
        // The new file keeps the hidden and archive marks of the one it replaces.
        ::SetFileAttributesW(source.c_str(), a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    }
    if (!::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ThrowLastError(to);
}

bool FileSystem::SameObject(const std::string& a, const std::string& b) {
    return SameText(a, b);
}

namespace {

// Volume serial number and file index: the identity of a file or folder on NTFS. Without `follow` a
// link (a reparse point: symbolic link or junction) is itself opened, not what it points to.
bool FileInformation(const std::string& path, BY_HANDLE_FILE_INFORMATION& info, bool follow = true) {
    try {
        const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
        Handle h(::CreateFileW(SystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, flags, nullptr));
        return h.valid() && ::GetFileInformationByHandle(h.get(), &info);
    } catch (const IoError&) {
        return false;
    }
}

} // namespace

bool RealFileSystem::SameObject(const std::string& a, const std::string& b) {
    if (SameText(a, b)) return true;
    // NTFS compares names through its own upper-case table, which CompareStringOrdinal uses too.
    try {
        const std::wstring wa = SystemPath(a), wb = SystemPath(b);
        if (::CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()),
                                   TRUE) == CSTR_EQUAL)
            return true;
    } catch (const IoError&) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return FileInformation(a, ia) && FileInformation(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

FileIdentity RealFileSystem::Identify(const std::string& path, bool follow) {
    // What the duplicate handling compares before it deletes: the file it read must still be the one there.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!FileInformation(path, info, follow)) return {};
    FileIdentity id;
    id.Exists = true;
    id.IsLink = !follow && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    id.IsFile = !id.IsLink && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    id.Volume = info.dwVolumeSerialNumber;
    id.Object = IndexOf(info);
    id.Size = SizeOf(info);
    return id;
}

namespace {

// What the locks take: one byte far beyond the end of any file. On Windows a locked range cannot be
// read through another handle, and the locked files are read while held.
bool LockFar(HANDLE h) {
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    return ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

class WinFileLock : public FileLock {
public:
    WinFileLock(Handle h, bool temporary) : h_(std::move(h)), temporary_(temporary) {}
    ~WinFileLock() override {
        // Deleted before it is let go: it goes when this handle closes.
        if (temporary_) MarkForDeletion(h_.get());
    }
    WinFileLock(const WinFileLock&) = delete;
    WinFileLock& operator=(const WinFileLock&) = delete;

private:
    Handle h_;
    bool temporary_;
};

// Whether the path still names the opened file (deleted files can lose their name while held open).
bool StillNamed(HANDLE h, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION held{}, named{};
    return ::GetFileInformationByHandle(h, &held) && FileInformation(path, named, false) &&
           held.dwVolumeSerialNumber == named.dwVolumeSerialNumber && IndexOf(held) == IndexOf(named);
}

} // namespace

std::unique_ptr<OutputFile> RealFileSystem::CreateNewLocked(const std::string& path) {
    // Others may read it and delete it while it is held, as on POSIX.
    Handle h(::CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) ThrowLastError(path);
    if (!LockFar(h.get()) || !StillNamed(h.get(), path)) throw IoErrorFromErrno(EWOULDBLOCK, path);
    return std::make_unique<WinOutputFile>(h.release(), path);
}

std::unique_ptr<FileLock> RealFileSystem::TryLock(const std::string& path, bool temporary) {
    for (int tries = 0; tries < 100; ++tries) {
        Handle h(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ | (temporary ? DELETE : 0),
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               temporary ? OPEN_ALWAYS : OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!h.valid()) {
            // A file its holder deleted cannot be opened until the holder lets go.
            if (::GetLastError() == ERROR_ACCESS_DENIED && FileExists(path)) return nullptr;
            ThrowLastError(path);
        }
        if (!LockFar(h.get())) {
            if (::GetLastError() == ERROR_LOCK_VIOLATION) return nullptr;
            ThrowLastError(path);
        }
        if (StillNamed(h.get(), path)) return std::make_unique<WinFileLock>(std::move(h), temporary);
        if (!temporary && !FileExists(path)) throw IoErrorFromErrno(ENOENT, path);
    }
    return nullptr;
}

void RealFileSystem::SyncFolder(const std::string& path) {
    // NTFS puts a folder's entries on the disk when its handle, opened for writing, is flushed; a volume
    // that refuses this (FAT, a network share, Wine) keeps them as it keeps them.
    try {
        Handle h(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (h.valid()) ::FlushFileBuffers(h.get());
    } catch (const IoError&) {
    }
}

bool RealFileSystem::RemoveIfAbandoned(const std::string& path) {
    // A writer opens its file without FILE_SHARE_DELETE, and a killed writer's handle is closed with its
    // process: an open for deletion that shares nothing succeeds only on a file nobody holds.
    try {
        Handle h(::CreateFileW(SystemPath(path).c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (!h.valid() || !::GetFileInformationByHandle(h.get(), &info)) return false;
        if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) return false;
        return MarkForDeletion(h.get());
    } catch (const IoError&) {
        return false;
    }
}

FileSystem& RealFs() {
    static RealFileSystem fs;
    return fs;
}

} // namespace tv
