#include "Win32Window.h"

#include "app/Language.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <array>

namespace tv::win32 {

namespace {

constexpr const wchar_t* ClassName = L"TForm1";
constexpr int ButtonId = 100, CounterId = 200, ListId = 300, StatusId = 301;
constexpr COLORREF Teal = RGB(0, 128, 128), Green = RGB(0, 128, 0), ListGreen = RGB(0xC0, 0xFF, 0xC0),
                   Navy = RGB(0, 0, 0x80);

std::wstring W(const std::string& s) {
    try {
        return Widen(s);
    } catch (...) {
        return std::wstring();
    }
}

// The first installed face of `faces`, else the first one (the system maps it to a font of the charset).
std::wstring InstalledFace(std::initializer_list<const wchar_t*> faces) {
    HDC dc = ::GetDC(nullptr);
    std::wstring found;
    for (const wchar_t* face : faces) {
        LOGFONTW lf{};
        lf.lfCharSet = DEFAULT_CHARSET;
        ::lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
        bool has = false;
        ::EnumFontFamiliesExW(
            dc, &lf,
            [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM p) -> int {
                *reinterpret_cast<bool*>(p) = true;
                return 0;
            },
            reinterpret_cast<LPARAM>(&has), 0);
        if (has) {
            found = face;
            break;
        }
    }
    ::ReleaseDC(nullptr, dc);
    return found.empty() ? std::wstring(*faces.begin()) : found;
}

// The interface font of the design, or an installed Japanese font in its place.
HFONT InterfaceFont(bool fixedPitch, bool bold, int pixels) {
    const std::wstring face = fixedPitch ? InstalledFace({L"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF", L"MS Gothic", // untranslated
                                                          L"IPAGothic", L"Noto Sans Mono CJK JP"})
                                         : InstalledFace({L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF", L"MS PGothic", // untranslated
                                                          L"IPAPGothic", L"Noto Sans CJK JP"});
    return ::CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                         static_cast<BYTE>((fixedPitch ? FIXED_PITCH : VARIABLE_PITCH) | FF_MODERN), face.c_str());
}

// The four marks: blue ring (match), orange exclamation mark (found elsewhere), red cross (differs),
// black dash (missing), drawn once into the list's small image list.
HIMAGELIST MarkIcons() {
    HIMAGELIST list = ::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 0);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    const COLORREF key = RGB(255, 0, 255);
    for (int i = 0; i < 4; ++i) {
        HBITMAP bmp = ::CreateCompatibleBitmap(screen, 16, 16);
        HGDIOBJ old = ::SelectObject(dc, bmp);
        HBRUSH bg = ::CreateSolidBrush(key);
        const RECT all{0, 0, 16, 16};
        ::FillRect(dc, &all, bg);
        ::DeleteObject(bg);
        static const std::array<COLORREF, 4> colours{RGB(0, 64, 255), RGB(255, 140, 0), RGB(224, 0, 0), RGB(0, 0, 0)};
        HPEN pen = ::CreatePen(PS_SOLID, i == 2 ? 3 : 2, colours[static_cast<std::size_t>(i)]);
        HBRUSH fill = ::CreateSolidBrush(colours[static_cast<std::size_t>(i)]);
        HGDIOBJ oldPen = ::SelectObject(dc, pen);
        HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
        switch (i) {
        case 0:
            ::Ellipse(dc, 2, 2, 14, 14);
            break;
        case 1: {
            const RECT bar{6, 1, 10, 11}, dot{6, 12, 10, 16};
            ::FillRect(dc, &bar, fill);
            ::FillRect(dc, &dot, fill);
            break;
        }
        case 2:
            ::MoveToEx(dc, 3, 3, nullptr);
            ::LineTo(dc, 13, 13);
            ::MoveToEx(dc, 12, 3, nullptr);
            ::LineTo(dc, 2, 13);
            break;
        default: {
            const RECT dash{2, 7, 14, 10};
            ::FillRect(dc, &dash, fill);
            break;
        }
        }
        ::SelectObject(dc, oldBrush);
        ::SelectObject(dc, oldPen);
        ::DeleteObject(pen);
        ::DeleteObject(fill);
        ::SelectObject(dc, old);
        ::ImageList_AddMasked(list, bmp, key);
        ::DeleteObject(bmp);
    }
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return list;
}

