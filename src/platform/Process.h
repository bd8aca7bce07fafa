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

// This process's number: a child made by fork() has another one, and none of its parent's threads.
long ProcessId();

// Standard error is a terminal (a console on Windows), not a file or a pipe.
bool StandardErrorIsTerminal();

// Keeps memory the process frees for its own later use instead of handing it back to the system: a run
// over a hundred thousand entries frees and takes again tens of megabytes, and memory taken anew from
// the system costs a page fault per page at its first touch. For a short-lived process; nothing where
// the C library has no such setting. With `largeBlocks`, blocks of up to 64 MiB (a whole list's text) are
// kept too; that raises the peak of a run whose tables grow in such blocks, so only a run that holds a
// list's text (adding files to it) asks for it.
void KeepFreedMemory(bool largeBlocks);

} // namespace tv
