// Verification of a freshly read list: drop repeated CRCs, see which listed files are present, list
// the list's folder once and find each entry's content under its own name or another one, deal with
// duplicates on the way, sort by name and rebuild the rows.
#include "app/TallyvaultMain.h"
#include "core/EntryNames.h"
#include "core/FileCompare.h"
#include "core/FileCrc32.h"
#include "core/Matching.h"
#include "core/Ordering.h"
#include "platform/Paths.h"
#include "platform/ReadAhead.h"
#include "readers/Texts.h"

#include <algorithm>

namespace tv {

namespace {

// Of each run of equal CRCs in a CRC-sorted table only the first record stays; the rest move down.
void DropRepeatedCrcs(TEntryTable& t, std::int32_t& count) {
    if (count < 2) return;
    std::int32_t kept = 1;
    for (std::int32_t i = 1; i < count; ++i) {
        if (t[i].Crc == t[kept - 1].Crc) continue;
        if (i != kept) std::swap(t[kept], t[i]);
        ++kept;
    }
    count = kept;
}

// A hash of a name as SameText compares it (ASCII letters in either case, "\\" read as "/"). Two names
// with one hash are taken for one name, which only decides when a file is read, never what it matches.
std::uint64_t FoldedNameHash(std::string_view name) {
    std::uint64_t h = 14695981039346656037ull;
    for (char c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c == '\\') c = '/';
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return h;
}

struct ScanRun {
    TForm1& f;
    const std::string& folder;
    bool sizeFirst;
    bool& autoDelete;
    bool& skipAll;
    bool& stop;

    // A folder file named `name` carries entry i's content.
    void ApplyMatch(std::int32_t i, const std::string& name) {
        TCrcTable& e = f.EntryTable[i];
        const bool sameName = IsOwnFileName(e, name);
        const std::string path = FolderFile(folder, name);
        if (!e.Found) {
            e.Found = true;
            if (sizeFirst) e.SizeMatched = true;
            e.Exists = sameName;
            e.SameFile = sameName ? std::string() : path;
        } else if (sameName) {
            // The own file, met after a copy under another name: the copy is the duplicate. A file
            // that only shares the CRC is no duplicate: it stays, and the own file counts as found.
            const bool duplicate = FilesIdentical(f.fs, path, e.SameFile);
            if (duplicate) f.HandleDuplicate(path, e.SameFile, autoDelete, skipAll);
            if (duplicate && f.fs.FileExists(e.SameFile)) {
                stop = true;
            } else {
                e.Exists = true;
                e.Found = true;
                if (sizeFirst) e.SizeMatched = true;
                e.SameFile.clear();
            }
        } else {
            const std::string kept = e.Exists ? EntryFullPath(folder, e) : e.SameFile;
            if (!FilesIdentical(f.fs, kept, path)) return;
            f.HandleDuplicate(kept, path, autoDelete, skipAll);
            if (f.fs.FileExists(path)) stop = true;
        }
    }
};

// An entry in a sub-folder is checked at its own path: the scan reads only the files of the list's
// folder itself. An intact own file counts as found before the scan, so that a copy met there is a
// duplicate of it, as for an entry of the folder itself. A read failure ends the verification, as
// one of the scan does.
void CheckSubFolderEntries(FileSystem& fs, TEntryTable& t, std::int32_t n, const std::string& folder, bool listHasSizes,
                           Ui& ui) {
    for (std::int32_t i = 0; i < n; ++i) {
        TCrcTable& e = t[i];
        const std::string name = EntryNativeName(e);
        if (!e.Exists || std::none_of(name.begin(), name.end(), IsPathDelim)) continue;
        const std::string path = EntryFullPath(folder, e);
        const FileIdentity id = fs.Identify(path, true);
        if (!id.IsFile || (listHasSizes && e.FileSize != NoSize && id.Size != e.FileSize)) continue;
        e.Found = FileCrc32(fs, path, id.Size) == e.Crc;
        e.SizeMatched = e.Found && listHasSizes;
        ui.ProcessMessages();
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
        ui.SetBusyCursor(false);
        return;
    }
    SortEntriesByCrc(EntryTable, 0, EntryCount - 1);
    DropRepeatedCrcs(EntryTable, EntryCount);

    const std::string folder = ExtractFilePath(ListPath);
    // The folder is listed once: the listing answers both which own files are present and which files
    // the scan reads.
    std::vector<FolderEntry> listing = ListingPaced(fs, folder, [this] { ui.ProcessMessages(); });
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
            ui.ProcessMessages();
        }
    }
    CheckSubFolderEntries(fs, EntryTable, EntryCount, folder, ListHasSizes, ui);
    const std::vector<FolderEntry> files = PlainFilesOf(std::move(listing));

    bool autoDelete = DblDel.Checked();
    bool skipAll = false;
    bool stop = false;
    if (ListHasSizes)
        FindSameFilesBySize(folder, files, autoDelete, skipAll, stop);
    else
        FindSameFilesByCrc(folder, files, autoDelete, skipAll, stop);