int AlignmentOf(TListColumn::Align a) {
    switch (a) {
    case TListColumn::Align::Right:
        return LVCFMT_RIGHT;
    case TListColumn::Align::Center:
        return LVCFMT_CENTER;
    default:
        return LVCFMT_LEFT;
    }
}

} // namespace

Win32Window::Win32Window(TForm1& form, Win32Ui& ui) : form_(form), ui_(ui) {
    Create();
}

Win32Window::~Win32Window() {
    ui_.Attach(nullptr, {}, {});
    if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
    // The class holds this window's icons: a later window registers it afresh with its own.
    ::UnregisterClassW(ClassName, ::GetModuleHandleW(nullptr));
    if (accel_) ::DestroyAcceleratorTable(accel_);
    if (popup_) ::DestroyMenu(popup_);
    if (icons_) ::ImageList_Destroy(icons_);
    for (HICON i : {bigIcon_, smallIcon_})
        if (i) ::DestroyIcon(i);
    for (HFONT f : {uiFont_, boldFont_, listFont_})
        if (f) ::DeleteObject(f);
}

void Win32Window::Create() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    icons_ = MarkIcons();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = ::CreateSolidBrush(Teal);
    wc.lpszClassName = ClassName;
    // The program's icon from its resources; a program without one (the window's tests) shows the ring.
    bigIcon_ = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                               ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    smallIcon_ =
        static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                        ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    if (!bigIcon_) bigIcon_ = ::ImageList_GetIcon(icons_, 0, ILD_NORMAL);
    if (!smallIcon_) smallIcon_ = ::ImageList_GetIcon(icons_, 0, ILD_NORMAL);
    wc.hIcon = bigIcon_;
    wc.hIconSm = smallIcon_;
    ::RegisterClassExW(&wc);
    timing_ = ::_wgetenv(L"TALLYVAULT_TIMING") != nullptr;
    uiFont_ = InterfaceFont(false, false, 12);
    boldFont_ = InterfaceFont(false, true, 16);
    listFont_ = InterfaceFont(true, true, 12);
    hwnd_ = ::CreateWindowExW(WS_EX_ACCEPTFILES, ClassName, W(form_.Caption).c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, form_.Bounds.Width,
                              form_.Bounds.Height, nullptr, nullptr, instance, this);
    tips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                              0, hwnd_, nullptr, instance, nullptr);
    BuildToolButtons();
    BuildCounters();
    BuildList();
    status_ = ::CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(StatusId)), instance, nullptr);
    ::SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont_), FALSE);
    ::SendMessageW(status_, SB_SETBKCOLOR, 0, static_cast<LPARAM>(ListGreen));
    AddControl(form_.Status, status_);
    BuildMenus();
    ui_.Attach(
        hwnd_, [this] { SyncFromForm(); }, [this](MSG& m) { return Translate(m); });
    SyncFromForm();
}

void Win32Window::BuildToolButtons() {
    const struct {
        TControl& Element;
        int Left, Width;
        std::function<void()> Handler;
        bool EvenWhileRunning;
    } buttons[] = {
        {form_.OpenButton, 1, 24, [this] { form_.OpenButtonClick(); }, false},
        {form_.CheckButton, 27, 24, [this] { form_.CheckButtonClick(); }, false},
        {form_.RenameButton, 53, 24, [this] { form_.RenameButtonClick(); }, false},
        // The search's own button stops it while it runs.
        {form_.SearchButton, 79, 24, [this] { form_.SearchButtonClick(); }, true},
        {form_.ModeButton, 105, 24, [this] { form_.ModeButtonClick(); }, false},
        {form_.CloseButton, 131, 23, {}, false},
    };
    for (const auto& b : buttons) {
        const int id = ButtonId + static_cast<int>(buttons_.size());
        HWND button = ::CreateWindowExW(
            0, L"BUTTON", TW(b.Element.Caption()).c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_FLAT,
            7 + b.Left, 7, b.Width, 24, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont_), FALSE);
        buttonWindows_.push_back(button);
        if (b.Handler)
            buttons_.push_back([this, h = b.Handler, even = b.EvenWhileRunning] { Run(h, false, even); });
        else
            buttons_.push_back([this] { Close(); });
        AddControl(b.Element, button);
    }
}

