// The Win32 window on a real display (under Wine: a virtual X server), driven as a user drives it:
// the common dialogs answered through their own controls, files dropped, rows ticked by click and by
// Space, the pop-up menu, Tab between the controls, the clipboard, the place and widths kept.
#include "Win32Window.h"
#include "Win32Ui.h"

#include "app/Language.h"
#include "core/Crc32.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"

#include <commdlg.h>
#include <dlgs.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace tv::win32 {
namespace {

std::string Hex(const std::string& content) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", Crc32(content.data(), content.size()));
    return buf;
}

// Handles every message waiting, and those that come within `ms`, as the program's loop does.
void Pump(Win32Window* window, int ms = 60) {
    const std::uint64_t end = ::GetTickCount64() + static_cast<std::uint64_t>(ms);
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (window && window->Translate(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    } while (::GetTickCount64() < end);
}

// One window over a fresh folder, with its own settings file there.
struct Harness {
    std::filesystem::path dir;
    Win32Ui ui;
    TForm1 form{ui, RealFs()};
    std::unique_ptr<Win32Window> window;

    // In `root`, else beside the test program rather than in the temporary folder: Wine's folder tree
    // does not always reach into the user profile's Temp, which is a special folder of its shell.
    explicit Harness(std::filesystem::path root = {}) {
        static int count = 0;
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        if (root.empty()) root = std::filesystem::path(self).parent_path();
        dir = root / ("tv-window-test-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++count));
        std::filesystem::create_directories(dir);
        form.ProgramPath = Path("bin\\tallyvault.exe");
        form.SettingsFile = Path("Tallyvault.ini");
    }
    ~Harness() {
        Close();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string Path(const std::string& name) const { return Narrow((dir / Widen(name)).wstring()); }
    std::string Write(const std::string& name, const std::string& content) const {
        const std::filesystem::path p = dir / Widen(name);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return Narrow(p.wstring());
    }
    // Rows sorted by name: bad (x), gone (-), moved (!), 写真 (o).
    std::string FourStateList() const {
        Write("set\\写真.bin", "good content");
        Write("set\\other.bin", "moved content");
        Write("set\\bad.bin", "changed");
        return Write("set\\list.sfv", "写真.bin " + Hex("good content") + "\r\nmoved.bin " + Hex("moved content") +
                                          "\r\nbad.bin " + Hex("original") + "\r\ngone.bin " + Hex("never here") +
                                          "\r\n");
    }
    Win32Window& Start(const std::vector<std::string>& args = {}) {
        window = std::make_unique<Win32Window>(form, ui);
        window->Start(args);
        ::SetForegroundWindow(window->Handle());
        Pump(window.get(), 150);
        return *window;
    }
    void Close() {
        if (!window) return;
        if (::IsWindow(window->Handle())) ::SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
        Pump(nullptr, 20);
        window.reset();
    }
    // Each row as the view shows it: name, mark index and tick.
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        std::string all = Narrow(window->RowTexts());
        for (std::size_t start = 0, end; (end = all.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string line = all.substr(start, end - start);
            const std::size_t mark = line.rfind('\t', line.rfind('\t') - 1);
            rows.push_back(line.substr(0, line.find('\t')) + "|" + line.substr(mark + 1));
        }
        for (std::string& r : rows)
            for (char& c : r)
                if (c == '\t') c = '|';
        return rows;
    }
    IniFile Saved() const { return LoadIniFile(RealFs(), form.SettingsFile); }
};

std::wstring ClassOf(HWND w) {
    wchar_t name[64] = {};
    ::GetClassNameW(w, name, 64);
    return name;
}

std::string TextOf(HWND w) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(w, text, 1024);
    return Narrow(text);
}

// Once a window of class `className` of this thread shows (a dialog box "#32770", a menu "#32768"),
// `act` runs on it from inside the box's own loop, on every tick of a timer of the thread until it
// says it is done (a box that fills itself bit by bit, as the folder tree does, is waited for).
std::function<bool(HWND)> pendingAct;
std::wstring pendingClass;
UINT_PTR pendingTimer = 0;
void StopWaiting() {
    if (pendingTimer) ::KillTimer(nullptr, pendingTimer);
    pendingTimer = 0;
    pendingAct = {};
}
void WhenShownUntil(const wchar_t* className, std::function<bool(HWND)> act) {
    StopWaiting();
    pendingAct = std::move(act);
    pendingClass = className;
    pendingTimer = ::SetTimer(nullptr, 0, 40, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND found = nullptr;
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND w, LPARAM p) -> BOOL {
                if (!::IsWindowVisible(w) || ClassOf(w) != pendingClass) return TRUE;
                *reinterpret_cast<HWND*>(p) = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        // A box acts on what it was given once it has settled: the tick after the one that saw it.
        static HWND seen = nullptr;
        if (!found || found != seen) {
            seen = found;
            return;
        }
        auto run = pendingAct; // the act may end the box, and its loop this timer
        if (run && run(found)) {
            seen = nullptr;
            StopWaiting();
        }
    });
}
void WhenShown(const wchar_t* className, std::function<void(HWND)> act) {
    WhenShownUntil(className, [act = std::move(act)](HWND w) {
        act(w);
        return true;
    });
}

// Every child window of `parent` of the class, depth first.
std::vector<HWND> ChildrenOf(HWND parent, const wchar_t* className) {
    struct Search {
        const wchar_t* Class;
        std::vector<HWND> Found;
    } search{className, {}};
    ::EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (ClassOf(w) == s->Class) s->Found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

// What a file dialog showed: its caption, filter names, folder, the name proposed and the files listed.
struct FileDialogSeen {
    std::string Title, Folder, Name;
    std::vector<std::string> Filters, Files;
};

FileDialogSeen ReadFileDialog(HWND dialog) {
    FileDialogSeen seen;
    seen.Title = TextOf(dialog);
    HWND types = ::GetDlgItem(dialog, cmb1);
    for (int i = 0; i < static_cast<int>(::SendMessageW(types, CB_GETCOUNT, 0, 0)); ++i) {
        wchar_t text[256] = {};
        ::SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        seen.Filters.push_back(Narrow(text));
    }
    wchar_t buf[MAX_PATH] = {};
    ::SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(buf));
    seen.Folder = Narrow(buf);
    buf[0] = 0;
    ::SendMessageW(dialog, CDM_GETSPEC, MAX_PATH, reinterpret_cast<LPARAM>(buf));
    seen.Name = Narrow(buf);
    for (HWND list : ChildrenOf(dialog, L"SysListView32"))
        for (int i = 0; i < ListView_GetItemCount(list); ++i) {
            wchar_t text[MAX_PATH] = {};
            ListView_GetItemText(list, i, 0, text, MAX_PATH);
            seen.Files.push_back(Narrow(text));
        }
    return seen;
}

// Types `name` into the dialog's file name box and presses its OK button, or Cancel for an empty name.
void AnswerFileDialog(HWND dialog, const std::string& name) {
    if (name.empty()) {
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    HWND edit = ::GetDlgItem(dialog, edt1);
    if (!edit) edit = ::GetDlgItem(dialog, cmb13);
    ::SetWindowTextW(edit, Widen(name).c_str());
    ::PostMessageW(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
}

TEST(Win32Window, TheOpenDialogOffersTheListsInTheListsFolderAndReadsTheChosenOne) {
    Harness h;
    const std::string first = h.FourStateList();
    h.Write("set\\notes.doc", "");
    h.Write("set\\upper.SFV", "a.bin 00000000\r\n");
    const std::string second = h.Write("set\\more.csv", "b.bin,1,00000000\r\n");
    Win32Window& w = h.Start({first});
    const struct {
        std::string Answer; // empty: cancelled
        std::string ListPath;
    } cases[] = {{second, second}, {"", second}, {first, first}};
    for (const auto& c : cases) {
        FileDialogSeen seen;
        WhenShown(L"#32770", [&](HWND d) {
            seen = ReadFileDialog(d);
            AnswerFileDialog(d, c.Answer);
        });
        w.Run([&h] { h.form.CrcOpenCmdClick(); });
        // Every kind of list first, the shown list's kind next.
        EXPECT_EQ(seen.Filters,
                  (std::vector<std::string>{"Checksum List (all kinds)", "CRC Check File (sfv,crc,csv)",
                                            "CRC1632 File (*.txt)",
                                            "Digest List (md5,sha1,sha224,sha256,sha384,sha512,b2,b3)",
                                            "PAR2 Recovery Set (par2)", "All Files (*.*)"}));
        EXPECT_EQ(seen.Folder, h.Path("set"));
        // The list files of the first filter, whatever the letter case of their extension.
        std::sort(seen.Files.begin(), seen.Files.end());
        EXPECT_EQ(seen.Files, (std::vector<std::string>{"list.sfv", "more.csv", "upper.SFV"}));
        EXPECT_EQ(h.form.ListPath, c.ListPath);
    }
    EXPECT_EQ(h.Rows(),
              (std::vector<std::string>{"bad.bin|2|-", "gone.bin|3|-", "moved.bin|1|ticked", "写真.bin|0|-"}));
}

// Every item of the menu and its submenus: caption (with its key after a tab) and whether it is enabled.
void MenuItems(HMENU menu, std::vector<std::string>& out) {
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        const UINT state = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (text[0]) out.push_back(Narrow(text) + ((state & MF_GRAYED) ? " (off)" : ""));
        if (HMENU sub = ::GetSubMenu(menu, i)) MenuItems(sub, out);
    }
}

bool HasMenuItem(const Win32Window& w, const std::string& item) {
    std::vector<std::string> items;
    MenuItems(::GetMenu(w.Handle()), items);
    return std::find(items.begin(), items.end(), item) != items.end();
}

TEST(Win32Window, CreateModeWritesAListThroughTheSaveDialog) {
    Harness h;
    Win32Window& w = h.Start({h.FourStateList()});
    w.Run([&h] { h.form.ModeButtonClick(); });
    // The menus follow the mode: the switch names it, the items of the other mode are off.
    for (const std::string& item : {Tr("モード変更（現在：書込モード）") + "\tCtrl+M", Tr("CRCファイルを作成(&M)"),
                                    Tr("ファイル改名・移動(&R)") + " (off)", Tr("重複ファイルの処置(&D)") + " (off)"})
        EXPECT_TRUE(HasMenuItem(w, item)) << item;
    w.Run([&h] { h.form.CheckButtonClick(); });
    const std::string out = h.Path("set\\new.sfv");
    FileDialogSeen seen;
    WhenShown(L"#32770", [&](HWND d) {
        seen = ReadFileDialog(d);
        AnswerFileDialog(d, out);
    });
    w.Run([&h] { h.form.MakeCrcCmdClick(); });
    EXPECT_EQ(seen.Title, Tr("出力ファイル名を入力"));
    EXPECT_EQ(seen.Filters, (std::vector<std::string>{"SFV or CSV File", "MD5 File", "SHA-1 File", "SHA-224 File",
                                                      "SHA-256 File", "SHA-384 File", "SHA-512 File", "BLAKE2b File",
                                                      "BLAKE3 File"}));
    EXPECT_EQ(seen.Folder, h.Path("set"));
    EXPECT_EQ(seen.Name, "set.SFV");
    // Back in read mode with the new list, verified.
    EXPECT_EQ(h.form.ListPath, out);
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{"bad.bin|0|-", "other.bin|0|-", "写真.bin|0|-"}));
    for (const std::string& item : {Tr("モード変更（現在：読取モード）") + "\tCtrl+M", Tr("CRCファイルを作成(&M)") + " (off)",
                                    Tr("ファイル改名・移動(&R)"), Tr("重複ファイルの処置(&D)")})
        EXPECT_TRUE(HasMenuItem(w, item)) << item;
}

