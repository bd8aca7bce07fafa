#pragma once
// The UI services on Win32: message boxes captioned with the application title, the duplicate
// question as a task dialog, the common file dialogs, the folder choice, the hourglass, the
// clipboard, the shell's opening of documents and the work area of the screen.
#include "platform/Ui.h"
#include "platform/win32/WideText.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tv::win32 {

// The application's title, the program name with its second and third letters full-width.
inline constexpr const wchar_t* ApplicationTitle = L"T\uFF41\uFF4Clyvault"; // untranslated: the program's name

// A text of the program in the shown language, for the wide calls.
std::wstring TW(const std::string& japanese);

// "Text|*.A;*.B|Text|*.C" as the common dialogs' filter: pairs ended by NUL, the whole by two.
std::wstring DialogFilter(const std::string& filter);
// One line on the standard error of the program, or of the console it was started from (a window
// program has none of its own).
void ReportLine(const std::string& line);

class Win32Ui : public Ui {
public:
    // `window` owns the dialogs; `sync` brings the window up to date before events are handled;
    // `translate` lets the window's keyboard shortcuts act on a message (true: it was handled).
    void Attach(HWND window, std::function<void()> sync, std::function<bool(MSG&)> translate);
    bool Busy() const { return busy_; }

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
    // A small dialog of its own: the prompt, an edit box holding `initial` (selected), OK and Cancel.
    std::optional<std::string> AskText(const std::string& prompt, const std::string& initial) override;
    void SetClipboardText(const std::string& text) override;
    bool ShellOpen(const std::string& target, const std::string& workingFolder) override;
    bool OpenInTextEditor(const std::string& path) override;
    ScreenMetrics Screen() override;

    // The longest time in milliseconds the logic kept the window from handling events between two
    // ProcessMessages calls that got through the throttle (for measuring how responsive a long load is).
    std::uint64_t LongestGapMs() const { return longestGap_; }
    // The time since the window last handled events inside a command.
    std::uint64_t SinceEventsMs() const;
    // A command starts: its gaps count from now.
    void RestartTiming();

private:
    void Sync();
    HWND window_ = nullptr;
    std::function<void()> sync_;
    std::function<bool(MSG&)> translate_;
    std::uint64_t lastEvents_ = 0, longestGap_ = 0;
    bool busy_ = false;
};

} // namespace tv::win32
