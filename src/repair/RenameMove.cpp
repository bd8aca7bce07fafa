// Rename and move of same files: every ticked entry whose content is known only as a same file gets
// that file under its own name in the list's folder. A file in the way is parked under a free
// "<stem>_Temp<n><ext>" name first, and later entries that pointed to it follow it there, so names
// swapped within a set are put right in one pass. Afterwards the whole table is verified again.
#include "app/TallyvaultMain.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/TextEncoding.h"
#include "repair/RepairTexts.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace tv {

namespace {

// A list name that must never become a target: it leads out of the list's folder, or names no file
// (empty, ending in a separator, "." / ".." as its last part, or holding a NUL byte, which no file
// name can), or is not text in the file system's encoding (UTF-8): bytes of a CP932 list that did
// not convert would give the file a name no other program shows, and their "\" bytes may be halves
// of characters, which must never become folders.
bool UnsafeTargetName(const TCrcTable& e) {
    const std::string& listName = e.FileName;
    if (e.ByListBytes || !IsValidUtf8(listName)) return true;
    if (NameEscapesFolder(listName) || listName.find('\0') != std::string::npos) return true;
    const std::string native = NativeName(listName);
    const std::string last = ExtractFileName(native);
    return last.empty() || last == "." || last == "..";
}

// The folders between the list's folder and the target that do not exist yet are made, so that an
// entry in a missing subfolder can be brought back. The name has been checked to stay inside.
void MakeTargetFolders(FileSystem& fs, const std::string& baseFolder, const std::string& nativeName) {
    std::size_t pos = 0;
    while ((pos = nativeName.find('/', pos)) != std::string::npos) {
        const std::string folder = JoinPath(baseFolder, nativeName.substr(0, pos));
        if (!fs.FolderExists(folder)) fs.CreateFolder(folder);
        ++pos;
    }
}

void Rename(FileSystem& fs, const std::string& from, const std::string& to) {
    if (fs.RenameFile(from, to)) return;
    throw IoError(fs.FileExists(from) ? "File access denied" : "File not found");
}

// Later entries that point to a path, by the path without regard to letter case.
class SameFileIndex {
public:
    SameFileIndex(const TEntryTable& t, std::int32_t n) {
        for (std::int32_t j = 0; j < n; ++j)
            if (!t[j].SameFile.empty()) byPath_[UpperAscii(t[j].SameFile)].push_back(j);
    }
    // Entries after i whose same file was `from` now find it at `to`.
    void Redirect(TEntryTable& t, std::int32_t i, const std::string& from, const std::string& to) {
        auto it = byPath_.find(UpperAscii(from));
        if (it == byPath_.end()) return;
        std::vector<std::int32_t> stay, moved;
        for (std::int32_t j : it->second)
            (j > i ? moved : stay).push_back(j);
        if (moved.empty()) return;
        it->second = std::move(stay);
        for (std::int32_t j : moved)
            t[j].SameFile = to;
        auto& dest = byPath_[UpperAscii(to)];
        dest.insert(dest.end(), moved.begin(), moved.end());
    }

private:
    std::unordered_map<std::string, std::vector<std::int32_t>> byPath_;
};

} // namespace

void TForm1::RenameButtonClick() {
    if (IsCreateMode)
        MakeCrcCmdClick();
    else
        FileChangeCmdClick();
}

void TForm1::FileChangeCmdClick() {
    if (SearchActive) return; // the walk's table is in lookup order until it ends
    struct Hourglass {
        Ui& ui;
        explicit Hourglass(Ui& u) : ui(u) { ui.SetBusyCursor(true); }
        ~Hourglass() { ui.SetBusyCursor(false); }
    } hourglass(ui);
    const std::string listName = ExtractFileName(ListPath);
    Status.SetCaption(texts::RenameStart + listName);

    std::int32_t parking = 1;
    std::int32_t passedOver = 0;
    if (EntryCount > 0) {
        SameFileIndex pointers(EntryTable, EntryCount);
        const std::int32_t rows = std::min(CrcList.Count(), EntryCount);
        try {
            for (std::int32_t i = 0; i < rows; ++i) {
                TCrcTable& e = EntryTable[i];
                if (!CrcList.Checked(i) || !e.Found || e.Exists) continue;
                if (UnsafeTargetName(e)) {
                    ++passedOver;
                    continue;
                }
                const std::string target = JoinPath(BaseFolder, e.FileName);
                // A same file that is already the target itself needs nothing (nor could it be parked).
                if (e.SameFile.empty() || SamePlace(e.SameFile, target)) continue;
                if (fs.FileExists(target)) {
                    const std::string native = NativeName(e.FileName);
                    const std::string ext = ExtractFileExt(native);
                    const std::string stem = native.substr(0, native.size() - ext.size());
                    auto parkingName = [&] {
                        return JoinPath(BaseFolder, stem + "_Temp" + std::to_string(parking) + ext);
                    };
                    while (fs.FileExists(parkingName()) || fs.FolderExists(parkingName()))
                        ++parking;
                    const std::string parked = parkingName();
                    Rename(fs, target, parked);
                    pointers.Redirect(EntryTable, i, target, parked);
                    ui.ProcessMessages();
                }
                MakeTargetFolders(fs, BaseFolder, NativeName(e.FileName));
                if (!SamePlace(ExtractFileDir(e.SameFile), BaseFolder) && CopyComplement.Checked())
                    fs.CopyFile(e.SameFile, target); // a failed copy shows as missing after the verification
                else
                    Rename(fs, e.SameFile, target);
            }
        } catch (const IoError&) {
            // What was done stays done; the table and the rows are brought in line with the disk before
            // the error is shown, so a second run does not act on paths that have moved.
            VerifyEntries();
            CheckCycle = 1;
            CheckButtonClick();
            throw;
        }
        VerifyEntries();
    }
    CheckCycle = 1;
    CheckButtonClick();
    Status.SetCaption(texts::RenameEnd + listName);
    if (passedOver > 0) ui.ShowMessage(texts::OutsideNamesHead + std::to_string(passedOver) + texts::OutsideNamesTail);
}

} // namespace tv
