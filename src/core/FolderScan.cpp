// The scan of the list's folder that finds each entry's content under its own name or another one,
// for CRC-32 lists by CRC and for digest lists by every digest the list names (see core/ScanKeys.h).
#include "app/TallyvaultMain.h"
#include "core/EntryNames.h"
#include "core/FileCompare.h"
#include "core/FolderTree.h"
#include "core/PacedSort.h"
#include "core/ScanKeys.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "core/KeyAhead.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_set>
#include <optional>
#include <set>
#include <span>
#include <unordered_map>

namespace tv {

namespace {

// The entries grouped by what a file must carry to be theirs: a CRC (a digest's first four bytes) and, for an entry with a size, that
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
    // The entry's size, if it has one, is this size.
    bool SizeFits(const TCrcTable& e, std::int64_t size) const { return SizeKey(e) == NoSize || SizeKey(e) == size; }
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

// A file of the folder that an absolute name points to is that entry's own file, as one its relative name
// names: it serves no other entry as a copy and is nobody's duplicate.
void OwnByAbsoluteNames(const TEntryTable& table, std::int32_t count, const std::string& folder,
                        const std::vector<FolderEntry>& files, NameOwners& owners) {
    std::unordered_map<std::string, std::vector<std::int32_t>> byName;
    for (std::int32_t i = 0; i < count; ++i)
        if (EntryIsAbsolute(table[i]))
            if (const std::optional<std::string> rel = NameBeneath(EntryFullPath(folder, table[i]), folder))
                byName[FolderKey(*rel)].push_back(i);
    if (byName.empty()) return;
    std::vector<std::pair<std::uint32_t, std::int32_t>> more;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const auto it = byName.find(FolderKey(files[k].Name));
        if (it == byName.end()) continue;
        for (const std::int32_t i : it->second)
            more.emplace_back(static_cast<std::uint32_t>(k), i);
    }
    owners.Add(more);
}

// One scan of the list's folder for both kinds of list. The files named by entries come first: an
// own file that carries its entry's content settles that entry. Then every file, in listing order,
// gives its content to the entries of that content still unfound (one file may serve several entries
// with the same content); a file that serves none is a further copy and goes to the duplicate
// handling, unless an entry names it: a listed file is never anyone's duplicate. The scan always runs
// to its end, so every row is true even when a duplicate is kept.
template <class Keys>
void ScanWith(TForm1& form, const std::string& folder, const std::vector<FolderEntry>& files, bool& autoDelete,
              bool& skipAll, bool& stop) {
    FileSystem& fs = form.fs;
    TEntryTable& table = form.EntryTable;
    const std::int32_t count = form.EntryCount;
    const bool sized = form.ListHasSizes;
    const auto pace = [&form] { form.ReportProgress(); };
    ContentGroups groups(table, count, sized, pace);
    pace();
    NameOwners owners;
    {
        std::vector<const std::string*> diskNames;
        diskNames.reserve(files.size());
        for (const FolderEntry& f : files)
            diskNames.push_back(&f.Name);
        owners = OwnersOf(table, count, diskNames, pace);
    }
    OwnByAbsoluteNames(table, count, folder, files, owners);
    pace();
    // Entries found intact before the scan (checked at their own path) count as found. The size of such a
    // file is the listed one of the file under the entry's very name, else the file system's.
    // Sorted and without repeats whenever it is about to grow: a million intact files of a few hundred
    // sizes keep a few hundred.
    std::vector<std::int64_t> intactCrcOnlySizes;
    auto intactSize = [&](std::int64_t size) {
        auto& v = intactCrcOnlySizes;
        if (v.size() == v.capacity() && v.size() >= 1024) {
            std::sort(v.begin(), v.end());
            v.erase(std::unique(v.begin(), v.end()), v.end());
        }
        v.push_back(size);
    };
    std::vector<bool> sizeListed(static_cast<std::size_t>(std::max(count, 0)));
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (k % 1024 == 1023) pace();
        for (std::int32_t i : owners[k]) {
            const TCrcTable& e = table[i];
            if (!e.Found || !e.Exists || groups.SizeKey(e) != NoSize || files[k].Name != EntryNativeName(e)) continue;
            intactSize(files[k].Size);
            sizeListed[static_cast<std::size_t>(i)] = true;
        }
    }
    for (std::int32_t i = 0; i < count; ++i) {
        pace(); // an entry may be looked at on the disk
        const TCrcTable& e = table[i];
        if (!e.Found || !e.Exists) continue;
        groups.Found(i);
        if (groups.SizeKey(e) == NoSize && !sizeListed[static_cast<std::size_t>(i)])
            intactSize(fs.Identify(EntryFullPath(folder, e), true).Size);
    }
    Keys keys(fs, table, files.size(), form.ListAlgorithms);
    // A file of a sub-folder already checked at its entry's path carries that entry's content: not read again.
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (k % 1024 == 1023) pace();
        for (std::int32_t i : owners[k])
            if (table[i].Found && table[i].Exists && table[i].SameFile.empty()) keys.KnownAs(k, i, table[i]);
    }
    // Files that could not be read, passed over with KeepGoing: they serve no entry, and an entry whose own
    // file vanished meanwhile shows as missing.
    std::vector<char> unreadable(files.size());
    if (!form.PassedOverPaths.empty()) {
        // Passed over already, at the entry's own path in a sub-folder: not tried again. The entry's name may
        // spell its separators otherwise than the walk does ("sub/b.bin" and "sub\b.bin" on Windows), and
        // letter case where the file system ignores it: both are compared as the file system compares them.
        std::unordered_set<std::string> passed;
        for (const TForm1::TPassedOver& p : form.PassedOverPaths)
            if (!p.IsFolder) passed.insert(FolderKey(p.Path));
        for (std::size_t k = 0; k < files.size(); ++k)
            if (passed.count(FolderKey(files[k].Name))) unreadable[k] = 1;
    }
    auto read = [&](std::size_t k, bool own) {
        try {
            keys.Read(k, FolderFile(folder, files[k].Name), files[k].Size, own);
            return true;
        } catch (const IoError& x) {
            // An unlisted link whose file went meanwhile (deleted as a duplicate by this scan) is passed
            // over as the listing passes over a dangling link: it carries no content.
            if (files[k].IsLink && owners[k].empty() && IsNotFound(x)) {
                unreadable[k] = 1;
                return false;
            }
            if (!form.PassOverUnreadable(x, files[k].Name)) throw;
            unreadable[k] = 1;
            if (IsNotFound(x))
                for (std::int32_t i : owners[k])
                    if (!table[i].Found) table[i].Exists = false;
            return false;
        }
    };
    auto ownReads = [&](std::size_t k) {
        for (std::int32_t i : owners[k]) {
            const TCrcTable& e = table[i];
            if (!e.Found && (groups.SizeKey(e) == NoSize || groups.SizeKey(e) == files[k].Size)) return true;
        }
        return false;
    };
    {
        KeyAhead ahead(fs, folder, form.Hashing, ReadFor(form.ListAlgorithms), form.ListAlgorithms);
        for (std::size_t k = 0; k < files.size(); ++k)
            if (ownReads(k)) form.Progress.Plan(1, files[k].Size);
        PlanWindow window(files.size(), [&](std::size_t k) {
            if (ownReads(k)) ahead.Plan(files[k].Name, files[k].Size);
        });
        for (std::size_t k = 0; k < files.size(); ++k) {
            window.Reach(k);
            if (!ownReads(k)) continue;
            ahead.Next();
            if (unreadable[k] || !read(k, true)) continue;
            for (std::int32_t i : owners[k]) {
                TCrcTable& e = table[i];
                if (e.Found || !groups.SizeFits(e, files[k].Size) || !keys.Carries(k, e)) continue;
                e.Found = true;
                e.SizeMatched = sized;
                e.Exists = true;
                e.SameFile.clear();
                groups.Found(i);
                if (groups.SizeKey(e) == NoSize) intactSize(files[k].Size);
            }
            keys.Keep(k, owners[k]);
            pace();
        }
    }

    // Another file is read only when it can carry some entry's content: an entry with a size has its
    // size, or an entry matched by CRC alone is still unfound (then any file may be it), or it has the
    // size of an intact file of such an entry (a copy of that content has its size). So a large
    // unlisted file beside a complete set is never read, and the scan meets the same matches.
    std::int32_t crcOnlyUnfound = 0;
    for (std::int32_t i = 0; i < count; ++i)
        if (groups.SizeKey(table[i]) == NoSize && !table[i].Found) ++crcOnlyUnfound;
    std::sort(intactCrcOnlySizes.begin(), intactCrcOnlySizes.end());
    // A list that can rule a file out by its first bytes is asked once per file, before the file is planned.
    std::vector<std::int8_t> headChecked(form.ContentPrecheck ? files.size() : 0, -1);
    auto reads = [&](std::size_t k) {
        if (keys.Known(k)) return false;
        const std::int64_t s = files[k].Size;
        if (sized && groups.HasSize(s)) {
            if (headChecked.empty()) return true;
            if (headChecked[k] < 0) headChecked[k] = form.ContentPrecheck(FolderFile(folder, files[k].Name), s) ? 1 : 0;
            return headChecked[k] == 1;
        }
        return groups.CrcOnlyCount() > 0 &&
               (crcOnlyUnfound > 0 || std::binary_search(intactCrcOnlySizes.begin(), intactCrcOnlySizes.end(), s));
    };
    // The files that rows read through a symbolic link under their own name: such a file is that row's
    // content, never a further copy to delete (the link would be left pointing at nothing).
    std::set<std::pair<std::uint64_t, std::uint64_t>> linked;
    // The rows that read their own file through a link: such a row is never the kept copy of a duplicate
    // (a duplicate is deleted only beside a plain file), so another intact row of that content is.
    std::vector<bool> linkRow;
    auto readsThroughLink = [&](const std::string& link, std::span<const std::int32_t> rows) {
        const FileIdentity to = fs.Identify(link, true);
        if (to.Exists && to.Object != 0) linked.insert({to.Volume, to.Object});
        if (linkRow.empty()) linkRow.assign(static_cast<std::size_t>(count), false);
        for (const std::int32_t i : rows) linkRow[static_cast<std::size_t>(i)] = true;
    };
    std::vector<bool> inListing(static_cast<std::size_t>(std::max(count, 0)));
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (files[k].IsLink && !owners[k].empty()) readsThroughLink(FolderFile(folder, files[k].Name), owners[k]);
        for (const std::int32_t i : owners[k]) inListing[static_cast<std::size_t>(i)] = true;
    }
    // A present row whose own file the listing above does not hold (a link in a sub-folder, a file named
    // by an absolute path) is looked at on the disk: its file may be a link too.
    for (std::int32_t i = 0; i < count; ++i) {
        if (i % 1024 == 1023) pace();
        if (!table[i].Exists || inListing[static_cast<std::size_t>(i)]) continue;
        const std::string own = EntryFullPath(folder, table[i]);
        if (fs.Identify(own).IsLink) readsThroughLink(own, std::span<const std::int32_t>(&i, 1));
    }
    auto readsALink = [&](std::int32_t i) {
        return !linkRow.empty() && table[i].Exists && linkRow[static_cast<std::size_t>(i)];
    };
    auto readByLink = [&](const std::string& path) {
        if (linked.empty()) return false;
        const FileIdentity id = fs.Identify(path);
        return id.Exists && id.Object != 0 && linked.count({id.Volume, id.Object}) != 0;
    };
    // Links come after the plain files: a content that a plain file also holds is found there, since a
    // repair takes nothing from a link (what it points to may lie anywhere).
    std::vector<std::size_t> linksLast;
    if (std::any_of(files.begin(), files.end(), [](const FolderEntry& f) { return f.IsLink; })) {
        linksLast.reserve(files.size());
        for (const bool links : {false, true})
            for (std::size_t k = 0; k < files.size(); ++k)
                if (files[k].IsLink == links) linksLast.push_back(k);
    }
    auto nth = [&](std::size_t n) { return linksLast.empty() ? n : linksLast[n]; };
    KeyAhead ahead(fs, folder, form.Hashing, ReadFor(form.ListAlgorithms), form.ListAlgorithms);
    for (std::size_t n = 0; n < files.size(); ++n)
        if (reads(nth(n))) form.Progress.Plan(1, files[nth(n)].Size);
    PlanWindow window(files.size(), [&](std::size_t n) {
        if (reads(nth(n))) ahead.Plan(files[nth(n)].Name, files[nth(n)].Size);
    });
    for (std::size_t n = 0; n < files.size(); ++n) {
        window.Reach(n);
        const std::size_t k = nth(n);
        const FolderEntry& file = files[k];
        // A named file can serve only an entry still unfound: once every entry is found it has nothing to
        // give, and being named it is nobody's duplicate. This spares a complete set the second look.
        if (keys.Known(k) && !owners[k].empty() && groups.Unfound() == 0) continue;
        const std::string path = FolderFile(folder, file.Name);
        if (!keys.Known(k)) {
            if (!reads(k)) continue;
            ahead.Next();
            if (unreadable[k] || !read(k, false)) continue;
        }
        bool served = false;
        std::int32_t kept = -1; // a found entry whose content this file carries
        keys.ForEachKey(k, [&](std::uint32_t prefix, const auto& carries) {
            groups.ForEachGroupOf(sized ? file.Size : NoSize, prefix,
                                  [&](ContentGroups::Group& group, std::size_t first) {
                                  ContentGroups::Group* g = &group;
                                  if (g->Unfound > 0) {
                                      groups.ForEachEntry(first, [&](std::int32_t i) {
                                          TCrcTable& e = table[i];
                                          if (e.Found || !carries(e)) return;
                                          // The content is here under another name: an own file present with other
                                          // content no longer counts as the entry's file.
                                          e.Found = true;
                                          e.SizeMatched = sized;
                                          e.Exists = false;
                                          e.SameFile = path;
                                          groups.Found(i);
                                          served = true;
                                      });
                                  }
                                  // Entries sharing a digest's first bytes share a group: the kept copy is one
                                  // whose whole content the file carries.
                                  // A row read through a link gives way to one with a plain file.
                                  auto better = [&](std::int32_t i) {
                                      return kept < 0 || (readsALink(kept) && !readsALink(i));
                                  };
                                  if (g->Kept >= 0 && (kept < 0 || readsALink(kept))) {
                                      if (carries(table[g->Kept]) && better(g->Kept)) kept = g->Kept;
                                      if (kept < 0 || readsALink(kept))
                                          groups.ForEachEntry(first, [&](std::int32_t i) {
                                              if (table[i].Found && carries(table[i]) && better(i)) kept = i;
                                          });
                                  }
                              });
        });
        // Files of sub-folders serve entries but are nobody's duplicates: the list's folder alone is its set.
        // A link is no second copy either (and what it points to may be gone by now, deleted as one).
        if (!served && kept >= 0 && owners[k].empty() && !InSubFolder(file.Name) && !file.IsLink) {
            const TCrcTable& e = table[kept];
            const std::string keptPath = e.Exists ? EntryFullPath(folder, e) : e.SameFile;
            // A file that only shares the CRC is no duplicate: it stays.
            if (!readByLink(path) && FilesIdentical(fs, keptPath, path)) {
                form.HandleDuplicate(keptPath, path, autoDelete, skipAll);
                if (fs.FileExists(path)) {
                    stop = true;
                    form.KeptDuplicates.emplace_back(path, keptPath);
                }
            }
        }
        pace();
    }
}


} // namespace

void TForm1::ScanFolderForContent(const std::string& folder, const std::vector<FolderEntry>& files, bool& autoDelete,
                                  bool& skipAll, bool& stop) {
    // A CRC-32 list keeps the compact path it always took.
    if (ListAlgorithms.OnlyCrc32())
        ScanWith<CrcScanKeys>(*this, folder, files, autoDelete, skipAll, stop);
    else
        ScanWith<DigestScanKeys>(*this, folder, files, autoDelete, skipAll, stop);
}

} // namespace tv
