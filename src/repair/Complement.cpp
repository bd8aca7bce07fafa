// The complement search: the ticked entries become the search set, a folder tree is walked depth
// first (a folder's last subfolder is taken last, the others from the next-to-last backwards), and
// every file whose content matches a ticked entry is recorded as that entry's same file. The list's
// own folder and everything below it stay out of the walk; links are not followed.
#include "app/TallyvaultMain.h"
#include "core/Ordering.h"
#include "platform/Paths.h"
#include "core/KeyAhead.h"
#include "repair/RepairRun.h"
#include "repair/RepairTexts.h"

#include <algorithm>
#include <utility>

namespace tv {

namespace {

// Subfolders and files in the order the listing is taken: by name, as the home platform lists them.
void SortListing(std::vector<FolderEntry>& items) {
    std::sort(items.begin(), items.end(), [](const FolderEntry& a, const FolderEntry& b) {
        int c = CompareNames(a.Name, b.Name);
        return c != 0 ? c < 0 : a.Name < b.Name;
    });
}

} // namespace

void TForm1::ComplementClick() {
    SearchButtonClick();
}

void TForm1::SearchButtonClick() {
    if (IsCreateMode) { // the stop click of a PAR2 set being written; nothing else in create mode
        if (Par2Creating) Par2StopAsked = true;
        return;
    }
    if (SearchRunning) { // the stop click: the walk ends before its next folder
        SearchRunning = false;
        return;
    }
    if (SearchActive) return;       // stopped already and finishing
    if (CommandDepth() > 1) return; // let through during another command: only a stop may act
    bool autoDelete = DblDel.Checked();
    bool skipAll = DblNop.Checked();
    if (CrcList.Count() == 0) return;

    CheckedCount = 0;
    const std::int32_t rows = std::min(CrcList.Count(), EntryCount);
    for (std::int32_t i = 0; i < EntryCount; ++i) {
        const bool ticked = i < rows && CrcList.Checked(i);
        EntryTable[i].Selected = ticked;
        if (ticked) ++CheckedCount;
    }
    if (CheckedCount == 0) {
        Status.SetCaption(texts::NothingTicked);
        return;
    }

    std::string root;
    if (FixFolder.Checked()) {
        root = FixedComplementFolder;
    } else {
        std::optional<std::string> chosen = ui.ChooseFolder(texts::ChooseFolderTitle, BaseFolder);
        if (!chosen) return;
        root = *chosen;
    }
    SearchRoot = root;
    Progress.Explore();
    PendingFolders.assign(128, std::string());
    PendingFolders[0] = root;
    PendingCount = 1;

    if (CheckedCount < EntryCount) MoveCheckedToFront();
    if (ListHasSizes)
        SortEntriesBySize(EntryTable, 0, CheckedCount - 1, [this] { ReportProgress(); });
    else
        SortEntriesByCrc(EntryTable, 0, CheckedCount - 1, [this] { ReportProgress(); });
    // The rows show the table's entries by their place, which the walk's order has just changed: each
    // row takes its new entry's mark and tick, so that no name shows beside another entry's. The rows are
    // built again in name order when the walk ends.
    for (std::int32_t i = 0; i < rows; ++i) {
        TListItem& row = CrcList.EditItem(i);
        row.ImageIndex = static_cast<std::int16_t>(EntryState(i));
        row.Checked = EntryTable[i].Selected;
    }

    TRepairRun run{ContentIndex(EntryTable, CheckedCount, ListHasSizes, BaseFolder, ListAlgorithms),
                   {},
                   0,
                   NameIndex(EntryTable, EntryCount),
                   BaseFolder,
                   {}};
    {
        // However the walk ends, the window leaves the searching state at the end of this block.
        struct Searching {
            TForm1& f;
            explicit Searching(TForm1& form, TRepairRun& r) : f(form) {
                f.SearchButton.SetCaption(texts::StopCaption);
                f.SearchRunning = true;
                f.SearchActive = true;
                f.RepairRun = &r;
            }
            ~Searching() {
                f.RepairRun = nullptr;
                f.SearchButton.SetCaption(texts::SearchCaption);
                f.SearchRunning = false;
                f.SearchActive = false;
            }
        } searching(*this, run);

        // Whatever ends the walk, the table goes back to name order and the rows are rebuilt from it,
        // so row i shows entry i again and the finds made so far stay shown.
        auto finish = [&] {
            SortEntriesByName(EntryTable, 0, EntryCount - 1, [this] { ReportProgress(); });
            ShowEntries();
            const std::string head = SearchRunning ? texts::SearchDone : texts::SearchStopped;
            if (SameFileCount == 0)
                Status.SetCaption(head + texts::NoneFound);
            else
                Status.SetCaption(head + texts::FoundHead + std::to_string(SameFileCount) + texts::FoundTail);
        };
        try {
            while (PendingCount > 0 && SearchRunning) {
                const std::int32_t t = PendingCount - 1;
                const std::string folder = PendingFolders[static_cast<std::size_t>(t)];
                // The caption names every folder as it starts; the window shows it at its next pause.
                Status.SetCaption(texts::Searching + folder);
                ReportProgress();
                SearchFolder(folder, CheckedCount, autoDelete, skipAll);
                if (PendingCount - 1 > t)
                    PendingFolders[static_cast<std::size_t>(t)] =
                        std::move(PendingFolders[static_cast<std::size_t>(PendingCount - 1)]);
                --PendingCount;
            }
        } catch (...) {
            finish();
            throw;
        }
        finish();
    }
    run.Report(ui);
    if (AutoMove.Checked() && SameFileCount > 0) FileChangeCmdClick();
}

void TForm1::SearchFolder(const std::string& folder, std::int32_t n, bool& autoDelete, bool& skipAll) {
    // The list's own folder, under whatever spelling, and its subfolders are passed over.
    if (SamePlace(folder, BaseFolder)) return;
    std::vector<FolderEntry> items;
    try {
        items = fs.ListFolder(folder);
    } catch (const IoError& e) {
        // Missing or not readable: the walk goes on without it, and the end of the search says so.
        if (RepairRun) RepairRun->Note(e, folder);
        return;
    }
    SortListing(items);
    Progress.FolderSeen(std::count_if(items.begin(), items.end(), [](const FolderEntry& e) { return !e.IsFolder; }));
    // The files the index reads are hinted in the order they are met.
    KeyAhead ahead(fs, folder, Hashing, ReadFor(ListAlgorithms), ListAlgorithms);
    auto read = [&](const FolderEntry& item) {
        return RepairRun && !item.IsLink && !item.IsSpecial && !item.IsFolder && RepairRun->Index.Reads(item.Size);
    };
    for (const FolderEntry& item : items)
        if (read(item)) ahead.Plan(item.Name, item.Size);
    for (const FolderEntry& item : items) {
        // A link is not followed: a link back into the tree would make the walk endless, and a file
        // met through a link is not a copy of its own.
        if (item.IsLink || item.IsSpecial) continue;
        const std::string path = FolderFile(folder, item.Name);
        if (item.IsFolder) {
            if (PendingCount >= static_cast<std::int32_t>(PendingFolders.size()))
                PendingFolders.resize(static_cast<std::size_t>(PendingCount) + 128);
            PendingFolders[static_cast<std::size_t>(PendingCount)] = path;
            ++PendingCount;
            continue;
        }
        if (read(item)) ahead.Next();
        const std::vector<std::int32_t> found =
            RepairRun ? RepairRun->Find(fs, path, item.Size)
                      : (ListHasSizes ? FindEntryBySize(path, n) : FindEntryByCrc(path, n));
        RecordFind(found, path, autoDelete, skipAll);
    }
}

void TForm1::MoveCheckedToFront() {
    std::int32_t i = 0, j = EntryCount - 1;
    do {
        while (i < EntryCount && EntryTable[i].Selected)
            ++i;
        while (j >= 0 && !EntryTable[j].Selected)
            --j;
        if (j > i) {
            std::swap(EntryTable[i], EntryTable[j]);
            ++i;
            --j;
        }
    } while (j >= i);
}

} // namespace tv