// The command of the menu item with this caption, in the menu or its submenus; 0 when there is none.
UINT MenuIdOf(HMENU menu, const std::string& caption) {
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        if (HMENU sub = ::GetSubMenu(menu, i)) {
            if (const UINT id = MenuIdOf(sub, caption)) return id;
            continue;
        }
        wchar_t text[256] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        if (Narrow(text) == caption) return ::GetMenuItemID(menu, i);
    }
    return 0;
}

// The PAR2 kind is a radio item of the kinds' submenu; its redundancy is typed in the program's own text box,
// and both are kept.
TEST(Win32Window, ThePar2KindAndItsRedundancyAreChosenThroughTheMenu) {
    Harness h;
    Win32Window& w = h.Start();
    const UINT kind = MenuIdOf(::GetMenu(w.Handle()), Tr("PAR2 復旧セット(&P)"));
    const UINT redundancy = MenuIdOf(::GetMenu(w.Handle()), Tr("PAR2 の冗長度(&R)..."));
    ASSERT_NE(kind, 0u);
    ASSERT_NE(redundancy, 0u);
    ::PostMessageW(w.Handle(), WM_COMMAND, kind, 0);
    Pump(&w, 100);
    EXPECT_TRUE(h.form.ListKindPar2.Checked());
    EXPECT_FALSE(h.form.ListKinds[0].Checked());
    EXPECT_TRUE(::GetMenuState(::GetMenu(w.Handle()), kind, MF_BYCOMMAND) & MF_CHECKED);

    std::string prompt, proposed;
    WhenShown(L"#32770", [&](HWND d) {
        prompt = TextOf(::GetDlgItem(d, 101));
        proposed = TextOf(::GetDlgItem(d, 102));
        ::SetWindowTextW(::GetDlgItem(d, 102), L"25 %");
        ::PostMessageW(d, WM_COMMAND, IDOK, 0);
    });
    ::PostMessageW(w.Handle(), WM_COMMAND, redundancy, 0);
    Pump(&w, 500);
    StopWaiting();
    EXPECT_EQ(prompt, Tr("PAR2 の冗長度（ファイルのデータに対する復旧データの割合、％）"));
    EXPECT_EQ(proposed, "10");
    EXPECT_EQ(h.form.Par2Redundancy, 25);
    h.Close();
    EXPECT_EQ(h.Saved().Read("Tallyvault", "PAR2 Redundancy").value_or(""), "25");
    EXPECT_EQ(h.Saved().Read("Tallyvault", "Write Lists <PAR2>").value_or(""), "1");
}

