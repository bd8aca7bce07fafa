#pragma once
// The plain files of a whole folder tree, named by their paths relative to its top, and the names a
// list's folder holds that the list does not name. The walk keeps a stack of folders still to list,
// not a call per level, so a deep tree cannot exhaust the stack, and it holds one folder's listing at
// a time besides the files found.
#include "core/Entry.h"
#include "platform/FileSystem.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tv {

// A file of the program's own: a replacing write's temporary file (".tallyvault-N.tmp") and its lock
// (".<name>.tallyvault-lock"), or a repair's plan and its records ("<name>.tallyvault-plan",
// "<name>.tallyvault-plan.N"). Never listed nor reported.
bool IsProgramFile(std::string_view name);

// A relative name with a folder in it.
bool InSubFolder(std::string_view relName);

struct PassedOver {
    std::string Path;   // relative to the top, native separators
    std::string Reason; // the system's reason
};

struct FolderTree {
    // Name: the path relative to the top, native separators ("/" on POSIX, "\" on Windows).
    std::vector<FolderEntry> Files;
    // Sub-folders that could not be listed.
    std::vector<PassedOver> Unreadable;
};

// The key of a folder given relative to a top ("" for the top itself): its name as the file system compares
// names, with "/" between its parts.
std::string FolderKey(std::string_view rel);

// Folders listed already, by FolderKey: a walk of the tree takes a folder's listing from here instead of
// listing it again, and leaves it empty.
struct TakenListings {
    std::unordered_map<std::string, std::vector<FolderEntry>> ByFolder;
    // Folders whose listing failed, with the system's reason: the walk passes them over as its own failure.
    std::unordered_map<std::string, std::string> Refused;
};

// Every plain file beneath `top`. Left out: hidden and system files and folders, devices, pipes and
// sockets, the program's own files, and every link (symbolic link, junction, mount point): a link is
// never followed, so a loop is harmless and nothing outside `top` is reached. A folder on another file
// system (a mount point) is not entered. A sub-folder that cannot be listed is recorded and passed
// over; `top` itself that cannot be listed raises IoError. `pace` runs now and then. The files come in
// no particular order. A folder whose listing is in `taken` is not listed again. With `namesOnly` the
// folders are listed for names and kinds only (ListFolderKinds): the files' sizes are left 0. Room is
// made for `expected` files at the start (a list's entry count).
FolderTree ListTree(FileSystem& fs, const std::string& top, const std::function<void()>& pace,
                    TakenListings* taken = nullptr, bool namesOnly = false, std::size_t expected = 0);

// The plain files of the list's folder (of its tree when `files` came from ListTree) that no entry of
// the table names and no entry found as its same file, leaving out the list itself, the program's own
// files and hidden files. Names only: nothing is read. `files` are relative to `folder`, in any order;
// the answer is ordered by name.
std::vector<std::string> UnlistedFiles(const TEntryTable& t, std::int32_t n, const std::string& folder,
                                       const std::string& listPath, const std::vector<FolderEntry>& files,
                                       const std::function<void()>& pace);

} // namespace tv
