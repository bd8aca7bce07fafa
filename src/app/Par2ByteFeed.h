#pragma once
// The window's byte bar fed from a PAR2 create's or rebuild's progress calls.
#include "app/TallyvaultMain.h"

#include <cstdint>

namespace tv {

class Par2ByteFeed {
public:
    explicit Par2ByteFeed(TForm1& form) : f_(form) {}
    // Moves the bar to `done` of `total` bytes and lets the window paint; false once the window is closing
    // (Closing() then says so), which stops the work at its next step.
    bool Step(std::uint64_t done, std::uint64_t total) {
        if (!planned_) {
            f_.Progress.Plan(1, static_cast<std::int64_t>(total));
            f_.Progress.FileBegun(static_cast<std::int64_t>(total));
            planned_ = true;
        }
        f_.Progress.BytesRead(static_cast<std::int64_t>(done - shown_));
        shown_ = done;
        try {
            f_.ReportProgress();
        } catch (const TForm1::CommandStopped&) {
            closing_ = true;
            return false;
        }
        return true;
    }
    bool Closing() const { return closing_; }
    // Whether the bar was planned, and so has a file to end.
    bool Planned() const { return planned_; }

private:
    TForm1& f_;
    bool planned_ = false;
    bool closing_ = false;
    std::uint64_t shown_ = 0;
};

} // namespace tv
