// The rows of the list view built from the entry table, the counters above it, and the commands
// that tick rows by state.
#include "app/TallyvaultMain.h"
#include "core/EntryNames.h"

#include <algorithm>
#include <string>

namespace tv {

void TForm1::ShowEntries() {
    CrcList.Clear();
    CrcList.ShowTable(EntryTable, ListHasSizes);
    CrcList.Reserve(static_cast<std::size_t>(EntryCount));
    GoodCount = BadCount = MissingCount = SameFileCount = 0;
    TotalCounter.SetCaption(std::to_string(EntryCount));
    const auto showCounters = [this] {
        GoodCounter.SetCaption(std::to_string(GoodCount));
        BadCounter.SetCaption(std::to_string(BadCount));
        NotingCounter.SetCaption(std::to_string(MissingCount));
    };
    for (std::int32_t i = 0; i < EntryCount; ++i) {
        const TCrcTable& e = EntryTable[i];
        TListItem& row = CrcList.Add(i);
        VerifyResult state = StateOf(e, ListHasSizes);
        row.ImageIndex = static_cast<std::int16_t>(state);
        switch (state) {
        case VerifyResult::Match: ++GoodCount; break;
        case VerifyResult::Mismatch: ++BadCount; break;
        case VerifyResult::SameFileFound:
            ++SameFileCount;
            ++MissingCount;
            break;
        case VerifyResult::Missing: ++MissingCount; break;
        }
        ReportProgress(showCounters);
    }
    showCounters();
    EndTableChange();
    CheckCycle = SameFileCount > 0 ? 0 : 1;
    CheckButtonClick();
}

void TForm1::CheckButtonClick() {
    std::int32_t rows = std::min(EntryCount, CrcList.Count());
    std::int32_t ticked = 0;
    for (std::int32_t i = 0; i < rows; ++i) {
        if (IsCreateMode && CheckCycle < 2) CheckCycle = 2;
        bool tick = false;
        switch (CheckCycle) {
        case 0: {
            const TCrcTable& e = EntryTable[i];
            tick = !e.Exists && ContentFound(e, ListHasSizes);
            break;
        }
        case 1: {
            const TCrcTable& e = EntryTable[i];
            tick = !e.Found && (!ListHasSizes || !e.SizeMatched);
            break;
        }
        case 2: tick = IsCreateMode ? CrcList.Item(i).ImageIndex != 3 : true; break;
        default: tick = false; break;
        }
        CrcList.SetChecked(i, tick);
        if (tick) ++ticked;
    }
    CheckCycle = CheckCycle <= 2 ? CheckCycle + 1 : 0;
    if (IsCreateMode) ShowTickedCount(ticked);
}

void TForm1::ON0Click() {
    const TMenuItem* items[4] = {&ON0, &ON1, &ON2, &ON3};
    for (std::int32_t i = 0; i < CrcList.Count(); ++i) {
        int k = CrcList.Item(i).ImageIndex;
        if (k >= 0 && k <= 3) CrcList.SetChecked(i, items[k]->Checked());
    }
    ShowTickedCount();
}

void TForm1::AllOnClick() {
    for (TMenuItem* m : {&ON0, &ON1, &ON2, &ON3}) m->SetChecked(true);
    ON0Click();
}

void TForm1::AllOffClick() {
    for (TMenuItem* m : {&ON0, &ON1, &ON2, &ON3}) m->SetChecked(false);
    ON0Click();
}

} // namespace tv
