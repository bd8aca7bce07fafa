// The settings file: options, column widths and the window's geometry, read once at start and
// written once at the end; and the two option commands that keep the complement hint current.
#include "app/TallyvaultMain.h"

#include "app/Language.h"
#include "app/ShellTexts.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/UserLanguage.h"
#include "readers/ListLine.h"
#include "writers/Par2Create.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

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

// One setting of the file: its key, where its value lives in the form, its default and its bounds. A
// tick is written as "1" or "0"; a number read from the file counts only within [Min, Max], else the
// value stays what it was (its default); a number without a place (a column the list does not have) is
// written as 0.
struct Setting {
    const char* Section;
    const char* Key;
    TMenuItem* Tick = nullptr;
    bool TickDefault = false;
    int* Number = nullptr;
    int Min = INT_MIN, Max = INT_MAX;
    std::string* Text = nullptr;
};

// Every setting, in the order the file has them when the program writes it anew.
std::vector<Setting> SettingsOf(TForm1& f) {
    auto tick = [](const char* key, TMenuItem& item, bool def) { return Setting{st::SecMain, key, &item, def}; };
    auto number = [](const char* section, const char* key, int* value, int min = INT_MIN, int max = INT_MAX) {
        return Setting{section, key, nullptr, false, value, min, max};
    };
    std::vector<Setting> all = {
        number(st::SecWindow, st::KeyTop, &f.Bounds.Top),
        number(st::SecWindow, st::KeyLeft, &f.Bounds.Left),
        number(st::SecWindow, st::KeyWidth, &f.Bounds.Width),
        number(st::SecWindow, st::KeyHeight, &f.Bounds.Height),
        tick(st::KeyCopy, f.CopyComplement, false),
        tick(st::KeyAutoMove, f.AutoMove, false),
        tick(st::KeyFixUse, f.FixFolder, false),
        Setting{st::SecMain, st::KeyFixName, nullptr, false, nullptr, 0, 0, &f.FixedComplementFolder},
    };
    // A negative or absurd width would hide the column or make the list unusable.
    for (std::size_t c = 0; c < 4; ++c)
        all.push_back(number(st::SecMain, st::KeyColumnWidth[c],
                             c < f.CrcList.Columns.size() ? &f.CrcList.Columns[c].Width : nullptr, 0, 10000));
    for (Setting s : {tick(st::KeyDblNop, f.DblNop, false), tick(st::KeyDblInq, f.DblInq, true),
                      tick(st::KeyDblDel, f.DblDel, false), tick(st::KeyTrash, f.TashUse, false),
                      tick(st::KeyCp932Lists, f.WriteCp932, false), tick(st::KeySubFolders, f.IncludeSubFolders, false),
                      tick(st::KeyKeepGoing, f.KeepGoing, false)})
        all.push_back(s);
    static_assert(std::size(st::KeyListKinds) == HashAlgorithmCount);
    for (std::size_t k = 0; k < HashAlgorithmCount; ++k)
        all.push_back(tick(st::KeyListKinds[k], f.ListKinds[k], k == 0));
    all.push_back(tick(st::KeyPar2Kind, f.ListKindPar2, false));
    all.push_back(number(st::SecMain, st::KeyPar2Redundancy, &f.Par2Redundancy, 0, static_cast<int>(MaxRedundancy)));
    all.push_back(tick(st::KeyBsdTags, f.WriteBsdTags, false));
    static_assert(std::size(st::KeyThreads) == std::size(TForm1::ThreadCounts));
    for (std::size_t k = 0; k < std::size(f.ThreadChoices); ++k)
        all.push_back(tick(st::KeyThreads[k], f.ThreadChoices[k], k == 0));
    static_assert(std::size(st::KeyDisks) == 3);
    for (std::size_t k = 0; k < std::size(f.DiskChoices); ++k)
        all.push_back(tick(st::KeyDisks[k], f.DiskChoices[k], k == 0));
    return all;
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
        for (const Setting& s : SettingsOf(*this)) {
            if (s.Tick) {
                s.Tick->SetChecked(ReadInteger(ini, s.Section, s.Key, s.TickDefault ? 1 : 0) != 0);
            } else if (s.Text) {
                *s.Text = ini.ReadString(s.Section, s.Key, "");
            } else if (s.Number) {
                const int v = ReadInteger(ini, s.Section, s.Key, *s.Number);
                if (v >= s.Min && v <= s.Max) *s.Number = v;
            }
        }
        LanguageSetting = ini.ReadString(st::SecMain, st::KeyLanguage, "");
    }
    // A hand-edited value is taken as the language names it ("English", "ja_JP"); "auto", none or one
    // not understood follows the user's language.
    if (LanguageSetting == "auto" || LanguageSetting.find_first_not_of(" ") == std::string::npos)
        LanguageSetting.clear();
    else
        LanguageSetting = ProgramLanguageFor(LanguageSetting);
    IsCreateMode = false;
    // One kind of list is always chosen: the first ticked one in a hand-edited file, else CRC-32.
    const bool par2Only = ListKindPar2.Checked() && std::none_of(std::begin(ListKinds), std::end(ListKinds),
                                                                 [](const TMenuItem& m) { return m.Checked(); });
    if (par2Only)
        ClickListKind(ListKindPar2);
    else
        SetCreateAlgorithm(CreateAlgorithm());
    UseWorkerChoices();
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
    for (const Setting& s : SettingsOf(*this)) {
        if (s.Tick)
            ini.Write(s.Section, s.Key, s.Tick->Checked() ? "1" : "0");
        else if (s.Text)
            ini.Write(s.Section, s.Key, *s.Text);
        else
            ini.Write(s.Section, s.Key, std::to_string(s.Number ? *s.Number : 0));
    }
    ini.Write(st::SecMain, st::KeyLanguage, LanguageSetting.empty() ? "auto" : LanguageSetting);
    // The folder beside the program may be read-only, or the configuration folder new.
    const std::string folder = ExtractFileDir(SettingsFile);
    if (!fs.FolderExists(folder)) {
        for (const std::string& f : {ExtractFileDir(folder), folder}) {
            try {
                fs.CreateFolder(f);
            } catch (const IoError&) {
                // One that is there already is fine; the save below finds out whether the settings have
                // a place, and fails quietly if not.
            }
        }
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

void TForm1::ApplyLanguage() {
    LanguageAuto.SetChecked(LanguageSetting.empty());
    LanguageJa.SetChecked(LanguageSetting == "ja");
    LanguageEn.SetChecked(LanguageSetting == "en");
    UseLanguage(LanguageSetting.empty() ? ProgramLanguageFor(UserLanguage()) : LanguageSetting);
}

void TForm1::LanguageClick(TMenuItem& item) {
    LanguageSetting = &item == &LanguageJa ? "ja" : &item == &LanguageEn ? "en" : "";
    ApplyLanguage();
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
