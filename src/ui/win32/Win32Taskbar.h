#pragma once
// The share of long work on the window's taskbar button (ITaskbarList3): normal with the share, moving
// without one for a search, none when no work runs. Where the shell has no such list (older Windows,
// some Wine set-ups) it shows nothing.
#include "app/Progress.h"

#include <windows.h>

struct ITaskbarList3;

namespace tv::win32 {

class TaskbarProgress {
public:
    explicit TaskbarProgress(HWND window) : window_(window) {}
    ~TaskbarProgress();
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    // Shows the model's state; asks the shell only when what it shows changes.
    void Show(const ProgressModel& model);

private:
    HWND window_;
    ITaskbarList3* list_ = nullptr;
    bool asked_ = false; // the list was asked for once, whether the shell had one or not
    int state_ = -1;     // what the button shows now: -1 unknown, 0 none, 1 moving, 2 a share
    int steps_ = -1;     // the share shown, in thousandths
};

} // namespace tv::win32
