// Rename and move of same files: every ticked entry whose content is known only as a same file gets
// that file under its own name in the list's folder. A file in the way is parked under a free
// "<stem>_Temp<n><ext>" name first, and later entries that pointed to it follow it there, so names
// swapped within a set are put right in one pass. Every change is confined beneath the list's folder
// (the source beneath the search root) and never follows a link. An entry that cannot be changed is
// left as it was, named in the error box, and the others go on; the table is then verified again, or,
// after a failure, only the rows that changed are checked, so the finds of the others stay.
#include "app/TallyvaultMain.h"
#include "core/NameConflicts.h"
#include "core/ScanKeys.h"
#include "platform/Errors.h"
#include "platform/NameRules.h"
#include "platform/Paths.h"
#include "platform/TextEncoding.h"
#include "repair/Confine.h"
#include "core/KeyAhead.h"
#include "repair/RepairPlan.h"
#include "repair/RepairTexts.h"

#include <cerrno>

#include <algorithm>
#include <optional>
#include <set>
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
    // A backslash that is a character of the name (a digest list's escaped form) would become a folder
    // where the rename joins its paths: such a name is left for the user.
    if (e.LiteralBackslash && listName.find('\\') != std::string::npos) return true;
    if (NameEscapesFolder(listName) || listName.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos)
        return true;
    if (listName.empty() || listName.front() == '\\') return true;
    const std::string native = NativeName(listName);
    const std::string last = ExtractFileName(native);
    return last.empty() || last == "." || last == "..";
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
    // The entries whose same file is at the path (by its key), or nullptr.
    const std::vector<std::int32_t>* At(const std::string& key) const {
        auto it = byPath_.find(key);
        return it == byPath_.end() ? nullptr : &it->second;
    }
    // Entries whose turn comes after i's (`turn`: each entry's place in the pass) and whose same file was
    // `from` now find it at `to`; `moved(j)` hears of each.
    template <class F>
    void Redirect(TEntryTable& t, const std::vector<std::int32_t>& turn, std::int32_t i, const std::string& from,
                  const std::string& to, F onMove) {
        auto it = byPath_.find(PathKey(from));
        if (it == byPath_.end()) return;
        std::vector<std::int32_t> stay, moved;
        for (std::int32_t j : it->second)
            (turn[static_cast<std::size_t>(j)] > turn[static_cast<std::size_t>(i)] ? moved : stay).push_back(j);
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

// The rows 0..rows-1 in the order their changes are made. A row that changes (`changing`) goes after the
// changing rows that take the file standing at its name (`takers(row)`, or nullptr), so that the name is
// free by its turn; a ring of rows that take each other's files is entered once and left at the row that
// closed it, which then parks the file in its way. The walk keeps its own stack: a chain may be as long
// as the list.
template <class Changing, class TakersOf>
std::vector<std::int32_t> ChangeOrder(std::int32_t rows, Changing changing, TakersOf takers) {
    std::vector<std::int32_t> order;
    order.reserve(static_cast<std::size_t>(rows));
    std::vector<char> state(static_cast<std::size_t>(rows), 0); // 0: not yet, 1: on the way, 2: placed
    struct Visit {
        std::int32_t Row;
        const std::vector<std::int32_t>* Takers;
        std::size_t Next;
    };
    std::vector<Visit> stack;
    auto enter = [&](std::int32_t j) {
        state[static_cast<std::size_t>(j)] = 1;
        stack.push_back({j, takers(j), 0});
    };
    for (std::int32_t r = 0; r < rows; ++r) {
        if (state[static_cast<std::size_t>(r)]) continue;
        if (!changing(r)) {
            state[static_cast<std::size_t>(r)] = 2;
            order.push_back(r);
            continue;
        }
        enter(r);
        while (!stack.empty()) {
            Visit& v = stack.back();
            std::int32_t next = -1;
            while (v.Takers && v.Next < v.Takers->size() && next < 0) {
                const std::int32_t j = (*v.Takers)[v.Next++];
                if (j < rows && state[static_cast<std::size_t>(j)] == 0 && changing(j)) next = j;
            }
            if (next >= 0) {
                enter(next);
                continue;
            }
            state[static_cast<std::size_t>(v.Row)] = 2;
            order.push_back(v.Row);
            stack.pop_back();
        }
    }
    return order;
}

} // namespace

