// tallyvault-cli update LIST: adds the files of the list's folder (its tree when the list names a file
// in a sub-folder, or with --recursive) that the list does not name, as the window's "新規ファイルを追加"
// does: the list is read for names only, each new file is read once, and the list is written again with
// its own entries as they were and the new ones after them.
#include "CliCommon.h"
#include "CliTexts.h"
#include "ProgressLine.h"
#include "app/TallyvaultMain.h"
#include "cli/HeadlessUi.h"
#include "platform/Paths.h"

#include <iostream>

namespace tv::cli {

namespace {

int UpdateUsage() {
    std::cerr << Say("使い方:") << " tallyvault-cli update LIST [--recursive] [--dry-run] [--quiet|--progress]\n";
    return Failed;
}

} // namespace

int Update(const std::vector<std::string>& args) {
    std::string list;
    bool recursive = false, dryRun = false;
    ProgressOptions progress;
    for (const std::string& a : args) {
        if (progress.Take(a)) continue;
        if (a == "--recursive")
            recursive = true;
        else if (a == "--dry-run")
            dryRun = true;
        else if (list.empty() && !a.empty() && a[0] != '-')
            list = a;
        else
            return UpdateUsage();
    }
    if (list.empty()) return UpdateUsage();
    HeadlessUi ui(std::cerr, DuplicateAnswer::No);
    TForm1 form(ui, RealFs());
    ProgressLine line(ui, form, progress, std::cerr);
    form.ListPath = ExpandLongPath(list);
    form.VerifyTree = recursive;
    form.NamesOnly = true;
    form.RunCommand([&] { form.OpenListFile(); }, true);
    line.Clear();
    if (ui.ErrorsShown() > 0) return Failed;
    if (const std::string refused = form.UpdateRefusal(); !refused.empty()) {
        std::cerr << "tallyvault-cli: " << Say("%1 に何も追加していません: %2", {OneLine(list), refused}) << '\n';
        return Failed;
    }
    TForm1::TNewFiles found;
    form.RunCommand(
        [&] {
            found = form.FindNewFiles();
            if (!found.Names.empty()) form.AddNewFiles(found, dryRun);
        },
        true);
    line.Clear();
    PrintPassedOver(form);
    for (const TForm1::TRefusedName& r : found.Refused)
        std::cerr << "tallyvault-cli: " << Say("追加していません: %1 (%2)", {OneLine(r.Name), r.Reason}) << '\n';
    if (ui.ErrorsShown() > 0) return Failed;
    PrintUnlisted(found.Names);
    std::cout << (dryRun ? "would add " : "added ") << found.Names.size() << '\n';
    if (found.Names.empty()) return SomeNotMatched;
    if (found.WasUtf16 && !dryRun)
        std::cerr << "tallyvault-cli: " << Say("%1 は UTF-16 でした。UTF-8 で書き直しました", {OneLine(list)}) << '\n';
    return AllMatch;
}

} // namespace tv::cli
