#pragma once
// The wall clock, as local date and time.
#include "platform/FileSystem.h"

namespace tv {

// The current local date and time, to the second.
FileTime LocalNow();

} // namespace tv
