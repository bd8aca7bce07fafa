#include "support/Shell.h"

#include <cstdio>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace tv::test {

ShellResult Shell(const std::string& command) {
    ShellResult r;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int raw = ::pclose(p);
#ifdef _WIN32
    r.status = raw; // the exit code itself
#else
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    return r;
}

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace tv::test
