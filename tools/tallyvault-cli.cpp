// tallyvault-cli: the window's logic without a window. Each command drives the same TForm1 the
// window uses and prints the rows as the list shows them.
#include "app/TallyvaultMain.h"
#include "core/Entry.h"
#include "platform/HeadlessUi.h"
#include "readers/Dialects.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

using namespace tv;

namespace {

int Usage() {
    std::cerr << "usage: tallyvault-cli verify LIST [--delete-duplicates]\n";
    return 2;
}

// One line a row (mark, caption, size, CRC, same file), the counters, the status text. Exit status:
// 0 every row matches, 1 some row does not, 2 an error or no entry.
int PrintRows(const TForm1& form, bool failed) {
    const TListView& list = form.CrcList;
    bool allGood = true;
    for (const TListItem& row : list.Items()) {
        std::cout << MarkOfIcon(row.ImageIndex) << '\t' << row.Caption << '\t' << row.SubItem(0) << '\t'
                  << row.SubItem(1) << '\t' << row.SubItem(2) << '\n';
        if (row.ImageIndex != 0) allGood = false;
    }
    std::cout << "total " << form.TotalCounter.Caption() << " match " << form.GoodCounter.Caption() << " mismatch "
              << form.BadCounter.Caption() << " missing " << form.NotingCounter.Caption() << " samefile "
              << form.SameFileCount << '\n';
    std::cout << "status " << form.Status.Caption() << '\n';
    if (failed || list.Count() == 0) return 2;
    return allGood ? 0 : 1;
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
    return Usage();
}