TEST(Win32Window, TheAddCommandAsksWithTheCountThenAddsTheNewFiles) {
    Harness h;
    h.Write("set\\top.bin", "top");
    const std::string list = h.Write("set\\list.sfv", "top.bin " + Hex("top") + "\r\n");
    h.Write("set\\new 1.bin", "one");
    h.Write("set\\new 2.bin", "two");
    Win32Window& w = h.Start({list});
    EXPECT_TRUE(HasMenuItem(w, Tr("新規ファイルを追加(&A)")));
    // The boxes as they show: the question answered `first`, the report (when there is one) with OK.
    for (const int first : {IDCANCEL, IDOK}) {
        std::vector<std::string> shown;
        WhenShownUntil(L"#32770", [&](HWND box) {
            shown.push_back(TextOf(::GetDlgItem(box, 0xFFFF)));
            ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(shown.size() == 1 ? first : IDOK), 0);
            return first == IDCANCEL || shown.size() == 2;
        });
        w.Run([&h] { h.form.AddNewFilesCmdClick(); });
        StopWaiting();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown[0], Tr("新しいファイル 2 件をリストに追加します。よろしいですか？"));
        if (first == IDCANCEL) {
            EXPECT_EQ(h.Rows(), std::vector<std::string>{"top.bin|0|-"});
            continue;
        }
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[1], Tr("リストに追加しました： 2 件"));
    }
    // Read again and verified: the new files are rows now, and the list names them.
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{"new 1.bin|0|-", "new 2.bin|0|-", "top.bin|0|-"}));
    std::ifstream in(std::filesystem::path(Widen(list)), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "top.bin " + Hex("top") + "\r\nnew 1.bin " + Hex("one") + "\r\nnew 2.bin " + Hex("two") + "\r\n");
}

