#include "readers/ListLine.h"

#include "platform/Errors.h"

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

EntryLineParts SplitEntryLine(std::string_view t) { return {t.substr(0, t.size() - 9), t.substr(t.size() - 8)}; }

std::int32_t StrToInt(std::string_view text) {
    const std::string field(text);
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
        value = value * (hex ? 16u : 10u) + digit;
        if (value > 0xFFFFFFFFull) throw ConvertError(field);
    }
    if (hex) {
        auto bits = static_cast<std::uint32_t>(value);
        if (negative) bits = ~bits + 1u;
        return static_cast<std::int32_t>(bits);
    }
    if (negative) {
        if (value > 0x80000000ull) throw ConvertError(field);
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(value));
    }
    if (value > 0x7FFFFFFFull) throw ConvertError(field);
    return static_cast<std::int32_t>(value);
}

std::uint32_t HexCrc(std::string_view text) {
    // Built by appending: GCC 12 at -O3 warns falsely about "$" + std::string(...) once inlined.
    std::string field;
    field.reserve(text.size() + 1);
    field += '$';
    field.append(text);
    return static_cast<std::uint32_t>(StrToInt(field));
}

std::string SizeText(std::int32_t size) { return std::to_string(size); }

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

bool TryDecimal(std::string_view text, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return false;
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > 0x80000000LL) return false;
    }
    if (negative) v = -v;
    if (v > 0x7FFFFFFFLL) return false;
    value = static_cast<std::int32_t>(v);
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
