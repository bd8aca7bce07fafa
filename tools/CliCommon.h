#pragma once
// What the command-line tool's commands share: printing the rows as the list shows them.
#include "app/TallyvaultMain.h"
#include "core/Entry.h"

#include <iostream>
#include <string>
#include <vector>

namespace tv::cli {

// One line a row (mark, caption, size, CRC, same file), the counters, the status text. Exit status:
// 0 every row matches, 1 some row does not, 2 an error or no entry.
inline int PrintRows(const TForm1& form, bool failed) {
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

// tallyvault-cli repair LIST [--search ROOT] [--copy] [--delete-duplicates]
int Repair(const std::vector<std::string>& args);

// tallyvault-cli create FOLDER OUT
int Create(const std::vector<std::string>& args);

} // namespace tv::cli
