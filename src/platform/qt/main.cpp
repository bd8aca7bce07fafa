// The program: the Qt application, the window logic over the real file system, and the window.
// TALLYVAULT_SETTINGS names another settings file; TALLYVAULT_SCREENSHOT=FILE.png writes a picture
// of the window once the start list is shown and ends the program (for scripts/screenshot), in the
// state TALLYVAULT_SCREENSHOT_STATE names;
// TALLYVAULT_TIMING prints how long the start list took and how responsive the window stayed.
#include "MainWindow.h"
#include "QtUi.h"
#include "Screenshot.h"

#include "app/TallyvaultMain.h"
#include "platform/FileSystem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(tv::qt::ApplicationTitle));

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
