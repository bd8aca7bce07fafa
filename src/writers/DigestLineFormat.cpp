// The two line forms coreutils writes for digest lists, and its escaping of names:
//   "e3b0c442...  name"               sha256sum
//   "SHA256 (name) = e3b0c442..."     sha256sum --tag
//   "\e3b0c442...  a\\b\nc"           a name holding "\", LF or CR: "\" before the line, and the name
//                                     with "\\", "\n" and "\r" in their place (bytes, whatever the encoding)
#include "writers/DigestLineFormat.h"

namespace tv {

namespace {

bool NeedsEscape(std::string_view name) {
    return name.find_first_of("\\\n\r") != std::string_view::npos;
}

std::string Escaped(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 8);
    for (const char c : name) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

} // namespace

std::string GnuDigestLine(const ContentKey& key, std::string_view name, bool escapeNames) {
    const bool escape = escapeNames && NeedsEscape(name);
    std::string line = escape ? "\\" : "";
    line += KeyText(key);
    line += "  ";
    line += escape ? Escaped(name) : std::string(name);
    return line;
}

std::string BsdDigestLine(const ContentKey& key, std::string_view name, bool escapeNames) {
    const bool escape = escapeNames && NeedsEscape(name);
    std::string line = escape ? "\\" : "";
    line += key.Algorithm == HashAlgorithm::Blake2b512 ? Blake2bTag(key.Size()) : InfoOf(key.Algorithm).BsdTag;
    line += " (";
    line += escape ? Escaped(name) : std::string(name);
    line += ") = ";
    line += KeyText(key);
    return line;
}

} // namespace tv
