#pragma once
// The runtime's two failures. Either one ends the command in progress; the command's top level
// shows what() in the error box, which adds the closing full stop.
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

namespace tv {

// A file operation failed. what() is the runtime's text: "File not found", "File access denied",
// "Read beyond end of file", "I/O error 5", ...
// Reason() is the system's own reason in words ("No space left on device"), empty when none is known.
// Code() is the system's error (errno in the generic category; on Windows a GetLastError() value in
// the system category), empty when the failure is the program's own finding. Path() is the file it
// concerns, empty when not known. The box shows what() alone; the command-line tool adds the rest.
class IoError : public std::runtime_error {
public:
    explicit IoError(const std::string& text, std::string reason = {}, std::error_code code = {}, std::string path = {})
        : std::runtime_error(text), reason_(std::move(reason)), code_(code), path_(std::move(path)) {}
    const std::string& Reason() const { return reason_; }
    const std::error_code& Code() const { return code_; }
    const std::string& Path() const { return path_; }

private:
    std::string reason_;
    std::error_code code_;
    std::string path_;
};

// A number field of a list is not a number. what() is "'" + field + "' is not a valid integer value".
// Line() is the list's line the field came from (1 for the first), 0 when not known.
class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(const std::string& field, long long line = 0)
        : std::runtime_error("'" + field + "' is not a valid integer value"), field_(field), line_(line) {}
    const std::string& Field() const { return field_; }
    long long Line() const { return line_; }

private:
    std::string field_;
    long long line_;
};

// The same error naming `path` when it named no file: a read deep in a file's loop knows no name.
inline IoError NamingPath(const IoError& e, const std::string& path) {
    return e.Path().empty() ? IoError(e.what(), e.Reason(), e.Code(), path) : e;
}

// The runtime's text for an operating-system error number, with the path it concerns.
IoError IoErrorFromErrno(int err, std::string path = {});

// The system's reason for an operating-system error number, in English words.
std::string SystemReason(int err);

// What a kept system error says for the callers that act on it: the file (or a folder of its path) is not
// there, or the name is taken. One test per platform, beside SystemReason.
bool IsNotFound(const std::error_code& code);
bool IsNameTaken(const std::error_code& code);
inline bool IsNotFound(const IoError& e) {
    return IsNotFound(e.Code());
}
inline bool IsNameTaken(const IoError& e) {
    return IsNameTaken(e.Code());
}

// The path and the system's reason on one line for a log or stderr ("PATH: REASON"), the parts not
// known left out; empty when neither is known.
std::string CauseLine(const IoError& e);

} // namespace tv
