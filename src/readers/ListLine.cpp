#include "readers/ListLine.h"

#include "core/Entry.h"
#include "platform/Errors.h"

#include <cstdint>

namespace tv {

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

bool IsEntryLine(std::string_view t) { return t.size() >= 9 && t[t.size() - 9] == ' '; }

bool IsHexEntryLine(std::string_view t) {
    std::uint32_t crc = 0;
    return t.size() >= 10 && IsEntryLine(t) && TryHex(t.substr(t.size() - 8), crc);
}

EntryLineParts SplitEntryLine(std::string_view t) { return {t.substr(0, t.size() - 9), t.substr(t.size() - 8)}; }

namespace {

// The digits of a number as the runtime reads them; `bits` is 32 or 64. Hexadecimal gives any bit
// pattern of that width, decimal a signed value of it.
std::int64_t ParseInteger(std::string_view text, int bits) {
    const std::string field(text);
    const std::uint64_t patternMax = bits == 64 ? ~0ull : 0xFFFFFFFFull;
    const std::uint64_t positiveMax = patternMax >> 1;
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) throw ConvertError(field);
    std::uint64_t value = 0;
    const std::uint64_t base = hex ? 16u : 10u;
    for (; i < text.size(); ++i) {
        char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            throw ConvertError(field);
        if (value > (patternMax - digit) / base) throw ConvertError(field);
        value = value * base + digit;
    }
    if (hex) {
        if (negative) value = (~value + 1u) & patternMax;
        if (bits == 32) return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        return static_cast<std::int64_t>(value);
    }
    if (negative) {
        if (value > positiveMax + 1) throw ConvertError(field);
        return value == positiveMax + 1 ? (bits == 64 ? INT64_MIN : INT32_MIN)
                                        : -static_cast<std::int64_t>(value);
    }
    if (value > positiveMax) throw ConvertError(field);
    return static_cast<std::int64_t>(value);
}

} // namespace

std::int32_t StrToInt(std::string_view text) { return static_cast<std::int32_t>(ParseInteger(text, 32)); }

std::int64_t StrToInt64(std::string_view text) {
    // The one number that stands for "no size" is no size a list can give.
    const std::int64_t value = ParseInteger(text, 64);
    if (value == NoSize) throw ConvertError(std::string(text));
    return value;
}

std::uint32_t HexCrc(std::string_view text) {
    // Built by appending: GCC 12 at -O3 warns falsely about "$" + std::string(...) once inlined.
    std::string field;
    field.reserve(text.size() + 1);
    field += '$';
    field.append(text);
    return static_cast<std::uint32_t>(StrToInt(field));
}

std::string SizeText(std::int64_t size) { return std::to_string(size); }

std::string_view Slice(std::string_view s, std::size_t from, std::size_t count) {
    if (from >= s.size()) return {};
    return s.substr(from, count);
}

std::string WithoutChar(std::string_view s, char c) {
    std::string out;
    out.reserve(s.size());
    for (char b : s)
        if (b != c) out += b;
    return out;
}

bool StartsWithDigit(std::string_view s) { return !s.empty() && s.front() >= '0' && s.front() <= '9'; }

std::uint32_t HexCrcField(std::string_view line, std::size_t from) {
    const std::string_view field = Slice(line, from, 8);
    if (field.size() < 8) throw ConvertError("$" + std::string(field));
    return HexCrc(field);
}

bool TryDecimal(std::string_view text, std::int64_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return false;
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        if (v > (INT64_MAX - (text[i] - '0')) / 10) return false;
        v = v * 10 + (text[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

bool TryHex(std::string_view text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    std::uint32_t v = 0;
    for (char c : text) {
        std::uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return false;
        v = v * 16u + digit;
    }
    value = v;
    return true;
}

} // namespace tv
