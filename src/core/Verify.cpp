// Verification of a freshly read list: drop repeated CRCs, see which listed files are present, list
// the list's folder once and find each entry's content under its own name or another one, deal with
// duplicates on the way, sort by name and rebuild the rows.
#include "app/TallyvaultMain.h"
#include "core/EntryNames.h"
#include "core/FileCrc32.h"
#include "core/FileDigest.h"
#include "core/FolderTree.h"
#include "core/Matching.h"
#include "core/NameConflicts.h"
#include "core/Ordering.h"
#include "core/SubFolderLookup.h"
#include "platform/Errors.h"
#include "platform/ListingThreads.h"
#include "platform/Paths.h"
#include "core/KeyAhead.h"
#include "readers/Texts.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <optional>

namespace tv {

namespace {

// Entries that repeat another's name, CRC and size (a list with a line twice, or two lists joined)
// are one file: of each such set only the first record in the CRC-sorted order stays. Entries that
// only share a CRC are files of their own and all stay.
void DropRepeatedEntries(TEntryTable& t, std::int32_t& count) {
    std::vector<bool> drop(static_cast<std::size_t>(std::max(count, 0)));
    bool any = false;
    for (std::int32_t run = 0; run < count;) {
        std::int32_t end = run + 1;
        while (end < count && t[end].Crc == t[run].Crc)
            ++end;
        if (end - run > 1) {
            std::vector<std::int32_t> order;
            for (std::int32_t i = run; i < end; ++i)
                order.push_back(i);
            // A digest list's entries share a run by their digests' first bytes: the whole key decides.
            const auto keyOrder = [&](const TCrcTable& x, const TCrcTable& y) {
                if (x.DigestSlot == 0 && y.DigestSlot == 0) return 0;
                const ContentKey kx = t.KeyOf(x), ky = t.KeyOf(y);
                if (kx.Algorithm != ky.Algorithm) return kx.Algorithm < ky.Algorithm ? -1 : 1;
                return kx.View().compare(ky.View());
            };
            std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
                if (t[a].FileName != t[b].FileName) return t[a].FileName < t[b].FileName;
                if (t[a].FileSize != t[b].FileSize) return t[a].FileSize < t[b].FileSize;
                if (const int c = keyOrder(t[a], t[b]); c != 0) return c < 0;
                return a < b;
            });
            for (std::size_t k = 1; k < order.size(); ++k) {
                const TCrcTable &x = t[order[k - 1]], &y = t[order[k]];
                if (x.FileName == y.FileName && x.FileSize == y.FileSize && keyOrder(x, y) == 0)
                    drop[static_cast<std::size_t>(order[k])] = any = true;
            }
        }
        run = end;
    }
    if (!any) return;
    std::int32_t kept = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        if (drop[static_cast<std::size_t>(i)]) continue;
        if (i != kept) std::swap(t[kept], t[i]);
        ++kept;
    }
    count = kept;
}

