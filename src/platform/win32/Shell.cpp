#include "platform/win32/Shell.h"

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/win32/WideText.h"

#include <shellapi.h>

namespace tv::win32 {

namespace {

std::wstring WideOrEmpty(const std::string& text) {
    try {
        return Widen(text);
    } catch (const IoError&) {
        return std::wstring();
    }
}

std::string Folder(UINT (*get)(LPWSTR, UINT)) {
    wchar_t buf[MAX_PATH + 1];
    const UINT n = get(buf, MAX_PATH + 1);
    return n > 0 && n <= MAX_PATH ? Narrow(std::wstring_view(buf, n)) : std::string();
}

UINT SystemFolder(LPWSTR buf, UINT size) {
    return ::GetSystemDirectoryW(buf, size);
}
UINT WindowsFolder(LPWSTR buf, UINT size) {
    return ::GetWindowsDirectoryW(buf, size);
}

} // namespace

bool ShellOpen(const std::string& target, const std::string& workingFolder) {
    const std::wstring what = WideOrEmpty(target), where = WideOrEmpty(workingFolder);
    if (what.empty()) return false;
    // Values above 32 mean the handler was started.
    return reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", what.c_str(), nullptr,
                                                     where.empty() ? nullptr : where.c_str(), SW_SHOWNORMAL)) > 32;
}

std::string TextEditorPath() {
    for (const std::string& folder : {Folder(SystemFolder), Folder(WindowsFolder)}) {
        if (folder.empty()) continue;
        const std::string path = JoinPath(folder, "notepad.exe");
        const DWORD a = ::GetFileAttributesW(WideOrEmpty(path).c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0) return path;
    }
    return "notepad.exe"; // left to the system's search
}

bool OpenInTextEditor(const std::string& path) {
    const std::wstring editor = WideOrEmpty(TextEditorPath());
    const std::wstring argument = L"\"" + WideOrEmpty(path) + L"\"";
    return reinterpret_cast<INT_PTR>(
               ::ShellExecuteW(nullptr, L"open", editor.c_str(), argument.c_str(), nullptr, SW_SHOWNORMAL)) > 32;
}

std::string ProgramFilePath() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return std::string();
        if (n < buf.size()) return Narrow(std::wstring_view(buf.data(), n));
        buf.resize(buf.size() * 2);
    }
}

} // namespace tv::win32
