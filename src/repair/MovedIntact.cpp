// The verification after a rename pass: a row whose own file the pass moved there, unchanged since it
// was read, is found without reading the file again. Its stamp (volume, object, size and write time)
// must still be the one it had as it was moved; anything else is read as usual. The verification's listing
// of the folder tells the stamp where it learnt it; else the file is looked at.
#include "app/TallyvaultMain.h"
#include "platform/Paths.h"

#include <unordered_map>

namespace tv {

void TForm1::TakeMovedFilesAsFound(const std::vector<FolderEntry>& listing) {
    if (MovedIntact.empty()) return;
    std::unordered_map<std::string, const MovedFile*> byPath;
    for (const MovedFile& m : MovedIntact)
        byPath[FileNameKey(m.Path)] = &m;
    std::unordered_map<std::string, const FolderEntry*> listed;
    for (const FolderEntry& f : listing)
        if (f.Object != 0) listed.emplace(FileNameKey(f.Name), &f);
    const RootsHeld held(fs);
    for (std::int32_t i = 0; i < EntryCount; ++i) {
        TCrcTable& e = EntryTable[i];
        if (!e.Exists || e.Found || e.ByListBytes || e.LiteralBackslash) continue;
        const std::string rel = NativeName(e.FileName);
        const auto it = byPath.find(FileNameKey(FolderFile(BaseFolder, rel)));
        if (it == byPath.end()) continue;
        const MovedFile& m = *it->second;
        if (e.Crc != m.Crc || e.DigestSlot != m.DigestSlot) continue;
        if (ListHasSizes && e.FileSize != NoSize && e.FileSize != m.Stamp.Id.Size) continue;
        const auto seen = rel.find_first_of("/\\") == std::string::npos ? listed.find(FileNameKey(rel)) : listed.end();
        const FileStamp now = seen != listed.end() ? ListedStamp(*seen->second) : fs.StampBeneath(BaseFolder, rel);
        if (!now.Id.IsFile || !now.Id.SameObject(m.Stamp.Id) || now.Id.Size != m.Stamp.Id.Size ||
            now.Modified == 0 || now.Modified != m.Stamp.Modified)
            continue;
        e.Found = true;
        e.SizeMatched = ListHasSizes;
        e.SameFile.clear();
    }
    MovedIntact.clear();
}

void TForm1::KeepListingForRepair(std::vector<FolderEntry> files) {
    bool found = false;
    for (std::int32_t i = 0; i < EntryCount && !found; ++i)
        found = !EntryTable[i].SameFile.empty();
    ListedForRepair = found ? std::move(files) : std::vector<FolderEntry>();
}

} // namespace tv