void TForm1::RenameButtonClick() {
    if (IsCreateMode)
        MakeCrcCmdClick();
    else
        FileChangeCmdClick();
}

void TForm1::PlanFileChanges(RepairPlan& plan, std::vector<std::int32_t>& rowOfStep, EntryFailures& failures,
                             std::int32_t& passedOver) {
    plan.Base = BaseFolder;
    if (EntryCount <= 0) return;
    // The pass is planned on the table as if each step were made: the files are looked at on disk
    // unless an earlier step of the plan has put a file there or taken it away.
    std::unordered_map<std::string, FileIdentity> planned;
    planned.reserve(2 * static_cast<std::size_t>(EntryCount));
    // The names in the list's folder, listed once: a name of it that is not there needs no look (a file
    // that comes meanwhile is never replaced: the change fails then).
    // Each name leads to what the last verification listed under it, where that is known.
    std::unordered_map<std::string, const FolderEntry*> present;
    bool listed = false;
    try {
        std::unordered_map<std::string_view, const FolderEntry*> verified;
        verified.reserve(ListedForRepair.size());
        for (const FolderEntry& f : ListedForRepair) {
            if (f.Object != 0 && f.Name.find('/') == std::string::npos) verified.emplace(f.Name, &f);
            ReportProgress();
        }
        const std::vector<std::string> names = NamesPaced(fs, BaseFolder, [this] { ReportProgress(); });
        present.reserve(names.size());
        for (const std::string& name : names) {
            ReportProgress();
            const auto v = verified.find(name);
            present.emplace(PathKey(FolderFile(BaseFolder, name)), v == verified.end() ? nullptr : v->second);
        }
        listed = true;
    } catch (const IoError&) {
    }
    auto look = [&](const std::string& path) {
        const std::string key = PathKey(path);
        auto it = planned.find(key);
        if (it != planned.end()) return it->second;
        if (listed && SameFileName(ExtractFileDir(path), BaseFolder)) {
            const auto p = present.find(key);
            if (p == present.end()) return FileIdentity{};
            if (p->second) return ListedStamp(*p->second).Id;
        }
        return fs.Identify(path);
    };
    auto samePlace = [&](const std::string& a, const std::string& b) {
        if (!planned.count(PathKey(a)) && !planned.count(PathKey(b))) return SamePlace(a, b);
        return look(a).SameObject(look(b));
    };
    std::int32_t parking = 1;
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
    // Rows that give one name two contents are left as they are: the file under the name may be the
    // one the user wants (an edit listed again after the old line), and a repair must not swap it for
    // the other content on every run.
    std::vector<char> conflicted;
    NameConflicts(EntryTable, EntryCount, ListHasSizes, &conflicted, [this] { ReportProgress(); });
    // The own files of intact rows, which nothing parks away.
    std::unordered_set<std::string> intact;
    for (std::int32_t j = 0; j < EntryCount; ++j) {
        if (EntryState(j) == VerifyResult::Match) intact.insert(PathKey(EntryPath(j)));
        ReportProgress();
    }
    auto qualifies = [&](std::int32_t j) {
        const TCrcTable& e = EntryTable[j];
        return j < rows && CrcList.Checked(j) && e.Found && !e.Exists && !conflicted[static_cast<std::size_t>(j)];
    };
    // One file may carry the content of several ticked entries: it is copied for all but the last
    // that takes it, so no content is lost. A file that is an entry's own file in place is only
    // ever copied: moving it would take it from its entry.
    // Rows that name one file and one found copy (a list with a line per algorithm for each file)
    // make one change between them: the first of them plans it, the others need nothing more.
    // Each changing row's name in the list's folder, as the file system compares paths.
    std::vector<std::string> targetKey(static_cast<std::size_t>(rows));
    auto change = [&](std::int32_t j) {
        return PathKey(EntryTable[j].SameFile) + '\n' + targetKey[static_cast<std::size_t>(j)];
    };
    auto changing = [&](std::int32_t j) { return qualifies(j) && !EntryTable[j].SameFile.empty(); };
    std::unordered_map<std::string, std::int32_t> users;
    std::unordered_set<std::string> held, changes;
    users.reserve(static_cast<std::size_t>(rows));
    changes.reserve(static_cast<std::size_t>(rows));
    held.reserve(static_cast<std::size_t>(EntryCount));
    for (std::int32_t j = 0; j < EntryCount; ++j) {
        if (changing(j)) {
            targetKey[static_cast<std::size_t>(j)] = PathKey(JoinPath(BaseFolder, EntryTable[j].FileName));
            if (changes.insert(change(j)).second) ++users[PathKey(EntryTable[j].SameFile)];
        }
        if (EntryTable[j].Exists) held.insert(PathKey(EntryPath(j)));
        ReportProgress();
    }
    // The files that rows read through a symbolic link under their own name. Taking such a file away
    // would leave the link pointing at nothing and its row without its content: it is only ever copied,
    // and one that an intact row reads is never parked. Looked at only when some row changes.
    std::set<std::pair<std::uint64_t, std::uint64_t>> linkedHeld, linkedIntact;
    if (!changes.empty())
        for (std::int32_t j = 0; j < EntryCount; ++j) {
            ReportProgress();
            if (!EntryTable[j].Exists) continue;
            const std::string path = EntryPath(j);
            if (!look(path).IsLink) continue;
            const FileIdentity to = fs.Identify(path, true);
            if (!to.Exists || to.Object == 0) continue;
            linkedHeld.insert({to.Volume, to.Object});
            if (EntryState(j) == VerifyResult::Match) linkedIntact.insert({to.Volume, to.Object});
        }
    auto linkedIn = [](const std::set<std::pair<std::uint64_t, std::uint64_t>>& set, const FileIdentity& id) {
        return id.Exists && !id.IsLink && id.Object != 0 && set.count({id.Volume, id.Object}) != 0;
    };
    auto follow = [&](const std::string& from, const std::string& to) {
        return [&, from, to](std::int32_t j) {
            if (!qualifies(j)) return;
            // Called before the row's same file becomes `to`.
            if (changes.erase(change(j))) --users[PathKey(from)];
            if (changes.insert(PathKey(to) + '\n' + targetKey[static_cast<std::size_t>(j)]).second)
                ++users[PathKey(to)];
        };
    };
    // The list file's identity, asked once: a plain source is the list file only when it is the same
    // object; a link, or a file system that does not tell objects apart, is compared by its path.
    const FileIdentity listId = fs.Identify(ListPath, true);
    const std::string planPath = PlanPath(ListPath);
    auto isListFile = [&](const std::string& path, const FileIdentity& id) {
        if (SameFileName(path, ListPath) || SameFileName(path, planPath)) return true;
        if (!id.Exists) return false;
        if (id.IsLink || id.Object == 0 || listId.Object == 0) return SamePlace(path, ListPath);
        return id.SameObject(listId);
    };
    // A source is confined beneath the list's folder when it lies there, else beneath the search root.
    std::vector<std::string> sourceRoots{BaseFolder};
    if (!SearchRoot.empty()) sourceRoots.push_back(SearchRoot);
    // Only files that take each other's names in a ring need a parking, one for each ring.
    const std::vector<std::int32_t> order = ChangeOrder(
        rows, changing, [&](std::int32_t j) { return pointers.At(targetKey[static_cast<std::size_t>(j)]); });
    std::vector<std::int32_t> turn(static_cast<std::size_t>(EntryCount));
    for (std::size_t k = 0; k < order.size(); ++k)
        turn[static_cast<std::size_t>(order[k])] = static_cast<std::int32_t>(k);
    for (std::int32_t j = rows; j < EntryCount; ++j)
        turn[static_cast<std::size_t>(j)] = j; // after every row of the pass
    // The folders a target lies in below the list's folder, each looked at once: a link or a file there is
    // refused when the change is planned, so that a dry run and the run agree.
    std::unordered_map<std::string, FileIdentity> folders;
    auto checkFolders = [&](const std::string& rel) {
        for (std::size_t at = 0; at < rel.size(); ++at) {
            if (!IsPathDelim(rel[at])) continue;
            const std::string folder = FolderFile(BaseFolder, rel.substr(0, at));
            auto it = folders.find(PathKey(folder));
            if (it == folders.end()) it = folders.emplace(PathKey(folder), fs.Identify(folder)).first;
            const FileIdentity& id = it->second;
            if (!id.Exists) return; // made by the change
            if (id.IsLink) throw IoError("File access denied", "a folder of the name is a link", {}, folder);
            if (id.IsFile) throw IoErrorFromErrno(ENOTDIR, folder);
        }
    };
    for (const std::int32_t i : order) {
        ReportProgress();
        TCrcTable& e = EntryTable[i];
        if (!qualifies(i)) continue;
        if (!e.SameFile.empty()) {
            if (!changes.erase(change(i))) continue;
            --users[PathKey(e.SameFile)];
        }
        if (UnsafeTargetName(e)) {
            ++passedOver;
            continue;
        }
        const std::string target = JoinPath(BaseFolder, e.FileName);
        if (e.SameFile.empty()) continue;
        const std::string& targetK = targetKey[static_cast<std::size_t>(i)];
        const std::string rel = NativeName(e.FileName);
        std::string parkedRel;
        try {
            // A name this system cannot give a file (Windows: aux.bin, "trail.") is refused here, so that the
            // dry run says so as the run would, and nothing is parked for it.
            if (!NameCanExist(rel)) throw InvalidNameError(target);
            const FileIdentity occupant = look(target);
            if (SameFileName(e.SameFile, target)) continue;
            checkFolders(rel);
            // The file in the way is another row's intact file: it stays where it is.
            if (occupant.Exists && intact.count(targetK) && !planned.count(targetK)) continue;
            // So is a file an intact row reads through its link.
            if (linkedIn(linkedIntact, occupant) && !planned.count(targetK)) continue;
            const FileIdentity source = look(e.SameFile);
            // Two plain files the file system tells apart are compared by what was looked at already;
            // a link, or a file system without object numbers, by their paths.
            auto known = [](const FileIdentity& id) { return id.Exists && !id.IsLink && id.Object != 0; };
            // A same file that is already the target itself needs nothing (nor could it be parked).
            if (occupant.Exists && (known(occupant) && known(source) ? occupant.SameObject(source)
                                                                     : samePlace(e.SameFile, target)))
                continue;
            // The list file (and the plan beside it) is never parked away, replaced or moved.
            if (SameFileName(target, ListPath) || SameFileName(target, planPath) ||
                (occupant.Exists && (known(occupant) && listId.Object != 0 && !planned.count(targetK)
                                         ? occupant.SameObject(listId)
                                         : samePlace(target, ListPath))))
                throw IoError("File access denied", "the list file itself is never renamed or moved");
            if (isListFile(e.SameFile, source))
                throw IoError("File access denied", "the list file itself is never renamed or moved");
            if (!source.Exists) throw IoErrorFromErrno(ENOENT, e.SameFile);
            // A link is never the copy of anything: what it points to may lie anywhere.
            if (source.IsLink)
                throw IoError("File access denied",
                              "it is a link: a repair takes nothing from a link, whose file may lie anywhere", {},
                              e.SameFile);
            if (!source.IsFile) throw IoErrorFromErrno(EINVAL, e.SameFile);
            // A folder in the way is not parked: only a file (or a link, which is moved as itself) is.
            if (occupant.Exists && !occupant.IsFile && !occupant.IsLink) throw IoErrorFromErrno(EISDIR, target);
            const ConfinedPath from = ConfineTo(sourceRoots, e.SameFile);
            const std::string sourceKey = PathKey(e.SameFile);
            const bool copy = (CopyComplement.Checked() && !inBase(ExtractFileDir(e.SameFile))) ||
                              users[sourceKey] > 0 || held.count(sourceKey) != 0 || linkedIn(linkedHeld, source);
            if (occupant.Exists) {
                const std::string ext = ExtractFileExt(rel);
                const std::string stem = rel.substr(0, rel.size() - ext.size());
                auto parkingRel = [&] { return stem + "_Temp" + std::to_string(parking) + ext; };
                while (look(FolderFile(BaseFolder, parkingRel())).Exists)
                    ++parking;
                parkedRel = parkingRel();
                plan.Steps.push_back({PlanStep::Kind::Park, BaseFolder, rel, parkedRel});
                plan.Sources.push_back(occupant);
                rowOfStep.push_back(i);
                planned[PathKey(FolderFile(BaseFolder, parkedRel))] = occupant;
            }
            plan.Steps.push_back({copy ? PlanStep::Kind::Copy : PlanStep::Kind::Move, from.Root, from.Rel, rel});
            plan.Sources.push_back(source);
            rowOfStep.push_back(i);
            planned[targetK] = source;
            // A source whose name holds a backslash may share the target's key: the target stays taken.
            if (!copy && sourceKey != targetK) planned[sourceKey] = FileIdentity{};
        } catch (const IoError& err) {
            failures.Add(err, target, e.SameFile);
            continue;
        }
        if (!parkedRel.empty())
            pointers.Redirect(EntryTable, turn, i, target, FolderFile(BaseFolder, parkedRel),
                              follow(target, FolderFile(BaseFolder, parkedRel)));
        held.insert(targetK);
    }
}

