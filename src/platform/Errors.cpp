// The error texts the program shows for a system error number, the same on every platform; only the
// system's own reason (SystemReason) is the platform's.
#include "platform/Errors.h"

#include <cerrno>
#include <string>

namespace tv {

IoError IoErrorFromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return IoError("File not found", SystemReason(err));
    case EACCES:
    case EPERM:
    case EISDIR:
        return IoError("File access denied", SystemReason(err));
    default:
        return IoError("I/O error " + std::to_string(err), SystemReason(err));
    }
}

} // namespace tv
