// What happens to a second file with an entry's content: left, asked about, or deleted (for good or
// to the trash), as the duplicate options say.
#include "app/TallyvaultMain.h"
#include "core/FileCompare.h"
#include "platform/Errors.h"
#include "platform/Paths.h"

namespace tv {

void TForm1::HandleDuplicate(const std::string& kept, const std::string& duplicate, bool& autoDelete, bool& skipAll) {
    // A file is never its own duplicate: deleting it would lose the only copy.
    if (SameFileName(kept, duplicate)) return;
    if (!TrueSecondCopy(kept, duplicate)) return;
    // A file whose CRC matches but whose bytes differ is no duplicate: it is neither offered nor deleted.
    if (!FilesIdentical(fs, kept, duplicate)) return;
    const FileIdentity seen = fs.Identify(duplicate);
    auto remove = [&] {
        try {
            if (TashUse.Checked()) {
                if (!fs.Identify(duplicate).SameObject(seen)) throw IoError("File not found", "the file has changed");
                fs.MoveToTrash(duplicate);
            } else {
                // Only the file that was compared goes, never what a link swapped in since points to.
                fs.DeleteBeneath(ExtractFileDir(duplicate), ExtractFileName(duplicate), seen);
            }
            if (DuplicateDeleted) DuplicateDeleted(duplicate, kept);
        } catch (const IoError& e) {
            std::string text = std::string(e.what()) + ": " + duplicate;
            if (!e.Reason().empty()) text += " (" + e.Reason() + ")";
            ui.ShowError(text);
        }
    };
    if (autoDelete) {
        remove();
        return;
    }
    if (skipAll) return;
    ui.BringToFront();
    const std::string text = "重複ファイル検出\r\r" + kept + "と\r" + duplicate + "は同じファイルです。\r" +
                             "重複ファイルを削除してもよろしいですか？";
    switch (ui.AskDuplicate(text)) {
    case DuplicateAnswer::Yes:
        remove();
        break;
    case DuplicateAnswer::NoToAll:
        skipAll = true;
        break;
    case DuplicateAnswer::YesToAll:
        remove();
        autoDelete = true;
        break;
    case DuplicateAnswer::No:
    case DuplicateAnswer::Closed:
        break;
    }
}

void TForm1::MoveToRecycleBin(const std::string& path) {
    fs.MoveToTrash(path);
}

bool TForm1::TrueSecondCopy(const std::string& kept, const std::string& duplicate) {
    // The list file is never deleted, whatever it matches.
    if (SamePlace(duplicate, ListPath)) return false;
    // Both must be plain files in their own right: a link is never the kept copy of anything, and a link
    // as the duplicate is no second copy.
    const FileIdentity k = fs.Identify(kept), d = fs.Identify(duplicate);
    if (!k.IsFile || !d.IsFile) return false;
    // One object under two names (a hard link, a bind mount, a folder reached through a link) is one copy.
    if (k.SameObject(d) || fs.Identify(kept, true).SameObject(fs.Identify(duplicate, true))) return false;
    return !fs.SameObject(kept, duplicate);
}

} // namespace tv
