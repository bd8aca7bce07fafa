#pragma once
// Names a system refuses. NTFS holds names that Windows will not open (a device name such as AUX.txt, a
// name ending in "." or " "), made through "\\?\" paths, a network share or Linux; a list made elsewhere
// may name them too. Such a file is passed over and named, never opened, and never made by a repair.
#include "platform/Errors.h"

#include <string>
#include <string_view>
#include <system_error>

namespace tv {

// Whether a name relative to a folder can be a file's name on this system: on Windows no part of it may
// be a device name (CON, AUX.txt, COM1), end in "." or " ", or hold a character NTFS keeps for itself
// (: * ? " < > |); on POSIX every name can.
bool NameCanExist(std::string_view name);

// The system refused the name itself (on Windows: ERROR_INVALID_NAME). No name is refused so on POSIX.
bool IsInvalidName(const std::error_code& code);
inline bool IsInvalidName(const IoError& e) {
    return IsInvalidName(e.Code());
}

// The failure the system gives for a name it refuses, concerning `path` (IsInvalidName holds for it).
IoError InvalidNameError(const std::string& path);

} // namespace tv
