#include "Win32Ui.h"

#include "app/Language.h"

#include "platform/win32/Shell.h"
#include "writers/ListFormat.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

namespace tv::win32 {

namespace {

// Processing events more often than this costs more in repainting than it gives in response.
constexpr std::uint64_t EventIntervalMs = 16;

std::wstring W(const std::string& s) {
    try {
        return Widen(s);
    } catch (...) {
        return std::wstring();
    }
}

// CR LF, lone CR and lone LF all become one line break.
std::wstring MessageText(const std::string& text) {
    std::wstring out;
    const std::wstring in = W(Tr(text));
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == L'\r') {
            if (i + 1 < in.size() && in[i + 1] == L'\n') ++i;
            out += L'\n';
        } else {
            out += in[i];
        }
    }
    return out;
}

// A name from a dialog, without the long form's prefix the program adds at its own calls.
std::string FromDialog(const wchar_t* name) {
    return Narrow(name);
}

int CALLBACK FolderCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data) ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

// What the open and the save dialog share: owner, filters (the first chosen), name buffer, start folder.
OPENFILENAMEW FileDialogFields(HWND owner, const std::wstring& filters, const std::wstring& folder,
                               std::vector<wchar_t>& name) {
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filters.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    return ofn;
}

} // namespace

std::wstring TW(const std::string& japanese) {
    return W(Tr(japanese));
}

std::wstring DialogFilter(const std::string& filter) {
    std::wstring out = W(filter);
    for (wchar_t& c : out)
        if (c == L'|') c = L'\0';
    out.push_back(L'\0');
    out.push_back(L'\0');
    return out;
}

