#pragma once
// Path and name helpers. Names read from lists may use "\" as the folder separator; on POSIX it
// becomes "/" when a name is joined to a folder. Comparisons ignore ASCII letter case, as lists
// come from systems whose file names do.
#include <optional>
#include <string>
#include <string_view>

namespace tv {

#ifdef _WIN32
inline constexpr char PathDelim = '\\';
#else
inline constexpr char PathDelim = '/';
#endif

bool IsPathDelim(char c);

// folder + one separator + name; no second separator after a folder that already ends in one.
std::string JoinPath(std::string_view folder, std::string_view name);

// A path given below `root` with "/" (or "\" on Windows) between its parts, in the system's own spelling:
// what an error about a confined change names.
std::string JoinBeneath(std::string_view root, std::string_view rel);

// folder + one separator + a real file name, taken as it is ("\" stays part of the name).
std::string FolderFile(std::string_view folder, std::string_view name);

// A name from a list in the native form ("\" becomes "/" on POSIX).
std::string NativeName(std::string_view listName);

// The name part of a path (after the last separator).
std::string ExtractFileName(std::string_view path);

// The folder part without its trailing separator; a root folder keeps its separator.
std::string ExtractFileDir(std::string_view path);

// The folder part including the trailing separator.
std::string ExtractFilePath(std::string_view path);

// From the last "." of the name part on, dot included; empty when there is none.
std::string ExtractFileExt(std::string_view path);

// ASCII letters a-z mapped to capitals; every other byte stays.
std::string UpperAscii(std::string_view s);

// Equal without regard to ASCII letter case; on Windows "\" and "/" are one separator.
bool SameText(std::string_view a, std::string_view b);

// Equal as the file system compares names and paths: byte for byte where it tells letter case apart
// (POSIX: "A.BIN" and "a.bin" are two files), without regard to ASCII case where it does not (Windows).
bool SameFileName(std::string_view a, std::string_view b);

// A key under which names equal by SameFileName meet (the name itself, or upper-cased on Windows with
// "/" spelt "\").
std::string FileNameKey(std::string_view name);

// The extension test of the program: the upper-cased extension is a non-empty substring of `joined`
// (for example ".CRC.CSV.SFV").
bool ExtensionIn(std::string_view path, std::string_view joined);

// A name as a list spells it, in one spelling: "." parts and repeated separators are dropped, so that
// "./a.bin", "sub//b.bin" and "sub/./b.bin" name "a.bin", "sub/b.bin" and "sub/b.bin" as the file
// system does. Separators that begin the name (an absolute or a network name) stay as they are, and so
// does a name that would become empty ("./"). "\" is a separator unless `literalBackslash` (a digest
// list's escaped name); with `cp932` the second byte of a double-byte character is never one.
std::string TidyListName(std::string_view name, bool literalBackslash, bool cp932);
// The same in place, without a copy for the many names that are in that spelling already.
void TidyListNameInPlace(std::string& name, bool literalBackslash, bool cp932);

// An absolute name in the native form: "/..." on POSIX; on Windows a drive with its root ("C:\...",
// "C:/...") or a network name ("\\server\share\..."). A list's absolute name is looked up where it
// points, as sha256sum -c does, and never made a target of a change.
bool IsAbsoluteName(std::string_view nativeName);

// The path relative to `folder` when `path` lies beneath it (compared as SameFileName compares, part by
// part); nothing otherwise. "/data/sub/a.bin" beneath "/data/" is "sub/a.bin".
std::optional<std::string> NameBeneath(std::string_view path, std::string_view folder);

// A list entry name that would leave the list's folder: absolute, a drive or root prefix, or a ".."
// component (after "\" became "/").
bool NameEscapesFolder(std::string_view listName);

// The absolute, long form of a path (a command-line or dropped path may be relative, or on Windows
// hold 8.3 short names); the path as given when it cannot be resolved.
std::string ExpandLongPath(const std::string& path);

} // namespace tv
