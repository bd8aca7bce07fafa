#pragma once
// The process's own command line and program file, as UTF-8 text on every platform.
#include <string>
#include <vector>

namespace tv {

// The arguments after the program name. On POSIX these are argv's bytes; on Windows the wide command
// line is read again, as argv there holds the ANSI code page's lossy form of the names.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Prepares standard output and error for UTF-8 text (the Windows console's code page); nothing on POSIX.
void UseUtf8Console();

// Standard error is a terminal (a console on Windows), not a file or a pipe.
bool StandardErrorIsTerminal();

} // namespace tv