void TForm1::FileChangeCmdClick() {
    if (SearchActive) return; // the walk's table is in lookup order until it ends
    std::optional<BusyCursor> hourglass(std::in_place, ui);
    const std::string listName = ExtractFileName(ListPath);
    Status.SetCaption(texts::RenameStart + listName);

    RepairRefused = false;
    try {
        RenameAndMove(hourglass);
    } catch (const RepairRunning& e) {
        // Another window or the command-line tool repairs this list now: this one changes nothing.
        RepairRefused = true;
        Status.SetCaption(texts::RenameEnd + listName);
        hourglass.reset();
        ui.ShowMessage(e.what());
    }
}

void TForm1::RenameAndMove(std::optional<BusyCursor>& hourglass) {
    const std::string listName = ExtractFileName(ListPath);
    EntryFailures failures;
    // A pass that was killed is finished first; the table's finds predate it, so the rows are only
    // checked again and the user repairs again from there.
    bool recovered = false;
    {
        const Unstoppable whole(*this);
        recovered = RecoverPlan(fs, ListPath, false, failures);
    }
    if (recovered) {
        VerifyEntries();
        CheckCycle = 1;
        CheckButtonClick();
        Status.SetCaption(texts::RenameEnd + listName);
        hourglass.reset();
        ui.ShowMessage(texts::PlanFinished);
        failures.Report(ui);
        return;
    }
    std::int32_t passedOver = 0;
    std::vector<std::int32_t> changed;
    if (EntryCount > 0) {
        RepairPlan plan;
        std::vector<std::int32_t> rowOfStep;
        PlanFileChanges(plan, rowOfStep, failures, passedOver);
        if (!plan.Steps.empty()) RunPlan(plan, rowOfStep, failures, changed);
        if (failures.Empty()) {
            VerifyEntries();
        } else {
            // Only the rows that changed are checked again; the others keep their marks and finds, so the
            // user can try again without searching again.
            RecheckOwnFiles(changed);
            ShowEntries();
        }
        MovedIntact.clear();
    }
    CheckCycle = 1;
    CheckButtonClick();
    Status.SetCaption(texts::RenameEnd + listName + (ConflictNames.empty() ? "" : "　" + ConflictText()));
    // The boxes about the rows passed over come with the normal pointer.
    hourglass.reset();
    failures.Report(ui);
    if (passedOver > 0) ui.ShowMessage(texts::OutsideNamesHead + std::to_string(passedOver) + texts::OutsideNamesTail);
    if (RebuildAfterRenames && failures.Empty()) RebuildFromRecovery();
}

