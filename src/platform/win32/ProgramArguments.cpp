#include "platform/Process.h"

#include "platform/win32/WideText.h"

#include <shellapi.h>

namespace tv {

std::vector<std::string> ProgramArguments(int, char**) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> out;
    if (!wide) return out;
    for (int i = 1; i < count; ++i)
        out.push_back(win32::Narrow(wide[i]));
    ::LocalFree(wide);
    return out;
}

void UseUtf8Console() {
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
}

void KeepFreedMemory(bool) {}

long ProcessId() {
    return static_cast<long>(::GetCurrentProcessId());
}

bool StandardErrorIsTerminal() {
    // A console answers its mode; the NUL device is a character device too, but has none.
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return err != nullptr && err != INVALID_HANDLE_VALUE && ::GetFileType(err) == FILE_TYPE_CHAR &&
           ::GetConsoleMode(err, &mode) != 0;
}

} // namespace tv