    SortEntriesByName(EntryTable, 0, EntryCount - 1);
    ShowEntries();
    Status.SetCaption(ReadErrorText);
    ui.SetBusyCursor(false);
    // A duplicate that is still there (kept by the user, or not deletable) ends the program.
    if (stop) CloseRequested = true;
}

void TForm1::FindSameFilesBySize(const std::string& folder, const std::vector<FolderEntry>& files, bool& autoDelete,
                                 bool& skipAll, bool& stop) {
    SortEntriesBySize(EntryTable, 0, EntryCount - 1);
    SizeMatcher matcher(EntryTable, EntryCount);
    ScanRun run{*this, folder, true, autoDelete, skipAll, stop};
    ReadAhead ahead(fs, folder);
    for (const FolderEntry& file : files)
        if (matcher.HasSize(file.Size)) ahead.Plan(file.Name, file.Size);
    for (const FolderEntry& file : files) {
        const std::string path = FolderFile(folder, file.Name);
        // The file's CRC is computed once, and only when some entry has its size.
        auto crc = [&] {
            ahead.Next();
            return FileCrc32(fs, path, file.Size);
        };
        for (std::int32_t i : matcher.Match(file.Size, crc)) {
            run.ApplyMatch(i, file.Name);
            if (stop) return;
        }
        ui.ProcessMessages();
    }
}

void TForm1::FindSameFilesByCrc(const std::string& folder, const std::vector<FolderEntry>& files, bool& autoDelete,
                                bool& skipAll, bool& stop) {
    ScanRun run{*this, folder, false, autoDelete, skipAll, stop};
    const CrcMatcher matcher(EntryTable, EntryCount);
    // The files named as entries are read first, their CRCs kept for the scan in listing order. Another
    // file is read only when it can match: while some entry's own file is missing or does not match,
    // or when it has the size of an own file that matched (a copy of that content has its size). So a
    // large unlisted file beside a complete set is never read, and the scan meets the same matches.
    std::vector<std::uint64_t> listed;
    listed.reserve(static_cast<std::size_t>(EntryCount));
    for (std::int32_t i = 0; i < EntryCount; ++i)
        listed.push_back(FoldedNameHash(EntryTable[i].FileName));
    std::sort(listed.begin(), listed.end());
    std::vector<bool> own(files.size());
    for (std::size_t k = 0; k < files.size(); ++k)
        own[k] = std::binary_search(listed.begin(), listed.end(), FoldedNameHash(files[k].Name));
    listed = {};

    std::vector<std::uint32_t> ownCrc(files.size());
    std::vector<bool> intact(static_cast<std::size_t>(EntryCount));
    std::vector<std::int64_t> intactSizes;
    // Entries in sub-folders found intact at their own paths before the scan.
    for (std::int32_t i = 0; i < EntryCount; ++i) {
        const TCrcTable& e = EntryTable[i];
        if (!e.Found || !e.Exists) continue;
        intact[static_cast<std::size_t>(i)] = true;
        intactSizes.push_back(fs.Identify(EntryFullPath(folder, e), true).Size);
    }
    {
        ReadAhead ahead(fs, folder);
        for (std::size_t k = 0; k < files.size(); ++k)
            if (own[k]) ahead.Plan(files[k].Name, files[k].Size);
        for (std::size_t k = 0; k < files.size(); ++k) {
            if (!own[k]) continue;
            ahead.Next();
            ownCrc[k] = FileCrc32(fs, FolderFile(folder, files[k].Name), files[k].Size);
            const std::int32_t i = matcher.Match(ownCrc[k]);
            if (i >= 0 && SameFileName(EntryNativeName(EntryTable[i]), files[k].Name)) {
                intact[static_cast<std::size_t>(i)] = true;
                intactSizes.push_back(files[k].Size);
            }
            ui.ProcessMessages();
        }
    }
    const bool complete = std::find(intact.begin(), intact.end(), false) == intact.end();
    intact = {};
    std::sort(intactSizes.begin(), intactSizes.end());
    auto reads = [&](std::size_t k) {
        return !own[k] && (!complete || std::binary_search(intactSizes.begin(), intactSizes.end(), files[k].Size));
    };

    ReadAhead ahead(fs, folder);
    for (std::size_t k = 0; k < files.size(); ++k)
        if (reads(k)) ahead.Plan(files[k].Name, files[k].Size);
    for (std::size_t k = 0; k < files.size(); ++k) {
        const FolderEntry& file = files[k];
        std::uint32_t c = 0;
        if (own[k]) {
            c = ownCrc[k];
        } else if (reads(k)) {
            ahead.Next();
            c = FileCrc32(fs, FolderFile(folder, file.Name), file.Size);
        } else {
            continue;
        }
        std::int32_t i = matcher.Match(c);
        if (i >= 0) {
            run.ApplyMatch(i, file.Name);
            if (stop) return;
        }
        ui.ProcessMessages();
    }
}

std::int32_t TForm1::FindEntryBySize(const std::string& path, std::int32_t n) {
    return tv::FindEntryBySize(fs, EntryTable, n, BaseFolder, path);
}

std::int32_t TForm1::FindEntryByCrc(const std::string& path, std::int32_t n) {
    return tv::FindEntryByCrc(fs, EntryTable, n, BaseFolder, path);
}

} // namespace tv