TEST(Win32Window, TheFolderChoiceStartsAtTheListsFolderAndScansTheChosenOne) {
    // Near a drive's root: Wine's folder tree, walking a deep start path while it still fills itself,
    // sometimes stops on another item of the way.
    wchar_t drive[MAX_PATH] = L"C:";
    ::GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
    Harness h(std::filesystem::path(std::wstring(drive) + L"\\"));
    h.Write("other\\x.bin", "x");
    h.Write("other\\y.bin", "y");
    Win32Window& w = h.Start({h.FourStateList()});
    const struct {
        const char* Choose; // nullptr: cancelled
        std::string BaseFolder;
        std::size_t Rows;
    } cases[] = {{nullptr, h.Path("set"), 4}, {"other", h.Path("other"), 2}};
    for (const auto& c : cases) {
        std::vector<std::string> texts;
        std::string selected;
        int ticks = 0;
        bool asked = false;
        // The tree fills itself after it shows: wait (up to 8 s) for the start folder, then for the one asked for.
        WhenShownUntil(L"#32770", [&](HWND d) {
            const std::string want = asked ? c.Choose : "set";
            std::string now;
            for (HWND tree : ChildrenOf(d, L"SysTreeView32")) {
                wchar_t text[MAX_PATH] = {};
                TVITEMW item{};
                item.mask = TVIF_TEXT;
                item.hItem = TreeView_GetSelection(tree);
                item.pszText = text;
                item.cchTextMax = MAX_PATH;
                if (item.hItem && TreeView_GetItem(tree, &item)) now = Narrow(text);
            }
            if (now != want && ++ticks < 200) return false;
            if (!asked) {
                selected = now;
                for (HWND st : ChildrenOf(d, L"Static"))
                    texts.push_back(TextOf(st));
            }
            if (!c.Choose) {
                ::PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
                return true;
            }
            if (!asked) {
                asked = true;
                ticks = 0;
                const std::wstring other = Widen(h.Path(c.Choose));
                ::SendMessageW(d, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(other.c_str()));
                return false;
            }
            ::PostMessageW(d, WM_COMMAND, IDOK, 0);
            return true;
        });
        w.Run([&h] { h.form.FolderOpenCmdClick(); });
        EXPECT_NE(std::find(texts.begin(), texts.end(), Tr("対象フォルダを指定")), texts.end());
        EXPECT_EQ(selected, "set");
        EXPECT_EQ(h.form.BaseFolder, c.BaseFolder);
        EXPECT_EQ(h.Rows().size(), c.Rows);
    }
}

