// The rule by which a found file is recorded, shared by the complement search and dropped files, and
// the run state both keep while they match files.
#include "app/TallyvaultMain.h"
#include "platform/Paths.h"
#include "repair/RepairRun.h"

namespace tv {

std::vector<std::int32_t> TForm1::TRepairRun::Find(FileSystem& files, const std::string& path,
                                                   std::optional<std::int64_t> knownSize) {
    try {
        return Index.Find(files, path, knownSize);
    } catch (const IoError& e) {
        Note(e, path);
        return {};
    }
}

bool TForm1::TRepairRun::Listed(const std::string& path) const {
    if (!Names) return false;
    std::string folder = BaseFolder;
    if (folder.empty()) return false;
    if (!IsPathDelim(folder.back())) folder += '/';
    if (path.size() <= folder.size() || !SameText(path.substr(0, folder.size()), folder)) return false;
    return !Names->Named(path.substr(folder.size())).empty();
}

void TForm1::TRepairRun::Note(const IoError& e, const std::string& path) {
    if (Unreadable++ != 0) return;
    FirstError = std::string(e.what()) + ": " + path;
    FirstCause = e.Reason().empty() ? std::string() : path + ": " + e.Reason();
}

void TForm1::TRepairRun::Report(Ui& errorBox) const {
    if (Unreadable == 0) return;
    std::string text = FirstError;
    if (Unreadable > 1) text += " (+" + std::to_string(Unreadable - 1) + ")";
    errorBox.ShowError(text);
    errorBox.ShowErrorCause(FirstCause);
}

bool TForm1::SamePlace(const std::string& a, const std::string& b) {
    auto trimmed = [](std::string s) {
        while (s.size() > 1 && IsPathDelim(s.back()) && !(s.size() == 3 && s[1] == ':'))
            s.pop_back();
        return s;
    };
    const std::string x = trimmed(a), y = trimmed(b);
    return SameFileName(x, y) || fs.SameObject(x, y);
}

std::int32_t TForm1::RecordFind(const std::vector<std::int32_t>& found, const std::string& path, bool& autoDelete,
                                bool& skipAll) {
    std::int32_t finds = 0;
    for (std::int32_t i : found) {
        TCrcTable& e = EntryTable[i];
        const std::string kept = e.Exists ? EntryPath(i) : e.SameFile;
        // Not found yet, or the copy known so far has gone since it was found: this file takes its place
        // rather than being deleted as the duplicate of nothing. One file may serve several entries.
        if (ContentFound(e, ListHasSizes) && !kept.empty() && fs.FileExists(kept)) continue;
        e.Found = true;
        if (ListHasSizes) e.SizeMatched = true;
        // An own file that failed its check is no longer taken for the entry's file: the row shows the
        // find, and the rename parks the failing file before it brings the found one in.
        e.Exists = false;
        e.SameFile = path;
        ++finds;
    }
    if (finds > 0 || found.empty()) return finds;
    // A file an entry names is that entry's file, never a duplicate of another's.
    if (RepairRun && RepairRun->Listed(path)) return 0;
    std::string kept;
    for (std::int32_t i : found) {
        const std::string known = EntryTable[i].Exists ? EntryPath(i) : EntryTable[i].SameFile;
        // The known copy met again (under another spelling of its path, or through a link) is no duplicate.
        if (SamePlace(known, path)) return 0;
        if (kept.empty()) kept = known;
    }
    HandleDuplicate(kept, path, autoDelete, skipAll);
    return 0;
}

} // namespace tv
