// Creation of the main window and its small commands: open, status-bar reload, the pop-up copies and
// the close.
#include "app/TallyvaultMain.h"

#include "app/ShellTexts.h"
#include "platform/Paths.h"
#include "platform/SettingsLocation.h"

#include <algorithm>
#include <vector>

namespace tv {

void TForm1::FormCreate(const std::vector<std::string>& args) {
    PrepareWindow();
    OpenStartList(args);
}

void TForm1::PrepareWindow() {
    if (SettingsFile.empty()) SettingsFile = SettingsFilePath(ProgramPath);
    ReadSettings();
    ApplyLanguage();
    // Dropped files reach FilesDropped through the front end, which accepts drops from its creation.
    for (TMenuItem* m : {&FileChangeCmd, &Complement, &MakeRequestCmd, &CopyComplement}) m->SetEnabled(true);
    MakeCrcCmd.SetEnabled(false);
    SearchRunning = false;
    Caption = AppVersionTitle;
    ShowSettingsSummary();
}

void TForm1::OpenStartList(const std::vector<std::string>& args) {
    // Only the first argument names a list; further ones are ignored.
    if (!args.empty()) OpenCommandLineList(args.front());
}

void TForm1::FormClose() { Bounds.State = TWindowState::Normal; }

void TForm1::OpenButtonClick() {
    if (IsCreateMode)
        FolderOpenCmdClick();
    else
        CrcOpenCmdClick();
}

namespace {

// The open dialog's filter: first every kind of list the program reads, so that no list is hidden
// whatever the kind of the one shown; then each kind, the shown list's own first; then all files.
std::string OpenFilterFor(ListDialect shown) {
    namespace st = shelltexts;
    std::vector<const st::OpenKind*> kinds{&st::CrcKind, &st::Crc1632Kind, &st::DigestKind, &st::Par2Kind};
    const st::OpenKind* own = shown == ListDialect::ldDigest    ? &st::DigestKind
                              : shown == ListDialect::ldCrc1632 ? &st::Crc1632Kind
                              : shown == ListDialect::ldPar2    ? &st::Par2Kind
                              : shown == ListDialect::ldUnknown ? nullptr
                                                                : &st::CrcKind;
    if (own) std::stable_partition(kinds.begin(), kinds.end(), [own](const st::OpenKind* k) { return k == own; });
    std::string all = st::AnyListText;
    all += "|";
    std::string each;
    for (const st::OpenKind* k : kinds) {
        if (k != kinds.front()) all += ";";
        all += k->Patterns;
        each.append("|").append(k->Text).append("|").append(k->Patterns);
    }
    return all + each + "|" + st::AllFilesFilter;
}

} // namespace

void TForm1::CrcOpenCmdClick() {
    if (IsCreateMode) ModeButtonClick();
    const ListDialect shown = ListPath.empty() ? ListDialect::ldUnknown : Dialect;
    std::optional<std::string> path = ui.OpenFileDialog(OpenFilterFor(shown), BaseFolder);
    if (!path) return;
    ListPath = *path;
    OpenListFile();
}

void TForm1::StatusClick() {
    if (!IsCreateMode && !ListPath.empty() && fs.FileExists(ListPath)) OpenListFile();
}

void TForm1::CopyNameClick() {
    const std::int32_t i = CrcList.Selected();
    if (i >= 0) ui.SetClipboardText(CrcList.Item(i).Caption());
}

void TForm1::CopyCRCClick() {
    const std::int32_t i = CrcList.Selected();
    if (i >= 0) ui.SetClipboardText(CrcList.Item(i).SubItem(1));
}

} // namespace tv
