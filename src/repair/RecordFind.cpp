// The rule by which a found file is recorded, shared by the complement search and dropped files, and
// the run state both keep while they match files.
#include "app/TallyvaultMain.h"
#include "platform/Paths.h"
#include "repair/RepairRun.h"

namespace tv {

std::int32_t TForm1::TRepairRun::Find(FileSystem& files, const std::string& path,
                                      std::optional<std::int64_t> knownSize) {
    try {
        return Index.Find(files, path, knownSize);
    } catch (const IoError& e) {
        Note(e, path);
        return -1;
    }
}

void TForm1::TRepairRun::Note(const IoError& e, const std::string& path) {
    if (Unreadable++ == 0) FirstError = std::string(e.what()) + ": " + path;
}

void TForm1::TRepairRun::Report(Ui& errorBox) const {
    if (Unreadable == 0) return;
    std::string text = FirstError;
    if (Unreadable > 1) text += " (+" + std::to_string(Unreadable - 1) + ")";
    errorBox.ShowError(text);
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

bool TForm1::RecordFind(std::int32_t i, const std::string& path, bool& autoDelete, bool& skipAll) {
    TCrcTable& e = EntryTable[i];
    auto newFind = [&] {
        e.Found = true;
        if (ListHasSizes) e.SizeMatched = true;
        // An own file that failed its check is no longer taken for the entry's file: the row shows the
        // find, and the rename parks the failing file before it brings the found one in.
        e.Exists = false;
        e.SameFile = path;
        return true;
    };
    if (!ContentFound(e, ListHasSizes)) return newFind();
    const std::string kept = e.Exists ? EntryPath(i) : e.SameFile;
    // The copy known so far has gone since it was found: this file takes its place rather than being
    // deleted as the duplicate of nothing.
    if (kept.empty() || !fs.FileExists(kept)) return newFind();
    // The known copy met again (under another spelling of its path, or through a link) is no duplicate.
    if (SamePlace(kept, path)) return false;
    HandleDuplicate(kept, path, autoDelete, skipAll);
    return false;
}

} // namespace tv
