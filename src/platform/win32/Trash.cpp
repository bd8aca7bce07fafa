// Deletion to the recycle bin through the shell's file operation: with undo, so the user can restore
// the file, and without a question or a progress window.
#include "platform/FileSystem.h"
#include "platform/win32/WideText.h"

#include "platform/Errors.h"

#include <shellapi.h>

namespace tv {

bool RealFileSystem::MoveToTrash(const std::string& path) {
    if (!FileExists(path)) return false;
    std::wstring from;
    try {
        from = win32::SystemPath(path);
    } catch (const IoError&) {
        return false;
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
    return ::SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted && !FileExists(path);
}

} // namespace tv
