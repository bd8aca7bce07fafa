#pragma once
// The runtime's two failures. Either one ends the command in progress; the command's top level
// shows what() in the error box, which adds the closing full stop.
#include <stdexcept>
#include <string>
#include <utility>

namespace tv {

// A file operation failed. what() is the runtime's text: "File not found", "File access denied",
// "Read beyond end of file", "I/O error 5", ...
// Reason() is the system's own reason in words ("No space left on device"), empty when none is known.
class IoError : public std::runtime_error {
public:
    explicit IoError(const std::string& text, std::string reason = {})
        : std::runtime_error(text), reason_(std::move(reason)) {}
    const std::string& Reason() const { return reason_; }

private:
    std::string reason_;
};

// A number field of a list is not a number. what() is "'" + field + "' is not a valid integer value".
class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(const std::string& field)
        : std::runtime_error("'" + field + "' is not a valid integer value") {}
};

// The runtime's text for an operating-system error number.
IoError IoErrorFromErrno(int err);

// The system's reason for an operating-system error number, in English words.
std::string SystemReason(int err);

} // namespace tv
