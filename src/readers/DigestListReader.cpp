// Digest lists (MD5, SHA-1, SHA-2) as md5sum, sha*sum, RHash and the BSD tools write them, one file a
// line in GNU form or as a BSD tag (the line forms are in readers/DigestLines.h):
//     e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855  photos/holiday 01.jpg
//     SHA256 (photos/holiday 01.jpg) = e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855
// Each entry keeps its own algorithm: a list whose lines name several is checked line by line.
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
    ParseProgress progress;
    progress.Read = [this](std::int32_t) { ReportProgress(); };
    progress.Take = [&](ListRecord&& r) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(r.Digest.data());
        if (r.Algorithm == HashAlgorithm::Crc32 || r.Digest.size() != DigestBytes(r.Algorithm)) return;
        AppendEntry(std::move(r.Name), NoSize, ContentKey::Of(r.Algorithm, bytes));
        EntryTable[EntryCount - 1].LiteralBackslash = r.LiteralBackslash;
        seen.Add(r.Algorithm);
        if (!first) first = r.Algorithm;
    };
    DigestListForm form;
    ParsedList list = ParseListFile(fs, ListPath, [byName, &form](TextLineReader& reader, const ParseProgress& p) {
        return ParseDigestList(reader, p, byName, &form);
    }, progress);
    SetListAlgorithms(seen, byName ? *byName : first.value_or(HashAlgorithm::Sha256));
    ListTagged = form.Tagged; // a request list keeps the form
    if (list.UnreadLines > 0 && list.Stop == ListStop::None && list.StopText) UnreadReason = *list.StopText;
    list.StopText.reset();
    ApplyParsedList(*this, std::move(list));
    VerifyEntries();
}

} // namespace tv
