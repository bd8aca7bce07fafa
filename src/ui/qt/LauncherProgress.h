#pragma once
// The share of long work on the desktop's launcher or dock (the LauncherEntry D-Bus signal that KDE's
// task manager and GNOME's docks read). Without Qt D-Bus or a session bus it shows nothing.
#include <QString>

namespace tv::qt {

class LauncherProgress {
public:
    // `desktopFile`: the name of the program's .desktop file.
    explicit LauncherProgress(const QString& desktopFile);
    // `shown`: long work is showing its progress; `share` in [0, 1], or below 0 when not known.
    // Signals only when what the launcher shows changes (by whole percents).
    void Show(bool shown, double share);

private:
    QString app_;
    bool shown_ = false;
    int percent_ = -1;
};

} // namespace tv::qt
