// A list that names files in sub-folders is checked against its whole tree: content found in any
// sub-folder serves its entries. The files of the tree that the list does not name are reported on
// request, by name only.
#include "app/TallyvaultMain.h"
#include "core/EntryNames.h"
#include "core/FolderTree.h"
#include "core/Matching.h"
#include "platform/Errors.h"
#include "platform/NameRules.h"
#include "platform/Paths.h"
#include "writers/LeftOut.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

namespace tv {

namespace {

constexpr const char* FolderPassedOver = "読み取れないフォルダを飛ばしました： ";
constexpr const char* FilePassedOver = "消えたファイルを飛ばしました： ";
constexpr const char* UnreadablePassedOver = "読めないファイルを飛ばしました： ";
constexpr const char* UnreadableHead = "読めないファイル： ";
constexpr const char* AndMore = " ほか ";
constexpr const char* Items = " 件";
constexpr const char* NoUnlisted = "リストにないファイルはありません";
constexpr const char* UnlistedHead = "リストにないファイル： ";
constexpr std::size_t UnlistedShown = 100; // names in the box; the rest are counted

} // namespace

bool TForm1::ListNamesSubFolders() const {
    const std::string folder = ExtractFilePath(ListPath);
    for (std::int32_t i = 0; i < EntryCount; ++i) {
        const TCrcTable& e = EntryTable[i];
        if (!EntryInSubFolder(e)) continue;
        // An absolute name counts where it points: in a sub-folder of the list's folder, or nowhere in its tree.
        if (!EntryIsAbsolute(e)) return true;
        const std::optional<std::string> rel = NameBeneath(EntryFullPath(folder, e), folder);
        if (rel && InSubFolder(*rel)) return true;
    }
    return false;
}

std::vector<FolderEntry> TForm1::PlainFilesToCheck(const std::string& folder, std::vector<FolderEntry> listing,
                                                   bool tree, TakenListings* taken) {
    const std::function<void()> pace = [this] { ReportProgress(); };
    if (!tree) {
        std::erase_if(listing, [](const FolderEntry& e) { return e.IsSpecial || IsProgramFile(e.Name); });
        return PlainFilesOf(std::move(listing), pace);
    }
    FolderTree found = ListTree(fs, folder, pace, taken);
    for (PassedOver& p : found.Unreadable)
        PassedOverPaths.push_back({std::move(p.Path), std::move(p.Reason), true});
    return PlainFilesOf(std::move(found.Files), pace);
}

std::vector<FolderEntry> TForm1::FilesToVerify(const std::string& folder, std::vector<FolderEntry> listing,
                                               TakenListings* taken) {
    PassedOverPaths.clear();
    const bool tree = VerifyTree || ListNamesSubFolders();
    std::vector<FolderEntry> files;
    if (!tree || !taken) {
        files = PlainFilesToCheck(folder, std::move(listing), tree, taken);
    } else {
        // The walk of the tree leaves links out; a link to a file in the list's folder itself that a row names
        // is read as that row's file, as the verification of a list without sub-folders reads it, so that the
        // row shows the same mark. Other links stay out of the walk.
        std::vector<FolderEntry> links;
        std::unordered_set<std::string> named;
        for (const FolderEntry& e : listing)
            if (e.IsLink && !e.IsFolder && !e.IsHidden && !e.IsSpecial && !IsProgramFile(e.Name)) links.push_back(e);
        if (!links.empty()) {
            for (std::int32_t i = 0; i < EntryCount; ++i)
                if (!EntryInSubFolder(EntryTable[i]) && !EntryIsAbsolute(EntryTable[i]))
                    named.insert(FileNameKey(EntryNativeName(EntryTable[i])));
            std::erase_if(links, [&](const FolderEntry& e) { return named.count(FileNameKey(e.Name)) == 0; });
        }
        taken->ByFolder.insert_or_assign(FolderKey(""), std::move(listing));
        files = PlainFilesToCheck(folder, {}, true, taken);
        if (!links.empty()) {
            files.insert(files.end(), std::make_move_iterator(links.begin()), std::make_move_iterator(links.end()));
            files = PlainFilesOf(std::move(files), [this] { ReportProgress(); });
        }
    }
    if (KeepVerifiedTree && tree) verifiedTree_ = files;
    return files;
}

std::vector<std::string> TForm1::ListUnlisted() {
    if (IsCreateMode || ListPath.empty()) return {};
    const std::string folder = ExtractFilePath(ListPath);
    const std::function<void()> pace = [this] { ReportProgress(); };
    const auto unlisted = [&](const std::vector<FolderEntry>& files) {
        std::vector<std::string> names = UnlistedFiles(EntryTable, EntryCount, folder, ListPath, files, pace);
        // What a list of this kind leaves out is no unlisted file: the rule create and update follow.
        const bool digestList = Dialect == ListDialect::ldDigest;
        std::erase_if(names, [&](const std::string& name) {
            return LeftOutOfList(name, false, digestList) != LeftOutBy::Nothing;
        });
        return names;
    };
    // The verification's own walk, with what it passed over.
    if (KeepVerifiedTree && verifiedTree_) return unlisted(*verifiedTree_);
    PassedOverPaths.clear();
    // Names only: which files there are is all that is asked of the disk, and UnlistedFiles leaves out
    // what is no plain file and puts the few it keeps in order.
    if (!VerifyTree && !ListNamesSubFolders()) return unlisted(ListingPaced(fs, folder, pace, true));
    // Most of the tree's files are those the list names.
    const auto expected = static_cast<std::size_t>(std::max(EntryCount, 0));
    FolderTree found = ListTree(fs, folder, pace, nullptr, true, expected + expected / 8 + 64);
    for (PassedOver& p : found.Unreadable)
        PassedOverPaths.push_back({std::move(p.Path), std::move(p.Reason), true});
    return unlisted(found.Files);
}

bool TForm1::PassOverUnreadable(const IoError& e, const std::string& name) {
    std::string reason = e.what();
    if (!e.Reason().empty()) reason += ": " + e.Reason();
    // A name the system refuses (on Windows: AUX.txt, a name ending in a blank) is no failure of the disk:
    // such a file is passed over and named whether or not the command goes past unreadable files, as a
    // sub-folder that cannot be listed is.
    if (!KeepGoing.Checked() && !IsInvalidName(e)) {
        // The error box that ends the command shows the runtime's text alone: the file is named here.
        Status.SetCaption(UnreadableHead + name + " (" + reason + ")");
        return false;
    }
    PassedOverPaths.push_back({name, std::move(reason), false, !IsNotFound(e)});
    return true;
}

void TForm1::ShowPassedOver() {
    if (PassedOverPaths.empty()) return;
    const TPassedOver& first = PassedOverPaths.front();
    std::string text =
        (first.IsFolder ? FolderPassedOver : first.Unreadable ? UnreadablePassedOver : FilePassedOver) + first.Path;
    if (PassedOverPaths.size() > 1) text += AndMore + std::to_string(PassedOverPaths.size() - 1) + Items;
    Status.SetCaption(text);
}

// A dialog, not rows: the unlisted files never enter the table, the counters or anything written.
void TForm1::UnlistedCmdClick() {
    if (IsCreateMode || ListPath.empty()) return;
    const BusyCursor hourglass(ui);
    const std::vector<std::string> names = ListUnlisted();
    ShowPassedOver();
    if (names.empty()) {
        ui.ShowMessage(NoUnlisted);
        return;
    }
    // Appended piece by piece: GCC 12 at -O3 sees a false overlap in a literal + string chain.
    std::string text = UnlistedHead;
    text.append(std::to_string(names.size())).append(Items).append("\n");
    for (std::size_t k = 0; k < names.size() && k < UnlistedShown; ++k)
        text.append("\n＋ ").append(names[k]);
    if (names.size() > UnlistedShown)
        text.append("\n").append(AndMore).append(std::to_string(names.size() - UnlistedShown)).append(Items);
    ui.ShowMessage(text);
}

} // namespace tv
