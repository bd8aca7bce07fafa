// Rename and move of same files: every ticked entry whose content is known only as a same file gets
// that file under its own name in the list's folder. A file in the way is parked under a free
// "<stem>_Temp<n><ext>" name first, and later entries that pointed to it follow it there, so names
// swapped within a set are put right in one pass. Every change is confined beneath the list's folder
// (the source beneath the search root) and never follows a link. An entry that cannot be changed is
// left as it was, named in the error box, and the others go on; the table is then verified again, or,
// after a failure, only the rows that changed are checked, so the finds of the others stay.
#include "app/TallyvaultMain.h"
#include "core/FileCrc32.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/TextEncoding.h"
#include "repair/Confine.h"
#include "repair/RepairTexts.h"

#include <cerrno>

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tv {

namespace {

// A list name that must never become a target: it leads out of the list's folder, or names no file
// (empty, ending in a separator, "." / ".." as its last part, or holding a NUL byte, which no file
// name can), or is not text in the file system's encoding (UTF-8): bytes of a CP932 list that did
// not convert would give the file a name no other program shows, and their "\" bytes may be halves
// of characters, which must never become folders. A name with a line break in it cannot have come
// whole from a list (each line is one entry), and one with a leading "\" is an escaped name or an
// absolute one: neither is the name the file should get.
bool UnsafeTargetName(const TCrcTable& e) {
    const std::string& listName = e.FileName;
    if (e.ByListBytes || !IsValidUtf8(listName)) return true;
    if (NameEscapesFolder(listName) || listName.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos)
        return true;
    if (listName.empty() || listName.front() == '\\') return true;
    const std::string native = NativeName(listName);
    const std::string last = ExtractFileName(native);
    return last.empty() || last == "." || last == "..";
}

// The folders between the list's folder and the target that do not exist yet are made, so that an
// entry in a missing subfolder can be brought back. The name has been checked to stay inside.
void MakeTargetFolders(FileSystem& fs, const std::string& baseFolder, const std::string& nativeName) {
    for (std::size_t pos = 0; pos < nativeName.size(); ++pos)
        if (IsPathDelim(nativeName[pos])) fs.CreateFolderBeneath(baseFolder, nativeName.substr(0, pos));
}

// A path as the file system compares paths, with every separator spelled alike.
std::string PathKey(const std::string& path) {
    std::string key = FileNameKey(path);
    for (char& c : key)
        if (IsPathDelim(c)) c = '/';
    return key;
}

// Later entries that point to a path, by the path as the file system compares paths.
class SameFileIndex {
public:
    SameFileIndex(const TEntryTable& t, std::int32_t n) {
        for (std::int32_t j = 0; j < n; ++j)
            if (!t[j].SameFile.empty()) byPath_[PathKey(t[j].SameFile)].push_back(j);
    }
    // Entries after i whose same file was `from` now find it at `to`; `moved(j)` hears of each.
    template <class F>
    void Redirect(TEntryTable& t, std::int32_t i, const std::string& from, const std::string& to, F onMove) {
        auto it = byPath_.find(PathKey(from));
        if (it == byPath_.end()) return;
        std::vector<std::int32_t> stay, moved;
        for (std::int32_t j : it->second)
            (j > i ? moved : stay).push_back(j);
        if (moved.empty()) return;
        it->second = std::move(stay);
        for (std::int32_t j : moved) {
            onMove(j);
            t[j].SameFile = to;
        }
        auto& dest = byPath_[PathKey(to)];
        dest.insert(dest.end(), moved.begin(), moved.end());
    }

private:
    std::unordered_map<std::string, std::vector<std::int32_t>> byPath_;
};

} // namespace

void TForm1::RenameButtonClick() {
    if (IsCreateMode)
        MakeCrcCmdClick();
    else
        FileChangeCmdClick();
}

void TForm1::FileChangeCmdClick() {
    if (SearchActive) return; // the walk's table is in lookup order until it ends
    std::optional<BusyCursor> hourglass(std::in_place, ui);
    const std::string listName = ExtractFileName(ListPath);
    Status.SetCaption(texts::RenameStart + listName);

    std::int32_t parking = 1;
    std::int32_t passedOver = 0;
    EntryFailures failures;
    std::vector<std::int32_t> changed;
    if (EntryCount > 0) {
        SameFileIndex pointers(EntryTable, EntryCount);
        // Whether a same file's folder is the list's folder, asked of the file system once per folder
        // in a row: the finds of one searched folder come together.
        std::string lastFolder;
        bool lastInBase = false;
        auto inBase = [&](const std::string& folder) {
            if (lastFolder.empty() || folder != lastFolder) {
                lastFolder = folder;
                lastInBase = SamePlace(folder, BaseFolder);
            }
            return lastInBase;
        };
        const std::int32_t rows = std::min(CrcList.Count(), EntryCount);
        auto qualifies = [&](std::int32_t j) {
            const TCrcTable& e = EntryTable[j];
            return j < rows && CrcList.Checked(j) && e.Found && !e.Exists;
        };
        // One file may carry the content of several ticked entries: it is copied for all but the last
        // that takes it, so no content is lost. A file that is an entry's own file in place is only
        // ever copied: moving it would take it from its entry.
        std::unordered_map<std::string, std::int32_t> users;
        std::unordered_set<std::string> held;
        for (std::int32_t j = 0; j < EntryCount; ++j) {
            if (qualifies(j) && !EntryTable[j].SameFile.empty()) ++users[PathKey(EntryTable[j].SameFile)];
            if (EntryTable[j].Exists) held.insert(PathKey(EntryPath(j)));
            ReportProgress();
        }
        auto follow = [&](const std::string& from, const std::string& to) {
            return [&, from, to](std::int32_t j) {
                if (!qualifies(j)) return;
                --users[PathKey(from)];
                ++users[PathKey(to)];
            };
        };
        // A source is confined beneath the list's folder when it lies there, else beneath the search root.
        // The list file's identity, asked once: a plain source is the list file only when it is the same
        // object; a link, or a file system that does not tell objects apart, is compared by its path.
        const FileIdentity listId = fs.Identify(ListPath, true);
        auto isListFile = [&](const std::string& path, const FileIdentity& id) {
            if (SameFileName(path, ListPath)) return true;
            if (!id.Exists) return false;
            if (id.IsLink || id.Object == 0 || listId.Object == 0) return SamePlace(path, ListPath);
            return id.SameObject(listId);
        };
        std::vector<std::string> sourceRoots{BaseFolder};
        const RootsHeld rootsHeld(fs);
        if (!SearchRoot.empty()) sourceRoots.push_back(SearchRoot);
        for (std::int32_t i = 0; i < rows; ++i) {
            ReportProgress();
            TCrcTable& e = EntryTable[i];
            if (!qualifies(i)) continue;
            if (!e.SameFile.empty()) --users[PathKey(e.SameFile)];
            if (UnsafeTargetName(e)) {
                ++passedOver;
                continue;
            }
            const std::string target = JoinPath(BaseFolder, e.FileName);
            if (e.SameFile.empty()) continue;
            const std::string rel = NativeName(e.FileName);
            std::string parkedRel;
            try {
                // Only a name that is taken can be the same file already or the list file: the common
                // case, a free name, costs one look at the target instead of a comparison with each.
                const FileIdentity occupant = fs.Identify(target);
                // A same file that is already the target itself needs nothing (nor could it be parked).
                if (SameFileName(e.SameFile, target) || (occupant.Exists && SamePlace(e.SameFile, target))) continue;
                // The list file is never parked away, replaced or moved.
                if (SameFileName(target, ListPath) || (occupant.Exists && SamePlace(target, ListPath)))
                    throw IoError("File access denied", "the list file itself is never renamed or moved");
                const FileIdentity source = fs.Identify(e.SameFile);
                if (isListFile(e.SameFile, source))
                    throw IoError("File access denied", "the list file itself is never renamed or moved");
                if (!source.Exists) throw IoErrorFromErrno(ENOENT);
                // A link is never the copy of anything: what it points to may lie anywhere.
                if (source.IsLink) throw IoErrorFromErrno(ELOOP);
                if (!source.IsFile) throw IoErrorFromErrno(EINVAL);
                // A folder in the way is not parked: only a file (or a link, which is moved as itself) is.
                if (occupant.Exists && !occupant.IsFile && !occupant.IsLink) throw IoErrorFromErrno(EISDIR);
                if (occupant.Exists) {
                    const std::string ext = ExtractFileExt(rel);
                    const std::string stem = rel.substr(0, rel.size() - ext.size());
                    auto parkingRel = [&] { return stem + "_Temp" + std::to_string(parking) + ext; };
                    while (fs.Identify(JoinPath(BaseFolder, parkingRel())).Exists)
                        ++parking;
                    fs.RenameBeneath(BaseFolder, rel, parkingRel());
                    parkedRel = parkingRel();
                }
                MakeTargetFolders(fs, BaseFolder, rel);
                const ConfinedPath from = ConfineTo(sourceRoots, e.SameFile);
                const std::string sourceKey = PathKey(e.SameFile);
                const bool copy = (CopyComplement.Checked() && !inBase(ExtractFileDir(e.SameFile))) ||
                                  users[sourceKey] > 0 || held.count(sourceKey) != 0;
                fs.TransferBeneath(from.Root, from.Rel, source, BaseFolder, rel, copy);
            } catch (const IoError& err) {
                // The entry stays as it was: a file parked for it goes back to its name.
                if (!parkedRel.empty()) {
                    try {
                        fs.RenameBeneath(BaseFolder, parkedRel, rel);
                        parkedRel.clear();
                    } catch (const IoError&) {
                    }
                }
                if (!parkedRel.empty())
                    pointers.Redirect(EntryTable, i, target, JoinPath(BaseFolder, parkedRel),
                                      follow(target, JoinPath(BaseFolder, parkedRel)));
                failures.Add(err, e.SameFile.empty() ? target : e.SameFile);
                continue;
            }
            if (!parkedRel.empty())
                pointers.Redirect(EntryTable, i, target, JoinPath(BaseFolder, parkedRel),
                                  follow(target, JoinPath(BaseFolder, parkedRel)));
            held.insert(PathKey(target));
            changed.push_back(i);
        }
        if (failures.Empty()) {
            VerifyEntries();
        } else {
            // Only the rows that changed are checked again; the others keep their marks and finds, so the
            // user can try again without searching again.
            for (std::int32_t i : changed)
                RecheckOwnFile(i);
            ShowEntries();
        }
    }
    CheckCycle = 1;
    CheckButtonClick();
    Status.SetCaption(texts::RenameEnd + listName);
    // The boxes about the rows passed over come with the normal pointer.
    hourglass.reset();
    failures.Report(ui);
    if (passedOver > 0) ui.ShowMessage(texts::OutsideNamesHead + std::to_string(passedOver) + texts::OutsideNamesTail);
}

void TForm1::RecheckOwnFile(std::int32_t i) {
    TCrcTable& e = EntryTable[i];
    const std::string path = EntryPath(i);
    const FileIdentity id = fs.Identify(path, true);
    e.SameFile.clear();
    e.Exists = id.Exists && id.IsFile;
    e.Found = e.SizeMatched = false;
    if (!e.Exists) return;
    try {
        const bool sizeOk = !ListHasSizes || e.FileSize == NoSize || id.Size == e.FileSize;
        e.Found = sizeOk && FileCrc32AsListed(fs, path, id.Size) == e.Crc;
        e.SizeMatched = e.Found && ListHasSizes;
    } catch (const IoError&) {
        e.Found = false;
    }
}

} // namespace tv
