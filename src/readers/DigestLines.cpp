// Digest lists as md5sum, sha*sum, b2sum, b3sum, RHash, OpenSSL and the BSD tools write them, one file a line:
//     d41d8cd98f00b204e9800998ecf8427e  holiday photo 01.jpg      GNU, text mode (two blanks)
//     d41d8cd98f00b204e9800998ecf8427e *holiday photo 01.jpg      GNU, binary mode
//     \d41d8cd98f00b204e9800998ecf8427e  back\\slash\nnewline     GNU escaped: "\\", "\n", "\r" in the name
//     SHA256 (holiday photo 01.jpg) = e3b0c442...                  BSD tag (RHash pads the tag with blanks)
//     SHA2-256(holiday photo 01.jpg)= e3b0c442...                  OpenSSL's spelling
// A tag line's name ends at the last ")" before "= HEX", so a name may hold ") = " itself. Blank lines and
// "#" or ";" lines are passed over; any other line that is not read whole is counted as unread. The
// parse works on views of the line: an entry costs its name and its digest, nothing else.
#include "readers/DigestLines.h"

#include <array>
#include <cctype>
#include <utility>

namespace tv {

namespace {

// A digit's value, or -1: looked up, since the digits of a digest fall at random between "0-9" and
// "a-f" and a test for each range would be mispredicted at every other digit.
constexpr auto NibbleTable = [] {
    std::array<signed char, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[static_cast<std::size_t>(c)] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                                                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                                         : -1);
    return t;
}();
int Nibble(char c) {
    return NibbleTable[static_cast<unsigned char>(c)];
}
bool IsHexDigit(char c) {
    return Nibble(c) >= 0;
}
bool IsAlnum(char c) {
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}
bool IsSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimSpaceRight(std::string_view s) {
    while (!s.empty() && IsSpaceOrTab(s.back()))
        s.remove_suffix(1);
    return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The algorithm a tag names: the tags of --tag and the BSD tools ("SHA256", "BLAKE2b"), OpenSSL's
// ("SHA2-256", "BLAKE2B-512") and the written names ("SHA-256"), in any letter case. BLAKE2b of
// other lengths ("BLAKE2b-256", as `b2sum -l 256 --tag` writes it) is taken by BlakeBitsOfTag.
std::optional<HashAlgorithm> AlgorithmOfTag(std::string_view tag) {
    if (EqualNoCase(tag, "BLAKE2B-512")) return HashAlgorithm::Blake2b512;
    if (tag.size() > 5 && EqualNoCase(tag.substr(0, 5), "SHA2-")) {
        // The SHA-2 family only: "SHA2-256" is "SHA256", "SHA2-1" is nothing.
        for (const HashAlgorithm a :
             {HashAlgorithm::Sha224, HashAlgorithm::Sha256, HashAlgorithm::Sha384, HashAlgorithm::Sha512})
            if (EqualNoCase(tag.substr(5), InfoOf(a).BsdTag + 3)) return a;
        return std::nullopt;
    }
    for (const AlgorithmInfo& info : Algorithms)
        if (EqualNoCase(tag, info.BsdTag) ||
            (info.Algorithm != HashAlgorithm::Crc32 && EqualNoCase(tag, info.ColumnTitle)))
            return info.Algorithm;
    return std::nullopt;
}

// The bits a "BLAKE2b-N" tag gives, as written (decimal digits only, at most 4); nothing for another tag.
std::optional<unsigned> BlakeBitsOfTag(std::string_view tag) {
    if (tag.size() <= 8 || tag.size() > 12 || !EqualNoCase(tag.substr(0, 8), "BLAKE2B-")) return std::nullopt;
    unsigned bits = 0;
    for (const char c : tag.substr(8)) {
        if (c < '0' || c > '9') return std::nullopt;
        bits = bits * 10 + static_cast<unsigned>(c - '0');
    }
    return bits;
}

bool IsTagText(std::string_view tag) {
    if (tag.empty() || tag.size() > 32) return false;
    for (char c : tag)
        if (!IsAlnum(c) && c != '-' && c != '_' && c != '/') return false;
    return true;
}

// A line taken apart; the views point into the line given.
struct LineParts {
    DigestLineKind Kind = DigestLineKind::Ignored;
    std::string_view Name; // as written: still escaped when Escaped
    std::string_view Hex;
    std::optional<HashAlgorithm> Algorithm; // the tag's, or byName's
    std::size_t TagBytes = 0;               // the digest length a tag gives ("BLAKE2b-256": 32); 0: none
    bool Tagged = false, Binary = false, Escaped = false;
    std::string Reason;
};

LineParts Bad(std::string reason) {
    LineParts p;
    p.Kind = DigestLineKind::Bad;
    p.Reason = std::move(reason);
    return p;
}

std::string Digits(std::size_t n) {
    return std::to_string(n) + " hex digits";
}

// Matches "TAG (name) = HEX" (blanks around "(" and "=" optional); false when the line is not of that shape.
bool SplitTagLine(std::string_view s, std::string_view& tag, std::string_view& name, std::string_view& hex) {
    const std::size_t open = s.find('(');
    if (open == std::string_view::npos) return false;
    tag = TrimSpaceRight(s.substr(0, open));
    if (!IsTagText(tag)) return false;
    const std::string_view t = TrimSpaceRight(s);
    std::size_t i = t.size();
    while (i > open && IsAlnum(t[i - 1]))
        --i;
    hex = t.substr(i);
    if (hex.empty()) return false;
    while (i > open && IsSpaceOrTab(t[i - 1]))
        --i;
    if (i == open || t[i - 1] != '=') return false;
    --i;
    while (i > open && IsSpaceOrTab(t[i - 1]))
        --i;
    if (i == open + 1 || t[i - 1] != ')') return false;
    name = t.substr(open + 1, i - 1 - (open + 1));
    return true;
}

// What is wrong with a name, if anything: an escaped name may hold only "\\", "\n" and "\r".
const char* NameFault(std::string_view name, bool escaped) {
    if (name.empty()) return "no file name";
    if (name.find('\0') != std::string_view::npos) return "a NUL byte in the file name";
    if (escaped)
        for (std::size_t i = 0; i < name.size(); ++i)
            if (name[i] == '\\') {
                if (i + 1 == name.size() || (name[i + 1] != '\\' && name[i + 1] != 'n' && name[i + 1] != 'r'))
                    return "a backslash in an escaped name that is not \\\\, \\n or \\r";
                ++i;
            }
    return nullptr;
}

LineParts SplitLine(std::string_view s, std::optional<HashAlgorithm> byName) {
    if (s.size() >= 3 && s.substr(0, 3) == "\xEF\xBB\xBF") s.remove_prefix(3);
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    while (!s.empty() && IsSpaceOrTab(s.front()))
        s.remove_prefix(1);
    if (s.empty() || s[0] == '#' || s[0] == ';') return {};

    LineParts p;
    p.Kind = DigestLineKind::Entry;
    if (s[0] == '\\') {
        p.Escaped = true;
        s.remove_prefix(1);
    }

    std::size_t h = 0;
    while (h < s.size() && IsHexDigit(s[h]))
        ++h;
    std::string_view tag;
    if (h > 0 && h + 1 < s.size() && s[h] == ' ' && (s[h + 1] == ' ' || s[h + 1] == '*')) {
        p.Hex = s.substr(0, h);
        p.Binary = s[h + 1] == '*';
        p.Name = s.substr(h + 2);
    } else if (h > 0 && h + 1 < s.size() && s[h] == ' ' && !p.Escaped) {
        // One blank, as BSD's `md5 -r` writes the digest before the name; coreutils' checkers take it too.
        p.Hex = s.substr(0, h);
        p.Name = s.substr(h + 1);
    } else if (SplitTagLine(s, tag, p.Name, p.Hex)) {
        p.Tagged = true;
        p.Algorithm = AlgorithmOfTag(tag);
        if (p.Algorithm == HashAlgorithm::Blake2b512) {
            p.TagBytes = DigestBytes(HashAlgorithm::Blake2b512);
        } else if (const std::optional<unsigned> bits = BlakeBitsOfTag(tag); bits && !p.Algorithm) {
            // b2sum -l takes a multiple of 8 bits up to 512.
            if (*bits == 0 || *bits % 8 != 0 || *bits > 8 * DigestBytes(HashAlgorithm::Blake2b512))
                return Bad("a BLAKE2b digest of " + std::to_string(*bits) +
                           " bits: BLAKE2b has a multiple of 8 bits up to 512");
            p.Algorithm = HashAlgorithm::Blake2b512;
            p.TagBytes = *bits / 8;
        }
        if (!p.Algorithm) return Bad("unknown algorithm tag \"" + std::string(tag) + "\"");
    } else if (h > 0 && h < s.size() && IsAlnum(s[h])) {
        return Bad("the digest holds a character that is not a hex digit");
    } else if (h > 0) {
        return Bad("no two-character separator (two blanks, or a blank and \"*\") after the digest");
    } else {
        return Bad("neither a GNU nor a BSD digest line");
    }

    if (p.Tagged)
        for (char c : p.Hex)
            if (!IsHexDigit(c)) return Bad("the digest holds a character that is not a hex digit");
    if (!p.Algorithm && byName) p.Algorithm = byName;
    if (p.Algorithm == HashAlgorithm::Blake2b512 && p.TagBytes == 0) {
        // A plain line of a BLAKE2b list: its digits give the length, as `b2sum -c` takes it.
        if (p.Hex.size() % 2 != 0 || !DigestLengthFits(*p.Algorithm, p.Hex.size() / 2))
            return Bad(Digits(p.Hex.size()) + " where BLAKE2b has an even number up to " +
                       std::to_string(DigestBytes(*p.Algorithm) * 2));
    } else if (p.Algorithm) {
        const std::size_t want = (p.TagBytes != 0 ? p.TagBytes : DigestBytes(*p.Algorithm)) * 2;
        if (p.Hex.size() != want)
            return Bad(Digits(p.Hex.size()) + " where " + InfoOf(*p.Algorithm).ColumnTitle + " has " +
                       std::to_string(want));
    } else if (!AlgorithmOfHexLength(p.Hex.size())) {
        return Bad(Digits(p.Hex.size()) + ": no digest algorithm has that length");
    }
    if (const char* fault = NameFault(p.Name, p.Escaped)) return Bad(fault);
    return p;
}

std::string NameOf(const LineParts& p) {
    if (!p.Escaped) return std::string(p.Name);
    std::string out;
    out.reserve(p.Name.size());
    for (std::size_t i = 0; i < p.Name.size(); ++i) {
        if (p.Name[i] != '\\') {
            out += p.Name[i];
            continue;
        }
        // NameFault let through only the three escapes, each whole.
        const char e = p.Name[++i];
        out += e == 'n' ? '\n' : e == 'r' ? '\r' : '\\';
    }
    return out;
}

// The bytes of an even number of hex digits.
std::string Bytes(std::string_view hex) {
    std::string out(hex.size() / 2, '\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(Nibble(hex[2 * i]) << 4 | Nibble(hex[2 * i + 1]));
    return out;
}

} // namespace

DigestLine ParseDigestLine(std::string_view line, std::optional<HashAlgorithm> byName) {
    if (byName == HashAlgorithm::Crc32) byName.reset();
    LineParts p = SplitLine(line, byName);
    DigestLine d;
    d.Kind = p.Kind;
    d.Reason = std::move(p.Reason);
    if (p.Kind != DigestLineKind::Entry) return d;
    d.Name = NameOf(p);
    d.Algorithm = p.Algorithm;
    d.Hex = std::string(p.Hex);
    d.Tagged = p.Tagged;
    d.Binary = p.Binary;
    d.Escaped = p.Escaped;
    return d;
}

std::optional<HashAlgorithm> AlgorithmOfListName(std::string_view fileName) {
    if (const std::size_t slash = fileName.find_last_of("/\\"); slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    const std::size_t dot = fileName.rfind('.');
    // The extensions other tools give BLAKE lists beside the ones we write (.b2, .b3).
    static constexpr std::pair<const char*, HashAlgorithm> MoreExtensions[] = {
        {"blake2", HashAlgorithm::Blake2b512}, {"blake3", HashAlgorithm::Blake3}, {"bk3", HashAlgorithm::Blake3}};
    if (dot != std::string_view::npos && dot > 0)
        for (const auto& [extension, algorithm] : MoreExtensions)
            if (EqualNoCase(fileName.substr(dot + 1), extension)) return algorithm;
    for (const AlgorithmInfo& info : Algorithms) {
        if (info.Algorithm == HashAlgorithm::Crc32) continue;
        if (dot != std::string_view::npos && dot > 0 && EqualNoCase(fileName.substr(dot + 1), info.Extension))
            return info.Algorithm;
        // "SHA256SUMS", "sha256sums.txt", "SHA256SUMS-x86_64": not "SHA256SUMSX".
        const std::string_view sums = info.SumsName;
        if (fileName.size() >= sums.size() && EqualNoCase(fileName.substr(0, sums.size()), sums) &&
            (fileName.size() == sums.size() || !std::isalpha(static_cast<unsigned char>(fileName[sums.size()]))))
            return info.Algorithm;
    }
    return std::nullopt;
}

bool LooksLikeDigestList(std::string_view firstEntryLine) {
    return SplitLine(firstEntryLine, std::nullopt).Kind == DigestLineKind::Entry;
}

bool LooksLikeDigestList(TextLineReader& reader) {
    do {
        const LineParts p = SplitLine(reader.ReadLine(), std::nullopt);
        if (p.Kind != DigestLineKind::Ignored) return p.Kind == DigestLineKind::Entry;
    } while (!reader.Eof());
    return false;
}

ParsedList ParseDigestList(TextLineReader& reader, const ParseProgress& progress, std::optional<HashAlgorithm> byName,
                           DigestListForm* form) {
    if (byName == HashAlgorithm::Crc32) byName.reset();
    ParsedList list = TakingList(progress);
    bool formSeen = false;
    std::size_t blake2bBytes = 0; // the length of the list's first BLAKE2b line: one list keeps one
    const auto bad = [&](const std::string& reason) {
        ++list.UnreadLines;
        ++list.IrregularLines;
        if (!list.StopText) list.StopText = "line " + std::to_string(reader.LineNumber()) + ": " + reason;
    };
    do {
        const std::string line = reader.ReadLine();
        // A list of a million lines takes a moment: the window stays alive.
        ReportProgress(progress, list);
        LineParts p = SplitLine(line, byName);
        if (p.Kind == DigestLineKind::Ignored) continue;
        if (p.Kind == DigestLineKind::Bad) {
            bad(p.Reason);
            continue;
        }
        const HashAlgorithm algorithm = p.Algorithm ? *p.Algorithm : *AlgorithmOfHexLength(p.Hex.size());
        if (algorithm == HashAlgorithm::Blake2b512) {
            const std::size_t bytes = p.Hex.size() / 2;
            if (blake2bBytes == 0) blake2bBytes = bytes;
            if (bytes != blake2bBytes) {
                bad("a BLAKE2b digest of " + std::to_string(bytes * 8) + " bits in a list of " +
                    std::to_string(blake2bBytes * 8) + "-bit ones");
                continue;
            }
        }
        ListRecord r(NameOf(p), 0, 0);
        r.Algorithm = algorithm;
        r.Digest = Bytes(p.Hex); // the digits were checked, and their count
        // The first four bytes, zeros after a shorter digest (BLAKE2b of 8 to 24 bits), as ContentKey::Prefix.
        for (std::size_t i = 0; i < 4; ++i)
            r.Crc = r.Crc << 8 | (i < r.Digest.size() ? static_cast<unsigned char>(r.Digest[i]) : 0u);
        if (algorithm == HashAlgorithm::Crc32) r.Digest.clear();
        r.LiteralBackslash = p.Escaped;
        r.AlgorithmByLength = !p.Algorithm;
        if (form && !formSeen) {
            *form = {p.Tagged, p.Binary};
            formSeen = true;
        }
        list.Add(std::move(r));
    } while (!reader.Eof());
    return list;
}

} // namespace tv
