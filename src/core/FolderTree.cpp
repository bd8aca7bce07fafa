#include "core/FolderTree.h"

#include "core/EntryNames.h"
#include "core/Ordering.h"
#include "platform/Errors.h"
#include "platform/Paths.h"

#include <algorithm>
#include <unordered_set>

namespace tv {

namespace {

bool EndsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string_view LastPart(std::string_view name) {
    const auto cut = std::find_if(name.rbegin(), name.rend(), IsPathDelim);
    return name.substr(static_cast<std::size_t>(name.rend() - cut));
}

std::string Reason(const IoError& e) {
    return e.Reason().empty() ? std::string(e.what()) : e.Reason();
}

// Moves the listing of `rel` out of `taken` into `listing`; false when there is none.
bool TakeListing(TakenListings* taken, const std::string& rel, std::vector<FolderEntry>& listing) {
    if (!taken) return false;
    const auto kept = taken->ByFolder.find(FolderKey(rel));
    if (kept == taken->ByFolder.end()) return false;
    listing = std::move(kept->second);
    taken->ByFolder.erase(kept);
    return true;
}

} // namespace

bool IsProgramFile(std::string_view name) {
    const std::string_view last = LastPart(name);
    if (last.rfind(".tallyvault-", 0) == 0 && EndsWith(last, ".tmp")) return true;
    if (EndsWith(last, ".tallyvault-plan") || EndsWith(last, ".tallyvault-lock")) return true;
    const std::size_t plan = last.rfind(".tallyvault-plan.");
    if (plan == std::string_view::npos) return false;
    const std::string_view number = last.substr(plan + 17);
    return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool InSubFolder(std::string_view relName) {
    return std::any_of(relName.begin(), relName.end(), IsPathDelim);
}

std::string FolderKey(std::string_view rel) {
    std::string key = FileNameKey(rel);
    std::replace_if(key.begin(), key.end(), IsPathDelim, '/');
    return key;
}

FolderTree ListTree(FileSystem& fs, const std::string& top, const std::function<void()>& pace, TakenListings* taken,
                    bool namesOnly, std::size_t expected) {
    FolderTree tree;
    // Room not filled is never touched; without it the files found would be moved again and again.
    tree.Files.reserve(expected);
    const std::uint64_t topVolume = fs.Identify(top, true).Volume;
    // Folders still to list, relative to the top; "" is the top itself.
    std::vector<std::string> pending{std::string()};
    bool first = true;
    while (!pending.empty()) {
        const std::string rel = std::move(pending.back());
        pending.pop_back();
        const std::string path = rel.empty() ? top : FolderFile(top, rel);
        std::vector<FolderEntry> listing;
        if (taken && !first) {
            if (const auto refused = taken->Refused.find(FolderKey(rel)); refused != taken->Refused.end()) {
                tree.Unreadable.push_back({rel, refused->second});
                continue;
            }
        }
        try {
            if (!TakeListing(taken, rel, listing)) listing = ListingPaced(fs, path, pace, namesOnly);
        } catch (const IoError& e) {
            if (first) throw;
            tree.Unreadable.push_back({rel, Reason(e)});
            continue;
        }
        first = false;
        for (FolderEntry& e : listing) {
            if (e.IsHidden || e.IsSpecial || e.IsLink || e.Name.empty()) continue;
            std::string name = rel.empty() ? std::move(e.Name) : rel + PathDelim + e.Name;
            if (e.IsFolder) {
                // A mount point of another file system is not entered (one whose volume is not known is).
                const FileIdentity id = fs.Identify(FolderFile(top, name));
                if (id.IsLink || (topVolume != 0 && id.Volume != 0 && id.Volume != topVolume)) continue;
                pending.push_back(std::move(name));
                continue;
            }
            if (IsProgramFile(name)) continue;
            e.Name = std::move(name);
            tree.Files.push_back(std::move(e));
        }
        if (pace) pace();
    }
    return tree;
}

std::vector<std::string> UnlistedFiles(const TEntryTable& t, std::int32_t n, const std::string& folder,
                                       const std::string& listPath, const std::vector<FolderEntry>& files,
                                       const std::function<void()>& pace) {
    std::vector<const std::string*> names;
    for (const FolderEntry& f : files)
        if (!f.IsFolder && !f.IsHidden && !f.IsSpecial && !IsProgramFile(f.Name)) names.push_back(&f.Name);
    const std::vector<bool> named = NamedByEntries(t, n, names, pace);
    // The same files found for entries, as paths: such a file is the entry's content, not an extra.
    std::unordered_set<std::string> sameFiles;
    for (std::int32_t i = 0; i < n; ++i) {
        if (!t[i].SameFile.empty()) sameFiles.insert(FileNameKey(t[i].SameFile));
        // An absolute name that points into the folder names that file as a relative one would.
        if (EntryIsAbsolute(t[i])) sameFiles.insert(FileNameKey(EntryFullPath(folder, t[i])));
    }
    std::vector<std::string> out;
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (named[k]) continue;
        const std::string path = FolderFile(folder, *names[k]);
        if (SameFileName(path, listPath) || sameFiles.count(FileNameKey(path)) != 0) continue;
        out.push_back(*names[k]);
    }
    // The few kept are put in order, not the whole tree (names of one tree differ: a total order).
    std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) { return NameBefore(a, b); });
    return out;
}

} // namespace tv
