#pragma once
// The UI services on Qt: message boxes captioned with the application title, the duplicate question,
// the file and folder dialogs, the hourglass, clipboard, desktop opening and screen metrics.
#include "app/Language.h"
#include "platform/Ui.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <functional>

namespace tv::qt {

// The application's title, the program name with its second and third letters full-width.
inline constexpr const char* ApplicationTitle = "Tａｌlyvault"; // untranslated: the program's name

// A text of the program in the shown language, for Qt.
inline QString T(const std::string& japanese) {
    const std::string shown = Tr(japanese);
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

// "Text|*.A;*.B|Text|*.C" as a Qt name filter list; patterns match without regard to letter case.
// `plainFirst`: each filter starts with its first pattern as given, for a save dialog, which takes the
// extension it puts on the name from there ("*.md5", never "*.[mM][dD]5").
QStringList QtFilters(const std::string& filter, bool plainFirst = false);
// CR LF, lone CR and lone LF all become one line break.
QString MessageText(const std::string& text);
// Loads Qt's own texts (standard buttons, file dialogs) in the shown language when they are installed
// (none for English, Qt's own); true if so. Called again after the language changed, it follows.
bool InstallQtTranslations();

// How a plain text file is opened: the default application of its type (through xdg-open, or
// gtk-launch for the default of a type it derives from), else $VISUAL or $EDITOR in a terminal, else
// a known editor. Empty when nothing on this machine can open it. `env` reads the environment.
struct Launch {
    QString Program;
    QStringList Arguments;
};
Launch TextEditorLaunch(const QString& path, const std::function<QString(const char*)>& env);
// How an address is opened: $BROWSER, else the desktop's handler of its scheme, else a known browser.
Launch BrowserLaunch(const QUrl& url, const std::function<QString(const char*)>& env);

class QtUi : public Ui {
public:
    // `window` parents the dialogs; `sync` brings the window up to date with the logic before any
    // event is processed (ProcessMessages, modal boxes).
    void Attach(QWidget* window, std::function<void()> sync);

    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    DuplicateAnswer AskDuplicate(const std::string& text) override;
    bool AskConfirm(const std::string& text) override;
    void SetBusyCursor(bool busy) override;
    void ProcessMessages() override;
    void BringToFront() override;
    std::optional<std::string> OpenFileDialog(const std::string& filter, const std::string& startFolder) override;
    std::optional<std::string> SaveFileDialog(const std::string& title, const std::string& filter,
                                              const std::string& proposedName, const std::string& startFolder) override;
    std::optional<std::string> ChooseFolder(const std::string& caption, const std::string& startFolder) override;
    std::optional<std::string> AskText(const std::string& prompt, const std::string& initial) override;
    void SetClipboardText(const std::string& text) override;
    bool ShellOpen(const std::string& target, const std::string& workingFolder) override;
    bool OpenInTextEditor(const std::string& path) override;
    ScreenMetrics Screen() override;

    // The longest time in milliseconds the logic kept the window from handling events between two
    // ProcessMessages calls that got through the throttle (for measuring how responsive a long load is).
    qint64 LongestGapMs() const { return longestGap_; }
    // The time since the window last handled events inside a command.
    qint64 SinceEventsMs() const { return sinceEvents_.isValid() ? sinceEvents_.elapsed() : 0; }
    // A command starts: its gaps count from now.
    void RestartTiming() {
        longestGap_ = 0;
        sinceEvents_.start();
    }

private:
    void Sync();
    QPointer<QWidget> window_;
    std::function<void()> sync_;
    QElapsedTimer sinceEvents_;
    bool busy_ = false;
    qint64 longestGap_ = 0;
};

} // namespace tv::qt
