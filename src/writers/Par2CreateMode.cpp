// Create mode's PAR2 sets: the redundancy the user chooses, and the set written for the ticked files with
// the window's progress and stop button.
#include "app/Par2ByteFeed.h"
#include "app/TallyvaultMain.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "repair/RepairTexts.h"
#include "writers/Par2Create.h"
#include "writers/WriterTexts.h"

#include <optional>

namespace tv {

namespace wt = writertexts;

bool TForm1::SetPar2Redundancy(const std::string& text) {
    // Blanks around the number and a percent sign after it are taken as typed; nothing else is.
    std::string t = text;
    const auto trim = [&t] {
        while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
            t.pop_back();
        const std::size_t first = t.find_first_not_of(" \t");
        t.erase(0, first == std::string::npos ? t.size() : first);
    };
    trim();
    for (const std::string percent : {"%", "％"}) // untranslated: the signs a typed number may end with
        if (t.size() >= percent.size() && t.compare(t.size() - percent.size(), percent.size(), percent) == 0) {
            t.resize(t.size() - percent.size());
            trim();
            break;
        }
    const bool digits = !t.empty() && t.size() <= 4 && t.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoul(t) > MaxRedundancy) {
        ui.ShowError(wt::RedundancyRefusedHead + std::to_string(MaxRedundancy) + wt::RedundancyRefusedMiddle + text);
        return false;
    }
    Par2Redundancy = static_cast<int>(std::stoul(t));
    return true;
}

void TForm1::Par2RedundancyCmdClick() {
    const std::optional<std::string> typed = ui.AskText(wt::RedundancyPrompt, std::to_string(Par2Redundancy));
    if (typed && SetPar2Redundancy(*typed))
        Status.SetCaption(wt::RedundancyHead + std::to_string(Par2Redundancy) + wt::RedundancyTail);
}

bool TForm1::WritePar2Set(const std::string& path) {
    Par2CreateOptions options;
    for (const TListItem& row : CrcList.Items())
        if (row.Checked) options.Files.push_back(row.FileName().str());
    options.Redundancy = static_cast<unsigned>(Par2Redundancy);
    options.Workers = static_cast<unsigned>(Hashing.Threads);
    options.Disk = Hashing.Disk;
    // The search button is the stop button while the files are read; a close of the window stops too.
    struct Creating {
        TForm1& f;
        explicit Creating(TForm1& form) : f(form) {
            f.Par2Creating = true;
            f.Par2StopAsked = false;
            f.SearchButton.SetCaption(texts::StopCaption);
        }
        ~Creating() {
            f.Par2Creating = false;
            f.SearchButton.SetCaption(f.IsCreateMode ? wt::SearchCaption.Create : wt::SearchCaption.Read);
        }
    } creating(*this);
    Par2ByteFeed feed(*this);
    options.Progress = [&](std::uint64_t done, std::uint64_t total) {
        return feed.Step(done, total) && !Par2StopAsked;
    };
    Par2CreateResult result;
    try {
        result = CreatePar2Set(fs, BaseFolder, path, options);
    } catch (const Par2CreateError& e) {
        if (feed.Planned()) Progress.FileEnded();
        Status.SetCaption(wt::SaveFailed + ExtractFileName(path));
        ui.ShowError(std::string(wt::Par2Failed) + e.what());
        return false;
    }
    if (feed.Planned()) Progress.FileEnded();
    if (feed.Closing()) throw CommandStopped{};
    if (result.Stopped) {
        Status.SetCaption(wt::Par2Stopped);
        return false;
    }
    return fs.FileExists(path);
}

} // namespace tv
