#pragma once
// The UI services on Qt: message boxes captioned with the application title, the duplicate question,
// the file and folder dialogs, the hourglass, clipboard, desktop opening and screen metrics.
#include "platform/Ui.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace tv::qt {

// The application's title, the program name with its second and third letters full-width.
inline constexpr const char* ApplicationTitle = "Tａｌlyvault";

// "Text|*.A;*.B|Text|*.C" as a Qt name filter list; patterns match without regard to letter case.
QStringList QtFilters(const std::string& filter);
// CR LF, lone CR and lone LF all become one line break.
QString MessageText(const std::string& text);

class QtUi : public Ui {
public:
    // `window` parents the dialogs; `sync` brings the window up to date with the logic before any
    // event is processed (ProcessMessages, modal boxes).
    void Attach(QWidget* window, std::function<void()> sync);

    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    DuplicateAnswer AskDuplicate(const std::string& text) override;
    void SetBusyCursor(bool busy) override;
    void ProcessMessages() override;
    void BringToFront() override;
    std::optional<std::string> OpenFileDialog(const std::string& filter, const std::string& startFolder) override;
    std::optional<std::string> SaveFileDialog(const std::string& title, const std::string& filter,
                                              const std::string& proposedName,
                                              const std::string& startFolder) override;
    std::optional<std::string> ChooseFolder(const std::string& caption, const std::string& startFolder) override;
    void SetClipboardText(const std::string& text) override;
    void ShellOpen(const std::string& target, const std::string& workingFolder) override;
    void OpenInTextEditor(const std::string& path) override;
    ScreenMetrics Screen() override;

    // The longest time in milliseconds the logic kept the window from handling events between two
    // ProcessMessages calls that got through the throttle (for measuring how responsive a long load is).
    qint64 LongestGapMs() const { return longestGap_; }

private:
    void Sync();
    QPointer<QWidget> window_;
    std::function<void()> sync_;
    QElapsedTimer sinceEvents_;
    bool busy_ = false;
    qint64 longestGap_ = 0;
};

} // namespace tv::qt
