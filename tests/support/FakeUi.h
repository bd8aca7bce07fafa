#pragma once
// The scripted UI: answers come from queues the test fills, and everything shown is recorded.
#include "platform/Ui.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tv::test {

// A steady clock under which every ReportProgress is due: a scripted click meets each step of a loop.
inline std::function<std::int64_t()> EveryStepClock() {
    return [t = std::int64_t{0}]() mutable { return t += 1000; };
}

class FakeUi : public Ui {
public:
    // Scripted answers, taken in order. An unscripted duplicate question is answered "No"; an
    // unscripted dialog is cancelled.
    std::deque<DuplicateAnswer> DuplicateAnswers;
    std::deque<std::optional<std::string>> DialogAnswers;
    // Answers to OK/Cancel questions; an unscripted one is cancelled.
    std::deque<bool> ConfirmAnswers;
    std::vector<std::string> Confirmations;

    // What was shown.
    std::vector<std::string> Messages;
    std::vector<std::string> Errors;
    std::vector<std::string> DuplicateQuestions;
    struct Dialog {
        std::string Kind, Title, Filter, Proposed, StartFolder;
    };
    std::vector<Dialog> Dialogs;
    std::vector<std::string> Opened;
    // Whether the desktop could start something for ShellOpen and OpenInTextEditor.
    bool LaunchWorks = true;
    std::string Clipboard;
    int BringToFrontCount = 0;
    int ProcessMessagesCount = 0;
    bool Busy = false;
    ScreenMetrics Metrics;
    // Called from ProcessMessages, to act as a user clicking while a command runs.
    std::function<void()> OnProcessMessages;

    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    DuplicateAnswer AskDuplicate(const std::string& text) override;
    bool AskConfirm(const std::string& text) override {
        Confirmations.push_back(text);
        if (ConfirmAnswers.empty()) return false;
        const bool a = ConfirmAnswers.front();
        ConfirmAnswers.pop_front();
        return a;
    }
    void SetBusyCursor(bool busy) override { Busy = busy; }
    void ProcessMessages() override;
    void BringToFront() override { ++BringToFrontCount; }
    std::optional<std::string> OpenFileDialog(const std::string& filter, const std::string& startFolder) override;
    std::optional<std::string> SaveFileDialog(const std::string& title, const std::string& filter,
                                              const std::string& proposedName, const std::string& startFolder) override;
    std::optional<std::string> ChooseFolder(const std::string& caption, const std::string& startFolder) override;
    // Answered from DialogAnswers, recorded as a dialog of kind "text" (title: the prompt; proposed: the
    // text offered).
    std::optional<std::string> AskText(const std::string& prompt, const std::string& initial) override {
        Dialogs.push_back({"text", prompt, "", initial, ""});
        return NextDialogAnswer();
    }
    void SetClipboardText(const std::string& text) override { Clipboard = text; }
    bool ShellOpen(const std::string& target, const std::string&) override {
        Opened.push_back(target);
        return LaunchWorks;
    }
    bool OpenInTextEditor(const std::string& path) override {
        Opened.push_back("editor:" + path);
        return LaunchWorks;
    }
    ScreenMetrics Screen() override { return Metrics; }

private:
    std::optional<std::string> NextDialogAnswer();
};

} // namespace tv::test
