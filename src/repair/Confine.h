#pragma once
// Where a change of the repair may happen: the folder a path is confined beneath, and the failures of
// single entries, collected so that one failed file never stops the others.
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Ui.h"

#include <optional>
#include <string>
#include <vector>

namespace tv {

// The part of `path` below `root` ("/"-separated), or nothing when `path` does not lie below it.
std::optional<std::string> RelativeBeneath(const std::string& root, const std::string& path);

// A confined place: the folder taken as given and the path below it.
struct ConfinedPath {
    std::string Root;
    std::string Rel;
};

// A path beneath the first of `roots` that holds it; else beneath its own folder.
ConfinedPath ConfineTo(const std::vector<std::string>& roots, const std::string& path);

// Makes the folders between `root` and the file `rel` that do not exist yet (`rel` stays beneath it).
void MakeFoldersBeneath(FileSystem& fs, const std::string& root, const std::string& rel);

// The files that could not be changed, each with the runtime's text and the system's reason.
class EntryFailures {
public:
    void Add(const IoError& e, const std::string& name);
    // A change that brings `source` to `target` failed: the line names the path the error concerns (the
    // target unless the error names another), the system's reason, and the ends of the change it is not.
    void Add(const IoError& e, const std::string& target, const std::string& source);
    bool Empty() const { return lines_.empty(); }
    std::size_t Count() const { return count_; }
    // One error box naming every failed file (the first ones, when there are many).
    void Report(Ui& ui) const;

private:
    std::vector<std::string> lines_;
    std::size_t count_ = 0;
};

} // namespace tv
