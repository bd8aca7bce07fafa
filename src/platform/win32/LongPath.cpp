#include "platform/Paths.h"

#include "platform/Errors.h"
#include "platform/win32/WideText.h"

namespace tv {

namespace {

// The path without the "\\?\" prefix, as the user writes it and the window shows it.
std::wstring UserForm(std::wstring path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

} // namespace

std::string ExpandLongPath(const std::string& path) {
    // A path given by a shortcut or an old program may hold 8.3 short names ("PROGRA~1"); the long
    // form names each folder as the user sees it. A path that does not exist keeps its spelling.
    try {
        const std::wstring full = win32::SystemPath(path);
        DWORD n = ::GetLongPathNameW(full.c_str(), nullptr, 0);
        if (n == 0) return win32::Narrow(UserForm(full));
        std::wstring longForm(n, L'\0');
        n = ::GetLongPathNameW(full.c_str(), longForm.data(), n);
        longForm.resize(n);
        return win32::Narrow(UserForm(n ? longForm : full));
    } catch (const IoError&) {
        return path;
    }
}

} // namespace tv
