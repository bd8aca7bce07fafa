// Create mode: the switch between the modes, the folder scan that lists a folder's files with their
// sizes and CRCs (or the digests of the kind of list chosen before the scan), and the command that
// writes the ticked files as a new SFV, CSV or digest list.
#include "app/TallyvaultMain.h"
#include "core/FileCrc32.h"
#include "core/FileDigest.h"
#include "core/Ordering.h"
#include "platform/Paths.h"
#include "core/KeyAhead.h"
#include "readers/DigestLines.h"
#include "readers/Par2List.h"
#include "writers/LeftOut.h"
#include "writers/ListFormat.h"
#include "writers/WriterTexts.h"

#include <limits>

namespace tv {

namespace wt = writertexts;

namespace {

// Files the check button leaves unticked: what the list leaves out (LeftOutOfList), and names the list's
// own reader could not read back. An SFV or CSV list cannot hold a name with a line break; nor a name with a
// "\", which a list reader takes for a folder separator; nor one starting with ";", whose entry line would
// read as a comment; nor, in SFV, one that starts or ends with a blank, which its lines lose. A digest line
// escapes the first two and starts with its digest, so a digest list takes those names. A BLAKE3 list
// leaves out names holding a CR: b3sum's checker knows no "\r" escape and stops at the line.
// A file of a sub-folder is judged by its own name; a "\\" in the path is a separator only on Windows.
// A PAR2 set has nothing to protect in an empty file, and leaves it out; nor can it name a file whose "\"
// its reader would take for a folder separator.
bool LeftUnticked(const FolderEntry& e, HashAlgorithm kind, bool par2) {
    const std::string name = ExtractFileName(e.Name);
    if (name.empty()) return true;
    if (par2 && (e.Size == 0 || (PathDelim != '\\' && e.Name.find('\\') != std::string::npos))) return true;
    if (LeftOutOfList(e.Name, e.IsHidden, kind != HashAlgorithm::Crc32) != LeftOutBy::Nothing) return true;
    return !ListCanHoldName(e.Name, kind);
}

} // namespace

void TForm1::ModeButtonClick() {
    IsCreateMode = !IsCreateMode;
    const bool create = IsCreateMode;
    auto pick = [create](const wt::ModeText& t) { return std::string(create ? t.Create : t.Read); };
    OpenButton.SetHint(pick(wt::OpenHint));
    RenameButton.SetCaption(pick(wt::RenameCaption));
    RenameButton.SetHint(pick(wt::RenameHint));
    SearchButton.SetCaption(pick(wt::SearchCaption));
    SearchButton.SetHint(create ? std::string() : ComplementHint());
    ModeButton.SetCaption(pick(wt::ModeCaption));
    ModeButton.SetHint(pick(wt::ModeHint));
    ModeChangeCmd.SetCaption(pick(wt::ModeHint));
    Label2.SetCaption(pick(wt::Label2Caption));
    for (TControl* c : {&Label3, &Label4, &BadCounter, &NotingCounter})
        c->SetVisible(!create);
    GoodCounter.SetHint(pick(wt::GoodHint));
    for (TMenuItem* m : {&FileChangeCmd, &Complement, &MakeRequestCmd, &CopyComplement, &FixFolder, &AutoMove,
                         &DubbleAction, &NoteView, &UnlistedCmd, &AddNewFilesCmd})
        m->SetEnabled(!create);
    MakeCrcCmd.SetEnabled(create);
    Status.SetHint(pick(wt::StatusHint));
    Status.SetCaption(pick(wt::StatusText));

    if (!create) {
        if (!ListPath.empty() && fs.FileExists(ListPath))
            OpenListFile();
        else
            ClearList();
    } else {
        BaseFolder = ExtractFileDir(ListPath);
        if (!BaseFolder.empty() && fs.FolderExists(BaseFolder))
            ScanFolder();
        else
            ClearList();
    }
}

void TForm1::ModeChangeCmdClick() {
    ModeButtonClick();
}

void TForm1::ClearList() {
    CrcList.Clear();
    for (TControl* c : {&TotalCounter, &GoodCounter, &BadCounter, &NotingCounter})
        c->SetCaption("0");
    EntryCount = GoodCount = BadCount = MissingCount = 0;
    EndTableChange();
    ReportProgress({}, true);
}

void TForm1::ScanFolder() {
    const BusyCursor hourglass(ui);
    Caption = BaseFolder;
    EntryCount = GoodCount = BadCount = MissingCount = 0;
    Encoding = ListEncoding::Utf8; // the folder's own names: nothing to convert
    const HashAlgorithm kind = CreateAlgorithm();
    SetListAlgorithms(kind, kind);
    ListTagged = false;
    for (TControl* c : {&TotalCounter, &GoodCounter, &BadCounter, &NotingCounter})
        c->SetCaption("0");
    CrcList.Clear();
    EndTableChange();

    const std::vector<FolderEntry> entries = CreateModeListing();
    CrcList.ShowTable(EntryTable, true);
    CrcList.Reserve(entries.size());
    // Plain files only: no folders, hidden files, devices, pipes or sockets.
    auto plain = [](const FolderEntry& e) { return !e.IsFolder && !e.IsHidden && !e.IsSpecial; };
    // CRC-32 reads the listed bytes (FileCrc32), a digest the whole file as listed (FileKeyAsListed).
    AlgorithmSet hashed(kind); // of the list's own length where that may differ (BLAKE2b)
    hashed.SetBlake2bBytes(ListAlgorithms.Blake2bBytes());
    KeyAhead ahead(fs, BaseFolder, Hashing, kind == HashAlgorithm::Crc32 ? KeyRead::CrcPrefix : KeyRead::Keys, hashed);
    for (const FolderEntry& e : entries)
        if (plain(e)) Progress.Plan(1, e.Size);
    PlanWindow window(entries.size(), [&](std::size_t k) {
        if (plain(entries[k])) ahead.Plan(entries[k].Name, entries[k].Size);
    });
    const auto showTotal = [this] { TotalCounter.SetCaption(std::to_string(EntryCount)); };
    try {
        for (std::size_t k = 0; k < entries.size(); ++k) {
            window.Reach(k);
            const FolderEntry& e = entries[k];
            if (!plain(e)) continue;
            ahead.Next();
            ContentKey key;
            if (!HashScannedFile(e, kind, key)) continue;
            AppendEntry(e.Name, e.Size, key);
            // A folder's own names: a "\" in one is a character of it where it is no folder separator.
            EntryTable[EntryCount - 1].LiteralBackslash = PathDelim != '\\';
            TListItem& row = CrcList.Add(EntryCount - 1);
            row.ImageIndex = LeftUnticked(e, kind, ListKindPar2.Checked()) ? 3 : 0;
            ReportProgress(showTotal);
        }
    } catch (...) {
        // A file that cannot be read ends the scan: the counter still tells the rows so far.
        showTotal();
        throw;
    }
    showTotal();
    // The shown names once each, not once per comparison.
    std::vector<std::string> captions(static_cast<std::size_t>(EntryCount));
    for (const TListItem& row : CrcList.Items())
        captions[static_cast<std::size_t>(row.Entry)] = row.Caption();
    CrcList.Sort([&captions](const TListItem& x, const TListItem& y) {
        const std::string& a = captions[static_cast<std::size_t>(x.Entry)];
        const std::string& b = captions[static_cast<std::size_t>(y.Entry)];
        return NameBefore(a, b);
    });
    ShowPassedOver();
}

void TForm1::ShowTickedCount(std::optional<std::int32_t> known) {
    if (!IsCreateMode) return;
    std::int32_t ticked = 0;
    if (known) {
        ticked = *known;
    } else {
        for (const TListItem& row : CrcList.Items())
            ticked += row.Checked ? 1 : 0;
    }
    GoodCounter.SetCaption(std::to_string(ticked));
    // The complaint of a write tried with nothing ticked goes once something is.
    if (ticked > 0 && Status.Caption() == wt::NothingTicked)
        Status.SetCaption(wt::StatusText.Create);
}

void TForm1::FolderOpenCmdClick() {
    if (!IsCreateMode) ModeButtonClick();
    std::optional<std::string> folder = ui.ChooseFolder(wt::FolderCaption, BaseFolder);
    if (!folder) return;
    BaseFolder = *folder;
    ScanFolder();
}

void TForm1::MakeCrcCmdClick() {
    const BusyCursor hourglass(ui);
    std::int32_t ticked = 0;
    for (const TListItem& row : CrcList.Items()) {
        if (!row.Checked) continue;
        ++ticked;
        ReportProgress([&] { GoodCounter.SetCaption(std::to_string(ticked)); });
    }
    if (ticked > 0) GoodCounter.SetCaption(std::to_string(ticked));
    if (ticked == 0) {
        Status.SetCaption(wt::NothingTicked);
        return;
    }
    // The dialog opens with the kind the scan computed; a list saved as another kind has its ticked files
    // read once more for it.
    // A PAR2 set is offered first when it is the kind chosen; a name ending in .par2 writes one whatever the
    // kind, as the set reads its files itself.
    const bool par2 = ListKindPar2.Checked();
    std::string proposed = ProposedListPath(BaseFolder, ListAlgorithm);
    if (par2) proposed = proposed.substr(0, proposed.size() - ExtractFileExt(proposed).size()) + ".par2";
    std::optional<std::string> chosen = ui.SaveFileDialog(
        wt::SaveTitle, par2 ? std::string(wt::Par2SaveFilter) + "|" + SaveFilterOf(ListAlgorithm) : SaveFilterOf(ListAlgorithm),
        proposed, BaseFolder);
    if (!chosen) return;
    const std::string path = *chosen;
    if (IsPar2Name(path)) {
        if (WritePar2Set(path)) {
            ListPath = path;
            ModeButtonClick();
        }
        return;
    }
    const std::optional<HashAlgorithm> wanted = AlgorithmOfSavedList(path);
    if (wanted && !ServesKind(*wanted, false)) KeyTickedRows(*wanted);
    const ListEncoding encoding = WriteCp932.Checked() ? ListEncoding::Cp932 : ListEncoding::Utf8;
    if (WriteChosenList(path, encoding, WriteBsdTags.Checked())) {
        ListPath = path;
        ModeButtonClick();
    } else {
        Status.SetCaption(wt::SaveFailed + ExtractFileName(path));
    }
}

HashAlgorithm TForm1::CreateAlgorithm() const {
    for (std::size_t i = 0; i < HashAlgorithmCount; ++i)
        if (ListKinds[i].Checked()) return Algorithms[i].Algorithm;
    return ListKindPar2.Checked() ? HashAlgorithm::Md5 : HashAlgorithm::Crc32;
}

void TForm1::SetCreateAlgorithm(HashAlgorithm algorithm) {
    ClickListKind(ListKinds[static_cast<std::size_t>(algorithm)]);
}

void TForm1::ListKindClick() {
    if (!IsCreateMode || BaseFolder.empty() || !fs.FolderExists(BaseFolder)) return;
    if (ListAlgorithm != CreateAlgorithm()) {
        ScanFolder();
        return;
    }
    // An MD5 list and a PAR2 set read the same digests: only the rows left unticked differ.
    for (std::int32_t i = 0; i < CrcList.Count(); ++i) {
        const TCrcTable& e = EntryTable[CrcList.Item(i).Entry];
        FolderEntry file{CrcList.Item(i).FileName().str(), e.FileSize};
        CrcList.EditItem(i).ImageIndex = LeftUnticked(file, ListAlgorithm, ListKindPar2.Checked()) ? 3 : 0;
    }
}

void TForm1::KeyTickedRows(HashAlgorithm algorithm) {
    // Until every ticked row has its new key the rows show a mix: a failure empties them.
    BeginTableChange();
    for (const TListItem& row : CrcList.Items()) {
        if (!row.Checked) continue;
        const TCrcTable& e = EntryTable[row.Entry];
        const std::string path = FolderFile(BaseFolder, row.FileName());
        EntryTable.SetKey(row.Entry, algorithm == HashAlgorithm::Crc32
                                         ? ContentKey::OfCrc(FileCrc32(fs, path, e.FileSize))
                                         : FileKeyAsListed(fs, path, e.FileSize, algorithm));
        ReportProgress();
    }
    SetListAlgorithms(algorithm, algorithm);
    EndTableChange();
}

} // namespace tv