// Which entries' own files are present. A plain name is answered by the listing of the list's folder, a
// name with a folder in it by that folder's listing, each folder listed once. A converted name that names
// no file may still name it by the list's own bytes. The answer is the entries present in sub-folders;
// the listings of sub-folders go to `taken`.
std::vector<SubFolderLookup::Found> FindOwnFiles(FileSystem& fs, TEntryTable& t, std::int32_t n,
                                                 const std::string& folder, const std::vector<FolderEntry>& listing,
                                                 TakenListings& taken, const std::function<void()>& pace) {
    const PresenceTest presence(fs, folder, listing);
    // Whether the listing answers for the entry's name, a name byte for byte when it is by the list's bytes.
    auto listingAnswers = [](const TCrcTable& e) {
        if (e.ByListBytes || e.LiteralBackslash) return PresenceTest::Answers(EntryNativeName(e), true);
        return PresenceTest::Answers(e.FileName, false);
    };
    SubFolderLookup asked(fs, folder);
    std::vector<SubFolderLookup::Found> absolute; // entries named by an absolute path that is there
    std::vector<std::int32_t> byBytes;            // entries whose list bytes are to be tried
    auto tryBytes = [&](std::int32_t i) {
        TCrcTable& e = t[i];
        if (e.ListBytes.empty() || e.ByListBytes) return;
        const std::string bytes = ListBytesNativeName(e);
        if (!PresenceTest::Answers(bytes, true)) {
            byBytes.push_back(i);
        } else if (presence.ExistsNative(bytes)) {
            UseListBytes(e);
            e.Exists = true;
        }
    };
    for (std::int32_t i = 0; i < n; ++i) {
        TCrcTable& e = t[i];
        e.SameFile.clear();
        e.SizeMatched = false;
        e.Found = false;
        e.Exists = false;
        if (EntryIsAbsolute(e)) {
            // Looked up where it points, as the list's own tools do; it is read there, never changed.
            const std::string path = EntryFullPath(folder, e);
            const FileIdentity id = fs.Identify(path, true);
            e.Exists = id.Exists && (id.IsFile || fs.FileExists(path));
            if (e.Exists) absolute.push_back({i, id.Size, id.IsFile, false});
        } else if (!listingAnswers(e)) {
            asked.Ask(i, EntryNativeName(e));
        } else {
            e.Exists = e.ByListBytes || e.LiteralBackslash ? presence.ExistsNative(EntryNativeName(e))
                                                           : presence.Exists(e.FileName);
            if (!e.Exists) tryBytes(i);
        }
        pace();
    }
    std::vector<SubFolderLookup::Found> found =
        asked.Answer([&](std::int32_t i) { return EntryNativeName(t[i]); }, pace, &taken);
    for (const SubFolderLookup::Found& f : found)
        t[f.Id].Exists = true;
    // The others asked about are those the listing does not answer for and not present (such an entry keeps
    // its name).
    found.insert(found.end(), absolute.begin(), absolute.end());
    for (std::int32_t i = 0; i < n; ++i)
        if (!t[i].Exists && !EntryIsAbsolute(t[i]) && !listingAnswers(t[i])) tryBytes(i);
    if (byBytes.empty()) return found;
    SubFolderLookup again(fs, folder);
    for (std::int32_t i : byBytes)
        again.Ask(i, ListBytesNativeName(t[i]));
    std::vector<SubFolderLookup::Found> more =
        again.Answer([&](std::int32_t i) { return ListBytesNativeName(t[i]); }, pace, &taken);
    for (const SubFolderLookup::Found& f : more) {
        UseListBytes(t[f.Id]);
        t[f.Id].Exists = true;
    }
    found.insert(found.end(), more.begin(), more.end());
    return found;
}

