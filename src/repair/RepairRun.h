#pragma once
// What one complement search or drop holds while it matches files: the lookup over its entries and
// the files it could not read. An unreadable file (locked, no access, vanished while read) or a folder
// that cannot be listed is passed over so the finds made so far and the rest still count; the command
// names the first such file or folder in the error box when it is done.
#include "app/TallyvaultMain.h"
#include "core/EntryNames.h"
#include "platform/Errors.h"
#include "repair/ContentIndex.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tv {

struct TForm1::TRepairRun {
    ContentIndex Index;
    std::string FirstError;
    std::int32_t Unreadable = 0;
    // The names of all entries, to know a file the list names (never a duplicate), and their folder.
    std::optional<NameIndex> Names;
    std::string BaseFolder;
    std::string FirstCause; // the first error's path and the system's reason, for the command-line tool

    // Whether an entry names the file at `path` as its own file.
    bool Listed(const std::string& path) const;

    // Notes a file or folder that could not be read.
    void Note(const IoError& e, const std::string& path);
    // Looks the file up; an unreadable file is noted and matches nothing.
    std::vector<std::int32_t> Find(FileSystem& files, const std::string& path,
                                   std::optional<std::int64_t> knownSize = {});
    // The error box for the files passed over, when there were any.
    void Report(Ui& errorBox) const;
};

} // namespace tv
