// A double click on a row opens the file behind it with the desktop's default program: the entry's
// own file when it is in place, or the same file found elsewhere.
#include "app/TallyvaultMain.h"

#include "platform/Paths.h"

namespace tv {

void TForm1::CrcListDblClick() {
    const std::int32_t i = CrcList.Selected();
    if (i < 0) return;
    std::string target;
    if (IsCreateMode) {
        // Rows of a folder scan are sorted apart from the table: the row's own caption is the real
        // name of the file, not a list's name to be made native.
        target = FolderFile(BaseFolder, CrcList.Item(i).FileName());
    } else if (i < EntryCount) {
        const TCrcTable& e = EntryTable[i];
        if (e.Exists)
            target = EntryPath(i);
        else if (e.Found)
            target = e.SameFile;
    }
    if (!target.empty()) ui.ShellOpen(target, ExtractFileDir(target));
    CrcList.SetSelected(-1);
}

} // namespace tv
