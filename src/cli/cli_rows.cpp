// What every command prints: the rows, the counters, the status text, and what was not checked.
#include "CliCommon.h"
#include "CliTexts.h"
#include "HeadlessUi.h"
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
        why = SayN(n, "セット %2 のファイル %1 個は、読めたどのパケットにも記述がないため検査していません",
                   {std::to_string(n), list});
    } else if (stop == texts::NothingReadable) {
        why = Say("%1 の項目をひとつも読めなかったため、何も検査していません", {list});
    } else if (stop.size() > rest.size() && stop.compare(stop.size() - rest.size(), rest.size(), rest) == 0) {
        why = Say("%1 の「%2」より後の項目は検査していません: リストはその項目より先を読めません",
                  {list, OneLine(stop.substr(0, stop.size() - rest.size()))});
    } else if (stop != texts::ReadEnd + ExtractFileName(form.ListPath)) {
        why = Say("%1 を最後まで読めなかったため、後の項目は検査していません", {list});
    }
    if (form.UnreadLineCount > 0) {
        const std::string reason = form.UnreadReason.empty() ? "" : " (" + OneLine(Tr(form.UnreadReason)) + ")";
        const std::string lines =
            SayN(static_cast<std::uint64_t>(form.UnreadLineCount),
                 "%2 の、項目でもコメントでもない %1 行を飛ばしました%3。そこにあるファイルは検査していません",
                 {std::to_string(form.UnreadLineCount), list, reason});
        why = why.empty() ? lines : Say("%1。また、%2", {why, lines});
    }
    return why;
}

void PrintPassedOver(const TForm1& form) {
    for (const TForm1::TPassedOver& p : form.PassedOverPaths) {
        const std::string reason = p.Reason.empty() ? "" : " (" + p.Reason + ")";
        std::cerr << "tallyvault-cli: "
                  << (p.IsFolder     ? Say("読めないサブフォルダを飛ばしました: %1%2", {OneLine(p.Path), reason})
                      : p.Unreadable ? Say("読めなかったファイルを飛ばしました: %1%2", {OneLine(p.Path), reason})
                                     : Say("読む前に消えたファイルを飛ばしました: %1%2", {OneLine(p.Path), reason}))
                  << '\n';
    }
}

bool PassedOverUnreadable(const TForm1& form) {
    for (const TForm1::TPassedOver& p : form.PassedOverPaths)
        if (p.Unreadable) return true;
    return false;
}

void NameDeletedDuplicates(TForm1& form, HeadlessUi& ui) {
    form.DuplicateDeleted = [&ui](const std::string& duplicate, const std::string& kept) {
        ui.Quiet();
        std::cerr << "tallyvault-cli: "
                  << Say("重複を削除しました: %1 は %2 と同じ内容でした", {OneLine(duplicate), OneLine(kept)}) << '\n';
    };
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
    // The rows go out in blocks: a hundred thousand of them through the stream one piece at a time cost
    // more than the verification's own look at their files.
    std::string block;
    for (const TListItem& row : list.Items()) {
        block.append(MarkOfIcon(row.ImageIndex)).append(1, '\t').append(OneLine(row.Caption())).append(1, '\t');
        block.append(row.SubItem(0)).append(1, '\t').append(row.SubItem(1)).append(1, '\t');
        block.append(OneLine(row.SubItem(2))).append(1, '\n');
        if (row.ImageIndex != 0) allGood = false;
        if (block.size() >= 1 << 16) {
            std::cout.write(block.data(), static_cast<std::streamsize>(block.size()));
            block.clear();
        }
    }
    std::cout.write(block.data(), static_cast<std::streamsize>(block.size()));
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
        std::cerr << "tallyvault-cli: "
                  << SayN(form.ConflictNames.size(),
                          "%2 個の名前で内容の違う項目が %1 行あります。そのまま表示し、修復ではこれらを変更しません:",
                          {std::to_string(form.ConflictRows), std::to_string(form.ConflictNames.size())});
        constexpr std::size_t shown = 20;
        for (std::size_t k = 0; k < form.ConflictNames.size() && k < shown; ++k)
            std::cerr << ' ' << OneLine(form.ConflictNames[k]);
        if (form.ConflictNames.size() > shown)
            std::cerr << ' ' << Say("ほか %1 個", {std::to_string(form.ConflictNames.size() - shown)});
        std::cerr << '\n';
    }
    const std::string unchecked = UncheckedSummary(form);
    // The words match the exit status: with no row at all nothing was checked (2), else not all (3).
    if (!unchecked.empty())
        std::cerr << "tallyvault-cli: "
                  << (list.Count() == 0 ? Say("何も検査していません: %1", {unchecked})
                                        : Say("一部を検査していません: %1", {unchecked}))
                  << '\n';
    if (failed || list.Count() == 0) return Failed;
    if (!unchecked.empty()) return ListNotReadWhole;
    return allGood ? AllMatch : SomeNotMatched;
}

} // namespace tv::cli
