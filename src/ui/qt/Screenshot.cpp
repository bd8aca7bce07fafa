#include "Screenshot.h"

#include "MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace tv::qt {

namespace {

// Waits long enough for the window manager and the painting to settle.
constexpr int SettleMs = 800;
// The "progress" state's wait after each block read: about 250 MB/s.
constexpr std::int64_t ProgressBlockMs = 4;

// Lets the window paint and handle what a command left, as the user would see it between clicks.
void Settle() {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

void SaveAndExit(const QPixmap& picture, const QString& out) {
    const bool ok = !picture.isNull() && picture.save(out, "PNG");
    if (!ok) std::fprintf(stderr, "cannot write %s\n", out.toLocal8Bit().constData());
    std::exit(ok ? 0 : 1);
}

// Runs a state's command that may wait for an answer: the search asks for the folder to look in, and a
// recovery set's rebuild after the renames says what it rebuilt. With no one to click, each dialog is
// closed as its close button would, which answers a question with "nothing" and cancels a choice, and
// what it said is told on standard error, so the picture is still taken.
void RunAnsweringBoxes(MainWindow& window, const std::function<void()>& command) {
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, &window, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        auto* box = qobject_cast<QMessageBox*>(dialog);
        std::fprintf(stderr, "closed %s: %s\n", box ? "a message box" : "a dialog",
                     (box ? box->text() : dialog->windowTitle()).toUtf8().constData());
        dialog->reject();
    });
    answer.start(SettleMs);
    window.Run(command);
}

} // namespace

void ScheduleScreenshot(MainWindow& window, const QString& out, const QString& states) {
    const QStringList wanted = states.split(QLatin1Char(','), Qt::SkipEmptyParts);
    QTimer::singleShot(SettleMs, &window, [&window, out, wanted] {
        TForm1& form = window.Form();
        if (wanted.contains(QStringLiteral("par2")))
            form.ClickMenuItem(form.ListKindPar2, MenuClick::Radio, [&form] { form.ListKindClick(); });
        if (wanted.contains(QStringLiteral("create"))) window.Run([&form] { form.ModeButtonClick(); });
        if (wanted.contains(QStringLiteral("search"))) {
            Settle();
            RunAnsweringBoxes(window, [&form] { form.SearchButtonClick(); });
        }
        if (wanted.contains(QStringLiteral("rename"))) {
            Settle();
            RunAnsweringBoxes(window, [&form] { form.RenameButtonClick(); });
        }
        if (wanted.contains(QStringLiteral("progress"))) {
            // The list is verified again with reads slowed to a cold disk's pace, and pictured once
            // the bar is shown and some way along.
            Settle();
            form.SlowDownReads(ProgressBlockMs);
            auto* poll = new QTimer(&window);
            QObject::connect(poll, &QTimer::timeout, &window, [&window, &form, out] {
                if (!form.Progress.Shown() || form.Progress.Figures().Share() < 0.4) return;
                window.SyncFromForm();
                SaveAndExit(window.grab(), out);
            });
            poll->start(50);
            window.Run([&form] { form.StatusClick(); }, true);
            poll->stop();
            std::fprintf(stderr, "the verification ended before its picture was taken\n");
            std::exit(1);
        }
        if (wanted.contains(QStringLiteral("sorted"))) window.List()->header()->setSortIndicator(3, Qt::AscendingOrder);
        if (wanted.contains(QStringLiteral("filtered"))) window.OnlyUnmatchedAction()->setChecked(true);
        if (wanted.contains(QStringLiteral("selected")) && window.List()->model()->rowCount() > 0)
            window.List()->setCurrentIndex(window.List()->model()->index(0, 0));
        if (wanted.contains(QStringLiteral("focus"))) {
            // The keyboard's focus on the first tool button, as Tab puts it there.
            window.activateWindow();
            if (auto* open = window.findChild<QToolButton*>(QStringLiteral("OpenButton")))
                open->setFocus(Qt::TabFocusReason);
        }
        window.SyncFromForm();
        const bool dialog = wanted.contains(QStringLiteral("dialog"));
        const bool add = wanted.contains(QStringLiteral("add"));
        const bool save = wanted.contains(QStringLiteral("save"));
        const bool optionMenu = wanted.contains(QStringLiteral("optionmenu"));
        const bool kindsMenu = wanted.contains(QStringLiteral("kindsmenu"));
        const bool redundancy = wanted.contains(QStringLiteral("redundancy"));
        if (wanted.contains(QStringLiteral("filemenu")) || optionMenu || kindsMenu) {
            // The file (or option, or kinds) menu opened under its title, pictured with the whole screen.
            QMenu* file = window.findChild<QMenu*>(optionMenu  ? QStringLiteral("option")
                                                   : kindsMenu ? QStringLiteral("ListKindMenu")
                                                               : QStringLiteral("File1"));
            QTimer::singleShot(SettleMs, &window, [&window, out] {
                QScreen* screen = window.screen();
                SaveAndExit(screen ? screen->grabWindow(0) : QPixmap(), out);
            });
            if (file) file->exec(window.mapToGlobal(window.menuBar()->geometry().bottomLeft()));
            return;
        }
        if (save && wanted.contains(QStringLiteral("md5")))
            // The save dialog's kind changed to MD5, as a click in its list of kinds does.
            QTimer::singleShot(SettleMs, &window, [] {
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (auto* kinds = top->isVisible() ? top->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))
                                                       : nullptr)
                        for (int i = 0; i < kinds->count(); ++i)
                            if (kinds->itemText(i).startsWith(QStringLiteral("MD5"))) {
                                kinds->setCurrentIndex(i);
                                emit kinds->activated(i);
                                emit kinds->textActivated(kinds->itemText(i));
                            }
            });
        if (!dialog && !add && !save && !redundancy && !wanted.contains(QStringLiteral("message"))) {
            QTimer::singleShot(SettleMs, &window, [&window, out] { SaveAndExit(window.grab(), out); });
            return;
        }
        // The dialog's own loop runs the timer; the picture is taken while it is open.
        QTimer::singleShot(SettleMs * 2, &window, [&window, out] {
            QScreen* screen = window.screen();
            SaveAndExit(screen ? screen->grabWindow(0) : QPixmap(), out);
        });
        if (dialog)
            window.Run([&form] { form.CrcOpenCmdClick(); });
        else if (save)
            window.Run([&form] {
                form.CheckButtonClick();
                form.MakeCrcCmdClick();
            });
        else if (add)
            window.Run([&form] { form.AddNewFilesCmdClick(); });
        else if (redundancy)
            window.Run([&form] { form.Par2RedundancyCmdClick(); });
        else
            window.Run([&form] { form.versionClick(); });
    });
}

} // namespace tv::qt
