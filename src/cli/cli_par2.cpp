// tallyvault-cli repair SET.par2: the damaged and missing files of a PAR 2.0 recovery set rebuilt from its
// recovery slices. One line for each file that is not intact (its state, TAB, its name, and for a
// rebuilt file TAB where the damaged one was kept), then the count of damaged blocks and whether a
// repair is possible.
#include "CliCommon.h"
#include "ProgressLine.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "repair/Par2Rebuild.h"

#include <chrono>
#include <cstdio>
#include <iostream>

namespace tv::cli {

namespace {

int Par2RepairUsage() {
    std::cerr << "usage: tallyvault-cli repair SET.par2 [--purge] [--dry-run] [--quiet|--progress]\n";
    return Failed;
}

const char* StateWord(Par2FileOutcome::State s) {
    switch (s) {
    case Par2FileOutcome::Intact: return "intact";
    case Par2FileOutcome::Rebuilt: return "rebuilt";
    case Par2FileOutcome::Damaged: return "damaged";
    case Par2FileOutcome::Missing: return "missing";
    case Par2FileOutcome::Refused: return "refused";
    case Par2FileOutcome::Failed: return "failed";
    }
    return "";
}

} // namespace

Par2Progress::Par2Progress(const ProgressOptions& options, std::ostream& err)
    : mode_(ProgressLine::ModeFor(options, StandardErrorIsTerminal())), err_(err) {}

Par2Progress::~Par2Progress() { Clear(); }

std::function<bool(std::uint64_t, std::uint64_t)> Par2Progress::Callback() {
    if (mode_ == ProgressLine::Mode::Off) return {};
    return [this](std::uint64_t done, std::uint64_t total) {
        const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count();
        const std::int64_t every = mode_ == ProgressLine::Mode::Redrawn ? ProgressLine::RedrawMs : ProgressLine::LineMs;
        if (drawnAt_ >= 0 && now - drawnAt_ < every) return true;
        if (drawnAt_ < 0) drawnAt_ = now; // the first draw waits a moment: short work shows nothing
        else {
            drawnAt_ = now;
            char line[80];
            std::snprintf(line, sizeof line, "%.1f MB / %.1f MB  %d%%", static_cast<double>(done) / 1e6,
                          static_cast<double>(total) / 1e6, total > 0 ? static_cast<int>(done * 100 / total) : 100);
            if (mode_ == ProgressLine::Mode::Redrawn) {
                err_ << '\r' << line << "   " << std::flush;
                shown_ = true;
            } else {
                err_ << line << '\n' << std::flush;
            }
        }
        return true;
    };
}

void Par2Progress::Clear() {
    if (!shown_) return;
    err_ << '\r' << std::string(ProgressLine::MaxWidth, ' ') << '\r' << std::flush;
    shown_ = false;
}

bool IsPar2Name(const std::string& name) {
    return name.size() > 5 && SameText(name.substr(name.size() - 5), ".par2");
}

int RepairPar2(const std::vector<std::string>& args) {
    std::string set;
    Par2RebuildOptions options;
    ProgressOptions progress;
    for (const std::string& a : args) {
        if (progress.Take(a)) continue;
        if (a == "--purge")
            options.Purge = true;
        else if (a == "--dry-run")
            options.DryRun = true;
        else if (set.empty() && !a.empty() && a[0] != '-')
            set = a;
        else
            return Par2RepairUsage();
    }
    if (set.empty()) return Par2RepairUsage();
    const std::string path = ExpandLongPath(set);
    Par2RebuildResult result;
    Par2Progress line(progress, std::cerr);
    options.Progress = line.Callback();
    try {
        result = RebuildPar2Set(RealFs(), path, options);
        line.Clear();
    } catch (const Par2SetError& e) {
        std::cerr << "tallyvault-cli: " << OneLine(ExtractFileName(path)) << ": " << OneLine(e.what()) << '\n';
        return ListNotReadWhole;
    } catch (const IoError& e) {
        std::cerr << "tallyvault-cli: " << OneLine(e.what());
        if (!e.Path().empty()) std::cerr << ": " << OneLine(e.Path());
        if (!e.Reason().empty()) std::cerr << " (" << OneLine(e.Reason()) << ")";
        std::cerr << '\n';
        return Failed;
    }
    const std::string folder = ExtractFileDir(path);
    bool failed = false, left = false;
    for (const Par2FileOutcome& f : result.Files) {
        if (f.Result == Par2FileOutcome::Intact) continue;
        std::cout << StateWord(f.Result) << '\t' << OneLine(f.Name);
        if (!f.KeptAs.empty()) std::cout << '\t' << OneLine(ExtractFileName(f.KeptAs));
        std::cout << '\n';
        if (!f.Reason.empty()) std::cerr << "tallyvault-cli: " << OneLine(f.Name) << ": " << OneLine(f.Reason) << '\n';
        failed = failed || f.Result == Par2FileOutcome::Failed;
        left = left || f.Result != Par2FileOutcome::Rebuilt;
    }
    // Recovery slices are sought (and read) only when some block is damaged.
    std::cout << "blocks damaged " << result.LostSlices << " of " << result.InputSlices;
    if (result.LostSlices > 0) std::cout << "; recovery blocks " << result.RecoverySlices;
    std::cout << '\n';
    if (result.LostSlices > 0)
        std::cout << (result.MoreNeeded == 0 ? std::string("repair possible")
                                             : "repair needs " + std::to_string(result.MoreNeeded) +
                                                   " more recovery blocks")
                  << '\n';
    if (result.Stopped) {
        std::cerr << "tallyvault-cli: stopped; nothing was written\n";
        return Failed;
    }
    if (failed) return Failed;
    return left ? SomeNotMatched : AllMatch;
}

} // namespace tv::cli
