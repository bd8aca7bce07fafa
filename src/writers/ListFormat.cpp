#include "writers/ListFormat.h"

#include "platform/Paths.h"
#include "readers/DigestLines.h"
#include "writers/WriterTexts.h"

#include <cstdio>

namespace tv {

namespace {

std::string TwoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string FourDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", v);
    return buf;
}

} // namespace

std::string SfvHeaderLine(const FileTime& now) {
    return std::string(writertexts::SfvHeaderHead) + FourDigits(now.Year) + "-" + TwoDigits(now.Month) + "-" +
           TwoDigits(now.Day) + " at " + TwoDigits(now.Hour) + ":" + TwoDigits(now.Minute) + ":" +
           TwoDigits(now.Second);
}

std::string SizeField(std::string_view sizeText) {
    std::string field(13, ' ');
    field += sizeText;
    return field.size() > 15 ? field.substr(field.size() - 15) : field;
}

std::optional<std::string> DosTimeField(const FileTime& t) {
    if (t.Year < 1980 || t.Year > 2107) return std::nullopt;
    return TwoDigits(t.Hour) + ":" + TwoDigits(t.Minute) + "." + TwoDigits(t.Second / 2 * 2) + " " +
           FourDigits(t.Year) + "-" + TwoDigits(t.Month) + "-" + TwoDigits(t.Day);
}

std::string SfvCommentLine(std::string_view sizeText, std::string_view timeField, std::string_view name) {
    std::string line;
    line.reserve(1 + 15 + 2 + timeField.size() + 1 + name.size());
    line += ';';
    line += SizeField(sizeText);
    line += "  ";
    line += timeField;
    line += ' ';
    line += name;
    return line;
}

std::string CsvNameField(std::string_view name) {
    if (name.find_first_of(",\"") == std::string_view::npos) return std::string(name);
    std::string out = "\"";
    for (const char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

bool NameFitsListLine(std::string_view name) {
    return name.find_first_of("\r\n") == std::string_view::npos;
}

bool ListCanHoldName(std::string_view relName, HashAlgorithm kind) {
    if (relName.empty()) return false;
    if (kind == HashAlgorithm::Blake3) return relName.find('\r') == std::string_view::npos;
    if (kind != HashAlgorithm::Crc32) return true;
    // The readers trim blanks (any byte up to the space) around a line's name.
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    return NameFitsListLine(relName) && (PathDelim == '\\' || relName.find('\\') == std::string_view::npos) &&
           relName.front() != ';' && !blank(relName.front()) && !blank(relName.back());
}

bool HasExcludedExtension(std::string_view name) {
    return ExtensionIn(name, writertexts::ExcludedExtensions);
}

std::string ProposedListPath(std::string_view folder) {
    std::string_view f = folder;
    while (f.size() > 1 && IsPathDelim(f.back()))
        f.remove_suffix(1);
    std::string own = ExtractFileName(f);
    // A root folder has no name of its own.
    if (own.empty() || (own.size() == 2 && own[1] == ':')) own = "root";
    return FolderFile(folder, own + ".SFV");
}

std::string ProposedRequestPath(std::string_view listPath) {
    return ProposedRequestPath(listPath, HashAlgorithm::Crc32);
}

std::string ProposedListPath(std::string_view folder, HashAlgorithm algorithm) {
    std::string path = ProposedListPath(folder);
    if (algorithm == HashAlgorithm::Crc32) return path;
    return path.substr(0, path.size() - 3) + InfoOf(algorithm).Extension;
}

std::string ProposedRequestPath(std::string_view listPath, HashAlgorithm algorithm) {
    std::string path(listPath);
    const std::string ext = ExtractFileExt(path);
    path.resize(path.size() - ext.size());
    if (algorithm == HashAlgorithm::Crc32) return path + writertexts::RequestSuffix;
    return path + writertexts::RequestStem + "." + InfoOf(algorithm).Extension;
}

std::optional<HashAlgorithm> AlgorithmOfSavedList(std::string_view path) {
    const std::string ext = UpperAscii(ExtractFileExt(path));
    if (ext == ".SFV" || ext == ".CSV") return HashAlgorithm::Crc32;
    return AlgorithmOfListName(ExtractFileName(path));
}

std::string KindFilterOf(HashAlgorithm algorithm) {
    const AlgorithmInfo& info = InfoOf(algorithm);
    if (algorithm == HashAlgorithm::Crc32) return writertexts::SaveFilter;
    // Appended piece by piece: GCC 12 at -O3 sees a false overlap in a literal + string chain.
    std::string filter = info.ColumnTitle;
    filter.append(writertexts::DigestFilterTail).append("|*.").append(info.Extension).append(";");
    return filter.append(info.SumsName).append("*");
}

std::string SaveFilterOf(HashAlgorithm first) {
    std::string filter = KindFilterOf(first);
    for (const AlgorithmInfo& info : Algorithms)
        if (info.Algorithm != first) filter.append("|").append(KindFilterOf(info.Algorithm));
    return filter;
}

} // namespace tv
