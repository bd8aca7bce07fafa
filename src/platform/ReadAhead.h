#pragma once
// Keeps the disk busy while a run of files of one folder is read one after the other: as the run
// reaches a file, the file system hears which files come next, up to a window ahead, so that their
// reads can be queued while the current one is checked. The caller stays single-threaded and reads
// each file as before; a file system that ignores the hint reads exactly as without it.
#include "platform/FileSystem.h"
#include "platform/PlannedFiles.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tv {

class ReadAhead {
public:
    ReadAhead(FileSystem& fs, std::string folder) : fs_(fs), folder_(std::move(folder)) {}

    // The file `name` of the folder (its size from the listing) will be read, after those planned before.
    void Plan(std::string_view name, std::int64_t size);
    // The next planned file is about to be read: the hints reach the window beyond it.
    void Next();

    // At most this many files and bytes are hinted ahead of the file being read.
    static constexpr std::size_t WindowFiles = 48;
    static constexpr std::int64_t WindowBytes = std::int64_t{16} << 20;
    // What a hinted file of `size` bytes counts in the window: a large file is read ahead by the kernel as
    // it goes, so only its start is worth asking for early.
    static constexpr std::int64_t Counted(std::int64_t size) { return size < WindowBytes / 4 ? size : WindowBytes / 4; }

private:
    FileSystem& fs_;
    std::string folder_;
    PlannedFiles plan_;
    std::size_t reading_ = 0;      // files of the plan handed to the reader so far
    std::size_t hinted_ = 0;       // files of the plan the file system has heard of
    std::int64_t hintedBytes_ = 0; // bytes of the hinted files not yet handed to the reader
};

} // namespace tv
