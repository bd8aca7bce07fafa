#pragma once
// Names are UTF-8 inside the program and UTF-16 at every Win32 call. A path reaches the system in its
// long form ("\\?\C:\...", "\\?\UNC\server\share\..."), so the 260-character limit does not apply,
// and only after the checks that the long form skips: device names (CON, NUL, COM1, ...) and the
// characters NTFS keeps for itself (: * ? " < > |) are refused as invalid names, never opened.
#include <string>
#include <string_view>

#include <windows.h>
// The system's A/W switch macros would rename the FileSystem members of the same names.
#undef CopyFile
#undef DeleteFile
#undef ReplaceFile
#undef MoveFile

namespace tv::win32 {

// UTF-8 to UTF-16; text that is not UTF-8 raises IoError "I/O error 123" (an invalid name).
std::wstring Widen(std::string_view utf8);
// UTF-16 to UTF-8 (an unpaired surrogate becomes U+FFFD).
std::string Narrow(std::wstring_view wide);

// Whether a path may name a file: no reserved device name and no reserved character in any part.
bool ValidWindowsPath(std::string_view path);
// The same for a name relative to a folder (no drive prefix: a colon anywhere is refused).
bool ValidWindowsName(std::string_view name);

// The absolute "\\?\" form of a path for the wide calls; an invalid path raises IoError "I/O error 123".
std::wstring SystemPath(const std::string& path);

// The runtime's text of a Win32 error code ("File not found", "File access denied", "I/O error N").
std::string ErrorText(DWORD code);

// The system's reason for a Win32 error code in English words ("The system cannot find the file specified").
std::string WindowsReason(DWORD code);

// IoError with the text of GetLastError(), the code kept, and the path it concerns.
[[noreturn]] void ThrowLastError(const std::string& path = {});
// IoError for the Win32 error `code` and the path it concerns.
[[noreturn]] void ThrowError(DWORD code, const std::string& path);

} // namespace tv::win32
