// Verification of a freshly read list: drop repeated CRCs, see which listed files are present, list
// the list's folder once and find each entry's content under its own name or another one, deal with
// duplicates on the way, sort by name and rebuild the rows.
#include "app/TallyvaultMain.h"
#include "core/EntryNames.h"
#include "core/FileCrc32.h"
#include "core/FileDigest.h"
#include "core/FolderTree.h"
#include "core/Matching.h"
#include "core/Ordering.h"
#include "platform/Paths.h"
#include "readers/Texts.h"

#include <algorithm>
#include <chrono>
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

// An entry in a sub-folder is checked at its own path: the scan reads only the files of the list's
// folder itself. An intact own file counts as found before the scan, so that a copy met there is a
// duplicate of it, as for an entry of the folder itself. A read failure ends the verification, as
// one of the scan does.
void CheckSubFolderEntries(FileSystem& fs, TEntryTable& t, std::int32_t n, const std::string& folder, bool listHasSizes,
                           AlgorithmSet algorithms, const std::function<void()>& step) {
    // A digest list that names a file in several algorithms reads it once for all of them: its
    // entries are taken by name.
    std::vector<std::int32_t> order;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::string name = EntryNativeName(t[i]);
        if (t[i].Exists && std::any_of(name.begin(), name.end(), IsPathDelim)) order.push_back(i);
    }
    if (!algorithms.OnlyCrc32())
        std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
            return t[a].FileName < t[b].FileName;
        });
    std::string keysPath;
    FileKeys keys;
    for (std::int32_t i : order) {
        TCrcTable& e = t[i];
        const std::string path = EntryFullPath(folder, e);
        const FileIdentity id = fs.Identify(path, true);
        if (!id.IsFile || (listHasSizes && e.FileSize != NoSize && id.Size != e.FileSize)) continue;
        if (algorithms.OnlyCrc32()) {
            e.Found = FileCrc32AsListed(fs, path, id.Size) == e.Crc;
        } else {
            if (keysPath != path) keys = FileKeysAsListed(fs, path, id.Size, algorithms), keysPath = path;
            e.Found = t.Carries(e, keys.Of(t.AlgorithmOf(e)));
        }
        e.SizeMatched = e.Found && listHasSizes;
        step();
    }
}

} // namespace

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
    VerifiedAt = std::chrono::duration_cast<std::chrono::nanoseconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count();
    const std::function<void()> pace = [this] { ReportProgress(); };
    SortEntriesByCrc(EntryTable, 0, EntryCount - 1, pace);
    DropRepeatedEntries(EntryTable, EntryCount);

    // A load for adding new files stops here: it looks at no listed file.
    if (NamesOnly) {
        SortEntriesByName(EntryTable, 0, EntryCount - 1, pace);
        ShowEntries();
        Status.SetCaption(ReadErrorText);
        return;
    }
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
            e.Exists = e.ByListBytes || e.LiteralBackslash ? presence.ExistsNative(EntryNativeName(e))
                                                           : presence.Exists(e.FileName);
            // A converted name that names no file may still name it by the list's own bytes.
            if (!e.Exists && !e.ListBytes.empty() && !e.ByListBytes && presence.ExistsNative(ListBytesNativeName(e))) {
                UseListBytes(e);
                e.Exists = true;
            }
            ReportProgress();
        }
    }
    CheckSubFolderEntries(fs, EntryTable, EntryCount, folder, ListHasSizes, ListAlgorithms, pace);
    TakeMovedFilesAsFound();
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
    return tv::FindEntryBySize(fs, EntryTable, n, BaseFolder, path, ListAlgorithms);
}

std::vector<std::int32_t> TForm1::FindEntryByCrc(const std::string& path, std::int32_t n) {
    return tv::FindEntryByCrc(fs, EntryTable, n, BaseFolder, path, ListAlgorithms);
}

} // namespace tv
