// tallyvault-cli create FOLDER OUT: list the files of FOLDER as create mode does, tick what the check
// button ticks (every file but the excluded ones), write OUT (.sfv or .csv) with the window's writer,
// then read the new list back and verify it as the return to read mode does.
#include "CliCommon.h"
#include "app/TallyvaultMain.h"
#include "platform/HeadlessUi.h"
#include "platform/Paths.h"
#include "readers/Dialects.h"

#include <iostream>

namespace tv::cli {

namespace {

int CreateUsage() {
    std::cerr << "usage: tallyvault-cli create FOLDER OUT [--recursive] [--encoding utf-8|cp932]   (OUT ending in .sfv "
                 "or .csv)\n";
    return 2;
}

// The save dialog answers with the list named on the command line.
class SavingUi : public HeadlessUi {
public:
    SavingUi(std::ostream& err, std::string out) : HeadlessUi(err), out_(std::move(out)) {}
    std::optional<std::string> SaveFileDialog(const std::string&, const std::string&, const std::string&,
                                              const std::string&) override {
        return out_;
    }

private:
    std::string out_;
};

// The absolute folder without a trailing separator (a root keeps its own).
std::string FolderArgument(const std::string& arg) {
    std::string folder = ExpandLongPath(arg);
    while (folder.size() > 1 && IsPathDelim(folder.back()))
        folder.pop_back();
    return folder;
}

} // namespace

int Create(const std::vector<std::string>& given) {
    std::vector<std::string> args;
    ListEncoding encoding = ListEncoding::Utf8;
    bool recursive = false;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (given[i] == "--recursive") {
            recursive = true;
            continue;
        }
        if (given[i] != "--encoding") {
            args.push_back(given[i]);
            continue;
        }
        const std::optional<ListEncoding> named = i + 1 < given.size() ? EncodingFromName(given[++i]) : std::nullopt;
        if (!named) return CreateUsage();
        encoding = *named;
    }
    if (args.size() != 2 || args[0].empty() || args[1].empty()) return CreateUsage();
    const std::string ext = UpperAscii(ExtractFileExt(args[1]));
    if (ext != ".SFV" && ext != ".CSV") return CreateUsage();

    const std::string out = ExpandLongPath(args[1]);
    const std::string folder = FolderArgument(args[0]);
    // A list names its files relative to its own folder: written elsewhere, it will not find them.
    if (!RealFs().SameObject(ExtractFileDir(out), folder))
        std::cerr << "warning: " << out << " is not in " << folder
                  << "; the list's names are looked up in the list's own folder\n";
    SavingUi ui(std::cerr, out);
    TForm1 form(ui, RealFs());
    form.WriteCp932.SetChecked(encoding == ListEncoding::Cp932);
    form.IncludeSubFolders.SetChecked(recursive);
    form.RunCommand(
        [&] {
            form.ModeButtonClick(); // no list yet: an empty create mode
            form.BaseFolder = folder;
            form.ScanFolder();
        },
        true);
    PrintPassedOver(form);
    if (ui.ErrorsShown() == 0)
        form.RunCommand(
            [&] {
                form.CheckButtonClick();
                form.MakeCrcCmdClick();
            },
            true);
    // Still in create mode: nothing was ticked, or the scan or the write failed.
    if (form.IsCreateMode) {
        std::cout << "status " << form.Status.Caption() << '\n';
        return 2;
    }
    return PrintRows(form, ui.ErrorsShown() > 0);
}

} // namespace tv::cli
