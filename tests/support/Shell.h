#pragma once
// Runs a shell command and collects its standard output and exit status.
#include <cstddef>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/types.h>
#endif

namespace tv::test {

struct ShellResult {
    std::string out;
    int status = -1; // the exit status, -1 when the command did not exit normally
};

ShellResult Shell(const std::string& command);

// How many times `part` stands in `text`, without overlaps.
std::size_t Count(const std::string& text, const std::string& part);

// A text in single quotes for the shell.
std::string ShellQuote(const std::string& s);

#ifndef _WIN32
// Starts `program` with `args` in the background: in `folder` (if not empty), its standard output
// going nowhere and its standard error to the file `errPath` (nowhere if empty). The child exits 126
// when it cannot be set up and 127 when the program cannot be run.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder = {},
                   const std::string& errPath = {});
#endif

} // namespace tv::test
