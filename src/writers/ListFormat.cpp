#include "writers/ListFormat.h"

#include "platform/Paths.h"
#include "platform/TextEncoding.h"
#include "readers/DigestLines.h"
#include "writers/WriterTexts.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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

std::optional<std::string> NameInEncoding(const std::string& name, ListEncoding encoding) {
    if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return name;
    if (encoding != ListEncoding::Cp932) return IsValidUtf8(name) ? std::optional<std::string>(name) : std::nullopt;
    if (IsValidUtf8(name)) return Utf8ToCp932(name);
    return Cp932ToUtf8(name) ? std::optional<std::string>(name) : std::nullopt;
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

namespace {

std::vector<std::string> Split(std::string_view s, char by) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = s.find(by, from)) != std::string_view::npos; from = at + 1)
        parts.emplace_back(s.substr(from, at - from));
    parts.emplace_back(s.substr(from));
    return parts;
}

// A name against a pattern of the dialog's filters: "*" stands for any run of characters; letters of
// a to z match either case.
bool Matches(std::string_view name, std::string_view pattern) {
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    const auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    const auto same = [&up](char a, char b) { return up(a) == up(b); };
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && same(pattern[p], name[n])) {
            ++p, ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

std::string PathOfChosenKind(std::string_view path, std::string_view filter, std::size_t index) {
    const std::vector<std::string> parts = Split(filter, '|');
    if (2 * index + 1 >= parts.size()) return std::string(path);
    const std::vector<std::string> patterns = Split(parts[2 * index + 1], ';');
    const std::string name = ExtractFileName(path);
    for (const std::string& p : patterns)
        if (Matches(name, p)) return std::string(path);
    const std::string& first = patterns.front();
    if (first.size() < 3 || first.compare(0, 2, "*.") != 0 || first.find('*', 2) != std::string::npos)
        return std::string(path);
    std::string stem(path);
    const std::string ext = ExtractFileExt(name);
    bool otherKind = ext.find_first_of("[]*?") != std::string::npos;
    for (std::size_t k = 1; k < parts.size() && !otherKind && !ext.empty(); k += 2)
        for (const std::string& p : Split(parts[k], ';'))
            otherKind = otherKind || (p.compare(0, 2, "*.") == 0 && Matches(ext, p.substr(1)));
    if (otherKind && ext.size() < name.size()) stem.resize(stem.size() - ext.size());
    return stem + first.substr(1);
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