// The clipboard's Unicode text.
std::string Clipboard() {
    std::string text;
    if (!::OpenClipboard(nullptr)) return "(no clipboard)";
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT))
        if (const auto* p = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = Narrow(p);
            ::GlobalUnlock(data);
        }
    ::CloseClipboard();
    return text;
}

void SetClipboard(const std::string& text) {
    Win32Ui ui;
    ui.SetClipboardText(text);
}

TEST(Win32Window, ThePopupMenuCopiesTheSelectedRowsNameOrCrc) {
    Harness h;
    Win32Window& w = h.Start({h.FourStateList()});
    const struct {
        int Row;          // selected by a click on it; -1: none
        LPARAM At;        // where the menu is asked for: -1 from the keyboard, else a screen point
        int Item;         // the menu item chosen with the arrow keys
        std::string Text; // on the clipboard after it
    } cases[] = {
        {-1, -1, 0, "before"},
        {3, -1, 0, "写真.bin"},
        {3, MAKELPARAM(300, 200), 1, Hex("good content")},
        {0, -1, 0, "bad.bin"},
    };
    for (const auto& c : cases) {
        SetClipboard("before");
        if (c.Row >= 0) {
            RECT r{};
            ListView_GetItemRect(w.List(), c.Row, &r, LVIR_LABEL);
            ::SendMessageW(w.List(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 20, (r.top + r.bottom) / 2));
            ::SendMessageW(w.List(), WM_LBUTTONUP, 0, MAKELPARAM(r.left + 20, (r.top + r.bottom) / 2));
            Pump(&w);
            ASSERT_EQ(h.form.CrcList.Selected(), c.Row);
        }
        std::vector<std::string> items;
        WhenShown(L"#32768", [&](HWND menu) {
            HMENU m = reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0));
            for (int i = 0; i < ::GetMenuItemCount(m); ++i) {
                wchar_t text[128] = {};
                ::GetMenuStringW(m, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
                items.push_back(Narrow(text));
            }
            for (int i = 0; i <= c.Item; ++i)
                ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
            ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
        });
        ::SendMessageW(w.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(w.List()), c.At);
        Pump(&w);
        EXPECT_EQ(items, (std::vector<std::string>{Tr("ファイル名のコピー(&N)"), Tr("CRCのコピー(&C)")}));
        EXPECT_EQ(Clipboard(), c.Text) << "row " << c.Row;
    }
}

// Files dropped on the window, as Explorer hands them over.
void Drop(HWND window, const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& p : paths)
        names += Widen(p) + L'\0';
    names += L'\0';
    HGLOBAL mem = ::GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(mem));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(drop + 1));
    ::GlobalUnlock(mem);
    ::PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
}

TEST(Win32Window, DroppedFilesOpenAListOrAreMatchedAgainstTheEntries) {
    Harness h;
    const std::string list = h.FourStateList();
    const std::string found = h.Write("elsewhere\\copy of gone.bin", "never here");
    Win32Window& w = h.Start();
    const struct {
        std::vector<std::string> Dropped;
        std::vector<std::string> Rows;
    } cases[] = {
        {{list}, {"bad.bin|2|-", "gone.bin|3|-", "moved.bin|1|ticked", "写真.bin|0|-"}},
        // The content of the missing entry, found under another name elsewhere.
        {{found, h.Path("set\\bad.bin")}, {"bad.bin|2|-", "gone.bin|1|ticked", "moved.bin|1|ticked", "写真.bin|0|-"}},
    };
    for (const auto& c : cases) {
        Drop(w.Handle(), c.Dropped);
        Pump(&w);
        EXPECT_EQ(h.form.ListPath, list);
        EXPECT_EQ(h.Rows(), c.Rows);
    }
}

