#pragma once
// Runs a shell command and collects its standard output and exit status.
#include <string>

namespace tv::test {

struct ShellResult {
    std::string out;
    int status = -1; // the exit status, -1 when the command did not exit normally
};

ShellResult Shell(const std::string& command);

// A text in single quotes for the shell.
std::string ShellQuote(const std::string& s);

} // namespace tv::test
