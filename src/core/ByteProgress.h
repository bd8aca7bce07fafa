#pragma once
// How a loop that reads a file tells whoever shows progress how far into the file it is, without
// knowing who that is. The window's logic installs a sink for the length of a command; a reading loop
// (the CRC, a digest, ...) opens a ReadingFile for each file and notes each block it read. With no
// sink installed the notes cost a test of one thread-local pointer.
#include <cstdint>

namespace tv {

class ByteProgressSink {
public:
    virtual ~ByteProgressSink() = default;
    // A file of `listedSize` bytes (as listed before the read; -1 when not known) is about to be read.
    virtual void FileBegun(std::int64_t listedSize) = 0;
    // `bytes` more of it were read.
    virtual void BytesRead(std::int64_t bytes) = 0;
    // The file's reading ended, whole or not (it may have failed, shrunk or grown on the way).
    virtual void FileEnded() = 0;
};

// Installs a sink on this thread while it lives; the one it replaced comes back after.
class ByteProgressScope {
public:
    explicit ByteProgressScope(ByteProgressSink* sink);
    ~ByteProgressScope();
    ByteProgressScope(const ByteProgressScope&) = delete;
    ByteProgressScope& operator=(const ByteProgressScope&) = delete;

private:
    ByteProgressSink* previous_;
};

// One file's reading, from opening to its end on every path out of the reading loop.
class ReadingFile {
public:
    explicit ReadingFile(std::int64_t listedSize);
    ~ReadingFile();
    ReadingFile(const ReadingFile&) = delete;
    ReadingFile& operator=(const ReadingFile&) = delete;
    void Read(std::int64_t bytes) {
        if (sink_) sink_->BytesRead(bytes);
    }

private:
    ByteProgressSink* sink_;
};

} // namespace tv
