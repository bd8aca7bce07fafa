#include "ProgressLine.h"

#include "app/Progress.h"
#include "platform/Clock.h"
#include "platform/Process.h"

#include <cstdlib>
#include <ostream>

namespace tv::cli {

bool ProgressOptions::Take(const std::string& arg) {
    if (arg == "--quiet")
        Quiet = true;
    else if (arg == "--progress")
        Forced = true;
    else
        return false;
    return true;
}

ProgressLine::Mode ProgressLine::ModeFor(const ProgressOptions& options, bool terminal) {
    if (options.Quiet) return Mode::Off;
    if (terminal) return Mode::Redrawn;
    return options.Forced ? Mode::Lines : Mode::Off;
}

ProgressLine::ProgressLine(HeadlessUi& ui, TForm1& form, const ProgressOptions& options, std::ostream& err)
    : ui_(ui), form_(form), mode_(ModeFor(options, StandardErrorIsTerminal())), err_(err) {
    if (const char* slow = std::getenv("TALLYVAULT_SLOW_READS"); slow && *slow)
        form.SlowDownReads(std::strtoll(slow, nullptr, 10));
    if (mode_ == Mode::Off) return;
    ui_.DrawProgress = [this] { Draw(); };
    ui_.ClearProgress = [this] { Clear(); };
}

ProgressLine::~ProgressLine() {
    Clear();
    ui_.DrawProgress = nullptr;
    ui_.ClearProgress = nullptr;
}

void ProgressLine::Draw() {
    if (mode_ == Mode::Off || !form_.Progress.Shown()) return;
    const std::int64_t now = SteadyMs();
    if (drawnAt_ >= 0 && now - drawnAt_ < (mode_ == Mode::Redrawn ? RedrawMs : LineMs)) return;
    drawnAt_ = now;
    std::string text = TerminalFigures(form_.Progress.Figures());
    if (text.size() > MaxWidth) text.resize(MaxWidth);
    if (mode_ == Mode::Lines) {
        err_ << text << std::endl;
        return;
    }
    // Spaces cover what a longer line before left; no escape sequences, which not every console reads.
    const std::size_t cover = shown_ > text.size() ? shown_ - text.size() : 0;
    err_ << '\r' << text << std::string(cover, ' ');
    err_.flush();
    shown_ = text.size();
}

void ProgressLine::Clear() {
    if (shown_ == 0) return;
    err_ << '\r' << std::string(shown_, ' ') << '\r';
    err_.flush();
    shown_ = 0;
}

} // namespace tv::cli
