#pragma once
// Small pieces shared by the list readers: trimming, the "name SPACE 8-hex" entry line, and the
// number conversions whose failure is the conversion error.
#include <cstdint>
#include <string>
#include <string_view>

namespace tv {

// A blank is any byte from 0 to 32.
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }
std::string_view TrimRight(std::string_view s);
std::string_view TrimLeft(std::string_view s);
std::string_view Trim(std::string_view s);

// After trailing blanks are removed: at least 9 bytes, and a space (not a tab) just before the last 8.
bool IsEntryLine(std::string_view trimmed);

// An entry line whose last eight bytes are hexadecimal digits and whose name is not empty.
bool IsHexEntryLine(std::string_view trimmed);

// Splits an entry line into its name (everything before the separating space) and CRC text.
struct EntryLineParts {
    std::string_view Name;
    std::string_view CrcText;
};
EntryLineParts SplitEntryLine(std::string_view trimmed);

// The runtime's integer conversion: optional leading spaces, an optional sign, decimal digits, or "$"
// and hexadecimal digits (which may give any 32-bit pattern). Anything else, nothing, or a value
// outside 32 bits raises ConvertError naming the text.
std::int32_t StrToInt(std::string_view text);
// The same for 64-bit values: the sizes of files.
std::int64_t StrToInt64(std::string_view text);

// Eight hexadecimal digits of a CRC field as the runtime converts "$" + text; ConvertError("$text")
// when they are not.
std::uint32_t HexCrc(std::string_view text);

// The decimal text of a size.
std::string SizeText(std::int64_t size);

// Up to `count` bytes of s from the 0-based position `from`; empty when `from` lies past the end.
// Never reads outside s.
std::string_view Slice(std::string_view s, std::size_t from, std::size_t count = std::string_view::npos);

// s without any byte equal to c (the "," separators of a size).
std::string WithoutChar(std::string_view s, char c);

// True when the first byte is a decimal digit.
bool StartsWithDigit(std::string_view s);

// The CRC field of exactly eight hexadecimal digits at the 0-based position `from`. A line that ends
// before the eighth digit, or any other byte among them, raises ConvertError("$" + field as it stands).
std::uint32_t HexCrcField(std::string_view line, std::size_t from);

// A signed 64-bit decimal number (leading spaces and a sign allowed, nothing else); false when the
// text is not one.
bool TryDecimal(std::string_view text, std::int64_t& value);

// One to eight hexadecimal digits and nothing else; false when the text is not that.
bool TryHex(std::string_view text, std::uint32_t& value);

} // namespace tv
