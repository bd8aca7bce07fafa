// The program: the window logic over the real file system, and the Win32 window.
// TALLYVAULT_SETTINGS names another settings file. TALLYVAULT_SCREENSHOT=FILE.bmp writes a picture of
// the window (with its frame, as the screen shows it) once the start list is shown, and
// TALLYVAULT_ROWS=FILE.txt the list view's texts as it shows them; either ends the program after.
// TALLYVAULT_SCREENSHOT_STATE=sorted,filtered shows the rows sorted or filtered first; message shows
// the version box over the window, question the duplicate question, open and folder the open
// dialog and the folder choice.
// TALLYVAULT_TIMING prints how long the start list took and how responsive the window stayed.
// --help and --version, as the only argument, print and end the program.
#include "Win32Ui.h"
#include "Win32Window.h"

#include "app/TallyvaultMain.h"
#include "platform/BuildInfo.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/win32/Shell.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

constexpr const char* HelpText =
    "Usage: tallyvault [LIST]\n"
    "Opens the Tallyvault window and loads LIST (an SFV, .CRC, CSV or CRC1632 checksum list).\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "Settings are kept in Tallyvault.ini beside the program when its folder can be written, otherwise\n"
    "in %APPDATA%\\Tallyvault\\Tallyvault.ini. Environment: TALLYVAULT_SETTINGS=FILE uses another\n"
    "settings file; TALLYVAULT_TIMING=1 prints how long the start list and each command took.\n"
    "tallyvault-cli verifies, repairs and creates lists without a window.\n";

std::string Env(const wchar_t* name) {
    const wchar_t* v = ::_wgetenv(name);
    return v && *v ? tv::win32::Narrow(v) : std::string();
}

// A window program has no console of its own: the text goes to the one it was started from.
void Print(const char* text) {
    ::AttachConsole(ATTACH_PARENT_PROCESS);
    tv::UseUtf8Console();
    DWORD written = 0;
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE)
        ::WriteFile(out, text, static_cast<DWORD>(std::char_traits<char>::length(text)), &written, nullptr);
    else
        ::MessageBoxW(nullptr, tv::win32::Widen(text).c_str(), tv::win32::ApplicationTitle, MB_OK);
}

// The window as the screen shows it, frame and menu included, with a box over it when one is open,
// as a 24-bit BMP file.
bool WriteScreenPicture(HWND window, HWND popup, const std::string& path) {
    RECT r{};
    ::GetWindowRect(window, &r);
    if (popup && popup != window) {
        RECT p{};
        ::GetWindowRect(popup, &p);
        ::UnionRect(&r, &r, &p);
    }
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    ::BitBlt(dc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    ::GdiFlush();
    const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
    const std::size_t size = stride * static_cast<std::size_t>(h);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + size);
    bool ok = false;
    if (std::ofstream out{std::filesystem::path(tv::win32::Widen(path)), std::ios::binary}) {
        out.write(reinterpret_cast<const char*>(&file), sizeof file);
        out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
        out.write(static_cast<const char*>(bits), static_cast<std::streamsize>(size));
        ok = static_cast<bool>(out);
    }
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return ok;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::vector<std::string> args = tv::ProgramArguments(0, nullptr);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        Print(HelpText);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        Print((std::string("tallyvault ") + tv::buildinfo::Version + "\n").c_str());
        return 0;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    // The shell's dialogs (the folder choice) want a single-threaded apartment.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    tv::win32::Win32Ui ui;
    tv::TForm1 form(ui, tv::RealFs());
    form.ProgramPath = tv::win32::ProgramFilePath();
    form.SettingsFile = Env(L"TALLYVAULT_SETTINGS");
    const std::string shot = Env(L"TALLYVAULT_SCREENSHOT"), rows = Env(L"TALLYVAULT_ROWS");

    int exitCode = 0;
    {
        tv::win32::Win32Window window(form, ui);
        const std::uint64_t started = ::GetTickCount64();
        window.Start(args);
        if (::_wgetenv(L"TALLYVAULT_TIMING"))
            tv::win32::ReportLine("start list shown after " + std::to_string(::GetTickCount64() - started) +
                                  " ms; longest stretch without event handling " + std::to_string(ui.LongestGapMs()) +
                                  " ms");
        window.ApplyViewState(Env(L"TALLYVAULT_SCREENSHOT_STATE"));
        // The picture and the rows are taken once everything has painted, from inside a box's own loop
        // too: then the box goes first, and the window once the box has returned.
        bool taken = false;
        std::function<void()> take = [&] {
            HWND main = window.Handle();
            HWND popup = ::GetLastActivePopup(main);
            if (!shot.empty() && !WriteScreenPicture(main, popup, shot)) exitCode = 1;
            if (!rows.empty()) {
                const std::string text = tv::win32::Narrow(window.RowTexts());
                std::ofstream out{std::filesystem::path(tv::win32::Widen(rows)), std::ios::binary};
                out << text;
                if (!out) exitCode = 1;
            }
            taken = true;
            ::PostMessageW(popup && popup != main ? popup : main, WM_CLOSE, 0, 0);
        };
        if (!shot.empty() || !rows.empty()) {
            static std::function<void()>* pending = nullptr;
            pending = &take;
            ::SetTimer(window.Handle(), 1, 1500, [](HWND hwnd, UINT, UINT_PTR id, DWORD) {
                ::KillTimer(hwnd, id);
                if (pending) (*pending)();
                pending = nullptr;
            });
            const std::string state = Env(L"TALLYVAULT_SCREENSHOT_STATE");
            if (state.find("par2") != std::string::npos)
                form.ClickMenuItem(form.ListKindPar2, tv::MenuClick::Radio, [&form] { form.ListKindClick(); });
            if (state.find("create") != std::string::npos) window.Run([&form] { form.ModeButtonClick(); });
            // The file menu dropped down, as its access key opens it.
            if (state.find("filemenu") != std::string::npos)
                ::PostMessageW(window.Handle(), WM_SYSCOMMAND, SC_KEYMENU, 'f');
            if (state.find("message") != std::string::npos) window.Run([&form] { form.versionClick(); });
            if (state.find("open") != std::string::npos) window.Run([&form] { form.CrcOpenCmdClick(); });
            if (state.find("folder") != std::string::npos) window.Run([&form] { form.FolderOpenCmdClick(); });
            if (state.find("question") != std::string::npos)
                // The question as the duplicate search asks it.
                ui.AskDuplicate(std::string("重複ファイル検出\r\r") + "Z:\\set\\photo 01.jpg" + "と\r" +
                                "Z:\\set\\photo 01 (2).jpg" + "は同じファイルです。\r" +
                                "重複ファイルを削除してもよろしいですか？");
            if (taken) ::PostMessageW(window.Handle(), WM_CLOSE, 0, 0);
        }
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (window.Translate(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (msg.message == WM_QUIT && exitCode == 0) exitCode = static_cast<int>(msg.wParam);
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return exitCode;
}
