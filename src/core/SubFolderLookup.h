#pragma once
// Whether names with a folder in them lead to a file, asked for many names at once. Each folder is
// listed once and its listing answers for all the names asked in it; a folder that is not there answers
// for all of them at once. A look-up of the whole path per name would walk the path again each time.
#include "core/FolderTree.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tv {

class SubFolderLookup {
public:
    // `top` is the folder the names are relative to.
    SubFolderLookup(FileSystem& fs, std::string top);

    // Asks about `nativeName` (native separators, relative to the top) under the caller's `id`. Only the
    // folder is kept, and nothing when it is not there: Answer asks for the name again.
    void Ask(std::int32_t id, std::string_view nativeName);

    struct Found {
        std::int32_t Id;
        std::int64_t Size; // as the folder's listing gave it
        bool IsFile;       // a plain file, not a device, pipe or socket
        bool Listed;       // false: asked of the file system, Size and IsFile not known
    };
    // The names asked that lead to something other than a folder (what FileSystem::FileExists says), those
    // of one folder together, by id within it. `nameOf(id)` gives the name asked under `id` again. A folder that cannot be
    // listed, a name the listing cannot answer ("." or ".." as its
    // last part), and a name the listing misses where names compare without regard to case (the system
    // may still find it under another spelling) are asked of the file system one by one. `pace` runs
    // after each name and each listing. The listings taken go to `keep` when given.
    std::vector<Found> Answer(const std::function<std::string(std::int32_t)>& nameOf,
                              const std::function<void()>& pace, TakenListings* keep = nullptr);

private:
    FileSystem& fs_;
    std::string top_;
    std::vector<std::string> folders_;                   // relative, as first asked
    std::vector<bool> absent_;                           // by index in folders_
    std::unordered_map<std::string, std::uint32_t> ids_; // FolderKey -> index in folders_
    std::vector<std::pair<std::uint32_t, std::int32_t>> asked_; // folder, id
    std::vector<std::int32_t> direct_;                          // ids asked of the file system
};

} // namespace tv
