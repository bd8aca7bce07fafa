#pragma once
// Where the settings file lives: beside the program when the program's folder can be written,
// otherwise in the user's configuration folder. An installed program (one in the folder the
// programs are installed to) always uses the configuration folder, even when run as root: an
// installed program folder holds no user's settings.
#include "platform/BuildInfo.h"

#include <string>

namespace tv {

inline constexpr const char* SettingsFileName = "Tallyvault.ini";

// `programPath` is the program file's full path. `configHome` is $XDG_CONFIG_HOME and `home` is $HOME
// (either may be empty); `installedBinDir` is the folder the programs are installed to.
std::string SettingsFilePath(const std::string& programPath, const std::string& configHome, const std::string& home,
                             const std::string& installedBinDir = buildinfo::BinDir);

// The same with the process's own environment.
std::string SettingsFilePath(const std::string& programPath);

// True when files can be created in the folder.
bool FolderWritable(const std::string& folder);

} // namespace tv
