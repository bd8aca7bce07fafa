#include "platform/win32/WideText.h"

#include "platform/Errors.h"

#include <array>
#include <cwctype>

namespace tv::win32 {

namespace {

[[noreturn]] void ThrowInvalidName(const std::string& path = {}) {
    ThrowError(ERROR_INVALID_NAME, path);
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices in every folder, also with an extension
// ("NUL.txt") or trailing spaces.
bool ReservedDevice(std::string_view part) {
    std::string_view stem = part.substr(0, part.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    std::string upper;
    for (char c : stem)
        upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    static constexpr std::array<std::string_view, 4> plain{"CON", "PRN", "AUX", "NUL"};
    for (std::string_view name : plain)
        if (upper == name) return true;
    if (upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0))
        return upper[3] >= '1' && upper[3] <= '9';
    return false;
}

bool ValidPart(std::string_view part) {
    if (part.empty() || part == "." || part == "..") return true;
    for (char ch : part) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 32 || ch == ':' || ch == '*' || ch == '?' || ch == '"' || ch == '<' || ch == '>' || ch == '|')
            return false;
    }
    // The system drops trailing dots and spaces, so such a name would reach another file.
    if (part.back() == '.' || part.back() == ' ') return false;
    return !ReservedDevice(part);
}

} // namespace

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (n <= 0) ThrowInvalidName();
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view wide) {
    if (wide.empty()) return std::string();
    const int size = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

bool ValidWindowsPath(std::string_view path) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    std::size_t pos = 0;
    // A path already in the long form is taken as the caller wrote it.
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] == '?' && IsSeparator(path[3]))
        pos = 4;
    // A drive prefix "C:" is the one place for a colon.
    if (path.size() >= pos + 2 && path[pos + 1] == ':' &&
        ((path[pos] >= 'A' && path[pos] <= 'Z') || (path[pos] >= 'a' && path[pos] <= 'z')))
        pos += 2;
    while (pos <= path.size()) {
        std::size_t end = pos;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        if (!ValidPart(path.substr(pos, end - pos))) return false;
        pos = end + 1;
    }
    return true;
}

bool ValidWindowsName(std::string_view name) {
    if (name.empty() || name.find('\0') != std::string_view::npos) return false;
    std::size_t pos = 0;
    while (pos <= name.size()) {
        std::size_t end = pos;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        if (!ValidPart(name.substr(pos, end - pos))) return false;
        pos = end + 1;
    }
    return true;
}

std::wstring SystemPath(const std::string& path) {
    if (!ValidWindowsPath(path)) ThrowInvalidName(path);
    std::wstring wide = Widen(path);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) ThrowLastError();
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    if (n == 0) ThrowLastError();
    full.resize(n);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string ErrorText(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "File not found";
    case ERROR_ACCESS_DENIED:
        return "File access denied";
    default:
        return "I/O error " + std::to_string(code);
    }
}

std::string WindowsReason(DWORD code) {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = n != 0 && text ? std::string(text, n) : std::string();
    if (text) ::LocalFree(text);
    // The system's texts end with a full stop and a line end; a Windows without English texts has none.
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason.empty() ? "system error " + std::to_string(code) : reason;
}

void ThrowLastError(const std::string& path) {
    ThrowError(::GetLastError(), path);
}

void ThrowError(DWORD code, const std::string& path) {
    throw IoError(ErrorText(code), WindowsReason(code), std::error_code(static_cast<int>(code), std::system_category()),
                  path);
}

} // namespace tv::win32
