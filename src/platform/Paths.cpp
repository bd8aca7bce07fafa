#include "platform/Paths.h"

namespace tv {

bool IsPathDelim(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

std::string NativeName(std::string_view listName) {
    std::string out(listName);
#ifndef _WIN32
    for (char& c : out)
        if (c == '\\') c = '/';
#endif
    return out;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && !IsPathDelim(out.back())) out += PathDelim;
    out += NativeName(name);
    return out;
}

std::string JoinBeneath(std::string_view root, std::string_view rel) {
    std::string path = JoinPath(root, rel);
    for (std::size_t i = root.size(); i < path.size(); ++i)
        if (IsPathDelim(path[i])) path[i] = PathDelim;
    return path;
}

std::string FolderFile(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && !IsPathDelim(path.back())) path += PathDelim;
    path += name;
    return path;
}

static std::size_t LastDelim(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsPathDelim(path[i - 1])) return i - 1;
    return std::string_view::npos;
}

std::string ExtractFileName(std::string_view path) {
    std::size_t p = LastDelim(path);
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ExtractFilePath(std::string_view path) {
    std::size_t p = LastDelim(path);
    return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtractFileDir(std::string_view path) {
    std::size_t p = LastDelim(path);
    if (p == std::string_view::npos) return std::string();
    // The root keeps its separator ("/" or "C:\").
    bool root = p == 0 || (p == 2 && path[1] == ':');
    return std::string(path.substr(0, root ? p + 1 : p));
}

std::string ExtractFileExt(std::string_view path) {
    std::string name = ExtractFileName(path);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        // Both are separators on Windows and neither can be part of a name there, so a path typed
        // with "/" names the same file as the system's own "\" spelling.
        if (x != y && !(IsPathDelim(x) && IsPathDelim(y))) return false;
    }
    return true;
}

bool SameFileName(std::string_view a, std::string_view b) {
#ifdef _WIN32
    return SameText(a, b);
#else
    return a == b;
#endif
}

std::string FileNameKey(std::string_view name) {
#ifdef _WIN32
    // "/" and "\\" are one separator, as SameText takes them.
    std::string key = UpperAscii(name);
    for (char& c : key)
        if (c == '/') c = '\\';
    return key;
#else
    return std::string(name);
#endif
}

bool ExtensionIn(std::string_view path, std::string_view joined) {
    std::string ext = UpperAscii(ExtractFileExt(path));
    return !ext.empty() && joined.find(ext) != std::string_view::npos;
}

std::string TidyListName(std::string_view name, bool literalBackslash, bool cp932) {
    const auto separator = [literalBackslash](char c) { return c == '/' || (c == '\\' && !literalBackslash); };
    const auto leadByte = [cp932](char c) {
        const auto b = static_cast<unsigned char>(c);
        return cp932 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
    };
    std::size_t at = 0;
    while (at < name.size() && separator(name[at]))
        ++at;
    std::string out(name.substr(0, at));
    const std::size_t root = out.size();
    // Each part with the separator that ends it; "." parts and empty ones (a second separator) go.
    while (at < name.size()) {
        std::size_t end = at;
        while (end < name.size() && !separator(name[end]))
            end += leadByte(name[end]) && end + 1 < name.size() ? 2u : 1u;
        const std::string_view part = name.substr(at, end - at);
        const bool keep = !part.empty() && part != ".";
        if (keep) out.append(part);
        if (keep && end < name.size()) out += name[end];
        at = end + 1;
    }
    // Nothing but "." parts: the name stays as it was (it names no file either way).
    if (out.size() == root && root != name.size()) return std::string(name);
    return out;
}

void TidyListNameInPlace(std::string& name, bool literalBackslash, bool cp932) {
    const auto separator = [literalBackslash](char c) { return c == '/' || (c == '\\' && !literalBackslash); };
    // Only a "." or a separator at the start or after a separator can be a spelling to drop.
    bool suspect = !name.empty() && name[0] == '.';
    for (std::size_t i = 1; i < name.size() && !suspect; ++i)
        suspect = separator(name[i - 1]) && (name[i] == '.' || separator(name[i]));
    if (suspect) name = TidyListName(name, literalBackslash, cp932);
}

bool IsAbsoluteName(std::string_view nativeName) {
#ifdef _WIN32
    if (nativeName.size() >= 3 && nativeName[1] == ':' && IsPathDelim(nativeName[2])) return true;
    return nativeName.size() >= 2 && IsPathDelim(nativeName[0]) && IsPathDelim(nativeName[1]);
#else
    return !nativeName.empty() && nativeName[0] == '/';
#endif
}

std::optional<std::string> NameBeneath(std::string_view path, std::string_view folder) {
    while (!folder.empty() && IsPathDelim(folder.back()))
        folder.remove_suffix(1);
    if (path.size() <= folder.size() + 1 || !IsPathDelim(path[folder.size()]) ||
        !SameFileName(path.substr(0, folder.size()), folder))
        return std::nullopt;
    std::size_t at = folder.size();
    while (at < path.size() && IsPathDelim(path[at]))
        ++at;
    if (at == path.size()) return std::nullopt;
    return std::string(path.substr(at));
}

bool NameEscapesFolder(std::string_view listName) {
    std::string name = NativeName(listName);
    if (name.empty()) return false;
    if (name[0] == '/' || name[0] == '\\') return true;
    if (name.size() >= 2 && name[1] == ':') return true; // drive prefix
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return true;
        start = end + 1;
    }
    return false;
}

} // namespace tv
