#include "LauncherProgress.h"

#ifdef TV_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#endif

namespace tv::qt {

LauncherProgress::LauncherProgress(const QString& desktopFile) : app_(QStringLiteral("application://") + desktopFile) {}

void LauncherProgress::Show(bool shown, double share) {
    const int percent = shown && share >= 0 ? static_cast<int>(share * 100) : -1;
    if (shown == shown_ && percent == percent_) return;
    shown_ = shown;
    percent_ = percent;
#ifdef TV_HAVE_QTDBUS
    // No session bus (a console, the tests): nothing to tell, and no attempt to start one.
    if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(QStringLiteral("/org/example/tallyvault"),
                                   QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    QVariantMap properties;
    // A search has no share: the launcher shows none rather than a wrong one.
    properties.insert(QStringLiteral("progress-visible"), percent >= 0);
    properties.insert(QStringLiteral("progress"), percent >= 0 ? percent / 100.0 : 0.0);
    signal << app_ << properties;
    QDBusConnection::sessionBus().send(signal);
#endif
}

} // namespace tv::qt
