// tallyvault-cli repair: load a list, optionally search a folder tree for the contents that are not
// found (the × and － rows), then put every found same file in place and print the rows.
#include "CliCommon.h"
#include "app/TallyvaultMain.h"
#include "platform/HeadlessUi.h"
#include "readers/Dialects.h"

#include <chrono>
#include <ctime>
#include <iostream>
#include <optional>

namespace tv::cli {

namespace {

int RepairUsage() {
    std::cerr << "usage: tallyvault-cli repair LIST [--search ROOT] [--copy] [--delete-duplicates] [--times]\n";
    return 2;
}

} // namespace

int Repair(const std::vector<std::string>& args) {
    std::string list;
    std::optional<std::string> root;
    bool copy = false, deleteDuplicates = false, times = false;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a == "--search" && k + 1 < args.size() && !root)
            root = args[++k];
        else if (a == "--copy")
            copy = true;
        else if (a == "--delete-duplicates")
            deleteDuplicates = true;
        else if (a == "--times")
            times = true;
        else if (list.empty() && !a.empty() && a[0] != '-')
            list = a;
        else
            return RepairUsage();
    }
    if (list.empty() || (root && root->empty())) return RepairUsage();

    // --times: the wall time of each step on stderr, so a benchmark can tell the search from the moves.
    // The processor time beside it tells the work from the waiting on a busy machine.
    using Clock = std::chrono::steady_clock;
    auto mark = Clock::now();
    std::clock_t cpuMark = std::clock();
    auto step = [&](const char* name) {
        const auto now = Clock::now();
        const std::clock_t cpu = std::clock();
        if (times)
            std::cerr << "time " << name << ' ' << std::chrono::duration<double>(now - mark).count() << " s wall "
                      << static_cast<double>(cpu - cpuMark) / CLOCKS_PER_SEC << " s cpu\n";
        mark = now;
        cpuMark = cpu;
    };
    HeadlessUi ui(std::cerr, DuplicateAnswer::No);
    TForm1 form(ui, RealFs());
    // Duplicates met by the search are deleted, or kept without a question.
    form.ClickDuplicateOption(deleteDuplicates ? form.DblDel : form.DblNop);
    form.CopyComplement.SetChecked(copy);
    form.ListPath = ExpandLongPath(list);
    form.RunCommand([&] { form.OpenListFile(); }, true);
    step("load");

    if (form.CrcList.Count() > 0 && !form.CloseRequested) {
        if (root) {
            form.FixFolder.SetChecked(true);
            form.FixedComplementFolder = ExpandLongPath(*root);
            form.RunCommand([&] {
                form.CheckCycle = 1; // the rows whose content was not found
                form.CheckButtonClick();
                form.SearchButtonClick();
            });
            step("search");
        }
        if (form.SameFileCount > 0)
            form.RunCommand(
                [&] {
                    form.CheckCycle = 0; // the rows whose content was found under another name or elsewhere
                    form.CheckButtonClick();
                    form.FileChangeCmdClick();
                },
                true);
        step("rename-and-move");
    }
    return PrintRows(form, ui.ErrorsShown() > 0);
}

} // namespace tv::cli
