#pragma once
// Whole small files read in one go through io_uring: for each file an open, a read and a close, linked,
// the files of a batch handed to the kernel with one system call instead of three a file. Where the
// kernel or the build has no io_uring (or a container refuses it) nothing is read and the caller opens
// and reads each file itself.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tv::posix {

class RingRead {
public:
    // The files a batch holds at most, and the bytes it reads at most.
    static constexpr std::size_t MaxFiles = 64;
    static constexpr std::size_t MaxBytes = std::size_t{4} << 20;

    struct File {
        const char* Name;   // relative to the folder
        std::size_t Want;   // bytes asked for
        std::int64_t Got;   // bytes read, or -errno (open or read refused: the caller retries plainly)
        std::size_t At = 0; // where the bytes start in Bytes()
    };

    RingRead();
    ~RingRead();
    RingRead(const RingRead&) = delete;
    RingRead& operator=(const RingRead&) = delete;

    // Whether batches can be read here (set up on first use; false for good once refused).
    bool Usable();
    // Reads every file of `files` (at most MaxFiles, their Want at most MaxBytes together) of the folder
    // `dir` into a new buffer. False when the batch could not be handed over: then no file was read.
    // `cachedOnly`: a file whose bytes are not all in the page cache is not waited for (Got -EAGAIN, or
    // short).
    bool Read(int dir, std::vector<File>& files, bool cachedOnly = false);
    // The bytes of the last batch; they stay while a holder keeps the pointer.
    const std::shared_ptr<std::vector<unsigned char>>& Bytes() const { return bytes_; }

private:
    struct Ring;
    std::unique_ptr<Ring> ring_;
    bool refused_ = false;
    std::shared_ptr<std::vector<unsigned char>> bytes_;
};

} // namespace tv::posix
