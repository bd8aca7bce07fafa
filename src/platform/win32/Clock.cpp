#include "platform/Clock.h"

#include <windows.h>

namespace tv {

FileTime LocalNow() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return FileTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

} // namespace tv