void ReportLine(const std::string& line) {
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    if (!err || err == INVALID_HANDLE_VALUE) {
        ::AttachConsole(ATTACH_PARENT_PROCESS);
        err = ::GetStdHandle(STD_ERROR_HANDLE);
    }
    if (!err || err == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::uint64_t Win32Ui::SinceEventsMs() const {
    return lastEvents_ ? ::GetTickCount64() - lastEvents_ : 0;
}

void Win32Ui::RestartTiming() {
    longestGap_ = 0;
    lastEvents_ = ::GetTickCount64();
}

void Win32Ui::Attach(HWND window, std::function<void()> sync, std::function<bool(MSG&)> translate) {
    window_ = window;
    sync_ = std::move(sync);
    translate_ = std::move(translate);
}

void Win32Ui::Sync() {
    if (sync_) sync_();
}

void Win32Ui::ShowMessage(const std::string& text) {
    Sync();
    ::MessageBoxW(window_, MessageText(text).c_str(), ApplicationTitle, MB_OK);
}

void Win32Ui::ShowError(const std::string& text) {
    Sync();
    std::wstring t = MessageText(text);
    if (t.empty() || t.back() != L'.') t += L'.';
    ::MessageBoxW(window_, t.c_str(), ApplicationTitle, MB_OK | MB_ICONERROR);
}

bool Win32Ui::AskConfirm(const std::string& text) {
    Sync();
    return ::MessageBoxW(window_, MessageText(text).c_str(), ApplicationTitle, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

DuplicateAnswer Win32Ui::AskDuplicate(const std::string& text) {
    Sync();
    const std::wstring body = MessageText(text);
    // Custom buttons keep this order; Escape or the close button is the answer "closed".
    const std::wstring yes = TW("はい(&Y)"), no = TW("いいえ(&N)"), noToAll = TW("すべていいえ(&O)"),
                       yesToAll = TW("すべてはい(&A)"), title = TW("警告");
    const TASKDIALOG_BUTTON buttons[] = {
        {1, yes.c_str()},
        {2, no.c_str()},
        {3, noToAll.c_str()},
        {4, yesToAll.c_str()},
    };
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = window_;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
    config.pszWindowTitle = title.c_str();
    config.pszMainIcon = TD_WARNING_ICON;
    config.pszContent = body.c_str();
    config.cButtons = 4;
    config.pButtons = buttons;
    config.nDefaultButton = 1;
    int pressed = 0;
    if (FAILED(::TaskDialogIndirect(&config, &pressed, nullptr, nullptr))) return DuplicateAnswer::Closed;
    switch (pressed) {
    case 1:
        return DuplicateAnswer::Yes;
    case 2:
        return DuplicateAnswer::No;
    case 3:
        return DuplicateAnswer::NoToAll;
    case 4:
        return DuplicateAnswer::YesToAll;
    default:
        return DuplicateAnswer::Closed;
    }
}

void Win32Ui::SetBusyCursor(bool busy) {
    busy_ = busy;
    ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void Win32Ui::ProcessMessages() {
    const std::uint64_t now = ::GetTickCount64();
    if (now - lastEvents_ < EventIntervalMs) return;
    // The gaps count from the first time the window handles events.
    if (lastEvents_) longestGap_ = std::max(longestGap_, now - lastEvents_);
    Sync();
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The main loop ends the program once the command is over.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (translate_ && translate_(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    lastEvents_ = ::GetTickCount64();
}

void Win32Ui::BringToFront() {
    if (!window_) return;
    if (::IsIconic(window_)) ::ShowWindow(window_, SW_RESTORE);
    ::SetForegroundWindow(window_);
}

std::optional<std::string> Win32Ui::OpenFileDialog(const std::string& filter, const std::string& startFolder) {
    Sync();
    const std::wstring filters = DialogFilter(Tr(filter)), folder = W(startFolder);
    std::vector<wchar_t> name(32768, L'\0');
    OPENFILENAMEW ofn = FileDialogFields(window_, filters, folder, name);
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!::GetOpenFileNameW(&ofn)) return std::nullopt;
    return FromDialog(name.data());
}

std::optional<std::string> Win32Ui::SaveFileDialog(const std::string& title, const std::string& filter,
                                                   const std::string& proposedName, const std::string& startFolder) {
    Sync();
    const std::wstring filters = DialogFilter(Tr(filter)), folder = W(startFolder), caption = TW(title);
    std::vector<wchar_t> name(32768, L'\0');
    const std::wstring proposed = W(proposedName);
    if (proposed.size() < name.size()) std::copy(proposed.begin(), proposed.end(), name.begin());
    OPENFILENAMEW ofn = FileDialogFields(window_, filters, folder, name);
    ofn.lpstrTitle = caption.empty() ? nullptr : caption.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    // With a default extension the dialog puts the chosen filter's extension on a name typed without one.
    const std::string withExt = PathOfChosenKind("x", filter, 0);
    const std::wstring defaultExt = withExt.size() > 2 ? W(withExt.substr(2)) : std::wstring();
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    for (;;) {
        if (!::GetSaveFileNameW(&ofn)) return std::nullopt;
        const std::string chosen = FromDialog(name.data());
        // The kind picked in the dialog decides the extension; a name it changed to one that is taken
        // goes back to the dialog, which asks about replacing it.
        const std::string path = PathOfChosenKind(chosen, filter, ofn.nFilterIndex > 0 ? ofn.nFilterIndex - 1 : 0);
        if (path == chosen || ::GetFileAttributesW(W(path).c_str()) == INVALID_FILE_ATTRIBUTES) return path;
        const std::wstring again = W(path);
        if (again.size() >= name.size()) return std::nullopt;
        std::fill(name.begin(), name.end(), L'\0');
        std::copy(again.begin(), again.end(), name.begin());
    }
}

std::optional<std::string> Win32Ui::ChooseFolder(const std::string& caption, const std::string& startFolder) {
    Sync();
    const std::wstring title = TW(caption), folder = W(startFolder);
    BROWSEINFOW info{};
    info.hwndOwner = window_;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = FolderCallback;
    info.lParam = folder.empty() ? 0 : reinterpret_cast<LPARAM>(folder.c_str());
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
    if (!chosen) return std::nullopt;
    std::vector<wchar_t> path(32768, L'\0');
    const bool ok = ::SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
    ::CoTaskMemFree(chosen);
    if (!ok) return std::nullopt;
    return FromDialog(path.data());
}

namespace {

// The text box's controls, and its state while it is open.
constexpr WORD PromptId = 101, TextId = 102;
struct TextBoxState {
    std::wstring Prompt, Text;
};

INT_PTR CALLBACK TextBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const auto* state = reinterpret_cast<const TextBoxState*>(lParam);
        ::SetWindowTextW(dialog, ApplicationTitle);
        ::SetDlgItemTextW(dialog, PromptId, state->Prompt.c_str());
        ::SetDlgItemTextW(dialog, TextId, state->Text.c_str());
        ::SetDlgItemTextW(dialog, IDCANCEL, TW("キャンセル").c_str());
        ::SendDlgItemMessageW(dialog, TextId, EM_SETSEL, 0, -1);
        return TRUE; // the focus on the edit box, the first control that takes it
    }
    if (message != WM_COMMAND) return FALSE;
    const WORD id = LOWORD(wParam);
    if (id == IDOK) {
        auto* state = reinterpret_cast<TextBoxState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        std::vector<wchar_t> text(static_cast<std::size_t>(::GetWindowTextLengthW(::GetDlgItem(dialog, TextId))) + 1);
        ::GetDlgItemTextW(dialog, TextId, text.data(), static_cast<int>(text.size()));
        state->Text = text.data();
    }
    if (id == IDOK || id == IDCANCEL) {
        ::EndDialog(dialog, id);
        return TRUE;
    }
    return FALSE;
}

// An in-memory dialog template: the dialog, then each control, each on a DWORD boundary.
class DialogTemplate {
public:
    DialogTemplate(short width, short height) {
        Align();
        const DWORD style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        Dword(style);
        Dword(0);          // extended style
        count_ = words_.size();
        Word(0);           // control count, set as controls are added
        Word(0), Word(0);  // x, y
        Word(static_cast<WORD>(width)), Word(static_cast<WORD>(height));
        Word(0), Word(0);  // no menu, the default class
        Text(L"");         // the title, set when the dialog opens
        Word(9);           // the font's size in points, then its name
        Text(L"MS Shell Dlg");
    }
    void Control(WORD atom, WORD id, DWORD style, short x, short y, short cx, short cy, const wchar_t* text) {
        Align();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        for (short v : {x, y, cx, cy})
            Word(static_cast<WORD>(v));
        Word(id);
        Word(0xFFFF), Word(atom);
        Text(text);
        Word(0); // no creation data
        ++words_[count_];
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) { Word(LOWORD(d)), Word(HIWORD(d)); }
    void Text(const wchar_t* t) {
        for (; *t; ++t)
            Word(static_cast<WORD>(*t));
        Word(0);
    }
    void Align() {
        if (words_.size() % 2 != 0) Word(0);
    }
    std::vector<WORD> words_;
    std::size_t count_ = 0;
};

} // namespace

std::optional<std::string> Win32Ui::AskText(const std::string& prompt, const std::string& initial) {
    Sync();
    constexpr WORD Button = 0x0080, Edit = 0x0081, Static = 0x0082;
    DialogTemplate t(250, 76);
    t.Control(Static, PromptId, SS_LEFT, 7, 7, 236, 24, L"");
    t.Control(Edit, TextId, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 34, 236, 13, L"");
    t.Control(Button, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 139, 55, 50, 14, L"OK");
    t.Control(Button, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 193, 55, 50, 14, L"");
    TextBoxState state{TW(prompt), W(initial)};
    const INT_PTR answer = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), t.Get(), window_, TextBoxProc,
                                                     reinterpret_cast<LPARAM>(&state));
    if (answer != IDOK) return std::nullopt;
    return Narrow(state.Text);
}

void Win32Ui::SetClipboardText(const std::string& text) {
    const std::wstring t = W(text);
    if (!::OpenClipboard(window_)) return;
    ::EmptyClipboard();
    const std::size_t bytes = (t.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* p = ::GlobalLock(mem)) {
            std::copy(t.c_str(), t.c_str() + t.size() + 1, static_cast<wchar_t*>(p));
            ::GlobalUnlock(mem);
            // The clipboard owns the memory once it has taken it.
            if (!::SetClipboardData(CF_UNICODETEXT, mem)) ::GlobalFree(mem);
        } else {
            ::GlobalFree(mem);
        }
    }
    ::CloseClipboard();
}

bool Win32Ui::ShellOpen(const std::string& target, const std::string& workingFolder) {
    return win32::ShellOpen(target, workingFolder);
}

bool Win32Ui::OpenInTextEditor(const std::string& path) {
    return win32::OpenInTextEditor(path);
}

ScreenMetrics Win32Ui::Screen() {
    ScreenMetrics m;
    RECT area{};
    if (::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) {
        m.Width = area.right - area.left;
        m.Height = area.bottom - area.top;
    }
    if (HDC dc = ::GetDC(nullptr)) {
        m.Dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
        ::ReleaseDC(nullptr, dc);
    }
    return m;
}

} // namespace tv::win32
