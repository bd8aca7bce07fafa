#pragma once
// The shell services a Windows front end offers the window logic.
#include <string>

namespace tv::win32 {

// Opens a document, folder or web address with its default handler; false when nothing was started.
bool ShellOpen(const std::string& target, const std::string& workingFolder);

// Notepad from the system folder, or from the Windows folder where an older system keeps it.
std::string TextEditorPath();

// Opens a file in the plain text editor; false when it could not be started.
bool OpenInTextEditor(const std::string& path);

// The program file's full path.
std::string ProgramFilePath();

} // namespace tv::win32
