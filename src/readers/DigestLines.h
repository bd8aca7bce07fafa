#pragma once
// The lines of digest lists as coreutils (md5sum, sha*sum, b2sum), b3sum, RHash and the BSD tools write
// them, and the recognition of such lists. Pure functions: no file system, no window.
//   GNU:      "d41d8cd98f00b204e9800998ecf8427e  name"   (text mode, two blanks)
//             "d41d8cd98f00b204e9800998ecf8427e *name"   (binary mode)
//             "\d41d8cd98f00b204e9800998ecf8427e  a\\b\nc" (escaped: the name holds "\\" and "\n")
//   BSD tag:  "SHA256 (name) = e3b0c442..."  (also "SHA2-256 (name) = ...", OpenSSL's spelling)
#include "core/ContentKey.h"
#include "readers/ListParsers.h"

#include <optional>
#include <string>
#include <string_view>

namespace tv {

enum class DigestLineKind {
    Entry,   // a GNU or BSD line read whole
    Ignored, // blank, or a comment ("#" or ";")
    Bad,     // neither: a wrong hex length, not hex, an unknown tag; Reason says which
};

struct DigestLine {
    DigestLineKind Kind = DigestLineKind::Ignored;
    std::string Name;                       // unescaped, in the list's own bytes
    std::optional<HashAlgorithm> Algorithm; // named by a BSD tag; otherwise left to the list's name or length
    std::string Hex;                        // the digits as written
    std::string Reason;                     // for Bad: plain English, e.g. "line 4: 31 hex digits"
};

// One line (without its line break; a trailing CR is allowed and dropped).
DigestLine ParseDigestLine(std::string_view line);

// The algorithm a list's file name gives: by extension (.md5 .sha1 .sha224 .sha256 .sha384 .sha512, any
// letter case) or by name (MD5SUMS ... SHA512SUMS, any letter case, also with a suffix as in
// "SHA256SUMS.txt"). Nothing for any other name.
std::optional<HashAlgorithm> AlgorithmOfListName(std::string_view fileName);

// Whether the first lines of a file that no name or signature placed read as a digest list: the first
// line that is neither blank nor a comment is a GNU or BSD line.
bool LooksLikeDigestList(std::string_view firstEntryLine);

// Reads a digest list. Each entry's record carries its algorithm and digest (ListRecord::Algorithm and
// ::Digest): a tag decides a line's algorithm, else `byName`, else the hex length. Bad lines are passed
// over and counted in UnreadLines, the first one's reason kept in StopText.
ParsedList ParseDigestList(TextLineReader& reader, const ParseProgress& progress,
                           std::optional<HashAlgorithm> byName);

} // namespace tv
