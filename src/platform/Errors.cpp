// The error texts the program shows for a system error number, the same on every platform; only the
// system's own reason (SystemReason) is the platform's.
#include "platform/Errors.h"

#include <cerrno>
#include <string>

namespace tv {

IoError IoErrorFromErrno(int err, std::string path) {
    const std::error_code code(err, std::generic_category());
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return IoError("File not found", SystemReason(err), code, std::move(path));
    case EACCES:
    case EPERM:
    case EISDIR:
        return IoError("File access denied", SystemReason(err), code, std::move(path));
    default:
        return IoError("I/O error " + std::to_string(err), SystemReason(err), code, std::move(path));
    }
}

std::string CauseLine(const IoError& e) {
    if (e.Path().empty()) return e.Reason();
    if (e.Reason().empty()) return e.Path();
    return e.Path() + ": " + e.Reason();
}

} // namespace tv
