#pragma once
#include "platform/FileSystem.h"

#include <string>

namespace tv {

// True when both files hold the same bytes. Two files with the same CRC-32 may still differ; nothing is
// deleted as a duplicate on the CRC alone. A file that cannot be read raises IoError: the command ends
// with the error box and nothing is deleted, rather than going on as if there were no duplicate.
bool FilesIdentical(FileSystem& fs, const std::string& a, const std::string& b);

// True when the file `b` begins with every byte of the file `a`, as a copy of `b` cut off on the way
// does. A file that cannot be read raises IoError.
bool FileIsPrefixOf(FileSystem& fs, const std::string& a, const std::string& b);

} // namespace tv