// A key pressed and released as the keyboard sends it, with Shift (or another key: `held`) held.
void Press(WORD key, bool shift = false, WORD held = 0) {
    if (shift) held = VK_SHIFT;
    std::vector<INPUT> in;
    auto add = [&in](WORD k, bool up) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = k;
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        in.push_back(i);
    };
    if (held) add(held, false);
    add(key, false);
    add(key, true);
    if (held) add(held, true);
    ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

void Click(HWND window, POINT at) {
    ::ClientToScreen(window, &at);
    ::SetCursorPos(at.x, at.y);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, in, sizeof(INPUT));
}

TEST(Win32Window, RowsAreTickedByAClickOnTheBoxAndBySpace) {
    Harness h;
    Win32Window& w = h.Start({h.FourStateList()});
    auto box = [&w](int row) {
        RECT r{};
        ListView_GetItemRect(w.List(), row, &r, LVIR_BOUNDS);
        return POINT{r.left + 8, (r.top + r.bottom) / 2};
    };
    const struct {
        int Row;
        bool BySpace;
        bool Ticked;
    } cases[] = {{0, false, true}, {0, false, false}, {2, false, false}, {1, true, true}, {1, true, false}};
    for (const auto& c : cases) {
        if (c.BySpace) {
            ListView_SetItemState(w.List(), c.Row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            ::SetFocus(w.List());
            Press(VK_SPACE);
        } else {
            Click(w.List(), box(c.Row));
        }
        Pump(&w, 150);
        EXPECT_EQ(h.form.CrcList.Checked(c.Row), c.Ticked) << "row " << c.Row;
        EXPECT_EQ(h.Rows()[static_cast<std::size_t>(c.Row)].back() == 'd', c.Ticked);
    }
    // While a command runs, a click takes no tick.
    h.form.RunCommand([&] {
        Click(w.List(), box(0));
        Pump(&w, 150);
    });
    EXPECT_FALSE(h.form.CrcList.Checked(0));
}

// Runs `act` once, `ms` from now, from whatever loop handles the thread's messages then.
std::function<void()> laterAct;
void After(int ms, std::function<void()> act) {
    laterAct = std::move(act);
    ::SetTimer(nullptr, 0, static_cast<UINT>(ms), [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        auto run = std::move(laterAct);
        laterAct = {};
        if (run) run();
    });
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(std::filesystem::path(Widen(path)), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// 終, Ctrl+Q and the title bar's close end a long verification and then the window, the settings saved
// and the list as it was.
TEST(Win32Window, ClosingDuringALongVerificationEndsItAndTheWindow) {
    const std::string big(std::size_t{8} << 20, 'v');
    const char* ways[] = {"button", "Ctrl+Q", "title bar"};
    for (const char* way : ways) {
        SCOPED_TRACE(way);
        Harness h;
        h.Write("set\\big.bin", big);
        const std::string text = "big.bin " + Hex(big) + "\r\n";
        const std::string list = h.Write("set\\list.sfv", text);
        Win32Window& w = h.Start();
        const HWND window = w.Handle();
        h.form.SlowDownReads(150); // eight blocks: more than a second of work
        After(300, [&] {
            if (way == ways[0]) ::SendMessageW(w.Buttons()[5], BM_CLICK, 0, 0);
            if (way == ways[1]) Press('Q', false, VK_CONTROL);
            if (way == ways[2]) ::PostMessageW(window, WM_CLOSE, 0, 0);
        });
        h.form.ListPath = list;
        w.Run([&h] { h.form.StatusClick(); });
        EXPECT_FALSE(::IsWindow(window));
        EXPECT_FALSE(h.form.CommandRunning());
        EXPECT_EQ(h.form.GoodCount, 0);
        EXPECT_EQ(ReadAll(list), text);
        EXPECT_TRUE(h.Saved().Read("Window Position", "Left").has_value());
    }
}

// In create mode the 選 counter follows the ticks the user sets on the rows.
TEST(Win32Window, TheSelectedCounterFollowsTheTicks) {
    Harness h;
    h.Write("set\\a.bin", "a");
    h.Write("set\\b.bin", "b");
    Win32Window& w = h.Start();
    w.Run([&h] { h.form.ModeButtonClick(); });
    h.form.BaseFolder = h.Path("set");
    w.Run([&h] { h.form.ScanFolder(); });
    w.Run([&h] { h.form.AllOnClick(); });
    EXPECT_EQ(h.form.GoodCounter.Caption(), "2");
    RECT r{};
    ListView_GetItemRect(w.List(), 0, &r, LVIR_BOUNDS);
    Click(w.List(), POINT{r.left + 8, (r.top + r.bottom) / 2});
    Pump(&w, 150);
    EXPECT_FALSE(h.form.CrcList.Checked(0));
    EXPECT_EQ(h.form.GoodCounter.Caption(), "1");
}

TEST(Win32Window, TabMovesBetweenTheButtonsAndTheListAndSpacePressesAButton) {
    Harness h;
    Win32Window& w = h.Start({h.FourStateList()});
    ASSERT_EQ(::GetFocus(), w.List());
    const std::vector<HWND>& b = w.Buttons();
    const struct {
        bool Shift;
        HWND Focus;
    } steps[] = {{false, b[0]}, {false, b[1]}, {true, b[0]}, {true, w.List()}, {true, b[5]}, {false, w.List()}};
    for (const auto& s : steps) {
        Press(VK_TAB, s.Shift);
        Pump(&w);
        EXPECT_EQ(::GetFocus(), s.Focus);
    }
    // The check button, reached by Tab and pressed by Space, ticks the x and - rows.
    Press(VK_TAB);
    Press(VK_TAB);
    Press(VK_SPACE);
    Pump(&w, 150);
    EXPECT_EQ(::GetFocus(), b[1]);
    EXPECT_EQ(h.Rows(),
              (std::vector<std::string>{"bad.bin|2|ticked", "gone.bin|3|ticked", "moved.bin|1|-", "写真.bin|0|-"}));
}

TEST(Win32Window, TheShortcutsAndTheStatusBarReachTheirCommands) {
    Harness h;
    const std::string list = h.FourStateList();
    Win32Window& w = h.Start({list});
    const std::string twoRows = "写真.bin " + Hex("good content") + "\r\nnew.bin " + Hex("x") + "\r\n";
    const std::string oneRow = "写真.bin " + Hex("good content") + "\r\n";
    const struct {
        WORD Key, Held;       // 0: a click on the status bar
        std::string ListText; // written to the list before; empty: left alone
        std::size_t Rows;
        std::string Status; // empty: not looked at
        bool DialogSeen;
    } cases[] = {
        {'O', VK_CONTROL, "", 4, "", true},
        // F5 and a click on the status bar read the list again.
        {VK_F5, 0, twoRows, 2, Tr("読み取り終了 list.sfv"), false},
        {0, 0, oneRow, 1, Tr("読み取り終了 list.sfv"), false},
        // No read-me beside the test's program, so the status says so.
        {VK_F1, 0, "", 1, Tr("\"Tallyvault.txt\"がインストールフォルダに有りません"), false},
    };
    for (const auto& c : cases) {
        if (!c.ListText.empty()) h.Write("set\\list.sfv", c.ListText);
        bool seen = false;
        WhenShown(L"#32770", [&](HWND d) {
            seen = true;
            ::PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
        });
        ::SetForegroundWindow(w.Handle());
        if (c.Key) {
            Press(static_cast<WORD>(c.Key), false, c.Held);
        } else {
            RECT r{};
            ::GetClientRect(w.StatusBar(), &r);
            Click(w.StatusBar(), {20, (r.top + r.bottom) / 2});
        }
        Pump(&w, 300);
        EXPECT_EQ(seen, c.DialogSeen) << c.Key;
        EXPECT_EQ(h.Rows().size(), c.Rows) << c.Key;
        wchar_t status[256] = {};
        ::SendMessageW(w.StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(status));
        if (!c.Status.empty()) {
            EXPECT_EQ(Narrow(status), c.Status) << c.Key;
        }
        StopWaiting();
    }
    // Ctrl+Q closes the window and keeps the settings.
    Press('Q', false, VK_CONTROL);
    Pump(&w, 200);
    EXPECT_FALSE(::IsWindow(w.Handle()));
    EXPECT_EQ(h.Saved().Read("Tallyvault", "List Same File Width").value_or(""), "500");
}

TEST(Win32Window, ThePlaceAndTheColumnWidthsAreKeptBetweenRuns) {
    for (bool maximised : {false, true}) {
        Harness h;
        Win32Window& w = h.Start();
        ::SetWindowPos(w.Handle(), nullptr, 40, 50, 600, 300, SWP_NOZORDER);
        ListView_SetColumnWidth(w.List(), 0, 321);
        ListView_SetColumnWidth(w.List(), 3, 123);
        Pump(&w);
        if (maximised) ::ShowWindow(w.Handle(), SW_MAXIMIZE);
        Pump(&w);
        h.Close();
        const IniFile ini = h.Saved();
        const struct {
            const char* Section;
            const char* Key;
            const char* Value;
        } keys[] = {{"Window Position", "Left", "40"},
                    {"Window Position", "Top", "50"},
                    {"Window Position", "Whdth", "600"},
                    {"Window Position", "Height", "300"},
                    {"Tallyvault", "List FileName Width", "321"},
                    {"Tallyvault", "List FileSize Width", "70"},
                    {"Tallyvault", "List Same File Width", "123"}};
        for (const auto& k : keys)
            EXPECT_EQ(ini.Read(k.Section, k.Key).value_or(""), k.Value) << k.Key << (maximised ? " maximised" : "");

        // The next run opens where this one was, with the same widths.
        Win32Ui ui;
        TForm1 again(ui, RealFs());
        again.SettingsFile = h.form.SettingsFile;
        Win32Window next(again, ui);
        next.Start({});
        Pump(&next);
        RECT r{};
        ::GetWindowRect(next.Handle(), &r);
        EXPECT_EQ((std::vector<long>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
                  (std::vector<long>{40, 50, 600, 300}));
        EXPECT_EQ(ListView_GetColumnWidth(next.List(), 0), 321);
        EXPECT_EQ(ListView_GetColumnWidth(next.List(), 3), 123);
        ::SendMessageW(next.Handle(), WM_CLOSE, 0, 0);
        Pump(nullptr, 20);
    }
}

// The program carries its icon at the sizes Explorer and the task bar ask for.
TEST(Win32Window, TheProgramCarriesItsIcon) {
    std::string exe = TV_WINDOW_EXE;
    if (!exe.empty() && exe[0] == '/') { // a Unix path, as the build under Wine names it
        exe = "Z:" + exe;
        std::replace(exe.begin(), exe.end(), '/', '\\');
    }
    HMODULE module = ::LoadLibraryExW(Widen(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << exe;
    HRSRC group = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const auto* bytes = static_cast<const unsigned char*>(::LockResource(::LoadResource(module, group)));
    // The group: reserved, type, count, then 14 bytes an image starting with its width (0 = 256).
    const int count = bytes[4] | bytes[5] << 8;
    std::vector<int> widths;
    for (int i = 0; i < count; ++i)
        widths.push_back(bytes[6 + 14 * i] ? bytes[6 + 14 * i] : 256);
    for (int size : {16, 32, 48, 256})
        EXPECT_NE(std::find(widths.begin(), widths.end(), size), widths.end()) << size;
    EXPECT_NE(::LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0), nullptr);
    ::FreeLibrary(module);
}

} // namespace
} // namespace tv::win32

// As the program starts: the list view and task dialog classes, and the apartment the shell's dialogs want.
int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace tv::win32 {
namespace {

// A language chosen in the option menu redraws the menus, the buttons and the status bar at once; the
// buttons widen for longer captions and never overlap.
TEST(Win32Window, ALanguageChosenRedrawsAtOnce) {
    const std::string before = ShownLanguage();
    Harness h;
    Win32Window& w = h.Start({h.FourStateList()});
    const struct {
        TMenuItem& Item;
        const char* File;
        const char* Tick;
        const char* Status;
    } steps[] = {
        {h.form.LanguageEn, "&File", "Tick", "Read list.sfv"},
        {h.form.LanguageJa, "ファイル(&F)", "選", "読み取り終了 list.sfv"},
    };
    for (const auto& s : steps) {
        w.Run([&] { h.form.ClickMenuItem(s.Item, MenuClick::Radio, [&] { h.form.LanguageClick(s.Item); }); });
        Pump(&w);
        wchar_t title[64] = {};
        ::GetMenuStringW(::GetMenu(w.Handle()), 0, title, 64, MF_BYPOSITION);
        EXPECT_EQ(Narrow(title), s.File);
        EXPECT_EQ(TextOf(w.Buttons()[1]), s.Tick);
        wchar_t status[256] = {};
        ::SendMessageW(w.StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(status));
        EXPECT_EQ(Narrow(status), s.Status);
        EXPECT_TRUE(HasMenuItem(w, Tr("リストにないファイルを表示(&U)")));
        RECT previous{};
        for (HWND b : w.Buttons()) {
            RECT r{};
            ::GetWindowRect(b, &r);
            EXPECT_GE(r.left, previous.right);
            previous = r;
        }
    }
    UseLanguage(before);
}

} // namespace
} // namespace tv::win32
