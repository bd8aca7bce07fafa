// tallyvault-cli: the window's logic without a window. Each command drives the same TForm1 the
// window uses and prints the rows as the list shows them.
#include "CliCommon.h"
#include "app/TallyvaultMain.h"
#include "core/Entry.h"
#include "platform/HeadlessUi.h"
#include "readers/Dialects.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

using namespace tv;
using tv::cli::PrintRows;

namespace {

int Usage() {
    std::cerr << "usage: tallyvault-cli verify LIST [--delete-duplicates]\n"
                 "       tallyvault-cli repair LIST [--search ROOT] [--copy] [--delete-duplicates]\n"
                 "       tallyvault-cli create FOLDER OUT [--encoding utf-8|cp932]   (OUT ending in .sfv or .csv)\n";
    return 2;
}

int Verify(const std::vector<std::string>& args) {
    std::string list;
    bool deleteDuplicates = false;
    for (const std::string& a : args) {
        if (a == "--delete-duplicates")
            deleteDuplicates = true;
        else if (list.empty() && !a.empty() && a[0] != '-')
            list = a;
        else
            return Usage();
    }
    if (list.empty()) return Usage();
    HeadlessUi ui(std::cerr, DuplicateAnswer::No);
    TForm1 form(ui, RealFs());
    if (deleteDuplicates) form.ClickDuplicateOption(form.DblDel);
    form.ListPath = ExpandLongPath(list);
    form.RunCommand([&] { form.OpenListFile(); }, true);
    return PrintRows(form, ui.ErrorsShown() > 0);
}

} // namespace

int main(int argc, char** argv) {
    // The rows go out through std::cout alone; unsynchronised streams print 100,000 rows much faster.
    std::ios::sync_with_stdio(false);
    if (argc < 2) return Usage();
    std::vector<std::string> args(argv + 2, argv + argc);
    const std::string command = argv[1];
    if (command == "verify") return Verify(args);
    if (command == "repair") return cli::Repair(args);
    if (command == "create") return cli::Create(args);
    return Usage();
}
