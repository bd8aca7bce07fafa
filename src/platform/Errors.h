#pragma once
// The runtime's two failures. Either one ends the command in progress; the command's top level
// shows what() in the error box, which adds the closing full stop.
#include <stdexcept>
#include <string>

namespace tv {

// A file operation failed. what() is the runtime's text: "File not found", "File access denied",
// "Read beyond end of file", "I/O error 5", ...
class IoError : public std::runtime_error {
public:
    explicit IoError(const std::string& text) : std::runtime_error(text) {}
};

// A number field of a list is not a number. what() is "'" + field + "' is not a valid integer value".
class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(const std::string& field)
        : std::runtime_error("'" + field + "' is not a valid integer value") {}
};

// The runtime's text for an operating-system error number.
IoError IoErrorFromErrno(int err);

} // namespace tv
