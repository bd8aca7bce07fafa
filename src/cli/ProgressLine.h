#pragma once
// The progress of long work on standard error: one line redrawn in place on a terminal, or one line
// a second for a program that runs the tool and asked for it. Standard output never sees it.
#include "app/TallyvaultMain.h"
#include "cli/HeadlessUi.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace tv::cli {

// --quiet and --progress, taken from a command's arguments.
struct ProgressOptions {
    bool Quiet = false;  // no progress, even on a terminal
    bool Forced = false; // progress even when standard error is no terminal
    // True when `arg` is one of them (and now taken).
    bool Take(const std::string& arg);
};

class ProgressLine {
public:
    enum class Mode { Off, Redrawn, Lines };
    static Mode ModeFor(const ProgressOptions& options, bool terminal);
    static constexpr std::int64_t RedrawMs = 100; // on a terminal
    static constexpr std::int64_t LineMs = 1000;  // one line a second otherwise
    static constexpr std::size_t MaxWidth = 79;   // within a terminal's line, so "\r" goes back to its start

    // Draws the form's progress through the ui's hooks until it is destroyed. TALLYVAULT_SLOW_READS=MS
    // makes each block read wait MS ms, as on a slow disk, to watch the line on a fast one.
    ProgressLine(HeadlessUi& ui, TForm1& form, const ProgressOptions& options, std::ostream& err);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Draw();
    // Takes the line off the terminal, before other output.
    void Clear();

private:
    HeadlessUi& ui_;
    const TForm1& form_;
    Mode mode_;
    std::ostream& err_;
    std::int64_t drawnAt_ = -1;
    std::size_t shown_ = 0; // characters of the line on the terminal now
};

// The bytes read and computed of a recovery set's creation or rebuild, drawn as ProgressLine draws a
// command's progress (same modes and pace). While it lives, an interrupt (Ctrl+C) or a termination
// request does not end the process: the callback says stop, and the work cleans up before it returns.
class Par2Progress {
public:
    Par2Progress(const ProgressOptions& options, std::ostream& err);
    ~Par2Progress();
    Par2Progress(const Par2Progress&) = delete;
    Par2Progress& operator=(const Par2Progress&) = delete;
    // The callback to hand to the work: it draws the line and says stop once a stop was asked.
    std::function<bool(std::uint64_t done, std::uint64_t total)> Callback();
    void Clear();

private:
    ProgressLine::Mode mode_;
    std::ostream& err_;
    std::int64_t drawnAt_ = -1;
    bool shown_ = false;
    void (*oldInterrupt_)(int) = nullptr;
    void (*oldTerminate_)(int) = nullptr;
};

} // namespace tv::cli
