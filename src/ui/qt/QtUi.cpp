#include "QtUi.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTranslator>
#include <QUrl>
#include <algorithm>

#include "writers/ListFormat.h"

namespace tv::qt {

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
std::string S(const QString& s) {
    return s.toUtf8().toStdString();
}

// Processing events more often than this costs more in repainting than it gives in response.
constexpr qint64 EventIntervalMs = 16;

// "*.CRC" as "*.[cC][rR][cC]": file names on this platform keep their letter case.
QString AnyCase(const QString& pattern) {
    QString out;
    for (QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

QFileDialog::Options DialogOptions() {
    return QFileDialog::HideNameFilterDetails;
}

QString Executable(const char* name) {
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

// The desktop entry the desktop has chosen for a type ("org.example.Editor.desktop"), empty if none.
QString DefaultApplicationOf(const QString& xdgMime, const QString& type) {
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        query.kill();
        return {};
    }
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

// "$VISUAL" or "$EDITOR" as a program and its arguments, run in the desktop's terminal.
Launch TerminalEditor(const QString& path, const std::function<QString(const char*)>& env) {
    QString command = env("VISUAL");
    if (command.trimmed().isEmpty()) command = env("EDITOR");
    QStringList editor = QProcess::splitCommand(command);
    if (editor.isEmpty() || Executable(editor.front().toLocal8Bit().constData()).isEmpty()) return {};
    QString terminal = env("TERMINAL");
    if (terminal.isEmpty() || QStandardPaths::findExecutable(terminal).isEmpty()) {
        terminal.clear();
        for (const char* name : {"x-terminal-emulator", "gnome-terminal", "konsole", "xfce4-terminal", "xterm"})
            if (!Executable(name).isEmpty()) {
                terminal = QString::fromLatin1(name);
                break;
            }
    }
    if (terminal.isEmpty()) return {};
    QStringList args{QStringLiteral("-e")};
    args << editor << path;
    return {QStandardPaths::findExecutable(terminal), args};
}

} // namespace

Launch TextEditorLaunch(const QString& path, const std::function<QString(const char*)>& env) {
    const QString xdgMime = Executable("xdg-mime");
    if (!xdgMime.isEmpty()) {
        const QMimeType own = QMimeDatabase().mimeTypeForFile(path);
        QStringList types{own.name()};
        types << own.allAncestors();
        // A list is text whatever its extension makes of it.
        if (!types.contains(QStringLiteral("text/plain"))) types << QStringLiteral("text/plain");
        for (const QString& type : types) {
            const QString desktop = DefaultApplicationOf(xdgMime, type);
            if (desktop.isEmpty()) continue;
            // xdg-open picks the file's own type's default; a parent type's one is started by name.
            if (type == own.name() && !Executable("xdg-open").isEmpty()) return {Executable("xdg-open"), {path}};
            if (!Executable("gtk-launch").isEmpty()) return {Executable("gtk-launch"), {desktop, path}};
        }
    }
    if (Launch terminal = TerminalEditor(path, env); !terminal.Program.isEmpty()) return terminal;
    // The desktop's plain text editors, the common ones first.
    for (const char* name :
         {"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "xed", "pluma", "featherpad", "leafpad", "geany"})
        if (const QString exe = Executable(name); !exe.isEmpty()) return {exe, {path}};
    return {};
}

Launch BrowserLaunch(const QUrl& url, const std::function<QString(const char*)>& env) {
    const QString address = url.toString();
    // $BROWSER lists commands to try, separated by colons.
    for (const QString& command : env("BROWSER").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        QStringList args = QProcess::splitCommand(command);
        if (args.isEmpty()) continue;
        const QString exe = QStandardPaths::findExecutable(args.takeFirst());
        if (exe.isEmpty()) continue;
        return {exe, args << address};
    }
    const QString xdgMime = Executable("xdg-mime");
    if (!xdgMime.isEmpty() && !Executable("xdg-open").isEmpty() &&
        !DefaultApplicationOf(xdgMime, QStringLiteral("x-scheme-handler/") + url.scheme()).isEmpty())
        return {Executable("xdg-open"), {address}};
    for (const char* name : {"x-www-browser", "firefox", "firefox-esr", "chromium", "google-chrome"})
        if (const QString exe = Executable(name); !exe.isEmpty()) return {exe, {address}};
    return {};
}

bool InstallQtTranslations() {
    // One translator, loaded again whenever the shown language changes; Qt's own texts are English.
    static QTranslator* installed = nullptr;
    static std::string loaded;
    const std::string& code = ShownLanguage();
    if (installed && loaded == code) return true;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    loaded = code;
    if (code == "en") return true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QString::fromStdString(code)), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

QStringList QtFilters(const std::string& filter, bool plainFirst) {
    const QStringList parts = Q(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        if (plainFirst) patterns << parts[i + 1].section(QLatin1Char(';'), 0, 0).trimmed();
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << AnyCase(p.trimmed());
        out << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out;
}

QString MessageText(const std::string& text) {
    QString t = Q(Tr(text));
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

void QtUi::Attach(QWidget* window, std::function<void()> sync) {
    window_ = window;
    sync_ = std::move(sync);
    // The gaps count from the first time the window handles events.
    sinceEvents_.invalidate();
}

void QtUi::Sync() {
    if (sync_) sync_();
}

void QtUi::ShowMessage(const std::string& text) {
    Sync();
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(ApplicationTitle), MessageText(text), QMessageBox::Ok,
                    window_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtUi::ShowError(const std::string& text) {
    Sync();
    QString t = MessageText(text);
    if (!t.endsWith(QLatin1Char('.'))) t += QLatin1Char('.');
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(ApplicationTitle), t, QMessageBox::Ok, window_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

DuplicateAnswer QtUi::AskDuplicate(const std::string& text) {
    Sync();
    QMessageBox box(QMessageBox::Warning, T("警告"), MessageText(text), QMessageBox::NoButton, window_);
    box.setTextFormat(Qt::PlainText);
    // One role for all four, so that the buttons keep this order whatever the desktop's button layout.
    QPushButton* yes = box.addButton(T("はい(&Y)"), QMessageBox::ActionRole);
    QPushButton* no = box.addButton(T("いいえ(&N)"), QMessageBox::ActionRole);
    QPushButton* noToAll = box.addButton(T("すべていいえ(&O)"), QMessageBox::ActionRole);
    QPushButton* yesToAll = box.addButton(T("すべてはい(&A)"), QMessageBox::ActionRole);
    box.setDefaultButton(yes);
    // Escape or the title bar's close button: the box is closed without an answer.
    QPushButton* closed = box.addButton(QStringLiteral("closed"), QMessageBox::RejectRole);
    closed->hide();
    box.setEscapeButton(closed);
    box.exec();
    const auto* clicked = box.clickedButton();
    if (clicked == yes) return DuplicateAnswer::Yes;
    if (clicked == no) return DuplicateAnswer::No;
    if (clicked == noToAll) return DuplicateAnswer::NoToAll;
    if (clicked == yesToAll) return DuplicateAnswer::YesToAll;
    return DuplicateAnswer::Closed;
}

bool QtUi::AskConfirm(const std::string& text) {
    Sync();
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(ApplicationTitle), MessageText(text),
                    QMessageBox::Ok | QMessageBox::Cancel, window_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

void QtUi::SetBusyCursor(bool busy) {
    // The logic may ask twice for the same state; the override cursor stack must stay balanced.
    if (busy == busy_) return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtUi::ProcessMessages() {
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < EventIntervalMs) return;
    if (sinceEvents_.isValid()) longestGap_ = std::max(longestGap_, sinceEvents_.elapsed());
    Sync();
    QApplication::processEvents();
    sinceEvents_.start();
}

void QtUi::BringToFront() {
    if (!window_) return;
    window_->raise();
    window_->activateWindow();
}

std::optional<std::string> QtUi::OpenFileDialog(const std::string& filter, const std::string& startFolder) {
    Sync();
    QFileDialog dlg(window_, QString(), Q(startFolder));
    dlg.setOptions(DialogOptions());
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setNameFilters(QtFilters(Tr(filter)));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return S(dlg.selectedFiles().front());
}

std::optional<std::string> QtUi::SaveFileDialog(const std::string& title, const std::string& filter,
                                                const std::string& proposedName, const std::string& startFolder) {
    Sync();
    QFileDialog dlg(window_, T(title), Q(startFolder));
    dlg.setOptions(DialogOptions());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = QtFilters(Tr(filter), true);
    dlg.setNameFilters(filters);
    // The dialog names a filter by its text alone when it hides the patterns.
    const auto kindOf = [&filters](const QString& shown) {
        for (qsizetype i = 0; i < filters.size(); ++i)
            if (filters[i] == shown || filters[i].startsWith(shown + QStringLiteral(" ("))) return i;
        return qsizetype{0};
    };
    // A name typed without an extension gets the chosen kind's, before the dialog asks about replacing.
    const auto suffixOf = [&filter](qsizetype kind) {
        const std::string withExt = PathOfChosenKind("x", filter, static_cast<std::size_t>(kind));
        return withExt.size() > 2 ? Q(withExt.substr(2)) : QString();
    };
    dlg.setDefaultSuffix(suffixOf(0));
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg,
                     [&dlg, suffixOf, kindOf](const QString& f) { dlg.setDefaultSuffix(suffixOf(kindOf(f))); });
    if (!proposedName.empty()) dlg.selectFile(Q(proposedName));
    for (;;) {
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
        const std::string chosen = S(dlg.selectedFiles().front());
        const qsizetype kind = kindOf(dlg.selectedNameFilter());
        const std::string path = PathOfChosenKind(chosen, filter, static_cast<std::size_t>(kind));
        // A name the kind changed to one that is taken goes back to the dialog, which asks about it.
        if (path == chosen || !QFileInfo::exists(Q(path))) return path;
        dlg.selectFile(Q(path));
    }
}

std::optional<std::string> QtUi::ChooseFolder(const std::string& caption, const std::string& startFolder) {
    Sync();
    const QString dir = QFileDialog::getExistingDirectory(window_, T(caption), Q(startFolder));
    if (dir.isEmpty()) return std::nullopt;
    return S(dir);
}

std::optional<std::string> QtUi::AskText(const std::string& prompt, const std::string& initial) {
    Sync();
    QInputDialog dlg(window_);
    dlg.setObjectName(QStringLiteral("AskText"));
    dlg.setWindowTitle(QString::fromUtf8(ApplicationTitle));
    dlg.setLabelText(T(prompt));
    dlg.setTextValue(Q(initial));
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return S(dlg.textValue());
}

void QtUi::SetClipboardText(const std::string& text) {
    QClipboard* cb = QApplication::clipboard();
    cb->clear();
    cb->setText(Q(text));
}

bool QtUi::ShellOpen(const std::string& target, const std::string&) {
    const QString t = Q(target);
    const auto env = [](const char* name) { return qEnvironmentVariable(name); };
    if (t.contains(QStringLiteral("://"))) {
        const Launch browser = BrowserLaunch(QUrl(t), env);
        return !browser.Program.isEmpty() && QProcess::startDetached(browser.Program, browser.Arguments);
    }
    // A text file (the read-me) goes where the list's text goes; other files to their type's handler.
    if (QMimeDatabase().mimeTypeForFile(t).inherits(QStringLiteral("text/plain"))) return OpenInTextEditor(target);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(t));
}

bool QtUi::OpenInTextEditor(const std::string& path) {
    const Launch editor = TextEditorLaunch(Q(path), [](const char* name) { return qEnvironmentVariable(name); });
    return !editor.Program.isEmpty() && QProcess::startDetached(editor.Program, editor.Arguments);
}

ScreenMetrics QtUi::Screen() {
    ScreenMetrics m;
    const QScreen* screen = window_ ? window_->screen() : QGuiApplication::primaryScreen();
    if (!screen) return m;
    const QRect area = screen->availableGeometry();
    m.Width = area.width();
    m.Height = area.height();
    m.Dpi = qRound(screen->logicalDotsPerInch());
    return m;
}

} // namespace tv::qt
