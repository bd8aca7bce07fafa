// The main menu, the list's pop-up menu and the keyboard shortcuts, built from TForm1's menu items.
#include "Win32Window.h"

#include "app/MenuItems.h"

#include <cctype>

namespace tv::win32 {

namespace {

constexpr UINT FirstMenuId = 1000;

std::wstring W(const std::string& s) {
    try {
        return Widen(s);
    } catch (...) {
        return std::wstring();
    }
}

// "Ctrl+M", "Alt+F4", "F1", "Shift+Ctrl+O" as an accelerator; false for a text it does not know.
bool ParseKey(const std::string& text, ACCEL& key) {
    key.fVirt = FVIRTKEY;
    std::string rest = text;
    for (;;) {
        const std::size_t plus = rest.find('+');
        if (plus == std::string::npos || plus + 1 == rest.size()) break;
        const std::string mod = rest.substr(0, plus);
        if (mod == "Ctrl")
            key.fVirt |= FCONTROL;
        else if (mod == "Alt")
            key.fVirt |= FALT;
        else if (mod == "Shift")
            key.fVirt |= FSHIFT;
        else
            return false;
        rest = rest.substr(plus + 1);
    }
    if (rest.size() == 1 && std::isalnum(static_cast<unsigned char>(rest[0]))) {
        key.key = static_cast<WORD>(std::toupper(static_cast<unsigned char>(rest[0])));
        return true;
    }
    if (rest.size() >= 2 && rest[0] == 'F') {
        const int n = std::atoi(rest.c_str() + 1);
        if (n >= 1 && n <= 24) {
            key.key = static_cast<WORD>(VK_F1 + n - 1);
            return true;
        }
    }
    return false;
}

} // namespace

void Win32Window::AddItem(HMENU menu, TMenuItem& item, Click click, std::function<void()> handler,
                          bool evenWhileRunning, const char* extraKey) {
    const UINT id = FirstMenuId + static_cast<UINT>(menus_.size());
    // The item's own key is the one shown; a usual desktop key beside it only acts.
    const std::string shown = !item.ShortCut().empty() ? item.ShortCut() : extraKey ? extraKey : "";
    std::wstring text = TW(item.Caption());
    if (!shown.empty()) text += L"\t" + W(shown);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
    info.fType = MFT_STRING | (click == Click::Radio ? MFT_RADIOCHECK : 0u);
    info.wID = id;
    info.dwTypeData = text.data();
    ::InsertMenuItemW(menu, static_cast<UINT>(::GetMenuItemCount(menu)), TRUE, &info);
    for (const char* k : {item.ShortCut().empty() ? nullptr : item.ShortCut().c_str(), extraKey}) {
        ACCEL key{};
        if (k && ParseKey(k, key)) {
            key.cmd = static_cast<WORD>(id);
            keys_.push_back(key);
        }
    }
    auto onClick = [this, &item, click, handler = std::move(handler), evenWhileRunning] {
        Run([this, &item, click, &handler] { form_.ClickMenuItem(item, click, handler); }, false, evenWhileRunning);
    };
    menus_.push_back({&item, menu, id, false, std::move(onClick), evenWhileRunning, item.Changes() + 1, W(shown)});
}

void Win32Window::BuildMenus() {
    TForm1& f = form_;
    HMENU bar = ::CreateMenu();
    // A submenu titled by a Japanese text, drawn again when the language changes.
    auto submenu = [this](HMENU parent, const char* japanese) {
        HMENU m = ::CreatePopupMenu();
        menuTitles_.push_back({parent, static_cast<UINT>(::GetMenuItemCount(parent)), japanese});
        ::AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(m), TW(japanese).c_str());
        return m;
    };
    auto sub = [&](const char* japanese) { return submenu(bar, japanese); };

    HMENU file = sub("ファイル(&F)");
    AddItem(
        file, f.CrcOpenCmd, Click::Plain, [&f] { f.CrcOpenCmdClick(); }, false, "Ctrl+O");
    AddItem(file, f.FileChangeCmd, Click::Plain, [&f] { f.FileChangeCmdClick(); });
    // Like the search button, the menu item stops a running search.
    AddItem(
        file, f.Complement, Click::Plain, [&f] { f.ComplementClick(); }, true);
    AddItem(file, f.MakeRequestCmd, Click::Plain, [&f] { f.MakeRequestCmdClick(); });
    AddItem(file, f.UnlistedCmd, Click::Plain, [&f] { f.UnlistedCmdClick(); });
    AddItem(file, f.AddNewFilesCmd, Click::Plain, [&f] { f.AddNewFilesCmdClick(); });
    ::AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AddItem(file, f.FolderOpenCmd, Click::Plain, [&f] { f.FolderOpenCmdClick(); });
    AddItem(file, f.MakeCrcCmd, Click::Plain, [&f] { f.MakeCrcCmdClick(); });
    ::AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AddItem(file, f.Exit1, Click::Plain, {}, false, "Ctrl+Q");
    // Exit closes the window rather than running a command.
    menus_.back().OnClick = [this] { Close(); };

