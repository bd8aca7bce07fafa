#include "support/Shell.h"

#include <cstdio>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
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

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

#ifndef _WIN32
pid_t StartProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
                   const std::string& errPath) {
    // Everything the child needs is made before the fork: between fork() and exec() it calls no
    // allocator, which another thread of this process may have held at the fork.
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const char* errTo = errPath.empty() ? "/dev/null" : errPath.c_str();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int err = ::open(errTo, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = ::open("/dev/null", O_WRONLY);
        if (err < 0 || null < 0 || ::dup2(err, 2) < 0 || ::dup2(null, 1) < 0) ::_exit(126);
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(126);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}
#endif

} // namespace tv::test
