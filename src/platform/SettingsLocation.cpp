#include "platform/SettingsLocation.h"

#include "platform/Paths.h"

#include <cstdlib>
#include <unistd.h>

namespace tv {

bool FolderWritable(const std::string& folder) { return !folder.empty() && ::access(folder.c_str(), W_OK) == 0; }

std::string SettingsFilePath(const std::string& programPath, const std::string& configHome, const std::string& home) {
    const std::string beside = ExtractFileDir(programPath);
    if (FolderWritable(beside)) return JoinPath(beside, SettingsFileName);
    // An XDG_CONFIG_HOME that is not absolute is to be ignored.
    std::string base = (!configHome.empty() && configHome.front() == '/') ? configHome
                       : !home.empty()                                   ? JoinPath(home, ".config")
                                                                         : std::string("/tmp");
    return JoinPath(JoinPath(base, "tallyvault"), SettingsFileName);
}

std::string SettingsFilePath(const std::string& programPath) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    return SettingsFilePath(programPath, config ? config : "", home ? home : "");
}

} // namespace tv