    HMENU check = sub("チェック(&K)");
    AddItem(check, f.AllOn, Click::Plain, [&f] { f.AllOnClick(); });
    AddItem(check, f.AllOff, Click::Plain, [&f] { f.AllOffClick(); });
    ::AppendMenuW(check, MF_SEPARATOR, 0, nullptr);
    for (TMenuItem* on : {&f.ON0, &f.ON1, &f.ON2, &f.ON3})
        AddItem(check, *on, Click::AutoCheck, [&f] { f.ON0Click(); });
    ::AppendMenuW(check, MF_SEPARATOR, 0, nullptr);
    // The view's own filter: no item of the logic, so nothing it does or writes depends on it.
    onlyUnmatchedId_ = FirstMenuId - 1;
    menuTitles_.push_back({check, static_cast<UINT>(::GetMenuItemCount(check)), "○以外の行だけ表示(&U)"});
    ::AppendMenuW(check, MF_STRING, onlyUnmatchedId_, TW(menuTitles_.back().Japanese).c_str());

    HMENU option = sub("オプション(&O)");
    AddOptionItems(f, [&](TMenuItem& item, Click click, std::function<void()> command, bool evenWhileRunning) {
        AddItem(option, item, click, std::move(command), evenWhileRunning);
    });
    HMENU dubble = ::CreatePopupMenu();
    const UINT dubblePosition = static_cast<UINT>(::GetMenuItemCount(option));
    ::AppendMenuW(option, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(dubble),
                  TW(f.DubbleAction.Caption()).c_str());
    // The submenu as a whole is disabled in create mode.
    menus_.push_back({&f.DubbleAction, option, dubblePosition, true, {}, false, f.DubbleAction.Changes() + 1, {}});
    for (TMenuItem* radio : {&f.DblNop, &f.DblInq, &f.DblDel})
        AddItem(dubble, *radio, Click::Radio, {}, true);
    ::AppendMenuW(dubble, MF_SEPARATOR, 0, nullptr);
    AddItem(dubble, f.TashUse, Click::AutoCheck, {}, true);
    HMENU kinds = submenu(option, f.ListKindMenu.Caption().c_str());
    AddListKindItems(f, [&](TMenuItem& item, Click click, std::function<void()> command, bool evenWhileRunning) {
        if (&item == &f.ListKindPar2 || &item == &f.WriteBsdTags) ::AppendMenuW(kinds, MF_SEPARATOR, 0, nullptr);
        AddItem(kinds, item, click, std::move(command), evenWhileRunning);
    });
    HMENU language = submenu(option, f.LanguageMenu.Caption().c_str());
    AddLanguageItems(f, [&](TMenuItem& item, Click click, std::function<void()> command, bool evenWhileRunning) {
        AddItem(language, item, click, std::move(command), evenWhileRunning);
    });

    HMENU workers = submenu(option, f.WorkersMenu.Caption().c_str());
    AddWorkerItems(f, [&](TMenuItem& item, Click click, std::function<void()> command, bool evenWhileRunning) {
        if (&item == &f.DiskChoices[0]) ::AppendMenuW(workers, MF_SEPARATOR, 0, nullptr);
        AddItem(workers, item, click, std::move(command), evenWhileRunning);
    });

    HMENU tools = sub("ツール(&T)");
    AddItem(tools, f.NoteView, Click::Plain, [&f] { f.NoteViewClick(); });

    HMENU help = sub("ヘルプ(&H)");
    AddItem(help, f.version, Click::Plain, [&f] { f.versionClick(); });
    AddItem(help, f.Homepage1, Click::Plain, [&f] { f.Homepage1Click(); });
    AddItem(
        help, f.ReadMe, Click::Plain, [&f] { f.ReadMeClick(); }, false, "F1");
    ::SetMenu(hwnd_, bar);

    popup_ = ::CreatePopupMenu();
    AddItem(popup_, f.CopyName, Click::Plain, [&f] { f.CopyNameClick(); });
    AddItem(popup_, f.CopyCRC, Click::Plain, [&f] { f.CopyCRCClick(); });

    accel_ = ::CreateAcceleratorTableW(keys_.data(), static_cast<int>(keys_.size()));
}

bool Win32Window::Translate(MSG& msg) {
    if (!accel_ || !hwnd_ || !::IsWindow(hwnd_)) return false;
    // F5 re-reads the list as a click on the status bar does; it has no menu item to carry it.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F5 && !(::GetKeyState(VK_CONTROL) & 0x8000)) {
        Run([this] { form_.StatusClick(); });
        return true;
    }
    if (::TranslateAcceleratorW(hwnd_, accel_, &msg)) return true;
    // Tab and Shift+Tab between the buttons and the list, Space on a button, as in a dialog box.
    return (msg.hwnd == hwnd_ || ::IsChild(hwnd_, msg.hwnd)) && ::IsDialogMessageW(hwnd_, &msg);
}

} // namespace tv::win32
