#include "QtUi.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

namespace tv::qt {

namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string S(const QString& s) { return s.toUtf8().toStdString(); }

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

QFileDialog::Options DialogOptions() { return QFileDialog::HideNameFilterDetails; }

} // namespace

QStringList QtFilters(const std::string& filter) {
    const QStringList parts = Q(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) patterns << AnyCase(p.trimmed());
        out << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out;
}

QString MessageText(const std::string& text) {
    QString t = Q(text);
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
    QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"), MessageText(text), QMessageBox::NoButton, window_);
    box.setTextFormat(Qt::PlainText);
    // One role for all four, so that the buttons keep this order whatever the desktop's button layout.
    QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::ActionRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::ActionRole);
    QPushButton* noToAll = box.addButton(QStringLiteral("すべていいえ(&O)"), QMessageBox::ActionRole);
    QPushButton* yesToAll = box.addButton(QStringLiteral("すべてはい(&A)"), QMessageBox::ActionRole);
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
    dlg.setNameFilters(QtFilters(filter));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return S(dlg.selectedFiles().front());
}

std::optional<std::string> QtUi::SaveFileDialog(const std::string& title, const std::string& filter,
                                                const std::string& proposedName, const std::string& startFolder) {
    Sync();
    QFileDialog dlg(window_, Q(title), Q(startFolder));
    dlg.setOptions(DialogOptions());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilters(QtFilters(filter));
    if (!proposedName.empty()) dlg.selectFile(Q(proposedName));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return S(dlg.selectedFiles().front());
}

std::optional<std::string> QtUi::ChooseFolder(const std::string& caption, const std::string& startFolder) {
    Sync();
    const QString dir = QFileDialog::getExistingDirectory(window_, Q(caption), Q(startFolder));
    if (dir.isEmpty()) return std::nullopt;
    return S(dir);
}

void QtUi::SetClipboardText(const std::string& text) {
    QClipboard* cb = QApplication::clipboard();
    cb->clear();
    cb->setText(Q(text));
}

void QtUi::ShellOpen(const std::string& target, const std::string&) {
    const QString t = Q(target);
    const QUrl url = t.contains(QStringLiteral("://")) ? QUrl(t) : QUrl::fromLocalFile(t);
    QDesktopServices::openUrl(url);
}

void QtUi::OpenInTextEditor(const std::string& path) {
    // The desktop's plain text editors, the common ones first; none found: nothing happens.
    static const char* const editors[] = {"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "xed",
                                          "pluma", "featherpad", "leafpad", "geany"};
    for (const char* name : editors) {
        const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!exe.isEmpty()) {
            QProcess::startDetached(exe, {Q(path)});
            return;
        }
    }
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
