// The Help and Tools commands that hand something to the desktop: the version text, the home page,
// the read-me beside the program (or in the installed documentation folder), and the current list in
// a text editor.
#include "app/TallyvaultMain.h"

#include "app/Language.h"
#include "app/ShellTexts.h"
#include "platform/BuildInfo.h"
#include "platform/Paths.h"

#include <filesystem>
#include <vector>

namespace tv {

namespace st = shelltexts;

void TForm1::versionClick() {
    ui.ShowMessage(st::VersionText);
}

void TForm1::Homepage1Click() {
    // The address stays in the box, so that it can be typed in by hand.
    if (!ui.ShellOpen(st::HomepageAddress, "")) ui.ShowMessage(std::string(st::NoBrowser) + "\r" + st::HomepageAddress);
}

void TForm1::ReadMeClick() {
    const std::string folder = ExtractFileDir(ProgramPath);
    // The program file's own name with ".txt"; the installed read-me keeps its fixed name, which
    // differs in letter case from the program file on this platform.
    const std::string name = ExtractFileName(ProgramPath);
    const std::string ext = ExtractFileExt(name);
    const std::string own = JoinPath(folder, name.substr(0, name.size() - ext.size()) + ".txt");
    // An installed program has its read-me in the documentation folder of its prefix.
    const std::string docs =
        std::filesystem::path(JoinPath(JoinPath(folder, buildinfo::DocDirFromBinDir), st::ReadMeName))
            .lexically_normal()
            .string();
    std::vector<std::string> candidates;
    // In another language its own read-me comes first ("Tallyvault.en.txt"), where there is one.
    if (const std::string& code = ShownLanguage(); code != "ja")
        for (const std::string& path : {own, JoinPath(folder, st::ReadMeName), docs})
            candidates.push_back(path.substr(0, path.size() - 4) + "." + code + ".txt");
    for (const std::string& path : {own, JoinPath(folder, st::ReadMeName), docs}) candidates.push_back(path);
    for (const std::string& path : candidates) {
        if (!ProgramPath.empty() && fs.FileExists(path)) {
            if (!ui.ShellOpen(path, folder)) ui.ShowMessage(std::string(st::NoTextEditor) + "\r" + path);
            return;
        }
    }
    Status.SetCaption(st::ReadMeMissing);
}

void TForm1::NoteViewClick() {
    if (ListPath.empty() || !fs.FileExists(ListPath)) return;
    if (!ui.OpenInTextEditor(ListPath)) ui.ShowMessage(std::string(st::NoTextEditor) + "\r" + ListPath);
}

} // namespace tv