// An entry in a sub-folder is checked at its own path: the scan reads only the files of the list's
// folder itself. An intact own file counts as found before the scan, so that a copy met there is a
// duplicate of it, as for an entry of the folder itself. A read failure ends the verification, as
// one of the scan does. `present` are the entries whose files are there, as FindOwnFiles found them, those
// of one folder together.
void CheckSubFolderEntries(FileSystem& fs, TEntryTable& t, const std::vector<SubFolderLookup::Found>& present,
                           const std::string& folder, bool listHasSizes, AlgorithmSet algorithms,
                           HashWorkers& workers, const std::function<void()>& step,
                           const std::function<bool(const IoError&, const std::string&)>& passOver) {
    // The files of one folder follow each other and are read as those of the list's folder are: planned ahead
    // from their listing and opened relative to their folder. A digest list that names a file in several
    // algorithms reads it once for all of them: its entries are taken by name.
    std::vector<std::size_t> order(present.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    if (!algorithms.OnlyCrc32())
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return t[present[a].Id].FileName < t[present[b].Id].FileName;
        });
    auto sizeFits = [&](const TCrcTable& e, std::int64_t size) {
        return !listHasSizes || e.FileSize == NoSize || size == e.FileSize;
    };
    KeyAhead ahead(fs, folder, workers, ReadFor(algorithms), algorithms);
    std::vector<bool> planned(order.size());
    std::string lastPlanned;
    PlanWindow window(order.size(), [&](std::size_t j) {
        const SubFolderLookup::Found& f = present[order[j]];
        const TCrcTable& e = t[f.Id];
        if (!f.Listed || !f.IsFile || !sizeFits(e, f.Size)) return;
        std::string name = EntryNativeName(e);
        if (!algorithms.OnlyCrc32() && name == lastPlanned) return;
        ahead.Plan(name, f.Size);
        planned[j] = true;
        lastPlanned = std::move(name);
    });
    std::string keysPath;
    FileKeys keys;
    for (std::size_t j = 0; j < order.size(); ++j) {
        window.Reach(j);
        const SubFolderLookup::Found& f = present[order[j]];
        TCrcTable& e = t[f.Id];
        const std::string path = EntryFullPath(folder, e);
        // What the folder's listing said of the file, or the file system when it was asked instead.
        FileIdentity id;
        id.IsFile = f.IsFile;
        id.Size = f.Size;
        if (!f.Listed) id = fs.Identify(path, true);
        if (!id.IsFile || !sizeFits(e, id.Size)) continue;
        if (planned[j]) ahead.Next();
        try {
            if (algorithms.OnlyCrc32()) {
                e.Found = FileCrc32AsListed(fs, path, id.Size) == e.Crc;
            } else {
                if (keysPath != path) {
                    keysPath.clear(); // a failed read leaves no keys behind
                    keys = FileKeysAsListed(fs, path, id.Size, algorithms);
                    keysPath = path;
                }
                e.Found = t.Carries(e, keys.Of(t.AlgorithmOf(e)));
            }
        } catch (const IoError& x) {
            // Passed over: the row shows what was seen, × for a file that is there, － for one gone.
            if (!passOver(x, EntryNativeName(e))) throw;
            e.Found = false;
            if (IsNotFound(x)) e.Exists = false;
            step();
            continue;
        }
        e.SizeMatched = e.Found && listHasSizes;
        step();
    }
}

} // namespace

