// tallyvault-cli repair SET.par2, after the rename pass: the damaged and missing files of a PAR 2.0
// recovery set rebuilt from its recovery slices. One line for each file rebuilt (TAB, its name, TAB where
// the damaged one was kept) or whose rebuild failed.
#include "CliCommon.h"
#include "CliTexts.h"
#include "ProgressLine.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "repair/Par2Rebuild.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <unordered_set>

namespace tv::cli {

namespace {

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

// Set by an interrupt or a termination request while a recovery set is made or rebuilt: the work stops at
// its next step and cleans up after itself instead of dying with a file half written.
volatile std::sig_atomic_t stopAsked = 0;

extern "C" void AskStop(int) { stopAsked = 1; }

} // namespace

Par2Progress::Par2Progress(const ProgressOptions& options, std::ostream& err)
    : mode_(ProgressLine::ModeFor(options, StandardErrorIsTerminal())), err_(err) {
    stopAsked = 0;
    oldInterrupt_ = std::signal(SIGINT, AskStop);
    oldTerminate_ = std::signal(SIGTERM, AskStop);
}

Par2Progress::~Par2Progress() {
    Clear();
    std::signal(SIGINT, oldInterrupt_ == SIG_ERR ? SIG_DFL : oldInterrupt_);
    std::signal(SIGTERM, oldTerminate_ == SIG_ERR ? SIG_DFL : oldTerminate_);
}

std::function<bool(std::uint64_t, std::uint64_t)> Par2Progress::Callback() {
    return [this](std::uint64_t done, std::uint64_t total) {
        if (stopAsked != 0) return false;
        if (mode_ == ProgressLine::Mode::Off) return true;
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

Par2RebuildRun RebuildPar2Files(const TForm1& form, bool purge, const ProgressOptions& progress) {
    Par2RebuildRun run;
    Par2RebuildOptions options;
    options.Purge = purge;
    options.Workers = WorkerThreads();
    options.Disk = WorkerDisk();
    // The verification just read every row's file whole: the ○ rows are not checked again.
    std::unordered_set<std::string> intact;
    for (std::int32_t i = 0; i < form.EntryCount; ++i)
        if (form.EntryState(i) == VerifyResult::Match) intact.emplace(form.EntryTable[i].FileName.view());
    options.KnownIntact = [&intact](const std::string& name) { return intact.contains(name); };
    Par2Progress line(progress, std::cerr);
    options.Progress = line.Callback();
    Par2RebuildResult result;
    try {
        result = RebuildPar2Set(RealFs(), form.ListPath, options);
        line.Clear();
    } catch (const Par2SetError& e) {
        line.Clear();
        std::cerr << "tallyvault-cli: " << OneLine(e.what()) << '\n';
        run.Failed = true;
        return run;
    } catch (const IoError& e) {
        line.Clear();
        std::cerr << "tallyvault-cli: " << OneLine(e.what());
        if (!e.Path().empty()) std::cerr << ": " << OneLine(e.Path());
        if (!e.Reason().empty()) std::cerr << " (" << OneLine(e.Reason()) << ")";
        std::cerr << '\n';
        run.Failed = true;
        return run;
    }
    for (const Par2FileOutcome& f : result.Files) {
        if (f.Result != Par2FileOutcome::Rebuilt && f.Result != Par2FileOutcome::Failed) continue;
        std::cout << StateWord(f.Result) << '\t' << OneLine(f.Name);
        if (!f.KeptAs.empty()) std::cout << '\t' << OneLine(ExtractFileName(f.KeptAs));
        std::cout << '\n';
        if (f.Result == Par2FileOutcome::Failed) {
            std::cerr << "tallyvault-cli: " << OneLine(f.Name) << ": " << OneLine(f.Reason) << '\n';
            run.Failed = true;
        } else {
            run.Rebuilt = true;
        }
    }
    if (result.Stopped) {
        std::cerr << "tallyvault-cli: "
                  << Say("再構築を中止しました。作りかけの内容で置き換えたファイルはありません") << '\n';
        run.Failed = true;
    }
    return run;
}

} // namespace tv::cli
