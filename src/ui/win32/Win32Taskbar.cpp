#include "Win32Taskbar.h"

#include <shobjidl.h>

namespace tv::win32 {

TaskbarProgress::~TaskbarProgress() {
    if (list_) list_->Release();
}

void TaskbarProgress::Show(const ProgressModel& model) {
    constexpr int Steps = 1000;
    int state = 0, steps = -1;
    if (model.Shown()) {
        const double share = model.Figures().Share();
        state = share < 0 ? 1 : 2;
        if (state == 2) steps = static_cast<int>(share * Steps);
    }
    if (state == state_ && steps == steps_) return;
    if (state != 0 && !asked_) {
        // Asked for at the first work that shows, long after the taskbar made the window's button.
        asked_ = true;
        void* list = nullptr;
        if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, &list)))
            list_ = static_cast<ITaskbarList3*>(list);
        if (list_ && FAILED(list_->HrInit())) {
            list_->Release();
            list_ = nullptr;
        }
    }
    if (!list_) return;
    if (state != state_)
        list_->SetProgressState(window_, state == 0 ? TBPF_NOPROGRESS : state == 1 ? TBPF_INDETERMINATE : TBPF_NORMAL);
    if (state == 2) list_->SetProgressValue(window_, static_cast<ULONGLONG>(steps), Steps);
    state_ = state;
    steps_ = steps;
}

} // namespace tv::win32