void TForm1::VerifyEntries() {
    BeginTableChange();
    ConflictNames.clear();
    ConflictRows = 0;
    KeptDuplicates.clear();
    // The table is sorted and its marks change below: rows kept meanwhile would pair names and marks of
    // different entries. They are built again once every entry is checked.
    CrcList.Clear();
    if (EntryCount < 1) {
        // A list whose reading stopped before its first entry says so, not that it is empty.
        const bool stopped = ReadErrorText == texts::NothingReadable;
        Status.SetCaption(stopped ? ReadErrorText : "表示項目が有りません ( " + ExtractFileName(ListPath) + " )");
        CrcList.Clear();
        EndTableChange();
        return;
    }
    VerifiedAt = std::chrono::duration_cast<std::chrono::nanoseconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count();
    // A load for adding new files stops here, its entries in the list's order and not shown as rows: it
    // looks at no listed file, and which files the list names depends neither on their order nor on an
    // entry written twice.
    if (NamesOnly) {
        CrcList.Clear();
        TotalCounter.SetCaption(std::to_string(EntryCount));
        Status.SetCaption(ReadErrorText);
        EndTableChange();
        return;
    }
    const std::function<void()> pace = [this] { ReportProgress(); };
    SortEntriesByCrc(EntryTable, 0, EntryCount - 1, pace);
    DropRepeatedEntries(EntryTable, EntryCount);
    const std::string folder = ExtractFilePath(ListPath);
    // The folder is listed once: the listing answers both which own files are present and which files
    // the scan reads.
    std::vector<FolderEntry> files;
    std::vector<TPassedOver> unreadable;
    {
        // With hashing workers a large folder's entries are looked at by as many threads at once: the
        // list's own folder, the sub-folders its entries name and those of a walk of the tree.
        const ListingThreads threads(Hashing.ListingCount());
        std::vector<FolderEntry> listing = ListingPaced(fs, folder, pace);
        // Each sub-folder named by an entry is listed once too, and a walk of the tree takes it from there.
        TakenListings taken;
        PassedOverPaths.clear();
        {
            const std::vector<SubFolderLookup::Found> present =
                FindOwnFiles(fs, EntryTable, EntryCount, folder, listing, taken, pace);
            CheckSubFolderEntries(fs, EntryTable, present, folder, ListHasSizes, ListAlgorithms, Hashing, pace,
                                  [this](const IoError& e, const std::string& name) { return PassOverUnreadable(e, name); });
        }
        TakeMovedFilesAsFound(listing);
        // The sub-folders' files passed over so far stay named beside what the walk passes over.
        unreadable = std::move(PassedOverPaths);
        files = FilesToVerify(folder, std::move(listing), &taken);
    }
    PassedOverPaths.insert(PassedOverPaths.end(), std::make_move_iterator(unreadable.begin()),
                           std::make_move_iterator(unreadable.end()));

    bool autoDelete = DblDel.Checked();
    bool skipAll = false;
    bool stop = false;
    if (ListHasSizes)
        FindSameFilesBySize(folder, files, autoDelete, skipAll, stop);
    else
        FindSameFilesByCrc(folder, files, autoDelete, skipAll, stop);

    KeepListingForRepair(std::move(files));
    SortEntriesByName(EntryTable, 0, EntryCount - 1, pace);
    NoteNameConflicts();
    ShowEntries();
    Status.SetCaption(ReadErrorText);
    ShowPassedOver();
    if (!ConflictNames.empty()) Status.SetCaption(Status.Caption() + "　" + ConflictText());
    if (Par2Set) CountPar2Damage();
    // A duplicate that is still there (kept by the user, or not deletable) ends the program.
    if (stop) CloseRequested = true;
}

void TForm1::NoteNameConflicts() {
    ConflictNames.clear();
    ConflictRows = 0;
    for (const NameConflict& c : NameConflicts(EntryTable, EntryCount, ListHasSizes, nullptr, [this] { ReportProgress(); })) {
        ConflictNames.push_back(ShownName(EntryTable[c.First]));
        ConflictRows += c.Rows;
    }
}

std::string TForm1::ConflictText() const {
    if (ConflictNames.empty()) return {};
    std::string text = "同じ名前で内容の違う項目があります： ";
    text += ConflictNames.front();
    if (ConflictNames.size() > 1) text.append(" ほか ").append(std::to_string(ConflictNames.size() - 1)).append(" 件");
    return text;
}

void TForm1::FindSameFilesBySize(const std::string& folder, const std::vector<FolderEntry>& files, bool& autoDelete,
                                 bool& skipAll, bool& stop) {
    SortEntriesBySize(EntryTable, 0, EntryCount - 1, [this] { ReportProgress(); });
    ScanFolderForContent(folder, files, autoDelete, skipAll, stop);
}

void TForm1::FindSameFilesByCrc(const std::string& folder, const std::vector<FolderEntry>& files, bool& autoDelete,
                                bool& skipAll, bool& stop) {
    ScanFolderForContent(folder, files, autoDelete, skipAll, stop);
}

std::vector<std::int32_t> TForm1::FindEntryBySize(const std::string& path, std::int32_t n) {
    return tv::FindEntryBySize(fs, EntryTable, n, BaseFolder, path, ListAlgorithms);
}

std::vector<std::int32_t> TForm1::FindEntryByCrc(const std::string& path, std::int32_t n) {
    return tv::FindEntryByCrc(fs, EntryTable, n, BaseFolder, path, ListAlgorithms);
}

} // namespace tv
