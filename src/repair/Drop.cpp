// Files dropped on the window: one dropped checksum list becomes the current list; otherwise every
// dropped file is matched against all entries by content and recorded by the same rule as the
// complement search. The table stays in name order throughout (the lookup has an index of its own),
// so the rows never stop showing their entries, even when a file cannot be read.
#include "app/TallyvaultMain.h"
#include "platform/Paths.h"
#include "readers/Dialects.h"
#include "repair/RepairRun.h"
#include "repair/RepairTexts.h"

#include <optional>

namespace tv {

void TForm1::FilesDropped(const std::vector<std::string>& paths) {
    if (SearchActive) return; // a drop would change the entries under the walk
    bool autoDelete = DblDel.Checked();
    bool skipAll = DblNop.Checked();
    std::int32_t matched = 0;
    bool loaded = false;

    if (IsCreateMode) ModeButtonClick();
    if (paths.size() == 1 &&
        ((ExtensionIn(paths[0], ".CRC.CSV.SFV") || UpperAscii(ExtractFileExt(paths[0])) == ".PAR2") ||
         AcceptedAsDigestList(fs, paths[0]))) {
        ListPath = ExpandLongPath(paths[0]);
        LoadList();
        loaded = true;
    }
    std::optional<TRepairRun> run;
    if (!loaded) {
        run.emplace(TRepairRun{ContentIndex(EntryTable, EntryCount, ListHasSizes, BaseFolder, ListAlgorithms),
                               {},
                               0,
                               NameIndex(EntryTable, EntryCount),
                               BaseFolder,
                               {}});
        struct Running {
            TForm1& f;
            Running(TForm1& form, TRepairRun& r) : f(form) { f.RepairRun = &r; }
            ~Running() { f.RepairRun = nullptr; }
        } running(*this, *run);
        for (const std::string& path : paths) {
            if (fs.FolderExists(path)) continue; // a folder never matches
            matched += RecordFind(run->Find(fs, path), path, autoDelete, skipAll);
        }
    }

    if (matched > 0) {
        Status.SetCaption(texts::DropFoundHead + std::to_string(matched) + texts::DropFoundTail);
        ShowEntries();
        CheckCycle = 0;
        CheckButtonClick();
    } else if (!loaded) {
        Status.SetCaption(texts::DropNothing);
    }
    ui.BringToFront();
    if (run) run->Report(ui);
    if (AutoMove.Checked() && matched > 0) FileChangeCmdClick();
}

} // namespace tv
