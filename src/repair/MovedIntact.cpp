// The verification after a rename pass: a row whose own file the pass moved there, unchanged since it
// was read, is found without reading the file again. Its stamp (volume, object, size and write time)
// must still be the one it had as it was moved; anything else is read as usual.
#include "app/TallyvaultMain.h"
#include "platform/Paths.h"

#include <unordered_map>

namespace tv {

void TForm1::TakeMovedFilesAsFound() {
    if (MovedIntact.empty()) return;
    std::unordered_map<std::string, const MovedFile*> byPath;
    for (const MovedFile& m : MovedIntact)
        byPath[FileNameKey(m.Path)] = &m;
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
        const FileStamp now = fs.StampBeneath(BaseFolder, rel);
        if (!now.Id.IsFile || !now.Id.SameObject(m.Stamp.Id) || now.Id.Size != m.Stamp.Id.Size ||
            now.Modified == 0 || now.Modified != m.Stamp.Modified)
            continue;
        e.Found = true;
        e.SizeMatched = ListHasSizes;
        e.SameFile.clear();
    }
    MovedIntact.clear();
}

} // namespace tv
