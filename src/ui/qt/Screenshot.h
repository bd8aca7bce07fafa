#pragma once
// A picture of the window in a chosen state, for looking at it without a desktop (scripts/screenshot).
#include <QString>

namespace tv::qt {

class MainWindow;

// Once the start list is shown, puts the window in `states` (comma-separated, applied in this order:
// "create" create mode on the list's folder, "progress" a verification of the list again, slowed and
// pictured part-way with its bar (nothing else is applied after it), "sorted" sorted by the Same File
// column, "filtered" only the rows that are not matches, "selected" the first row selected, then at
// most one of "dialog" the open dialog or "message" the version box), writes a PNG to `out` and ends
// the program: exit status 0 when written. With a dialog the picture is of the whole screen, the
// dialog over the window.
void ScheduleScreenshot(MainWindow& window, const QString& out, const QString& states);

} // namespace tv::qt
