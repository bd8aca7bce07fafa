#pragma once
// The modal and shell services the window logic needs. The Qt front end implements them for real;
// tests use a scripted fake; the command-line tool answers without asking.
#include <optional>
#include <string>

namespace tv {

// Answers to the duplicate question, in the order of its buttons.
enum class DuplicateAnswer { Yes, No, NoToAll, YesToAll, Closed };

struct ScreenMetrics {
    int Width = 1920;
    int Height = 1080;
    int Dpi = 96;
};

class Ui {
public:
    virtual ~Ui() = default;

    // Plain message box with an OK button, captioned with the application title.
    virtual void ShowMessage(const std::string& text) = 0;
    // The default error box for a failed command; it ends the text with a full stop.
    virtual void ShowError(const std::string& text) = 0;
    // What lies behind the error just shown, in English: the path and the system's reason, or the list
    // line a conversion failed on. The window's box keeps its own text and shows nothing more; the
    // command-line tool prints it.
    virtual void ShowErrorCause(const std::string&) {}
    // Warning box titled "警告" with the buttons "はい(&Y)", "いいえ(&N)", "すべていいえ(&O)", "すべてはい(&A)".
    virtual DuplicateAnswer AskDuplicate(const std::string& text) = 0;
    // A question with OK and Cancel buttons; true for OK.
    virtual bool AskConfirm(const std::string& text) = 0;

    virtual void SetBusyCursor(bool busy) = 0;
    // Lets the window repaint and handle clicks; implementations throttle it.
    virtual void ProcessMessages() = 0;
    virtual void BringToFront() = 0;

    // Dialogs: an empty optional means the user cancelled. Filters are "Text|*.A;*.B|Text|*.C".
    virtual std::optional<std::string> OpenFileDialog(const std::string& filter, const std::string& startFolder) = 0;
    virtual std::optional<std::string> SaveFileDialog(const std::string& title, const std::string& filter,
                                                      const std::string& proposedName,
                                                      const std::string& startFolder) = 0;
    virtual std::optional<std::string> ChooseFolder(const std::string& caption, const std::string& startFolder) = 0;
    // A line the user types, `initial` proposed: an empty optional when cancelled (or with no one to ask).
    virtual std::optional<std::string> AskText(const std::string& /*prompt*/, const std::string& /*initial*/) {
        return std::nullopt;
    }

    virtual void SetClipboardText(const std::string& text) = 0;
    // Opens a document, folder or address with its default handler; false when nothing could be
    // started for it (a handler that starts and then fails is not seen).
    virtual bool ShellOpen(const std::string& target, const std::string& workingFolder) = 0;
    // Opens a file in the system's plain text editor; false when none could be started.
    virtual bool OpenInTextEditor(const std::string& path) = 0;
    virtual ScreenMetrics Screen() = 0;
};

// Shows the busy pointer while it lives (when asked to), whichever way its scope is left.
class BusyCursor {
public:
    explicit BusyCursor(Ui& ui, bool on = true) : ui_(ui), on_(on) {
        if (on_) ui_.SetBusyCursor(true);
    }
    ~BusyCursor() {
        if (on_) ui_.SetBusyCursor(false);
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    Ui& ui_;
    bool on_;
};

} // namespace tv
