// The settings file lies beside the program, where the program's folder can be written (a copy
// unpacked anywhere); under "Program Files" it goes to the user's roaming application data.
#include "platform/SettingsLocation.h"

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/win32/WideText.h"

#include <filesystem>

namespace tv {

namespace {

std::string Environment(const wchar_t* name) {
    wchar_t buf[32768];
    const DWORD n = ::GetEnvironmentVariableW(name, buf, static_cast<DWORD>(std::size(buf)));
    return n > 0 && n < std::size(buf) ? win32::Narrow(std::wstring_view(buf, n)) : std::string();
}

// "C:\x" or "\\server\share"; not "x", "\x" (the current drive's root) or "C:x".
bool Absolute(const std::string& path) {
    try {
        return std::filesystem::path(win32::Widen(path)).is_absolute();
    } catch (const IoError&) {
        return false;
    }
}

} // namespace

bool FolderWritable(const std::string& folder) {
    // Access rights on Windows are lists that no mode bits summarise: try it, with a probe file that
    // the system removes when it is closed.
    if (folder.empty()) return false;
    try {
        const std::wstring probe =
            win32::SystemPath(JoinPath(folder, ".tallyvault-probe-" + std::to_string(::GetCurrentProcessId())));
        HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        ::CloseHandle(h);
        return true;
    } catch (const IoError&) {
        return false;
    }
}

// `configHome` is %APPDATA% and `home` is %USERPROFILE% here.
// The program has no installed folder of its own here: `installedBinDir` is not consulted.
std::string SettingsFilePath(const std::string& programPath, const std::string& configHome, const std::string& home,
                             const std::string&) {
    const std::string beside = ExtractFileDir(programPath);
    if (FolderWritable(beside)) return JoinPath(beside, SettingsFileName);
    // A relative %APPDATA% would put the file wherever the program was started from: ignored.
    const std::string base = Absolute(configHome) ? configHome
                             : !home.empty()      ? JoinPath(JoinPath(home, "AppData"), "Roaming")
                                                  : beside;
    return JoinPath(JoinPath(base, "Tallyvault"), SettingsFileName);
}

std::string SettingsFilePath(const std::string& programPath) {
    return SettingsFilePath(programPath, Environment(L"APPDATA"), Environment(L"USERPROFILE"));
}

} // namespace tv
