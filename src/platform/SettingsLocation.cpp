#include "platform/SettingsLocation.h"

#include "platform/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace tv {

bool FolderWritable(const std::string& folder) {
    return !folder.empty() && ::access(folder.c_str(), W_OK) == 0;
}

namespace {

// Compared as files, so /bin and /usr/bin are one folder where the one links to the other.
bool SameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, ec) && !ec;
}

} // namespace

std::string SettingsFilePath(const std::string& programPath, const std::string& configHome, const std::string& home,
                             const std::string& installedBinDir) {
    const std::string beside = ExtractFileDir(programPath);
    if (FolderWritable(beside) && !SameFolder(beside, installedBinDir)) return JoinPath(beside, SettingsFileName);
    // An XDG_CONFIG_HOME that is not absolute is to be ignored.
    std::string base = (!configHome.empty() && configHome.front() == '/') ? configHome
                       : !home.empty()                                    ? JoinPath(home, ".config")
                                                                          : std::string("/tmp");
    return JoinPath(JoinPath(base, "tallyvault"), SettingsFileName);
}

std::string SettingsFilePath(const std::string& programPath) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    return SettingsFilePath(programPath, config ? config : "", home ? home : "");
}

} // namespace tv
