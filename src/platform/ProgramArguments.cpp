#include "platform/Process.h"

#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace tv {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void UseUtf8Console() {}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void KeepFreedMemory(bool largeBlocks) {
#ifdef __GLIBC__
    // The heap's free top is kept up to 256 MiB. With large blocks, those below 64 MiB come from the heap,
    // where a freed one is taken again, not from a mapping of their own that goes back to the system.
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
    if (largeBlocks) ::mallopt(M_MMAP_THRESHOLD, 64 << 20);
#else
    (void)largeBlocks;
#endif
}

} // namespace tv
