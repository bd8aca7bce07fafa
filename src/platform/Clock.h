#pragma once
// The wall clock, as local date and time, and a steady clock for pacing long work.
#include "platform/FileSystem.h"

#include <chrono>
#include <cstdint>

namespace tv {

// The current local date and time, to the second.
FileTime LocalNow();

// Milliseconds from an arbitrary start; never goes back when the wall clock is set.
inline std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace tv
