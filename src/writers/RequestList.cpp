// The request list: the ticked rows of the loaded list (typically the entries still missing) written
// as a new list beside it, which then becomes the current list. It keeps the list's own form: SFV or
// CSV for a CRC-32 list; for a digest list its lines with each entry's digest, tag lines when the list
// was read from tag lines.
#include "app/TallyvaultMain.h"
#include "platform/Paths.h"
#include "writers/ListFormat.h"
#include "writers/WriterTexts.h"

namespace tv {

namespace wt = writertexts;

void TForm1::MakeRequestCmdClick() {
    if (IsCreateMode) return;
    bool anyTicked = false;
    for (const TListItem& row : CrcList.Items())
        anyTicked = anyTicked || row.Checked;
    if (!anyTicked) {
        Status.SetCaption(wt::NothingTicked);
        return;
    }
    std::optional<std::string> chosen = ui.SaveFileDialog(wt::SaveTitle, KindFilterOf(ListAlgorithm),
                                                          ProposedRequestPath(ListPath, ListAlgorithm), BaseFolder);
    if (!chosen) return;
    const std::string path = *chosen;
    // A request list is written in the encoding of the list it was made from; one made from a UTF-16
    // list is written in UTF-8.
    if (WriteChosenList(path, WrittenEncoding(Encoding), ListTagged)) {
        ListPath = path;
        LoadList();
        Status.SetCaption(wt::RequestWritten + path);
    } else {
        Status.SetCaption(wt::SaveFailed + ExtractFileName(path));
    }
}

} // namespace tv
