#pragma once
// The UI services without a window, for the command-line tool: messages and errors go to stderr,
// duplicate questions get a fixed answer, dialogs are cancelled.
#include "platform/Ui.h"

#include <functional>
#include <iosfwd>

namespace tv {

class HeadlessUi : public Ui {
public:
    explicit HeadlessUi(std::ostream& err, DuplicateAnswer answer = DuplicateAnswer::No) : err_(err), answer_(answer) {}

    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowErrorCause(const std::string& text) override;
    DuplicateAnswer AskDuplicate(const std::string& text) override;
    // The command line is the user's answer.
    bool AskConfirm(const std::string&) override { return true; }
    // The busy pointer going clears the progress line.
    void SetBusyCursor(bool busy) override {
        if (!busy) Quiet();
    }
    void ProcessMessages() override {
        if (DrawProgress) DrawProgress();
    }
    void BringToFront() override {}
    std::optional<std::string> OpenFileDialog(const std::string&, const std::string&) override { return {}; }
    std::optional<std::string> SaveFileDialog(const std::string&, const std::string&, const std::string&,
                                              const std::string&) override {
        return {};
    }
    std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override { return {}; }
    void SetClipboardText(const std::string&) override {}
    bool ShellOpen(const std::string&, const std::string&) override { return false; }
    bool OpenInTextEditor(const std::string&) override { return false; }
    ScreenMetrics Screen() override { return {}; }

    int ErrorsShown() const { return errors_; }

    // The command-line tool's progress line: drawn when the window would handle events, and cleared
    // before anything else is written to the error stream.
    std::function<void()> DrawProgress, ClearProgress;
    void Quiet() {
        if (ClearProgress) ClearProgress();
    }

private:
    std::ostream& err_;
    DuplicateAnswer answer_;
    int errors_ = 0;
};

// A message-box text on one line per text line (CR LF, CR and LF all end a line).
std::string PlainLines(const std::string& text);

} // namespace tv
