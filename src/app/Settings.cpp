// The settings file: options, column widths and the window's geometry, read once at start and
// written once at the end; and the two option commands that keep the complement hint current.
#include "app/TallyvaultMain.h"

#include "app/ShellTexts.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "readers/ListLine.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>

namespace tv {

namespace st = shelltexts;

namespace {

// A number as the settings service reads it: the default when the key is absent or not a number.
int ReadInteger(const IniFile& ini, const char* section, const char* key, int def) {
    std::optional<std::string> v = ini.Read(section, key);
    if (!v) return def;
    try {
        return StrToInt(*v);
    } catch (const ConvertError&) {
        return def;
    }
}

bool ReadBool(const IniFile& ini, const char* section, const char* key, bool def) {
    return ReadInteger(ini, section, key, def ? 1 : 0) != 0;
}

void WriteBool(IniFile& ini, const char* section, const char* key, bool v) {
    ini.Write(section, key, v ? "1" : "0");
}

void WriteInteger(IniFile& ini, const char* section, const char* key, int v) {
    ini.Write(section, key, std::to_string(v));
}

std::string NowText() {
    const FileTime t = LocalNow();
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second);
    return buf;
}

} // namespace

int MinWidthForDpi(int dpi) {
    return dpi == 120 ? 556 : 445;
}

void ClampBounds(TWindowBounds& b, const ScreenMetrics& screen) {
    // A window larger than the screen starts again at its minimum size.
    if (screen.Width < b.Width) b.Width = b.MinWidth;
    if (screen.Height < b.Height) b.Height = b.MinHeight;
    // A window narrower than its minimum cannot be shown at that size; count it as the minimum.
    if (b.Width < b.MinWidth) b.Width = b.MinWidth;
    if (b.Height < b.MinHeight) b.Height = b.MinHeight;
    if (b.Top < 0) b.Top = 0;
    if (b.Left < 0) b.Left = 0;
    // 64-bit sums: a hand-edited file may hold values near the ends of the integer range.
    if (std::int64_t{b.Top} + b.Height > screen.Height) b.Top = screen.Height - b.Height;
    if (std::int64_t{b.Left} + b.Width > screen.Width) b.Left = screen.Width - b.Width;
    // On a screen smaller than the minimum size the title bar stays reachable.
    if (b.Top < 0) b.Top = 0;
    if (b.Left < 0) b.Left = 0;
}

std::string TForm1::ComplementHint() const {
    std::string hint = CopyComplement.Checked() ? st::CopyPrefix : st::MovePrefix;
    if (FixFolder.Checked())
        hint += st::SourceIs + FixedComplementFolder;
    else
        hint += st::SourceAsked;
    return hint;
}

void TForm1::ReadSettings() {
    {
        const IniFile ini = LoadIniFile(fs, SettingsFile);
        CopyComplement.SetChecked(ReadBool(ini, st::SecMain, st::KeyCopy, false));
        AutoMove.SetChecked(ReadBool(ini, st::SecMain, st::KeyAutoMove, false));
        DblNop.SetChecked(ReadBool(ini, st::SecMain, st::KeyDblNop, false));
        DblInq.SetChecked(ReadBool(ini, st::SecMain, st::KeyDblInq, true));
        DblDel.SetChecked(ReadBool(ini, st::SecMain, st::KeyDblDel, false));
        TashUse.SetChecked(ReadBool(ini, st::SecMain, st::KeyTrash, false));
        WriteCp932.SetChecked(ReadBool(ini, st::SecMain, st::KeyCp932Lists, false));
        FixFolder.SetChecked(ReadBool(ini, st::SecMain, st::KeyFixUse, false));
        FixedComplementFolder = ini.ReadString(st::SecMain, st::KeyFixName, "");
        for (std::size_t c = 0; c < CrcList.Columns.size() && c < 4; ++c) {
            int w = ReadInteger(ini, st::SecMain, st::KeyColumnWidth[c], CrcList.Columns[c].Width);
            // A negative or absurd width would hide the column or make the list unusable.
            if (w >= 0 && w <= 10000) CrcList.Columns[c].Width = w;
        }
        Bounds.Top = ReadInteger(ini, st::SecWindow, st::KeyTop, Bounds.Top);
        Bounds.Left = ReadInteger(ini, st::SecWindow, st::KeyLeft, Bounds.Left);
        Bounds.Width = ReadInteger(ini, st::SecWindow, st::KeyWidth, Bounds.Width);
        Bounds.Height = ReadInteger(ini, st::SecWindow, st::KeyHeight, Bounds.Height);
    }
    IsCreateMode = false;
    if (FixFolder.Checked() && !fs.FolderExists(FixedComplementFolder)) FixFolder.SetChecked(false);
    const ScreenMetrics screen = ui.Screen();
    Bounds.MinWidth = MinWidthForDpi(screen.Dpi);
    Bounds.MinHeight = 220;
    ClampBounds(Bounds, screen);
}

