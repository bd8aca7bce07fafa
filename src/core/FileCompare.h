#pragma once
#include "platform/FileSystem.h"

#include <string>

namespace tv {

// True when both files can be read and hold the same bytes. Two files with the same CRC-32 may still
// differ; nothing is deleted as a duplicate on the CRC alone.
bool FilesIdentical(FileSystem& fs, const std::string& a, const std::string& b);

} // namespace tv
