#pragma once
// What a POSIX folder listing tells of an entry without asking the file system again: its kind from the
// listing's own type field (dirent's d_type). Only a link, and an entry whose type the file system leaves
// out (DT_UNKNOWN), is looked at, relative to the open folder.
#include "platform/FileSystem.h"

#include <functional>
#include <string>

namespace tv {

// Calls `each(folderFd, name, type)` for every entry of the folder `path` but "." and "..", with the folder
// open as `folderFd` and the listing's type field, and `whileListing` (when set) now and then. IoError when
// the folder cannot be opened.
void ForEachListed(const std::string& path, const std::function<void()>& whileListing,
                   const std::function<void(int folderFd, const char* name, unsigned char type)>& each);

// Sets the kind of the entry `name` of the folder open as `folderFd` in `out` (IsFolder, IsLink,
// IsSpecial, IsHidden as ListFolder sets them; Size 0) from its listed `type`; a link is looked through.
// False when the entry is gone, or is a link that leads nowhere.
bool KindFromListing(int folderFd, const char* name, unsigned char type, FolderEntry& out);

} // namespace tv
