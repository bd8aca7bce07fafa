// 改 on a PAR2 set: after the renames, what they could not give back is rebuilt from the recovery slices.
#include "app/Par2ByteFeed.h"
#include "app/TallyvaultMain.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "readers/Par2List.h"
#include "repair/Par2Rebuild.h"
#include "repair/RepairTexts.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

namespace tv {

void TForm1::RebuildFromRecovery() {
    const Par2SetState* set = Par2Set.get();
    if (!set || !set->Counted || set->Damaged == 0) return;
    if (set->Wanting() > 0) {
        ui.ShowMessage(texts::RebuildTooFewHead + std::to_string(set->Wanting()) + texts::RebuildTooFewTail);
        return;
    }
    const std::string listName = ExtractFileName(ListPath);
    std::optional<BusyCursor> hourglass(std::in_place, ui);
    Status.SetCaption(texts::RebuildStart + listName);
    // The verification just read the ○ rows' files whole: they are not checked again.
    std::unordered_set<std::string> intact;
    for (std::int32_t i = 0; i < EntryCount; ++i)
        if (EntryState(i) == VerifyResult::Match) intact.emplace(EntryTable[i].FileName.view());
    Par2RebuildOptions options;
    options.Workers = static_cast<unsigned>(std::max(Hashing.Threads, 0)); // the threads chosen for hashing
    options.Disk = Hashing.Disk;
    options.KnownIntact = [&intact](const std::string& name) { return intact.contains(name); };
    // The bar follows the bytes read and computed; closing the window stops the rebuild at its next step,
    // which leaves each file rebuilt or as it was.
    Par2ByteFeed feed(*this);
    options.Progress = [&feed](std::uint64_t done, std::uint64_t total) { return feed.Step(done, total); };
    Par2RebuildResult result;
    std::string error;
    try {
        result = RebuildPar2Set(fs, ListPath, options);
    } catch (const Par2SetError& e) {
        error = e.what();
    } catch (const IoError& e) {
        error = std::string(e.what()) + (e.Path().empty() ? "" : ": " + e.Path());
    }
    if (feed.Planned()) Progress.FileEnded();
    std::size_t rebuilt = 0;
    std::string failed;
    for (const Par2FileOutcome& f : result.Files) {
        if (f.Result == Par2FileOutcome::Rebuilt) ++rebuilt;
        if (f.Result == Par2FileOutcome::Failed) failed += "\r" + f.Name + "（" + f.Reason + "）";
    }
    if (rebuilt > 0) RecheckAfterRebuild();
    Status.SetCaption(texts::RenameEnd + listName);
    hourglass.reset();
    if (feed.Closing()) throw CommandStopped{};
    if (!error.empty()) ui.ShowError(texts::RebuildFailed + error);
    if (!failed.empty()) ui.ShowError(texts::RebuildFailed + failed);
    if (result.MoreNeeded > 0)
        ui.ShowMessage(texts::RebuildTooFewHead + std::to_string(result.MoreNeeded) + texts::RebuildTooFewTail);
    if (rebuilt > 0) ui.ShowMessage(texts::RebuiltHead + std::to_string(rebuilt) + texts::RebuiltTail);
}

void TForm1::RecheckAfterRebuild() {
    for (std::int32_t i = 0; i < EntryCount; ++i)
        if (EntryState(i) != VerifyResult::Match) RecheckOwnFile(i);
    CountPar2Damage();
    ShowEntries();
}

} // namespace tv