RepairPlan TForm1::PlannedFileChanges() {
    RepairPlan plan;
    if (SearchActive || EntryCount <= 0) return plan;
    // The planning points later rows at the places it parks their files in: those rows are put back.
    std::vector<std::pair<std::int32_t, std::string>> found;
    for (std::int32_t j = 0; j < EntryCount; ++j)
        if (!EntryTable[j].SameFile.empty()) found.emplace_back(j, EntryTable[j].SameFile.str());
    EntryFailures failures;
    std::vector<std::int32_t> rowOfStep;
    std::int32_t passedOver = 0;
    PlanFileChanges(plan, rowOfStep, failures, passedOver);
    for (auto& [j, path] : found)
        EntryTable[j].SameFile = std::move(path);
    failures.Report(ui);
    if (passedOver > 0) ui.ShowMessage(texts::OutsideNamesHead + std::to_string(passedOver) + texts::OutsideNamesTail);
    return plan;
}

void TForm1::RunPlan(const RepairPlan& plan, const std::vector<std::int32_t>& rowOfStep, EntryFailures& failures,
                     std::vector<std::int32_t>& changed) {
    // The plan's steps run to their end even when the window is being closed.
    const Unstoppable whole(*this);
    const std::string planPath = PlanPath(ListPath);
    std::optional<PlanJournal> journal;
    try {
        journal.emplace(fs, planPath, plan);
    } catch (const IoError& err) {
        // Without its plan on the disk the pass is not started: a kill could leave contents parked.
        failures.Add(err, planPath);
        return;
    }
    const FileIdentity listId = fs.Identify(ListPath, true);
    const RootsHeld rootsHeld(fs);
    MovedIntact.clear();
    // The stamps parked files had before this pass renamed them (the rename changes their change time).
    std::unordered_map<std::string, FileStamp> parkedStamp;
    // A parking that failed or was given back left the file under its own name: the steps that were
    // to take it from its parking place take it from there.
    std::unordered_map<std::string, std::string> back;
    std::unordered_map<std::int32_t, std::size_t> parkOfRow;
    std::unordered_set<std::int32_t> failedRows;
    auto planned = [&](std::size_t k) { return k < plan.Sources.size() ? plan.Sources[k] : FileIdentity{}; };
    Progress.Plan(static_cast<std::int64_t>(plan.Steps.size()), 0);
    for (std::size_t k = 0; k < plan.Steps.size(); ++k, Progress.StepDone()) {
        ReportProgress();
        const PlanStep& s = plan.Steps[k];
        const std::int32_t i = rowOfStep[k];
        if (failedRows.count(i)) {
            journal->Failed(k);
            continue;
        }
        journal->Starting(k);
        std::string from = s.From;
        try {
            if (s.What == PlanStep::Kind::Park) {
                // A link in the way is parked as itself; a plain file must still be the one planned.
                if (planned(k).IsFile)
                    parkedStamp[PathKey(FolderFile(BaseFolder, s.To))] =
                        fs.MoveBeneath(BaseFolder, s.From, planned(k), BaseFolder, s.To);
                else
                    fs.RenameBeneath(BaseFolder, s.From, s.To);
                parkOfRow[i] = k;
                journal->Done(k);
                continue;
            }
            const bool inBase = SameFileName(s.Root, BaseFolder);
            if (inBase)
                if (auto it = back.find(PathKey(s.From)); it != back.end()) from = it->second;
            // The file planned is the file moved: the planning looked at it (and kept the list file out).
            FileIdentity expected = planned(k);
            if (!expected.Exists || expected.Object == 0) {
                expected = fs.Identify(FolderFile(s.Root, from));
                if (!expected.Exists) throw IoErrorFromErrno(ENOENT);
                if (expected.IsLink) throw IoErrorFromErrno(ELOOP);
                if (!expected.IsFile) throw IoErrorFromErrno(EINVAL);
                if (expected.SameObject(listId))
                    throw IoError("File access denied", "the list file itself is never renamed or moved");
            }
            MakeFoldersBeneath(fs, BaseFolder, s.To);
            if (s.What == PlanStep::Kind::Copy) {
                fs.TransferBeneath(s.Root, from, expected, BaseFolder, s.To, true);
            } else {
                FileStamp before = fs.MoveBeneath(s.Root, from, expected, BaseFolder, s.To);
                if (inBase)
                    if (auto p = parkedStamp.find(PathKey(FolderFile(BaseFolder, from))); p != parkedStamp.end()) {
                        // Parked by this pass: what it was before the parking counts.
                        const FileStamp& parked = p->second;
                        if (parked.Id.SameObject(before.Id) && parked.Id.Size == before.Id.Size &&
                            parked.Modified == before.Modified)
                            before.Changed = parked.Changed;
                        else
                            before.Changed = 0;
                    }
                // Last changed well before the verification began (a write, rename or link moves the change
                // time, and nothing sets it back): the file holds what the verification or a later search read.
                if (before.Changed > 0 && VerifiedAt > 0 && before.Changed < VerifiedAt - UnchangedMargin)
                    MovedIntact.push_back({FolderFile(BaseFolder, s.To), before, EntryTable[i].Crc, EntryTable[i].DigestSlot});
            }
            journal->Done(k);
            changed.push_back(i);
        } catch (const IoError& err) {
            // The entry stays as it was: a file parked for it goes back to its name.
            failedRows.insert(i);
            if (s.What == PlanStep::Kind::Park) {
                back[PathKey(s.To)] = s.From;
            } else if (auto p = parkOfRow.find(i); p != parkOfRow.end()) {
                const PlanStep& park = plan.Steps[p->second];
                try {
                    fs.RenameBeneath(BaseFolder, park.To, park.From);
                    back[PathKey(park.To)] = park.From;
                    journal->Undone(p->second);
                } catch (const IoError&) {
                }
            }
            journal->Failed(k);
            failures.Add(err, FolderFile(BaseFolder, s.To),
                         s.What == PlanStep::Kind::Park ? FolderFile(BaseFolder, s.From) : FolderFile(s.Root, from));
        }
    }
    journal->Finish();
}

// With hashing workers the files are hashed ahead, in the order they are checked; with one thread each
// is read as it is checked.
void TForm1::RecheckOwnFiles(const std::vector<std::int32_t>& rows) {
    std::optional<KeyAhead> ahead;
    std::vector<bool> planned(rows.size());
    if (Hashing.Count() > 1) {
        ahead.emplace(fs, std::string(), Hashing, ReadFor(ListAlgorithms), ListAlgorithms);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const TCrcTable& e = EntryTable[rows[k]];
            const FileIdentity id = fs.Identify(EntryPath(rows[k]), true);
            if (!id.Exists || !id.IsFile || (ListHasSizes && e.FileSize != NoSize && id.Size != e.FileSize)) continue;
            ahead->Plan(EntryPath(rows[k]), id.Size);
            planned[k] = true;
        }
    }
    for (std::size_t k = 0; k < rows.size(); ++k) {
        if (planned[k]) ahead->Next();
        RecheckOwnFile(rows[k]);
    }
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
        e.Found = sizeOk && FileCarriesEntry(fs, EntryTable, e, path, id.Size, ListAlgorithms);
        e.SizeMatched = e.Found && ListHasSizes;
    } catch (const IoError&) {
        e.Found = false;
    }
}

} // namespace tv
