// Deletion to the recycle bin through the shell's file operation: with undo, so the user can restore
// the file, and without a question or a progress window.
#include "platform/FileSystem.h"
#include "platform/win32/WideText.h"

#include "platform/Errors.h"

#include <cerrno>
#include <shellapi.h>

namespace tv {

void RealFileSystem::MoveToTrash(const std::string& path) {
    std::wstring from = win32::SystemPath(path);
    if (!FileExists(path)) {
        const DWORD a = ::GetFileAttributesW(from.c_str());
        if (a == INVALID_FILE_ATTRIBUTES) win32::ThrowLastError(path);
        throw IoError("File access denied", SystemReason(EISDIR), std::error_code(EISDIR, std::generic_category()),
                      path);
    }
    // The shell takes no "\\?\" prefix, and a list of names ended by an empty one.
    if (from.rfind(L"\\\\?\\UNC\\", 0) == 0)
        from = L"\\\\" + from.substr(8);
    else if (from.rfind(L"\\\\?\\", 0) == 0)
        from = from.substr(4);
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    if (::SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted && !FileExists(path)) return;
    // The shell's result is its own number, no system error: the reason says what happened.
    throw IoError("File access denied", "it could not be moved to the trash", {}, path);
}

} // namespace tv