void Win32Window::BuildCounters() {
    const TControl* parts[] = {&form_.Label1, &form_.TotalCounter, &form_.Label2, &form_.GoodCounter,
                               &form_.Label3, &form_.BadCounter,   &form_.Label4, &form_.NotingCounter};
    for (const TControl* p : parts) {
        const int id = CounterId + static_cast<int>(counterParts_.size());
        HWND label =
            ::CreateWindowExW(0, L"STATIC", TW(p->Caption()).c_str(), WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | SS_NOTIFY,
                              0, 0, 20, 20, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        counterParts_.push_back(label);
        AddControl(*p, label);
    }
}

void Win32Window::BuildList() {
    list_ = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0, 100,
        100, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ListId)), nullptr, nullptr);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES | LVS_EX_DOUBLEBUFFER);
    ListView_SetImageList(list_, icons_, LVSIL_SMALL);
    ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_), FALSE);
    ListView_SetBkColor(list_, ListGreen);
    ListView_SetTextBkColor(list_, ListGreen);
    ListView_SetTextColor(list_, Navy);
}

void Win32Window::AddControl(const TControl& element, HWND window) {
    controls_.push_back({&element, window, element.Changes() + 1});
    AddTip(window, element.Hint());
}

void Win32Window::AddTip(HWND window, const std::string& text) {
    std::wstring t = TW(text);
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(window);
    ti.lpszText = t.data();
    ::SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void Win32Window::LayOut() {
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    ::SendMessageW(status_, WM_SIZE, 0, 0);
    RECT bar{};
    ::GetWindowRect(status_, &bar);
    const int statusHeight = bar.bottom - bar.top;
    const int top = 5 + 30 + 5;
    ::MoveWindow(list_, 5, top, std::max(0L, client.right - 5 - 7),
                 std::max(0L, client.bottom - top - 5 - statusHeight), TRUE);
    LayOutCounters();
    RECT panel{counterLeft_, 5, std::max(counterLeft_ + 260L, client.right - 7), 35};
    ::InvalidateRect(hwnd_, &panel, TRUE);
}

void Win32Window::LayOutToolButtons() {
    // Each button keeps its designed width until its caption needs more (a word in place of a character);
    // the counters' panel moves along.
    static constexpr int Designed[] = {24, 24, 24, 24, 24, 23};
    HDC dc = ::GetDC(hwnd_);
    HGDIOBJ old = ::SelectObject(dc, uiFont_);
    int x = 7 + 1;
    for (std::size_t i = 0; i < buttonWindows_.size(); ++i) {
        wchar_t text[64] = {};
        ::GetWindowTextW(buttonWindows_[i], text, 64);
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text, ::lstrlenW(text), &size);
        const int width = std::max(i < std::size(Designed) ? Designed[i] : 24, static_cast<int>(size.cx) + 10);
        ::MoveWindow(buttonWindows_[i], x, 7, width, 24, TRUE);
        x += width + 2;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(hwnd_, dc);
    counterLeft_ = std::max(170, x + 5);
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    RECT top{0, 0, client.right, 40};
    ::InvalidateRect(hwnd_, &top, TRUE);
}

void Win32Window::LayOutCounters() {
    // Each label with its counter: a counter keeps its designed width of 35 until its number needs more.
    HDC dc = ::GetDC(hwnd_);
    HGDIOBJ old = ::SelectObject(dc, boldFont_);
    int x = counterLeft_ + 6;
    for (std::size_t i = 0; i + 1 < counterParts_.size(); i += 2) {
        wchar_t text[64] = {};
        ::GetWindowTextW(counterParts_[i + 1], text, 64);
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text, ::lstrlenW(text), &size);
        const int width = std::max(35, static_cast<int>(size.cx) + 6);
        wchar_t label[64] = {};
        ::GetWindowTextW(counterParts_[i], label, 64);
        SIZE labelSize{};
        ::GetTextExtentPoint32W(dc, label, ::lstrlenW(label), &labelSize);
        const int labelWidth = std::max(20, static_cast<int>(labelSize.cx) + 4);
        ::MoveWindow(counterParts_[i], x, 5 + 5, labelWidth, 20, TRUE);
        ::MoveWindow(counterParts_[i + 1], x + labelWidth + 2, 5 + 5, width, 20, TRUE);
        x += labelWidth + 2 + width + 7;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(hwnd_, dc);
}

void Win32Window::DrawControl(const DRAWITEMSTRUCT& item) {
    const auto index = static_cast<std::size_t>(item.CtlID - CounterId);
    if (index >= counterParts_.size()) return;
    static const std::array<COLORREF, 4> labelColours{RGB(255, 255, 0), RGB(0, 0, 255), RGB(255, 0, 0), RGB(0, 0, 0)};
    static const std::array<COLORREF, 4> counterColours{RGB(0, 255, 255), RGB(0, 255, 0), RGB(0, 255, 0),
                                                        RGB(0, 255, 0)};
    const bool counter = index % 2 == 1;
    RECT r = item.rcItem;
    HBRUSH bg = ::CreateSolidBrush(counter ? counterColours[index / 2] : Green);
    ::FillRect(item.hDC, &r, bg);
    ::DeleteObject(bg);
    if (counter) ::DrawEdge(item.hDC, &r, BDR_RAISEDINNER, BF_RECT);
    wchar_t text[64] = {};
    ::GetWindowTextW(item.hwndItem, text, 64);
    HGDIOBJ old = ::SelectObject(item.hDC, boldFont_);
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, counter ? Navy : labelColours[index / 2]);
    ::DrawTextW(item.hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(item.hDC, old);
}

void Win32Window::Run(const std::function<void()>& body, bool busy, bool evenWhileRunning) {
    // A command inside another one (the search's stop click) is timed as part of the outer one.
    const bool timed = timing_ && !form_.CommandRunning();
    const std::uint64_t started = ::GetTickCount64();
    if (timed) ui_.RestartTiming();
    form_.RunCommand(body, busy, evenWhileRunning);
    SyncFromForm();
    if (timed) {
        ReportLine("command took " + std::to_string(::GetTickCount64() - started) +
                   " ms; longest stretch without event handling " + std::to_string(ui_.LongestGapMs()) + " ms so far");
        // The time from the command's last event handling to the list's first paint after it, which
        // is also a stretch without event handling.
        paintWatched_ = true;
        ::InvalidateRect(list_, nullptr, FALSE);
    }
    // A command that ran inside another one (the search's stop click) leaves the closing to the outer one.
    if (form_.ClosePending() && !form_.CommandRunning()) Close();
}

void Win32Window::SyncFromForm() {
    if (!hwnd_ || !::IsWindow(hwnd_)) return;
    syncing_ = true;
    if (LanguageGeneration() != languageShown_) {
        // Another language: every text is drawn again.
        languageShown_ = LanguageGeneration();
        captionShown_.clear();
        for (ControlView& c : controls_) c.Seen = c.Element->Changes() + 1;
        for (MenuView& m : menus_) m.Seen = m.Item->Changes() + 1;
        for (const MenuTitle& t : menuTitles_) {
            std::wstring text = TW(t.Japanese);
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_STRING;
            info.dwTypeData = text.data();
            ::SetMenuItemInfoW(t.Menu, t.Position, TRUE, &info);
        }
        ::DrawMenuBar(hwnd_);
    }
    if (form_.Caption != captionShown_) {
        captionShown_ = form_.Caption;
        ::SetWindowTextW(hwnd_, W(captionShown_).c_str()); // the program's name or a path
    }
    bool buttons = false;
    bool counters = false;
    for (ControlView& c : controls_) {
        if (c.Element->Changes() == c.Seen) continue;
        c.Seen = c.Element->Changes();
        const std::wstring text = TW(c.Element->Caption());
        if (c.Window == status_) {
            statusShown_ = text;
            ::SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
        } else
            ::SetWindowTextW(c.Window, text.c_str());
        if (std::find(buttonWindows_.begin(), buttonWindows_.end(), c.Window) != buttonWindows_.end()) buttons = true;
        std::wstring hint = TW(c.Element->Hint());
        TOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_IDISHWND;
        ti.hwnd = hwnd_;
        ti.uId = reinterpret_cast<UINT_PTR>(c.Window);
        ti.lpszText = hint.data();
        ::SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
        ::ShowWindow(c.Window, c.Element->Visible() ? SW_SHOW : SW_HIDE);
        ::EnableWindow(c.Window, c.Element->Enabled());
        if (std::find(counterParts_.begin(), counterParts_.end(), c.Window) != counterParts_.end()) {
            counters = true;
            ::InvalidateRect(c.Window, nullptr, TRUE);
        }
    }
    if (buttons) LayOutToolButtons();
    if (counters || buttons) LayOutCounters();
    bool menuBar = false;
    for (MenuView& m : menus_) {
        if (!m.Submenu)
            ::CheckMenuItem(m.Menu, m.Id,
                            static_cast<UINT>(MF_BYCOMMAND | (m.Item->Checked() ? MF_CHECKED : MF_UNCHECKED)));
        if (m.Item->Changes() == m.Seen) continue;
        m.Seen = m.Item->Changes();
        const UINT by = m.Submenu ? MF_BYPOSITION : MF_BYCOMMAND;
        // The mode switch names the mode in its caption.
        std::wstring text = TW(m.Item->Caption());
        if (!m.Key.empty()) text += L"\t" + m.Key;
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        info.dwTypeData = text.data();
        ::SetMenuItemInfoW(m.Menu, m.Id, m.Submenu, &info);
        ::EnableMenuItem(m.Menu, m.Id, by | static_cast<UINT>(m.Item->Enabled() ? MF_ENABLED : MF_GRAYED));
        menuBar = true;
    }
    if (menuBar) ::DrawMenuBar(hwnd_);
    SyncProgress();
    SyncColumns();
    SyncRows();
    SyncSelection();
    syncing_ = false;
}

void Win32Window::SyncProgress() {
    // The status text gains the figures of long work once it has run half a second; the taskbar
    // button shows its share. Both go when the work ends.
    std::wstring text = TW(form_.Status.Caption());
    if (form_.Progress.Shown()) {
        const std::string figures = StatusFigures(form_.Progress.Figures());
        if (!figures.empty()) text += (text.empty() ? L"" : L"  ") + TW(figures);
    }
    if (text != statusShown_) {
        statusShown_ = text;
        ::SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    if (!taskbar_) taskbar_ = std::make_unique<TaskbarProgress>(hwnd_);
    taskbar_->Show(form_.Progress);
}

void Win32Window::SyncColumns() {
    const auto& columns = form_.CrcList.Columns;
    if (columns.size() == columnsShown_) {
        SyncKeyColumn();
        return;
    }
    while (columnsShown_ > 0)
        ListView_DeleteColumn(list_, static_cast<int>(--columnsShown_));
    for (const TListColumn& c : columns) {
        std::wstring caption = W(c.Caption);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.fmt = AlignmentOf(c.Alignment);
        col.cx = form_.CrcList.ShownWidth(columnsShown_);
        col.pszText = caption.data();
        col.iSubItem = static_cast<int>(columnsShown_);
        ListView_InsertColumn(list_, static_cast<int>(columnsShown_), &col);
        ++columnsShown_;
    }
}

// The key column is headed by the list's algorithm and as wide as its digests. A width the user gave
// it for the kind of list shown so far is kept first, in CRC columns.
void Win32Window::SyncKeyColumn() {
    TListView& rows = form_.CrcList;
    const std::size_t key = TListView::KeyColumn;
    if (key >= columnsShown_) return;
    const std::string& caption = rows.Columns[key].Caption;
    if (caption == keyCaptionShown_ && rows.KeyDigits() == keyDigitsShown_) return;
    const int shown = ListView_GetColumnWidth(list_, static_cast<int>(key));
    if (shown > 0) rows.Columns[key].Width = static_cast<int>((std::int64_t{shown} * 8 + keyDigitsShown_ / 2) / keyDigitsShown_);
    keyCaptionShown_ = caption;
    keyDigitsShown_ = rows.KeyDigits();
    std::wstring text = W(caption);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = text.data();
    ListView_SetColumn(list_, static_cast<int>(key), &col);
    ListView_SetColumnWidth(list_, static_cast<int>(key), rows.ShownWidth(key));
}

void Win32Window::SyncRows() {
    const TListView& rows = form_.CrcList;
    if (rows.Changes() != rowsSeen_ || rows.Count() != rowCount_) {
        rowsSeen_ = rows.Changes();
        checksSeen_ = rows.CheckChanges();
        rowCount_ = rows.Count();
        Arrange();
        ListView_SetItemCountEx(list_, ViewCount(), LVSICF_NOSCROLL);
        ::InvalidateRect(list_, nullptr, FALSE);
    } else if (rows.CheckChanges() != checksSeen_) {
        checksSeen_ = rows.CheckChanges();
        ::InvalidateRect(list_, nullptr, FALSE);
    }
}

void Win32Window::SyncSelection() {
    const int selected = form_.CrcList.Selected();
    // A selected row the filter hides stays selected in the logic; the view just shows none.
    const int wanted = selected < 0 ? -1 : ViewRow(selected);
    const int shown = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
    if (wanted == shown) return;
    const bool was = syncing_;
    syncing_ = true;
    if (shown >= 0) ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
    if (wanted >= 0 && wanted < ViewCount()) {
        ListView_SetItemState(list_, wanted, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list_, wanted, FALSE);
    }
    syncing_ = was;
}

void Win32Window::ToggleCheck(int viewRow) {
    const int row = ListRow(viewRow);
    if (row < 0 || row >= form_.CrcList.Count() || form_.CommandRunning()) return;
    form_.CrcList.SetChecked(row, !form_.CrcList.Checked(row));
    checksSeen_ = form_.CrcList.CheckChanges();
    ListView_RedrawItems(list_, viewRow, viewRow);
    // A tick the user sets counts in create mode's 選 counter at once.
    form_.ShowTickedCount();
    SyncFromForm();
}

std::wstring Win32Window::RowTexts() const {
    std::wstring out;
    const int rows = ListView_GetItemCount(list_);
    wchar_t buf[1024];
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < static_cast<int>(columnsShown_); ++c) {
            buf[0] = 0;
            ListView_GetItemText(list_, r, c, buf, 1024);
            if (c) out += L'\t';
            out += buf;
        }
        LVITEMW item{};
        item.mask = LVIF_IMAGE | LVIF_STATE;
        item.iItem = r;
        item.stateMask = LVIS_STATEIMAGEMASK;
        ListView_GetItem(list_, &item);
        out += L"\t" + std::to_wstring(item.iImage) + L"\t" +
               std::wstring(((item.state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? L"ticked" : L"-") + L"\n";
    }
    return out;
}

void Win32Window::OnNotify(NMHDR* header, LRESULT& result) {
    if (header->hwndFrom == status_ && header->code == NM_CLICK) {
        Run([this] { form_.StatusClick(); });
        return;
    }
    if (header->hwndFrom != list_) return;
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
        LVITEMW& item = info->item;
        // The view may ask for a row it was told about that the logic has since removed.
        const int listRow = ListRow(item.iItem);
        if (listRow < 0 || listRow >= form_.CrcList.Count()) {
            if (item.mask & LVIF_TEXT && item.cchTextMax > 0) item.pszText[0] = 0;
            return;
        }
        const TListItem& row = form_.CrcList.Item(listRow);
        if (item.mask & LVIF_TEXT && item.cchTextMax > 0) {
            const std::wstring text =
                W(item.iSubItem == 0 ? row.Caption() : row.SubItem(static_cast<std::size_t>(item.iSubItem - 1)));
            const std::size_t n = std::min(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
            std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), item.pszText);
            item.pszText[n] = 0;
        }
        if (item.mask & LVIF_IMAGE) item.iImage = item.iSubItem == 0 ? row.ImageIndex : -1;
        if (item.mask & LVIF_STATE) {
            item.stateMask = LVIS_STATEIMAGEMASK;
            item.state = INDEXTOSTATEIMAGEMASK(row.Checked ? 2 : 1);
        }
        return;
    }
    case NM_CLICK: {
        // A virtual list leaves the ticks to its owner: a click on the box turns it.
        const auto* act = reinterpret_cast<NMITEMACTIVATE*>(header);
        LVHITTESTINFO hit{};
        hit.pt = act->ptAction;
        ListView_SubItemHitTest(list_, &hit);
        if (hit.flags & LVHT_ONITEMSTATEICON) ToggleCheck(hit.iItem);
        return;
    }
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_SPACE)
            ToggleCheck(ListView_GetNextItem(list_, -1, LVNI_SELECTED));
        return;
    case NM_DBLCLK: {
        // Two quick clicks on a tick box are two clicks on it, not a double click on the row.
        const auto* act = reinterpret_cast<NMITEMACTIVATE*>(header);
        LVHITTESTINFO hit{};
        hit.pt = act->ptAction;
        ListView_SubItemHitTest(list_, &hit);
        if (hit.flags & LVHT_ONITEMSTATEICON)
            ToggleCheck(hit.iItem);
        else
            Run([this] { form_.CrcListDblClick(); });
        return;
    }
    case NM_CUSTOMDRAW:
        if (paintWatched_ && reinterpret_cast<NMCUSTOMDRAW*>(header)->dwDrawStage == CDDS_PREPAINT) {
            paintWatched_ = false;
            const std::uint64_t shown = ui_.SinceEventsMs();
            ReportLine("list shown " + std::to_string(shown) +
                       " ms after the command's last event handling; longest stretch " +
                       std::to_string(std::max(shown, ui_.LongestGapMs())) + " ms");
        }
        result = CDRF_DODEFAULT;
        return;
    case LVN_ITEMCHANGED: {
        const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if (syncing_ || !(change->uChanged & LVIF_STATE)) return;
        if ((change->uNewState ^ change->uOldState) & LVIS_SELECTED)
            form_.CrcList.SetSelected(ListRow(ListView_GetNextItem(list_, -1, LVNI_SELECTED)));
        return;
    }
    case LVN_COLUMNCLICK:
        ColumnClicked(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return;
    case LVN_ODSTATECHANGED:
        if (!syncing_) form_.CrcList.SetSelected(ListRow(ListView_GetNextItem(list_, -1, LVNI_SELECTED)));
        return;
    default:
        return;
    }
}

