#include "platform/Process.h"

#include <unistd.h>
#ifdef __GLIBC__
#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#endif

namespace tv {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void UseUtf8Console() {}

long ProcessId() {
    return static_cast<long>(::getpid());
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void KeepFreedMemory(bool largeBlocks) {
#ifdef __GLIBC__
    // The heap's free top is kept up to 256 MiB. With large blocks, those below 64 MiB come from the heap,
    // where a freed one is taken again, not from a mapping of their own that goes back to the system.
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
    if (!largeBlocks) return;
    ::mallopt(M_MMAP_THRESHOLD, 64 << 20);
    // The heap's first 48 MiB are taken now and given back at once: they stay the heap's free top, asked
    // for huge pages where the system gives them on request, so the run touches them a few 2 MiB pages at
    // a time instead of a page fault per 4 KiB. Nothing is touched (or counted as used) before the run
    // needs it.
    constexpr std::size_t Room = std::size_t{48} << 20, Huge = std::size_t{2} << 20;
    if (void* room = std::malloc(Room)) {
        const auto at = reinterpret_cast<std::uintptr_t>(room);
        const std::uintptr_t begin = (at + Huge - 1) & ~(Huge - 1), end = (at + Room) & ~(Huge - 1);
        if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
        std::free(room);
    }
#else
    (void)largeBlocks;
#endif
}

} // namespace tv
