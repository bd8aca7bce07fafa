#pragma once
// The main window on Win32. It renders TForm1's elements (tool buttons, counters, status bar, menus,
// rows in a virtual list view) and routes every click to a command of TForm1; after each command it
// catches up with the elements. It keeps no state of its own that the logic needs.
#include "Win32Taskbar.h"
#include "Win32Ui.h"

#include "app/TallyvaultMain.h"

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tv::win32 {

class Win32Window {
public:
    Win32Window(TForm1& form, Win32Ui& ui);
    ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // Settings and menu state, then the window is shown at its saved place and the list named by the
    // first argument is loaded.
    void Start(const std::vector<std::string>& args);
    // Runs one command of the logic, then brings the window up to date and closes it if asked to.
    void Run(const std::function<void()>& body, bool busy = false, bool evenWhileRunning = false);
    void SyncFromForm();
    // The keyboard shortcuts of the menus; true when the message was one of them.
    bool Translate(MSG& msg);

    // For pictures and checks of the window: "sorted" (by the Same File column), "filtered" (only the
    // rows that are not matches), comma-separated.
    void ApplyViewState(const std::string& states);

    HWND Handle() const { return hwnd_; }
    HWND List() const { return list_; }
    HWND StatusBar() const { return status_; }
    // The tool buttons, left to right.
    const std::vector<HWND>& Buttons() const { return buttonWindows_; }
    // The list's pop-up menu.
    HMENU Popup() const { return popup_; }
    // The list view's texts as it shows them (asked through the view), one row a line, tab-separated.
    std::wstring RowTexts() const;

private:
    using Click = MenuClick;
    struct ControlView {
        const TControl* Element;
        HWND Window;
        std::uint64_t Seen;
    };
    // A menu's own title, drawn again in another language.
    struct MenuTitle {
        HMENU Menu; // the menu holding the title
        UINT Position;
        const char* Japanese;
    };
    struct MenuView {
        const TMenuItem* Item;
        HMENU Menu; // the menu holding the item
        UINT Id;    // its command, or its position when it opens a submenu
        bool Submenu;
        std::function<void()> OnClick;
        bool EvenWhileRunning;
        std::uint64_t Seen;
        std::wstring Key; // the shortcut shown beside the caption
    };

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void Create();
    void BuildToolButtons();
    void BuildCounters();
    void BuildList();
    void BuildMenus();
    void AddItem(HMENU menu, TMenuItem& item, Click click, std::function<void()> handler, bool evenWhileRunning = false,
                 const char* extraKey = nullptr);
    void AddControl(const TControl& element, HWND window);
    void AddTip(HWND window, const std::string& text);
    void LayOut();
    void LayOutCounters();
    void SyncColumns();
    void SyncKeyColumn();
    void SyncRows();
    void SyncSelection();
    void SyncProgress();
    void ApplyBounds();
    void ReadBackBounds();
    void Close();
    void OnNotify(NMHDR* header, LRESULT& result);
    void DrawControl(const DRAWITEMSTRUCT& item);
    void ToggleCheck(int viewRow);
    void ShowPopup(LPARAM at);
    void Report(const char* what, std::uint64_t ms);
    // The view's order and filter (Win32WindowRows.cpp).
    bool Arranged() const { return orderColumn_ >= 0 || onlyUnmatched_; }
    int ListRow(int viewRow) const;
    int ViewRow(int listRow) const;
    int ViewCount() const;
    void Arrange();
    void Rearrange();
    void ColumnClicked(int column);
    void ShowOnlyUnmatched(bool on);

    TForm1& form_;
    Win32Ui& ui_;
    HWND hwnd_ = nullptr, list_ = nullptr, status_ = nullptr, tips_ = nullptr;
    HFONT uiFont_ = nullptr, boldFont_ = nullptr, listFont_ = nullptr;
    HIMAGELIST icons_ = nullptr;
    HMENU popup_ = nullptr;
    HACCEL accel_ = nullptr;
    std::vector<ACCEL> keys_;
    std::vector<HWND> counterParts_; // Label1, TotalCounter, Label2, GoodCounter, ...
    std::vector<ControlView> controls_;
    std::vector<MenuView> menus_;
    std::vector<std::function<void()>> buttons_;
    std::vector<HWND> buttonWindows_;
    std::vector<MenuTitle> menuTitles_;
    std::uint64_t languageShown_ = 0;
    LONG counterLeft_ = 170; // where the counters' panel starts, right of the buttons
    void LayOutToolButtons();
    HWND focus_ = nullptr; // the control that had the focus when the window was last active
    HICON bigIcon_ = nullptr, smallIcon_ = nullptr;
    std::string captionShown_;
    std::wstring statusShown_; // the status bar's text: the element's, and the figures of long work
    std::unique_ptr<TaskbarProgress> taskbar_;
    std::uint64_t rowsSeen_ = 0, checksSeen_ = 0;
    int rowCount_ = 0;
    std::size_t columnsShown_ = 0;
    std::string keyCaptionShown_ = "CRC";
    int keyDigitsShown_ = 8;
    bool syncing_ = false, settingsSaved_ = false;
    // Empty while the rows are shown as the list has them; else view row -> list row and back.
    std::vector<int> shown_, viewOf_;
    int orderColumn_ = -1;
    bool descending_ = false, onlyUnmatched_ = false;
    UINT onlyUnmatchedId_ = 0;
    // TALLYVAULT_TIMING: each command reports its time and how long the window went without events.
    bool timing_ = false, paintWatched_ = false;
};

} // namespace tv::win32