// The pop-up menu opens where the mouse was clicked, or, from the keyboard (the menu key, Shift+F10),
// under the selected row or else at the list's corner.
void Win32Window::ShowPopup(LPARAM at) {
    POINT p{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (at == -1) {
        RECT r{};
        const int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
        if (row < 0 || !ListView_GetItemRect(list_, row, &r, LVIR_LABEL)) ::GetClientRect(list_, &r);
        p = {r.left, r.bottom};
        ::ClientToScreen(list_, &p);
    }
    ::TrackPopupMenu(popup_, TPM_RIGHTBUTTON, p.x, p.y, 0, hwnd_, nullptr);
}

void Win32Window::Start(const std::vector<std::string>& args) {
    Run([this] { form_.PrepareWindow(); });
    SyncColumns();
    // The settings have just given the columns their saved widths.
    for (std::size_t c = 0; c < form_.CrcList.Columns.size() && c < columnsShown_; ++c)
        ListView_SetColumnWidth(list_, static_cast<int>(c), form_.CrcList.ShownWidth(c));
    ApplyBounds();
    LayOut();
    // The keys act on the list first; Tab moves on to the buttons.
    ::SetFocus(list_);
    // Let the window appear before a long start list keeps it busy.
    ::UpdateWindow(hwnd_);
    ui_.ProcessMessages();
    Run([this, &args] { form_.OpenStartList(args); });
}

// The settings keep the window's outer bounds in its normal state, and whether it was maximised.
void Win32Window::ApplyBounds() {
    const TWindowBounds& b = form_.Bounds;
    WINDOWPLACEMENT place{};
    place.length = sizeof place;
    place.rcNormalPosition = {b.Left, b.Top, b.Left + b.Width, b.Top + b.Height};
    place.showCmd = b.State == TWindowState::Maximized   ? SW_SHOWMAXIMIZED
                    : b.State == TWindowState::Minimized ? SW_SHOWMINIMIZED
                                                         : SW_SHOWNORMAL;
    ::SetWindowPlacement(hwnd_, &place);
}

void Win32Window::ReadBackBounds() {
    WINDOWPLACEMENT place{};
    place.length = sizeof place;
    if (!::GetWindowPlacement(hwnd_, &place)) return;
    TWindowBounds& b = form_.Bounds;
    b.State = place.showCmd == SW_SHOWMAXIMIZED || ::IsZoomed(hwnd_) ? TWindowState::Maximized
              : ::IsIconic(hwnd_)                                    ? TWindowState::Minimized
                                                                     : TWindowState::Normal;
    const RECT& r = place.rcNormalPosition;
    b.Left = r.left;
    b.Top = r.top;
    b.Width = r.right - r.left;
    b.Height = r.bottom - r.top;
    for (std::size_t c = 0; c < form_.CrcList.Columns.size() && c < columnsShown_; ++c)
        form_.CrcList.SetShownWidth(c, ListView_GetColumnWidth(list_, static_cast<int>(c)));
}

void Win32Window::Close() {
    if (settingsSaved_) return;
    // Closing in the middle of a load or search would pull the window from under it: the command is
    // asked to stop, and the window closes as soon as it has returned (Run).
    if (form_.CommandRunning()) {
        form_.AskToClose();
        return;
    }
    ReadBackBounds();
    form_.FormClose();
    settingsSaved_ = true;
    form_.FormDestroy();
    ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK Win32Window::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return self ? self->Handle(msg, wp, lp) : ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT Win32Window::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        if (list_) LayOut();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMinTrackSize = {form_.Bounds.MinWidth, form_.Bounds.MinHeight};
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd_, &ps);
        RECT client{};
        ::GetClientRect(hwnd_, &client);
        // The counters' panel, sunk into the client area.
        RECT panel{counterLeft_, 5, std::max(counterLeft_ + 260L, client.right - 7), 35};
        HBRUSH green = ::CreateSolidBrush(Green);
        ::FillRect(dc, &panel, green);
        ::DeleteObject(green);
        ::DrawEdge(dc, &panel, BDR_SUNKENOUTER, BF_RECT);
        ::EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_DRAWITEM:
        DrawControl(*reinterpret_cast<DRAWITEMSTRUCT*>(lp));
        return TRUE;
    case WM_CONTEXTMENU: {
        const auto from = reinterpret_cast<HWND>(wp);
        if (from == list_ || ::IsChild(list_, from)) {
            ShowPopup(lp);
            return 0;
        }
        break;
    }
    case WM_ACTIVATE:
        // The control that had the keyboard gets it back when the window is active again (after a
        // dialog, or a switch to another program).
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus && ::IsChild(hwnd_, focus)) focus_ = focus;
        } else if (!::IsIconic(hwnd_)) {
            ::SetFocus(focus_ && ::IsWindow(focus_) && ::IsWindowVisible(focus_) ? focus_ : list_);
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (ui_.Busy()) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        OnNotify(reinterpret_cast<NMHDR*>(lp), result);
        return result;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        if (id >= ButtonId && id < ButtonId + static_cast<int>(buttons_.size())) {
            if (HIWORD(wp) == BN_CLICKED) buttons_[static_cast<std::size_t>(id - ButtonId)]();
            return 0;
        }
        if (onlyUnmatchedId_ && static_cast<UINT>(id) == onlyUnmatchedId_) {
            ShowOnlyUnmatched(!onlyUnmatched_);
            ::CheckMenuItem(::GetMenu(hwnd_), onlyUnmatchedId_,
                            static_cast<UINT>(MF_BYCOMMAND | (onlyUnmatched_ ? MF_CHECKED : MF_UNCHECKED)));
            return 0;
        }
        for (const MenuView& m : menus_)
            if (!m.Submenu && m.Id == static_cast<UINT>(id) && m.OnClick) {
                const auto click = m.OnClick; // the handler may rebuild nothing, but keep it alive anyway
                click();
                return 0;
            }
        break;
    }
    case WM_DROPFILES: {
        auto drop = reinterpret_cast<HDROP>(wp);
        std::vector<std::string> paths;
        const UINT n = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < n; ++i) {
            std::wstring name(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
            const UINT len = ::DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size()));
            name.resize(len);
            paths.push_back(Narrow(name));
        }
        ::DragFinish(drop);
        if (!paths.empty()) Run([this, &paths] { form_.FilesDropped(paths); });
        return 0;
    }
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

} // namespace tv::win32
