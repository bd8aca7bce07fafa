// What happens to a second file with an entry's content: left, asked about, or deleted (for good or
// to the trash), as the duplicate options say.
#include "app/TallyvaultMain.h"
#include "core/FileCompare.h"
#include "platform/Paths.h"

namespace tv {

void TForm1::HandleDuplicate(const std::string& kept, const std::string& duplicate, bool& autoDelete,
                             bool& skipAll) {
    // A file is never its own duplicate: deleting it would lose the only copy.
    if (SameText(kept, duplicate)) return;
    // A file whose CRC matches but whose bytes differ is no duplicate: it is neither offered nor deleted.
    if (!FilesIdentical(fs, kept, duplicate)) return;
    auto remove = [&] {
        if (TashUse.Checked())
            MoveToRecycleBin(duplicate);
        else
            fs.DeleteFile(duplicate);
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
    case DuplicateAnswer::Yes: remove(); break;
    case DuplicateAnswer::NoToAll: skipAll = true; break;
    case DuplicateAnswer::YesToAll:
        remove();
        autoDelete = true;
        break;
    case DuplicateAnswer::No:
    case DuplicateAnswer::Closed: break;
    }
}

void TForm1::MoveToRecycleBin(const std::string& path) { fs.MoveToTrash(path); }

} // namespace tv
