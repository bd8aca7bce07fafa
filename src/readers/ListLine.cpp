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
    // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on "$" + std::string.
    std::string field;
    field.reserve(text.size() + 1);
    field += '$';
    field += text;
    return static_cast<std::uint32_t>(StrToInt(field));
}

std::string SizeText(std::int32_t size) { return std::to_string(size); }

} // namespace tv
