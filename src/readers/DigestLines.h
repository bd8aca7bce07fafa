#pragma once
// The lines of digest lists as coreutils (md5sum, sha*sum, b2sum), b3sum, RHash and the BSD tools write
// them, and the recognition of such lists. Pure functions: no file system, no window.
//   GNU:      "d41d8cd98f00b204e9800998ecf8427e  name"   (text mode, two blanks)
//             "d41d8cd98f00b204e9800998ecf8427e *name"   (binary mode)
//             "\d41d8cd98f00b204e9800998ecf8427e  a\\b\nc" (escaped: the name holds "\\" and "\n")
//   BSD tag:  "SHA256 (name) = e3b0c442..."  (also "SHA2-256 (name) = ...", OpenSSL's spelling;
//             "BLAKE2b (name) = ..." as `b2sum --tag` writes it, "BLAKE3 (name) = ...")
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
    std::string Reason;                     // for Bad: plain English, e.g. "31 hex digits: ..."
    bool Tagged = false;                    // a BSD tag line
    bool Binary = false;                    // a GNU line in binary mode ("HEX *name")
    bool Escaped = false;                   // GNU's escaped form: Name was unescaped
};

// One line (without its line break; a trailing CR and a UTF-8 byte order mark are allowed and dropped).
// A GNU line's hex length must fit `byName` when it is given (Algorithm is then set to it), and
// otherwise be one AlgorithmOfHexLength knows (Algorithm stays empty: the length decides).
DigestLine ParseDigestLine(std::string_view line, std::optional<HashAlgorithm> byName = std::nullopt);

// The algorithm a list's file name gives: by extension (.md5 .sha1 .sha224 .sha256 .sha384 .sha512, .b2
// .blake2, .b3 .blake3 .bk3, any letter case) or by name (MD5SUMS ... SHA512SUMS, B2SUMS, B3SUMS, any
// letter case, also with a suffix as in "SHA256SUMS.txt"). Nothing for any other name.
std::optional<HashAlgorithm> AlgorithmOfListName(std::string_view fileName);

// Whether the first lines of a file that no name or signature placed read as a digest list: the first
// line that is neither blank nor a comment is a GNU or BSD line.
bool LooksLikeDigestList(std::string_view firstEntryLine);
// The same for a file: reads past blank and comment lines to the first other line (nothing there: false).
bool LooksLikeDigestList(TextLineReader& reader);

// How a digest list's lines are written, as its first entry line shows: a list written back for the
// same tools (a request list) keeps the form.
struct DigestListForm {
    bool Tagged = false; // BSD tag lines
    bool Binary = false; // GNU lines in binary mode ("HEX *name")
};

// Reads a digest list. Each entry's record carries its algorithm and digest (ListRecord::Algorithm and
// ::Digest; Crc is the digest's first four bytes, Size 0, HasSizes false): a tag decides a line's
// algorithm, else `byName`, else the hex length. A "CRC32" tag line gives a CRC-32 record (Crc, no
// Digest). Bad lines are passed over and counted in UnreadLines and IrregularLines, the first one's
// reason kept in StopText ("line 4: 64 hex digits where MD5 has 32"); the list is still read to its end
// (Stop stays None). Entries are handed to progress.Take as they are read when it is set.
ParsedList ParseDigestList(TextLineReader& reader, const ParseProgress& progress, std::optional<HashAlgorithm> byName,
                           DigestListForm* form = nullptr);

} // namespace tv
