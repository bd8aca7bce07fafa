#pragma once
// The content keys of the files a walk will read next, computed ahead on the hashing workers and handed
// back in the walk's own order. The walk plans its reads as it planned them for ReadAhead (the names
// of one folder, in the order it reads them), says Next() before each, and reads as it always did:
// FileCrc32AsListed, FileCrc32 and FileKeysAsListed find the file just announced already hashed (or
// its failure, raised as the read would have raised it) and wait for it if a worker is still at it. A
// read the plan does not hold is done by the walk itself. Workers never touch the form, the table or
// the rows; with one thread there are no workers and the walk reads exactly as it did without them.
//
// Disks: a spinning disk is read by one worker at a time, in the plan's order, a file read whole into
// the worker's buffer (when it fits) so that its hashing overlaps the reading of the next; a
// solid-state disk by every worker at once; a network or FUSE file system by a few.
#include "core/FileDigest.h"
#include "core/HashPool.h"
#include "platform/Disks.h"
#include "platform/ReadAhead.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tv {

// How the walk reads its files: which function and, for digests, which algorithms.
enum class KeyRead {
    CrcAsListed, // FileCrc32AsListed
    CrcPrefix,   // FileCrc32: the first `size` bytes
    Keys,        // FileKeysAsListed with the walk's algorithms
};

// The reading a list's algorithms ask for: CRC-32 alone reads as FileCrc32AsListed, others as FileKeysAsListed.
inline KeyRead ReadFor(AlgorithmSet algorithms) {
    return algorithms.OnlyCrc32() ? KeyRead::CrcAsListed : KeyRead::Keys;
}

class KeyAhead {
public:
    KeyAhead(FileSystem& fs, std::string folder, HashWorkers& workers, KeyRead read, AlgorithmSet algorithms);
    // Workers still at a file of this walk stop at their next block; no file stays open after.
    ~KeyAhead();
    KeyAhead(const KeyAhead&) = delete;
    KeyAhead& operator=(const KeyAhead&) = delete;

    // The file `name` of the folder (its size from the listing) will be read, after those planned before.
    void Plan(std::string_view name, std::int64_t size);
    // The next planned file is about to be read.
    void Next();

    // Files hashed ahead of the walk at most; their keys are all that is kept of them.
    static constexpr std::size_t MaxAhead = 256;
    // What the workers of one walk hold of the files they read, besides each thread's read block (1 MiB,
    // through which a big BLAKE3 file's pieces are read and hashed at once): a spinning disk's file that
    // fits its worker's share is read whole before it is hashed. With at most 16 threads, reads in flight
    // stay within 64 MiB whatever the number of files.
    static constexpr std::size_t BufferBudget = std::size_t{24} << 20;
    // Readers at once on a network or FUSE file system.
    static constexpr unsigned NetworkReaders = 4;

    struct State;

private:
    ReadAhead ahead_;              // one thread: the file system's hints, as without workers
    std::shared_ptr<State> state_; // workers: the plan and the keys computed ahead
};

// Plans a walk's files a window ahead of it rather than all at once, so that a walk of a million files
// never holds the whole plan: `planStep(n)` plans the file of the walk's step `n` if that step reads one,
// and Reach(n) comes before step n's Next(). Steps are planned in order, each once.
class PlanWindow {
public:
    PlanWindow(std::size_t steps, std::function<void(std::size_t)> planStep) : steps_(steps), plan_(std::move(planStep)) {}
    void Reach(std::size_t n) {
        if (next_ >= steps_ || next_ > n + Steps / 2) return;
        for (const std::size_t end = std::min(steps_, n + Steps); next_ < end; ++next_)
            plan_(next_);
    }
    // Well past what the workers hash ahead of the walk (KeyAhead::MaxAhead) and what the file system
    // hears of ahead (ReadAhead::WindowFiles).
    static constexpr std::size_t Steps = 4096;

private:
    std::size_t steps_;
    std::function<void(std::size_t)> plan_;
    std::size_t next_ = 0;
};

// For the reading functions: the keys of the file the walk announced last, when it is this one read this
// way; a failure of its reading is raised here. Nothing otherwise (the caller reads it itself).
std::optional<FileKeys> TakeHashedAhead(const std::string& path, std::int64_t size, KeyRead read,
                                        AlgorithmSet algorithms);

} // namespace tv
