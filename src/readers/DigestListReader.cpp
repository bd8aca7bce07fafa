// Digest lists (MD5, SHA-1, SHA-2, BLAKE2b, BLAKE3) as md5sum, sha*sum, b2sum, b3sum, RHash and the BSD
// tools write them, one file a line in GNU form or as a BSD tag (the line forms are in readers/DigestLines.h):
//     e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855  photos/holiday 01.jpg
//     SHA256 (photos/holiday 01.jpg) = e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855
// Each entry keeps its own algorithm: a list whose lines name several is checked line by line.
#include "core/EntryNames.h"
#include "core/FileDigest.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "readers/Dialects.h"
#include "readers/DigestLines.h"
#include "readers/Texts.h"

namespace tv {

namespace {

// Recognition by content reads no further than this many lines for the first entry line.
constexpr int LinesToRecognise = 64;

bool CommentOrBlank(std::string_view line) {
    const std::size_t at = line.find_first_not_of(" \t\r");
    return at == std::string_view::npos || line[at] == '#' || line[at] == ';';
}

// Settles what the digests of `byLength` (entries whose algorithm only their hex length gave) stand for:
// 64 digits are SHA-256 or BLAKE3, 128 SHA-512 or BLAKE2b. The first of them whose file exists decides by
// the algorithm its content matches; with none there the length's own algorithm stays. A file that
// matches neither (changed since) decides nothing: the next one present is read, up to a few.
void SettleSharedLengths(FileSystem& fs, TEntryTable& table, const std::string& folder,
                         const std::vector<std::int32_t>& byLength) {
    constexpr int MostFilesRead = 8;
    for (const HashAlgorithm base : {HashAlgorithm::Sha256, HashAlgorithm::Sha512}) {
        const HashAlgorithm other = *OtherOfHexLength(base);
        int filesRead = 0;
        for (const std::int32_t i : byLength) {
            if (table.AlgorithmOf(table[i]) != base) continue;
            const std::string path = EntryFullPath(folder, table[i]);
            const FileIdentity id = fs.Identify(path, true);
            if (!id.IsFile) continue;
            AlgorithmSet both(base);
            both.Add(other);
            if (filesRead++ == MostFilesRead) break;
            FileKeys keys;
            try {
                keys = FileKeysAsListed(fs, path, id.Size, both);
            } catch (const IoError&) {
                continue; // an unreadable file decides nothing either
            }
            // The listed bytes against each algorithm's, the listed algorithm aside.
            const ContentKey listed = table.KeyOf(table[i]);
            if (keys.Of(base).View() == listed.View()) break;
            if (keys.Of(other).View() != listed.View()) continue;
            for (const std::int32_t j : byLength)
                if (table.AlgorithmOf(table[j]) == base) table.Reinterpret(j, other);
            break;
        }
    }
}

} // namespace

bool LooksLikeDigestListFile(FileSystem& fs, const std::string& path) {
    TextLineReader reader(fs, path);
    for (int n = 0; n < LinesToRecognise && !reader.Eof(); ++n) {
        const std::string line = reader.ReadLine();
        if (CommentOrBlank(line)) continue;
        return LooksLikeDigestList(line);
    }
    return false;
}

bool MayHoldDigestsByContent(const std::string& path) {
    const std::string ext = UpperAscii(ExtractFileExt(path));
    return ext.empty() || ext == ".TXT";
}

bool AcceptedAsDigestList(FileSystem& fs, const std::string& path) {
    if (AlgorithmOfListName(ExtractFileName(path))) return true;
    return MayHoldDigestsByContent(path) && fs.FileExists(path) && LooksLikeDigestListFile(fs, path);
}

void TForm1::ReadDigestList(std::optional<HashAlgorithm> byName) {
    AlgorithmSet seen;
    std::optional<HashAlgorithm> first;
    std::vector<std::int32_t> byLength;
    ParseProgress progress;
    progress.Read = [this](std::int32_t) { ReportProgress(); };
    progress.Take = [&](ListRecord&& r) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(r.Digest.data());
        if (r.Algorithm == HashAlgorithm::Crc32 || !DigestLengthFits(r.Algorithm, r.Digest.size())) return;
        TidyListNameInPlace(r.Name, r.LiteralBackslash, Encoding == ListEncoding::Cp932);
        // The parse keeps one BLAKE2b length a list.
        if (r.Algorithm == HashAlgorithm::Blake2b512) seen.SetBlake2bBytes(r.Digest.size());
        AppendEntry(std::move(r.Name), NoSize, ContentKey::Of(r.Algorithm, bytes, r.Digest.size()));
        EntryTable[EntryCount - 1].LiteralBackslash = r.LiteralBackslash;
        if (r.AlgorithmByLength && OtherOfHexLength(r.Algorithm)) byLength.push_back(EntryCount - 1);
        seen.Add(r.Algorithm);
        if (!first) first = r.Algorithm;
    };
    DigestListForm form;
    ParsedList list = ParseListFile(fs, ListPath, [byName, &form](TextLineReader& reader, const ParseProgress& p) {
        return ParseDigestList(reader, p, byName, &form);
    }, progress);
    if (!byLength.empty()) {
        SettleSharedLengths(fs, EntryTable, BaseFolder, byLength);
        const std::size_t blake2bBytes = seen.Blake2bBytes();
        seen = {};
        seen.SetBlake2bBytes(blake2bBytes);
        for (std::int32_t i = 0; i < EntryCount; ++i)
            seen.Add(EntryTable.AlgorithmOf(EntryTable[i]));
        first = EntryTable.AlgorithmOf(EntryTable[0]);
    }
    SetListAlgorithms(seen, byName ? *byName : first.value_or(HashAlgorithm::Sha256));
    ListTagged = form.Tagged; // a request list keeps the form
    if (list.UnreadLines > 0 && list.Stop == ListStop::None && list.StopText) UnreadReason = *list.StopText;
    list.StopText.reset();
    ApplyParsedList(*this, std::move(list));
    VerifyEntries();
}

} // namespace tv
