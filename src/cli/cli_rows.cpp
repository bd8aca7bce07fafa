// What every command prints: the rows, the counters, the status text, and what was not checked.
#include "CliCommon.h"
#include "app/Language.h"
#include "platform/Paths.h"
#include "readers/Par2List.h"
#include "readers/Texts.h"

#include <iostream>

namespace tv::cli {

std::string OneLine(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string UncheckedSummary(const TForm1& form) {
    const std::string list = OneLine(ExtractFileName(form.ListPath));
    const std::string& stop = form.ReadErrorText;
    const std::string rest = texts::RestUnreadable;
    std::string why;
    if (form.Par2Set && form.Par2Set->Undescribed > 0) {
        const std::size_t n = form.Par2Set->Undescribed;
        why = std::to_string(n) + (n == 1 ? " file" : " files") + " of the set " + list + (n == 1 ? " has" : " have") +
              " no description in any packet that could be read, so " + (n == 1 ? "it was" : "they were") +
              " not checked";
    } else if (stop == texts::NothingReadable) {
        why = "no entry of " + list + " could be read, so none was checked";
    } else if (stop.size() > rest.size() && stop.compare(stop.size() - rest.size(), rest.size(), rest) == 0) {
        why = "the entries of " + list + " after \"" + OneLine(stop.substr(0, stop.size() - rest.size())) +
              "\" were not checked: the list cannot be read past that entry";
    } else if (stop != texts::ReadEnd + ExtractFileName(form.ListPath)) {
        why = list + " was not read to its end, so its later entries were not checked";
    }
    if (form.UnreadLineCount > 0) {
        const std::string lines =
            std::to_string(form.UnreadLineCount) + (form.UnreadLineCount == 1 ? " line" : " lines") + " of " + list;
        why += (why.empty() ? "" : "; and ") + lines + " that " + (form.UnreadLineCount == 1 ? "is" : "are") +
               " neither entry nor comment " + (form.UnreadLineCount == 1 ? "was" : "were") + " passed over" +
               (form.UnreadReason.empty() ? "" : " (" + OneLine(form.UnreadReason) + ")") +
               ", so the files named there were not checked";
    }
    return why;
}

void PrintPassedOver(const TForm1& form) {
    for (const TForm1::TPassedOver& p : form.PassedOverPaths)
        std::cerr << "tallyvault-cli: "
                  << (p.IsFolder     ? "sub-folder passed over, it cannot be read: "
                      : p.Unreadable ? "file passed over, it could not be read: "
                                     : "file passed over, it vanished before it was read: ")
                  << OneLine(p.Path) << (p.Reason.empty() ? "" : " (" + p.Reason + ")") << '\n';
}

bool PassedOverUnreadable(const TForm1& form) {
    for (const TForm1::TPassedOver& p : form.PassedOverPaths)
        if (p.Unreadable) return true;
    return false;
}

void PrintUnlisted(const std::vector<std::string>& names) {
    for (const std::string& name : names)
        std::cout << "＋\t" << OneLine(name) << '\n';
}

int PrintRows(const TForm1& form, bool failed) {
    return PrintRows(form, failed, nullptr);
}

int PrintRows(const TForm1& form, bool failed, const std::vector<std::string>* unlisted) {
    const TListView& list = form.CrcList;
    bool allGood = true;
    for (const TListItem& row : list.Items()) {
        std::cout << MarkOfIcon(row.ImageIndex) << '\t' << OneLine(row.Caption()) << '\t' << row.SubItem(0) << '\t'
                  << row.SubItem(1) << '\t' << OneLine(row.SubItem(2)) << '\n';
        if (row.ImageIndex != 0) allGood = false;
    }
    if (unlisted) PrintUnlisted(*unlisted);
    std::cout << "total " << form.TotalCounter.Caption() << " match " << form.GoodCounter.Caption() << " mismatch "
              << form.BadCounter.Caption() << " missing " << form.NotingCounter.Caption() << " samefile "
              << form.SameFileCount;
    if (unlisted) std::cout << " unlisted " << unlisted->size();
    std::cout << '\n';
    if (form.Par2Set && form.Par2Set->Counted) std::cout << Par2DamageLines(*form.Par2Set);
    std::cout << "status " << OneLine(Tr(form.Status.Caption())) << '\n';
    std::cout.flush();
    if (!form.ConflictNames.empty()) {
        std::cerr << "tallyvault-cli: " << form.ConflictRows << " rows give " << form.ConflictNames.size()
                  << (form.ConflictNames.size() == 1 ? " name" : " names") << " two contents, shown as they are; "
                  << "repair changes nothing for them:";
        constexpr std::size_t shown = 20;
        for (std::size_t k = 0; k < form.ConflictNames.size() && k < shown; ++k)
            std::cerr << ' ' << OneLine(form.ConflictNames[k]);
        if (form.ConflictNames.size() > shown) std::cerr << " and " << form.ConflictNames.size() - shown << " more";
        std::cerr << '\n';
    }
    const std::string unchecked = UncheckedSummary(form);
    // The words match the exit status: with no row at all nothing was checked (2), else not all (3).
    if (!unchecked.empty())
        std::cerr << "tallyvault-cli: " << (list.Count() == 0 ? "nothing checked: " : "not all checked: ") << unchecked
                  << '\n';
    if (failed || list.Count() == 0) return Failed;
    if (!unchecked.empty()) return ListNotReadWhole;
    return allGood ? AllMatch : SomeNotMatched;
}

} // namespace tv::cli
