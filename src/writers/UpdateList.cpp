// Adding new files to a list: the files of its folder (or tree) that it does not name are read once
// with its algorithm and put after its own entries, which stay as they are, unread. The list is written
// again in its own form through the replacing write, so a failure leaves it as it was.
#include "app/TallyvaultMain.h"
#include "core/EntryNames.h"
#include "core/FileCrc32.h"
#include "core/FileDigest.h"
#include "core/KeyAhead.h"
#include "platform/Errors.h"
#include "platform/NameRules.h"
#include "platform/Paths.h"
#include "platform/ReplacingFile.h"
#include "readers/Texts.h"
#include "writers/ListFormat.h"
#include "writers/ListUpdate.h"
#include "writers/WriterTexts.h"

#include <algorithm>
#include <map>
#include <optional>

namespace tv {

namespace wt = writertexts;

namespace {

// The list's text: its bytes, or for a UTF-16 list its text in UTF-8, which starts with a byte order mark
// only for a CSV list (`csv`), where spreadsheet programs look for it: the checkers of SFV and digest
// lists (cksfv, coreutils) take a mark for part of the first line and cannot read it. Our readers know
// UTF-8 without the mark, as text that is valid UTF-8 throughout.
std::string ReadListText(FileSystem& fs, const std::string& path, ListEncoding encoding, bool csv) {
    std::string bytes;
    {
        const std::unique_ptr<InputFile> in = fs.OpenRead(path);
        // Room for it all at once: a list of a hundred thousand entries is megabytes.
        if (const std::int64_t length = in->Length(); length > 0) bytes.reserve(static_cast<std::size_t>(length));
        char block[1 << 16];
        while (const std::size_t n = in->Read(block, sizeof block))
            bytes.append(block, n);
    }
    if (encoding != ListEncoding::Utf16Le && encoding != ListEncoding::Utf16Be) return bytes;
    std::optional<std::string> text =
        bytes.size() >= 2 ? Utf16ToUtf8(std::string_view(bytes).substr(2), encoding == ListEncoding::Utf16Be)
                          : std::nullopt;
    if (!text) throw IoError("Invalid UTF-16 text", "the list holds bytes that are no UTF-16 text", {}, path);
    return csv ? "\xEF\xBB\xBF" + *text : std::move(*text);
}

bool IsUtf16(ListEncoding e) {
    return e == ListEncoding::Utf16Le || e == ListEncoding::Utf16Be;
}

// Whether the list still holds `text` (ReadListText's answer before): compared block by block as it is
// read, without a second copy of a list of megabytes.
bool ListStillHolds(FileSystem& fs, const std::string& path, ListEncoding encoding, bool csv, std::string_view text) {
    if (IsUtf16(encoding)) return ReadListText(fs, path, encoding, csv) == text;
    const std::unique_ptr<InputFile> in = fs.OpenRead(path);
    char block[1 << 16];
    std::size_t at = 0;
    while (const std::size_t n = in->Read(block, sizeof block)) {
        if (n > text.size() - at || text.compare(at, n, std::string_view(block, n)) != 0) return false;
        at += n;
    }
    return at == text.size();
}

struct Candidate {
    std::size_t Index; // in the names found
    std::int64_t Size;
    ContentKey Key;
    std::string Time;
    bool Dropped = false;
};

} // namespace

std::string TForm1::UpdateRefusal() const {
    if (IsCreateMode || ListPath.empty()) return "no list is loaded";
    if (EntryCount == 0) return "the list holds no entry that could be read, so its kind is not known; make it with create";
    if (UnreadLineCount > 0 || ReadErrorText != texts::ReadEnd + ExtractFileName(ListPath))
        return "the list was not read to its end; entries added after it would not be read either";
    switch (Dialect) {
    case ListDialect::ldQuickSfv:
    case ListDialect::ldStrictSfv:
    case ListDialect::ldPlainSfv:
    case ListDialect::ldCsv:
    case ListDialect::ldDigest: return {};
    case ListDialect::ldUnknown:
        if (UpperAscii(ExtractFileExt(ListPath)) != ".CRC") return {};
        [[fallthrough]];
    case ListDialect::ldRulerTable: return "a ruler table (.CRC) is not a kind of list this program writes";
    case ListDialect::ldCrc1632: return "a CRC1632 text is not a kind of list this program writes";
    // Its recovery blocks are computed over all its files: a new file means a new set.
    case ListDialect::ldPar2: return "a PAR2 set cannot take new files; make it again with create";
    case ListDialect::ldSfv32:
    case ListDialect::ldEasySfv:
    case ListDialect::ldCrcEx: return "this SFV's comment layout is not one this program writes";
    }
    return "unknown kind of list";
}

TForm1::TNewFiles TForm1::FindNewFiles() {
    TNewFiles found;
    found.ListText = ReadListText(fs, ListPath, Encoding, Dialect == ListDialect::ldCsv);
    found.WasUtf16 = IsUtf16(Encoding);
    const std::string folder = ExtractFileDir(ListPath);
    const FileIdentity list = fs.Identify(ListPath, true);
    // A link to the list, or a second name of it: its entry would hold the list as it was before. A file
    // gone meanwhile is not the list; its reading names it.
    const auto isList = [&](const std::string& name) {
        try {
            return fs.Identify(FolderFile(folder, name), true).SameObject(list);
        } catch (const IoError&) {
            return false;
        }
    };
    for (std::string& name : ListUnlisted()) {
        const char* why = nullptr;
        if (isList(name))
            why = wt::ListItself;
        else if (!NameFitsListLine(name))
            why = wt::LineBreakInName;
        else if (!ListCanHoldName(name, Dialect == ListDialect::ldDigest ? ListAlgorithm : HashAlgorithm::Crc32))
            why = wt::NotReadBack;
        else if (!NameInEncoding(name, Encoding))
            why = Encoding == ListEncoding::Cp932 ? wt::NotInCp932 : wt::NotInUtf8;
        if (why)
            found.Refused.push_back({std::move(name), why});
        else
            found.Names.push_back(std::move(name));
        ReportProgress();
    }
    return found;
}

void TForm1::AddNewFiles(TNewFiles& found, bool dryRun) {
    const HashAlgorithm kind = ListAlgorithm;
    const UpdateForm form = Dialect == ListDialect::ldCsv      ? UpdateForm::Csv
                            : Dialect != ListDialect::ldDigest ? UpdateForm::Sfv
                            : ListTagged                       ? UpdateForm::DigestBsd
                                                               : UpdateForm::DigestGnu;
    const std::string folder = ExtractFileDir(ListPath);
    std::vector<Candidate> read;
    read.reserve(found.Names.size());
    std::vector<std::int64_t> sizes;
    for (const std::string& name : found.Names) {
        // A file gone since the listing counts nothing here; its reading below names it.
        try {
            sizes.push_back(fs.FileLength(FolderFile(folder, name)));
        } catch (const IoError& x) {
            // A name the system refuses is passed over by the reading below, as a vanished one is.
            if (!IsNotFound(x) && !IsInvalidName(x)) throw;
            sizes.push_back(0);
        }
        Progress.Plan(1, sizes.back());
        ReportProgress();
    }
    // With hashing workers the new files are hashed ahead, in the order they are read here.
    std::optional<KeyAhead> ahead;
    if (Hashing.Count() > 1) {
        AlgorithmSet hashed(kind); // of the list's own length where that may differ (BLAKE2b)
        hashed.SetBlake2bBytes(ListAlgorithms.Blake2bBytes());
        ahead.emplace(fs, BaseFolder, Hashing, kind == HashAlgorithm::Crc32 ? KeyRead::CrcPrefix : KeyRead::Keys, hashed);
        for (std::size_t k = 0; k < found.Names.size(); ++k)
            ahead->Plan(found.Names[k], sizes[k]);
    }
    for (std::size_t k = 0; k < found.Names.size(); ++k) {
        if (ahead) ahead->Next();
        FolderEntry e;
        e.Name = found.Names[k];
        e.Size = sizes[k];
        Candidate c{k, e.Size, {}, {}};
        // A file gone since the listing is named in PassedOverPaths and left out.
        if (!HashScannedFile(e, kind, c.Key)) continue;
        if (form == UpdateForm::Sfv)
            c.Time = DosTimeField(fs.LastWriteTime(FolderFile(folder, e.Name))).value_or(wt::NoFileTime);
        read.push_back(std::move(c));
        ReportProgress();
    }

    // A file with the content of a listed entry whose own file is missing or differs is that entry's
    // content found under another name, as the verification finds it: no new file.
    std::vector<Candidate*> byKey;
    for (Candidate& c : read)
        byKey.push_back(&c);
    const auto keyLess = [](const Candidate* a, const Candidate* b) { return a->Key.View() < b->Key.View(); };
    std::sort(byKey.begin(), byKey.end(), keyLess);
    std::map<std::int32_t, bool> ownCarries;
    for (std::int32_t i = 0; i < EntryCount && !byKey.empty(); ++i) {
        Candidate probe{0, 0, EntryTable.KeyOf(i), {}};
        if (probe.Key.Algorithm != kind) continue;
        const auto [from, to] = std::equal_range(byKey.begin(), byKey.end(), &probe, keyLess);
        for (auto it = from; it != to; ++it) {
            Candidate& c = **it;
            const TCrcTable& entry = EntryTable[i];
            if (ListHasSizes && entry.FileSize != NoSize && entry.FileSize != c.Size) continue;
            if (!ownCarries.count(i)) {
                const std::string own = EntryPath(i);
                bool carries = fs.FileExists(own);
                if (carries) {
                    const std::int64_t size = fs.FileLength(own);
                    carries = (kind == HashAlgorithm::Crc32 ? ContentKey::OfCrc(FileCrc32(fs, own, size))
                                                           : FileKeyAsListed(fs, own, size, kind, ListAlgorithms.BytesOf(kind))) == probe.Key;
                }
                ownCarries[i] = carries;
            }
            if (ownCarries[i] || c.Dropped) continue;
            c.Dropped = true;
            found.Refused.push_back({found.Names[c.Index], wt::ContentOfEntry + entry.FileName.str()});
        }
        ReportProgress();
    }

    // An SFV or CSV list whose names separate their folders with "\" alone (made on Windows) gets its new
    // names in that spelling too, not a list of two spellings. Such a list holds no "\" inside a name.
    bool backslashes = false;
    if (Dialect != ListDialect::ldDigest) {
        bool slashes = false;
        for (std::int32_t i = 0; i < EntryCount && !slashes; ++i) {
            const std::string_view entry = EntryTable[i].FileName;
            slashes = entry.find('/') != std::string_view::npos;
            backslashes = backslashes || entry.find('\\') != std::string_view::npos;
        }
        backslashes = backslashes && !slashes;
    }
    std::vector<AddedEntry> added;
    std::vector<std::string> names;
    for (Candidate& c : read) {
        if (c.Dropped) continue;
        std::string& name = found.Names[c.Index];
        // Digest lines escape a "\" that is part of a name; where "\" separates folders it stays.
        const bool escape = PathDelim != '\\' || name.find('\\') == std::string::npos;
        std::string written = *NameInEncoding(name, Encoding);
        if (backslashes) std::replace(written.begin(), written.end(), '/', '\\');
        added.push_back({std::move(written), c.Size, c.Key, std::move(c.Time), escape});
        names.push_back(std::move(name));
    }
    found.Names = std::move(names);
    if (dryRun || added.empty()) return;

    // The lock first, then the list once more: a list changed meanwhile by another writer is not
    // written over with the text read before.
    const Unstoppable written(*this);
    ReplacingFile file(fs, ListPath);
    if (!ListStillHolds(fs, ListPath, Encoding, Dialect == ListDialect::ldCsv, found.ListText))
        throw IoError(wt::ListChanged, "the list was changed by another program", {}, ListPath);
    WithNewEntries(found.ListText, form, added).Each(found.ListText, [&](std::string_view piece) { file.Write(piece); });
    file.Commit();
    if (found.WasUtf16) Encoding = ListEncoding::Utf8;
}

void TForm1::AddNewFilesCmdClick() {
    if (IsCreateMode || ListPath.empty()) return;
    if (const std::string refused = UpdateRefusal(); !refused.empty()) {
        ui.ShowMessage(wt::CannotAdd + refused);
        return;
    }
    TNewFiles found;
    {
        const BusyCursor hourglass(ui);
        found = FindNewFiles();
    }
    ShowPassedOver();
    std::string notAdded;
    const auto noteRefused = [&] {
        if (found.Refused.empty()) return;
        notAdded.append("\n\n").append(wt::NotAddedHead);
        for (const TRefusedName& r : found.Refused)
            notAdded.append("\n").append(r.Name).append(" (").append(r.Reason).append(")");
    };
    if (found.Names.empty()) {
        noteRefused();
        ui.ShowMessage(wt::NothingNew + notAdded);
        return;
    }
    if (!ui.AskConfirm(wt::AskAddHead + std::to_string(found.Names.size()) + wt::AskAddTail)) return;
    {
        const BusyCursor hourglass(ui);
        AddNewFiles(found);
    }
    ShowPassedOver();
    noteRefused();
    if (found.Names.empty()) {
        ui.ShowMessage(wt::NothingNew + notAdded);
        return;
    }
    std::string text = wt::AddedHead + std::to_string(found.Names.size()) + wt::AddedTail;
    if (found.WasUtf16) text.append("\n").append(wt::NowUtf8);
    // The list as it now stands, read and checked again.
    LoadList();
    ui.ShowMessage(text + notAdded);
}

} // namespace tv
