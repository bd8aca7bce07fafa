// The program: the Qt application, the window logic over the real file system, and the window.
// TALLYVAULT_SETTINGS names another settings file; TALLYVAULT_SCREENSHOT=FILE.png writes a picture
// of the window once the start list is shown and ends the program (for scripts/screenshot), in the
// state TALLYVAULT_SCREENSHOT_STATE names;
// TALLYVAULT_TIMING prints how long the start list took and how responsive the window stayed.
// --help and --version, as the only argument, print and end the program.
#include "MainWindow.h"
#include "QtUi.h"
#include "Screenshot.h"

#include "app/TallyvaultMain.h"
#include "platform/BuildInfo.h"
#include "platform/FileSystem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* HelpText =
    "Usage: tallyvault [QT-OPTION...] [LIST]\n"
    "Opens the Tallyvault window and loads LIST (an SFV, .CRC, CSV or CRC1632 checksum list).\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "Qt's own options (-platform NAME, -display DISPLAY, ...) may come before LIST.\n"
    "\n"
    "Settings are kept in Tallyvault.ini beside the program when its folder can be written and is\n"
    "not the installed program folder, otherwise in $XDG_CONFIG_HOME/tallyvault/Tallyvault.ini.\n"
    "Environment: TALLYVAULT_SETTINGS=FILE uses another settings file; TALLYVAULT_SCREENSHOT=FILE.png\n"
    "writes a picture of the window once the list is shown, then exits; TALLYVAULT_TIMING=1 prints\n"
    "how long the start list took. tallyvault-cli verifies, repairs and creates lists without a window.\n";

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(HelpText, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tallyvault %s\n", tv::buildinfo::Version);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(tv::qt::ApplicationTitle));
    // Ties the window to its desktop entry and icon where the session asks (Wayland, task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.tallyvault"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.example.tallyvault")));

    tv::qt::QtUi ui;
    tv::TForm1 form(ui, tv::RealFs());
    form.ProgramPath = QApplication::applicationFilePath().toUtf8().toStdString();
    if (const char* settings = std::getenv("TALLYVAULT_SETTINGS"); settings && *settings) form.SettingsFile = settings;

    // QApplication has taken its own options out of argv; the rest stay bytes, as file names are.
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);

    tv::qt::InstallQtTranslations();
    tv::qt::MainWindow window(form, ui);
    // A close the start list asks for (a kept duplicate) comes before the event loop runs.
    QObject::connect(&window, &tv::qt::MainWindow::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QElapsedTimer started;
    started.start();
    window.Start(args);
    if (std::getenv("TALLYVAULT_TIMING"))
        std::fprintf(stderr, "start list shown after %lld ms; longest stretch without event handling %lld ms\n",
                     static_cast<long long>(started.elapsed()), static_cast<long long>(ui.LongestGapMs()));

    if (const char* shot = std::getenv("TALLYVAULT_SCREENSHOT"); shot && *shot)
        tv::qt::ScheduleScreenshot(window, QString::fromLocal8Bit(shot),
                                   qEnvironmentVariable("TALLYVAULT_SCREENSHOT_STATE"));
    return QApplication::exec();
}
