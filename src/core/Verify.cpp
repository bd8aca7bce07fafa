// Verification of a freshly read list: drop repeated CRCs, see which listed files are present, list
// the list's folder once and find each entry's content under its own name or another one, deal with
// duplicates on the way, sort by name and rebuild the rows.
#include "app/TallyvaultMain.h"
#include "core/EntryNames.h"
#include "core/FileCompare.h"
#include "core/FileCrc32.h"
#include "core/FolderTree.h"
#include "core/Matching.h"
#include "core/Ordering.h"
#include "core/PacedSort.h"
#include "platform/Paths.h"
#include "platform/ReadAhead.h"
#include "readers/Texts.h"

#include <algorithm>
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
            std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
                if (t[a].FileName != t[b].FileName) return t[a].FileName < t[b].FileName;
                if (t[a].FileSize != t[b].FileSize) return t[a].FileSize < t[b].FileSize;
                return a < b;
            });
            for (std::size_t k = 1; k < order.size(); ++k) {
                const TCrcTable &x = t[order[k - 1]], &y = t[order[k]];
                if (x.FileName == y.FileName && x.FileSize == y.FileSize)
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

// The entries grouped by what a file must carry to be theirs: a CRC and, for an entry with a size, that
// size. An entry without one (a list without sizes, or an entry line after a list's size section) is
// matched by CRC alone.
class ContentGroups {
public:
    // `pace` runs between the steps of building, each a pass or a sort over all entries.
    ContentGroups(const TEntryTable& t, std::int32_t n, bool listHasSizes, const std::function<void()>& pace)
        : t_(t), sized_(listHasSizes), n_(static_cast<std::size_t>(std::max(n, 0))) {
        // The verification sorts a list without sizes by CRC, so its entries usually are in the groups'
        // order already: then positions are entry indexes and no order is kept. Otherwise the keys are
        // sorted once and only the indexes stay.
        bool inOrder = true;
        for (std::size_t k = 0; k < n_; ++k) {
            const TCrcTable& e = At(k);
            if (SizeKey(e) != NoSize)
                sizes_.push_back(e.FileSize);
            else
                ++crcOnly_;
            if (k > 0 && inOrder) inOrder = !(Key{e.Crc, SizeKey(e)} < KeyAt(k - 1));
        }
        if (!inOrder) {
            std::vector<SortKey> keys;
            keys.reserve(n_);
            for (std::size_t k = 0; k < n_; ++k)
                keys.push_back({At(k).Crc, static_cast<std::int32_t>(k), SizeKey(At(k))});
            // Keys differ by their index, and equal sizes are alike: the pieces give a plain sort's order.
            PacedSort(keys.begin(), keys.end(), std::less<>(), pace);
            order_.reserve(n_);
            for (const SortKey& k : keys)
                order_.push_back(k.Index);
        }
        PacedSort(sizes_.begin(), sizes_.end(), std::less<>(), pace);
        pace();
        auto starts = [this](std::size_t k) { return k == 0 || KeyAt(k - 1) < KeyAt(k); };
        // The groups are counted first: a million of them are not grown into.
        std::size_t count = 0;
        for (std::size_t k = 0; k < n_; ++k)
            if (starts(k)) ++count;
        groups_.reserve(count);
        groupOf_.resize(n_);
        for (std::size_t k = 0; k < n_; ++k) {
            if (starts(k)) groups_.push_back({-1, 0});
            ++groups_.back().Unfound;
            groupOf_[static_cast<std::size_t>(IndexAt(k))] = static_cast<std::uint32_t>(groups_.size() - 1);
        }
        unfound_ = n_;
    }
    std::int64_t SizeKey(const TCrcTable& e) const { return sized_ && e.FileSize != NoSize ? e.FileSize : NoSize; }
    bool Matches(const TCrcTable& e, std::int64_t size, std::uint32_t crc) const {
        return e.Crc == crc && (SizeKey(e) == NoSize || SizeKey(e) == size);
    }
    // Some entry with a size has this size.
    bool HasSize(std::int64_t size) const { return std::binary_search(sizes_.begin(), sizes_.end(), size); }
    std::int32_t CrcOnlyCount() const { return crcOnly_; }

    struct Group {
        std::int32_t Kept;    // the first entry of the group whose content was found
        std::int32_t Unfound; // entries of the group whose content is not found yet
    };
    // The groups a file of this size and CRC belongs to (by CRC alone, then by size and CRC), at most two,
    // handed to f with the position of their first entry, in that order. Called once per file of the
    // folder, so nothing is allocated.
    template <class F> void ForEachGroupOf(std::int64_t size, std::uint32_t crc, F f) {
        auto visit = [&](std::int64_t size_key) {
            const Key want{crc, size_key};
            std::size_t lo = 0, hi = n_;
            while (lo < hi) {
                const std::size_t mid = lo + (hi - lo) / 2;
                if (KeyAt(mid) < want)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            if (lo < n_ && !(want < KeyAt(lo))) f(groups_[groupOf_[static_cast<std::size_t>(IndexAt(lo))]], lo);
        };
        visit(NoSize);
        if (sized_ && size != NoSize) visit(size);
    }
    // The entry's content was found: its group learns it.
    void Found(std::int32_t i) {
        Group& g = groups_[groupOf_[static_cast<std::size_t>(i)]];
        --g.Unfound;
        --unfound_;
        if (g.Kept < 0) g.Kept = i;
    }
    // Entries of any group whose content is not found yet.
    std::size_t Unfound() const { return unfound_; }
    // The entries of the group whose first entry is at `first`.
    template <class F> void ForEachEntry(std::size_t first, F f) const {
        const Key key = KeyAt(first);
        for (std::size_t k = first; k < n_ && !(key < KeyAt(k)); ++k)
            f(IndexAt(k));
    }

private:
    // What the entries of one group share.
    struct Key {
        std::uint32_t Crc;
        std::int64_t Size;
        bool operator<(const Key& o) const { return Crc != o.Crc ? Crc < o.Crc : Size < o.Size; }
    };
    // 16 bytes: the CRC and index share the first eight.
    struct SortKey {
        std::uint32_t Crc;
        std::int32_t Index;
        std::int64_t Size;
        bool operator<(const SortKey& o) const {
            if (Crc != o.Crc) return Crc < o.Crc;
            if (Size != o.Size) return Size < o.Size;
            return Index < o.Index;
        }
    };
    std::int32_t IndexAt(std::size_t k) const { return order_.empty() ? static_cast<std::int32_t>(k) : order_[k]; }
    const TCrcTable& At(std::size_t k) const { return t_[static_cast<std::int32_t>(k)]; }
    Key KeyAt(std::size_t k) const {
        const TCrcTable& e = t_[IndexAt(k)];
        return {e.Crc, SizeKey(e)};
    }

    const TEntryTable& t_; // not reordered while the groups live
    bool sized_;
    std::size_t n_;
    std::int32_t crcOnly_ = 0;
    std::size_t unfound_ = 0;
    std::vector<std::int32_t> order_; // entry index by position; empty when they are the same
    std::vector<std::int64_t> sizes_;
    std::vector<Group> groups_;
    std::vector<std::uint32_t> groupOf_; // by entry index
};

// An entry in a sub-folder is checked at its own path: the scan reads only the files of the list's
// folder itself. An intact own file counts as found before the scan, so that a copy met there is a
// duplicate of it, as for an entry of the folder itself. A read failure ends the verification, as
// one of the scan does.
void CheckSubFolderEntries(FileSystem& fs, TEntryTable& t, std::int32_t n, const std::string& folder, bool listHasSizes,
                           const std::function<void()>& step) {
    for (std::int32_t i = 0; i < n; ++i) {
        TCrcTable& e = t[i];
        const std::string name = EntryNativeName(e);
        if (!e.Exists || std::none_of(name.begin(), name.end(), IsPathDelim)) continue;
        const std::string path = EntryFullPath(folder, e);
        const FileIdentity id = fs.Identify(path, true);
        if (!id.IsFile || (listHasSizes && e.FileSize != NoSize && id.Size != e.FileSize)) continue;
        e.Found = FileCrc32AsListed(fs, path, id.Size) == e.Crc;
        e.SizeMatched = e.Found && listHasSizes;
        step();
    }
}

} // namespace

// One scan of the list's folder for both kinds of list. The files named by entries come first: an
// own file that carries its entry's content settles that entry. Then every file, in listing order,
// gives its content to the entries of that content still unfound (one file may serve several entries
// with the same content); a file that serves none is a further copy and goes to the duplicate
// handling, unless an entry names it: a listed file is never anyone's duplicate. The scan always runs
// to its end, so every row is true even when a duplicate is kept.
void TForm1::ScanFolderForContent(const std::string& folder, const std::vector<FolderEntry>& files, bool& autoDelete,
                                  bool& skipAll, bool& stop) {
    ContentGroups groups(EntryTable, EntryCount, ListHasSizes, [this] { ReportProgress(); });
    ReportProgress();
    // Entries found intact before the scan (checked at their own path) count as found.
    std::vector<std::int64_t> intactCrcOnlySizes;
    for (std::int32_t i = 0; i < EntryCount; ++i) {
        const TCrcTable& e = EntryTable[i];
        if (!e.Found || !e.Exists) continue;
        groups.Found(i);
        if (groups.SizeKey(e) == NoSize) intactCrcOnlySizes.push_back(fs.Identify(EntryFullPath(folder, e), true).Size);
    }

    std::vector<std::vector<std::int32_t>> owners;
    {
        std::vector<const std::string*> diskNames;
        diskNames.reserve(files.size());
        for (const FolderEntry& f : files)
            diskNames.push_back(&f.Name);
        owners = OwnersOf(EntryTable, EntryCount, diskNames, [this] { ReportProgress(); });
    }
    ReportProgress();
    std::vector<std::optional<std::uint32_t>> crcs(files.size());
    // A file of a sub-folder already checked at its entry's path carries that entry's CRC: not read again.
    for (std::size_t k = 0; k < files.size(); ++k)
        for (std::int32_t i : owners[k])
            if (EntryTable[i].Found && EntryTable[i].Exists && EntryTable[i].SameFile.empty())
                crcs[k] = EntryTable[i].Crc;
    auto ownReads = [&](std::size_t k) {
        for (std::int32_t i : owners[k]) {
            const TCrcTable& e = EntryTable[i];
            if (!e.Found && (groups.SizeKey(e) == NoSize || groups.SizeKey(e) == files[k].Size)) return true;
        }
        return false;
    };
    {
        ReadAhead ahead(fs, folder);
        for (std::size_t k = 0; k < files.size(); ++k)
            if (ownReads(k)) ahead.Plan(files[k].Name, files[k].Size);
        for (std::size_t k = 0; k < files.size(); ++k) {
            if (!ownReads(k)) continue;
            ahead.Next();
            const std::uint32_t c = FileCrc32AsListed(fs, FolderFile(folder, files[k].Name), files[k].Size);
            crcs[k] = c;
            for (std::int32_t i : owners[k]) {
                TCrcTable& e = EntryTable[i];
                if (e.Found || !groups.Matches(e, files[k].Size, c)) continue;
                e.Found = true;
                e.SizeMatched = ListHasSizes;
                e.Exists = true;
                e.SameFile.clear();
                groups.Found(i);
                if (groups.SizeKey(e) == NoSize) intactCrcOnlySizes.push_back(files[k].Size);
            }
            ReportProgress();
        }
    }

    // Another file is read only when it can carry some entry's content: an entry with a size has its
    // size, or an entry matched by CRC alone is still unfound (then any file may be it), or it has the
    // size of an intact file of such an entry (a copy of that content has its size). So a large
    // unlisted file beside a complete set is never read, and the scan meets the same matches.
    std::int32_t crcOnlyUnfound = 0;
    for (std::int32_t i = 0; i < EntryCount; ++i)
        if (groups.SizeKey(EntryTable[i]) == NoSize && !EntryTable[i].Found) ++crcOnlyUnfound;
    std::sort(intactCrcOnlySizes.begin(), intactCrcOnlySizes.end());
    auto reads = [&](std::size_t k) {
        if (crcs[k]) return false;
        const std::int64_t s = files[k].Size;
        if (ListHasSizes && groups.HasSize(s)) return true;
        return groups.CrcOnlyCount() > 0 &&
               (crcOnlyUnfound > 0 || std::binary_search(intactCrcOnlySizes.begin(), intactCrcOnlySizes.end(), s));
    };
    ReadAhead ahead(fs, folder);
    for (std::size_t k = 0; k < files.size(); ++k)
        if (reads(k)) ahead.Plan(files[k].Name, files[k].Size);
    for (std::size_t k = 0; k < files.size(); ++k) {
        const FolderEntry& file = files[k];
        // A named file can serve only an entry still unfound: once every entry is found it has nothing to
        // give, and being named it is nobody's duplicate. This spares a complete set the second look.
        if (crcs[k] && !owners[k].empty() && groups.Unfound() == 0) continue;
        const std::string path = FolderFile(folder, file.Name);
        if (!crcs[k]) {
            if (!reads(k)) continue;
            ahead.Next();
            crcs[k] = FileCrc32AsListed(fs, path, file.Size);
        }
        bool served = false;
        ContentGroups::Group* kept = nullptr;
        groups.ForEachGroupOf(ListHasSizes ? file.Size : NoSize, *crcs[k],
                              [&](ContentGroups::Group& group, std::size_t first) {
                                  ContentGroups::Group* g = &group;
                                  if (g->Unfound > 0) {
                                      groups.ForEachEntry(first, [&](std::int32_t i) {
                                          TCrcTable& e = EntryTable[i];
                                          if (e.Found) return;
                                          // The content is here under another name: an own file present with other
                                          // content no longer counts as the entry's file.
                                          e.Found = true;
                                          e.SizeMatched = ListHasSizes;
                                          e.Exists = false;
                                          e.SameFile = path;
                                          groups.Found(i);
                                          served = true;
                                      });
                                  }
                                  if (g->Kept >= 0 && !kept) kept = g;
                              });
        // Files of sub-folders serve entries but are nobody's duplicates: the list's folder alone is its set.
        if (!served && kept && owners[k].empty() && !InSubFolder(file.Name)) {
            const TCrcTable& e = EntryTable[kept->Kept];
            const std::string keptPath = e.Exists ? EntryFullPath(folder, e) : e.SameFile;
            // A file that only shares the CRC is no duplicate: it stays.
            if (FilesIdentical(fs, keptPath, path)) {
                HandleDuplicate(keptPath, path, autoDelete, skipAll);
                if (fs.FileExists(path)) stop = true;
            }
        }
        ReportProgress();
    }
}

void TForm1::VerifyEntries() {
    BeginTableChange();
    if (EntryCount < 1) {
        // A list whose reading stopped before its first entry says so, not that it is empty.
        const bool stopped = ReadErrorText == texts::NothingReadable;
        Status.SetCaption(stopped ? ReadErrorText : "表示項目が有りません ( " + ExtractFileName(ListPath) + " )");
        CrcList.Clear();
        EndTableChange();
        return;
    }
    const std::function<void()> pace = [this] { ReportProgress(); };
    SortEntriesByCrc(EntryTable, 0, EntryCount - 1, pace);
    DropRepeatedEntries(EntryTable, EntryCount);

    const std::string folder = ExtractFilePath(ListPath);
    // The folder is listed once: the listing answers both which own files are present and which files
    // the scan reads.
    std::vector<FolderEntry> listing = ListingPaced(fs, folder, pace);
    {
        const PresenceTest presence(fs, folder, listing);
        for (std::int32_t i = 0; i < EntryCount; ++i) {
            TCrcTable& e = EntryTable[i];
            e.SameFile.clear();
            e.SizeMatched = false;
            e.Found = false;
            e.Exists = e.ByListBytes ? presence.ExistsNative(EntryNativeName(e)) : presence.Exists(e.FileName);
            // A converted name that names no file may still name it by the list's own bytes.
            if (!e.Exists && !e.ListBytes.empty() && !e.ByListBytes && presence.ExistsNative(ListBytesNativeName(e))) {
                UseListBytes(e);
                e.Exists = true;
            }
            ReportProgress();
        }
    }
    CheckSubFolderEntries(fs, EntryTable, EntryCount, folder, ListHasSizes, pace);
    const std::vector<FolderEntry> files = FilesToVerify(folder, std::move(listing));

    bool autoDelete = DblDel.Checked();
    bool skipAll = false;
    bool stop = false;
    if (ListHasSizes)
        FindSameFilesBySize(folder, files, autoDelete, skipAll, stop);
    else
        FindSameFilesByCrc(folder, files, autoDelete, skipAll, stop);

    SortEntriesByName(EntryTable, 0, EntryCount - 1, pace);
    ShowEntries();
    Status.SetCaption(ReadErrorText);
    ShowPassedOver();
    // A duplicate that is still there (kept by the user, or not deletable) ends the program.
    if (stop) CloseRequested = true;
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
    return tv::FindEntryBySize(fs, EntryTable, n, BaseFolder, path);
}

std::vector<std::int32_t> TForm1::FindEntryByCrc(const std::string& path, std::int32_t n) {
    return tv::FindEntryByCrc(fs, EntryTable, n, BaseFolder, path);
}

} // namespace tv
