#pragma once
// The encodings of list files and the conversion of the names they carry. Lists written on Windows
// are mostly CP932 (Shift-JIS); lists written elsewhere are UTF-8. Which one a list is, is decided per
// list from its bytes; the names taken out of it are converted to the file system's encoding (UTF-8
// here). Lists in UTF-16 (with their byte order mark) are decoded to UTF-8 as a whole while they are
// read, so their names arrive as UTF-8 names. The conversion itself is the platform's own converter:
// iconv on POSIX systems; a build for Windows provides the same functions through its wide-character
// calls.
#include <optional>
#include <string>
#include <string_view>

namespace tv {

// Utf16Le and Utf16Be name the bytes of the list file; the lines read from it are UTF-8.
enum class ListEncoding { Utf8, Cp932, Utf16Le, Utf16Be };

// Platform converter. Each returns nothing when a byte sequence cannot be converted whole: no
// replacement, no dropped byte, so that a name is either exact or known to be not convertible.
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
// UTF-16 code units (two bytes each, in the given byte order, no byte order mark) to UTF-8; nothing
// when the text holds a lone surrogate or an odd byte.
std::optional<std::string> Utf16ToUtf8(std::string_view utf16, bool bigEndian);

bool IsValidUtf8(std::string_view s);

// Recognises a list's encoding from its bytes, fed in blocks of any size: a UTF-16 byte order mark
// (FF FE or FE FF; neither byte can start a CP932 or UTF-8 text) makes it UTF-16; a UTF-8 byte order
// mark at the start, or only valid UTF-8 throughout, makes it UTF-8; anything else is CP932.
class EncodingDetector {
public:
    void Feed(std::string_view block);
    ListEncoding Result() const;
    // A byte order mark or a byte that cannot be UTF-8 decides the list: the rest need not be read.
    bool Decided() const { return (bom_ && seen_ >= 3) || invalid_ || Utf16(); }

private:
    bool Utf16() const {
        return seen_ >= 2 && ((first_[0] == 0xFF && first_[1] == 0xFE) || (first_[0] == 0xFE && first_[1] == 0xFF));
    }

    std::size_t seen_ = 0;
    unsigned first_[2] = {0, 0};
    bool bom_ = false;
    bool invalid_ = false;
    int pending_ = 0;          // continuation bytes still owed by the sequence in hand
    unsigned lowest_ = 0x80;   // bounds of the next continuation byte (overlongs, surrogates, > U+10FFFF)
    unsigned highest_ = 0xBF;
};

// CP932 lead bytes: the first byte of a double-byte character. Its second byte may be any of
// 0x40..0xFC, "\" (0x5C) and ASCII letters among them.
inline bool IsCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Byte positions of a CP932 string where a character starts; `i` moves past one whole character
// (a lead byte at the very end stands alone).
inline std::size_t NextCp932Char(std::string_view s, std::size_t i) {
    return i + (IsCp932Lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1);
}

// CP932 names taken as bytes: "\" becomes "/" only where it is a character of its own, never the
// second byte of a double-byte character.
std::string Cp932Separators(std::string_view cp932);
// The position of the first "\" or "/" that is a character of its own; npos when there is none.
std::size_t FindCp932Separator(std::string_view cp932, std::size_t from = 0);
// ASCII letters that are characters of their own upper-cased; second bytes stay as they are.
std::string UpperCp932(std::string_view cp932);

// The encoding a list read in `read` is written again in, unless the user asks for another: CP932 stays
// CP932, everything else is written in UTF-8.
inline ListEncoding WrittenEncoding(ListEncoding read) {
    return read == ListEncoding::Cp932 ? ListEncoding::Cp932 : ListEncoding::Utf8;
}

// Text for a row: the bytes decoded as the given encoding (UTF-16 lists' names are UTF-8 already), every byte that cannot be decoded shown as
// U+FFFD. The bytes themselves are kept by the caller.
std::string DisplayText(std::string_view bytes, ListEncoding encoding);

// The encoding's name as the settings file and the command line spell it.
const char* EncodingName(ListEncoding encoding);
std::optional<ListEncoding> EncodingFromName(std::string_view name);

} // namespace tv