void TForm1::FormDestroy() {
    if (SettingsFile.empty()) return;
    // The keys of other programs and the user's own lines are kept; a file that cannot be read now is
    // not written over with the program's keys alone.
    std::optional<IniFile> old = LoadIniFileForUpdate(fs, SettingsFile);
    if (!old) return;
    IniFile ini = std::move(*old);
    ini.Write(st::SecTitle, st::KeyVersion, AppVersionTitle);
    ini.Write(st::SecTitle, st::KeyLastUpdate, NowText());
    WriteInteger(ini, st::SecWindow, st::KeyTop, Bounds.Top);
    WriteInteger(ini, st::SecWindow, st::KeyLeft, Bounds.Left);
    WriteInteger(ini, st::SecWindow, st::KeyWidth, Bounds.Width);
    WriteInteger(ini, st::SecWindow, st::KeyHeight, Bounds.Height);
    WriteBool(ini, st::SecMain, st::KeyCopy, CopyComplement.Checked());
    WriteBool(ini, st::SecMain, st::KeyAutoMove, AutoMove.Checked());
    WriteBool(ini, st::SecMain, st::KeyFixUse, FixFolder.Checked());
    ini.Write(st::SecMain, st::KeyFixName, FixedComplementFolder);
    for (std::size_t c = 0; c < 4; ++c)
        WriteInteger(ini, st::SecMain, st::KeyColumnWidth[c],
                     c < CrcList.Columns.size() ? CrcList.Columns[c].Width : 0);
    WriteBool(ini, st::SecMain, st::KeyDblNop, DblNop.Checked());
    WriteBool(ini, st::SecMain, st::KeyDblInq, DblInq.Checked());
    WriteBool(ini, st::SecMain, st::KeyDblDel, DblDel.Checked());
    WriteBool(ini, st::SecMain, st::KeyTrash, TashUse.Checked());
    WriteBool(ini, st::SecMain, st::KeyCp932Lists, WriteCp932.Checked());
    // The folder beside the program may be read-only, or the configuration folder new.
    const std::string folder = ExtractFileDir(SettingsFile);
    if (!fs.FolderExists(folder)) {
        fs.CreateFolder(ExtractFileDir(folder));
        fs.CreateFolder(folder);
    }
    SaveIniFile(fs, SettingsFile, ini);
}

void TForm1::ShowSettingsSummary() {
    const std::string hint = ComplementHint();
    SearchButton.SetHint(hint);
    std::string text = hint;
    if (AutoMove.Checked()) text += st::SummaryAutoMove;
    if (DblNop.Checked()) text += st::SummaryDblNop;
    if (DblInq.Checked()) text += st::SummaryDblInq;
    if (DblDel.Checked()) text += st::SummaryDblDel;
    Status.SetCaption(st::SummaryHead + text);
}

void TForm1::CopyComplementClick() {
    SearchButton.SetHint(ComplementHint());
}

void TForm1::FixFolderClick() {
    const std::string prefix = CopyComplement.Checked() ? st::CopyPrefix : st::MovePrefix;
    FixFolder.SetChecked(!FixFolder.Checked());
    if (FixFolder.Checked()) {
        std::optional<std::string> folder = ui.ChooseFolder("", BaseFolder);
        if (folder) {
            FixedComplementFolder = *folder;
            Status.SetCaption(st::FolderFixed + *folder);
            SearchButton.SetHint(prefix + st::SourceIs + *folder);
        } else {
            FixFolder.SetChecked(false);
        }
    }
    if (!FixFolder.Checked()) {
        Status.SetCaption(st::FolderAsked);
        SearchButton.SetHint(prefix + st::SourceAsked);
    }
}

} // namespace tv
