#include "core/SubFolderLookup.h"

#include "platform/Errors.h"
#include "platform/Paths.h"

#include <algorithm>

namespace tv {

namespace {

std::size_t LastDelim(std::string_view name) {
    for (std::size_t i = name.size(); i > 0; --i)
        if (IsPathDelim(name[i - 1])) return i - 1;
    return std::string_view::npos;
}

// The last part of a name that a folder's listing can answer: a file's own name, not "." or "..", and no
// NUL (which no path holds).
bool ListingAnswers(std::string_view name, std::size_t cut) {
    const std::string_view last = name.substr(cut + 1);
    return !last.empty() && last != "." && last != ".." && name.find('\0') == std::string_view::npos;
}

} // namespace

SubFolderLookup::SubFolderLookup(FileSystem& fs, std::string top) : fs_(fs), top_(std::move(top)) {}

void SubFolderLookup::Ask(std::int32_t id, std::string_view nativeName) {
    const std::size_t cut = LastDelim(nativeName);
    if (cut == std::string_view::npos || !ListingAnswers(nativeName, cut)) {
        direct_.push_back(id);
        return;
    }
    const std::string_view folder = nativeName.substr(0, cut);
    const auto [at, added] = ids_.try_emplace(FolderKey(folder), static_cast<std::uint32_t>(folders_.size()));
    if (added) {
        folders_.emplace_back(folder);
        // A folder that is not there holds none of its names: they are answered now and not kept (a
        // million of them cost no memory). Where the folder cannot be looked at, neither can its files.
        absent_.push_back(!fs_.FolderExists(FolderFile(top_, folder)));
    }
    if (!absent_[at->second]) asked_.emplace_back(at->second, id);
}

std::vector<SubFolderLookup::Found> SubFolderLookup::Answer(const std::function<std::string(std::int32_t)>& nameOf,
                                                            const std::function<void()>& pace, TakenListings* keep) {
    std::vector<Found> found;
    auto askSystem = [&](std::int32_t id) {
        if (fs_.FileExists(FolderFile(top_, nameOf(id)))) found.push_back({id, 0, false, false});
    };
    for (std::int32_t id : direct_) {
        askSystem(id);
        if (pace) pace();
    }
    // Where "A.BIN" and "a.bin" are one name, the listing's exact names cannot say that a name is not there.
    const bool foldsCase = SameFileName("a", "A");
    std::sort(asked_.begin(), asked_.end());
    for (std::size_t run = 0; run < asked_.size();) {
        const std::uint32_t folder = asked_[run].first;
        std::size_t end = run;
        while (end < asked_.size() && asked_[end].first == folder)
            ++end;
        std::vector<FolderEntry> listing;
        bool listed = true;
        try {
            listing = ListingPaced(fs_, FolderFile(top_, folders_[folder]), pace);
        } catch (const IoError& e) {
            // The folder was there when first met: its names are asked one by one, and a walk of the tree
            // names it as passed over.
            listed = false;
            if (keep) keep->Refused.try_emplace(FolderKey(folders_[folder]), e.Reason().empty() ? e.what() : e.Reason());
        }
        std::unordered_map<std::string_view, const FolderEntry*> files;
        files.reserve(listing.size());
        for (const FolderEntry& f : listing)
            if (!f.IsFolder) files.emplace(f.Name, &f);
        for (std::size_t k = run; k < end; ++k) {
            const std::int32_t id = asked_[k].second;
            if (!listed) {
                askSystem(id);
            } else {
                const std::string name = nameOf(id);
                const auto hit = files.find(std::string_view(name).substr(LastDelim(name) + 1));
                if (hit != files.end())
                    found.push_back({id, hit->second->Size, !hit->second->IsSpecial, true});
                else if (foldsCase && !listing.empty())
                    askSystem(id);
            }
            if (pace) pace();
        }
        if (keep && listed) {
            files.clear();
            keep->ByFolder.try_emplace(FolderKey(folders_[folder]), std::move(listing));
        }
        run = end;
    }
    return found;
}

} // namespace tv
