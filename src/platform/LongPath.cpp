#include "platform/Paths.h"

#include <filesystem>
#include <system_error>

namespace tv {

std::string ExpandLongPath(const std::string& path) {
    // POSIX file systems keep no short names: the absolute form is the long form.
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(path, ec);
    return ec ? path : abs.lexically_normal().string();
}

} // namespace tv
