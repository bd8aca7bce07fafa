#pragma once
// A file written whole or not at all (lists, the settings file). The text goes to a new temporary
// file beside the target (a hidden ".tallyvault-N.tmp"); only when all of it is written and on the
// disk does that file take the target's place. Until then the old file stays as it was; a failure or
// an early exit removes the temporary file. Two writes of one file (two windows, the window and the
// command-line tool) take turns: each holds the lock of a hidden ".<name>.tallyvault-lock" beside the
// target from its start until its file is in place, and the later one waits for it (a while, then it
// fails); the lock file goes with the lock, and a killed writer's lock with its process.
#include "platform/FileSystem.h"

#include <memory>
#include <string>
#include <string_view>

namespace tv {

class ReplacingFile {
public:
    ReplacingFile(FileSystem& fs, std::string target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Appends the text as it is.
    void Write(std::string_view text);
    // Appends the text and CR LF.
    void WriteLine(std::string_view text);
    // Writes what is buffered, puts the file on the disk and puts it in the target's place.
    void Commit();
    // Writes what is buffered and puts the file on the disk, keeping it open (and so not taken for a
    // killed write's leftover); Commit then closes it and puts it in place. Files written together take
    // their names together so, once all are written.
    void Seal();

    const std::string& TempPath() const { return temp_; }

private:
    void Flush();

    FileSystem& fs_;
    std::string target_;
    std::string temp_;
    std::unique_ptr<FileLock> lock_;
    std::unique_ptr<OutputFile> out_;
    std::string buffer_;
    bool committed_ = false;
    bool sealed_ = false;
};

} // namespace tv
