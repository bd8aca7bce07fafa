#include "platform/ReadAhead.h"

#include "platform/Paths.h"

#include <algorithm>

namespace tv {

void ReadAhead::Plan(std::string_view name, std::int64_t size) {
    plan_.Add(name, size);
}

void ReadAhead::Next() {
    if (reading_ >= plan_.size()) return;
    auto hint = [&] {
        const PlannedFiles::File p = plan_[hinted_];
        fs_.WillRead(FolderFile(folder_, p.Name), p.Size);
        hintedBytes_ += Counted(p.Size);
        ++hinted_;
    };
    // The file about to be read is hinted too: the file system learns from it that the listing
    // vouches for a plain file of that size.
    if (hinted_ == reading_) hint();
    hintedBytes_ -= Counted(plan_[reading_].Size);
    ++reading_;
    // The files read are not looked at again: a walk that plans a window ahead holds only that window.
    if (reading_ % 1024 == 0) plan_.ForgetBefore(reading_);
    while (hinted_ < plan_.size() && hinted_ - reading_ < WindowFiles && hintedBytes_ < WindowBytes)
        hint();
}

} // namespace tv
