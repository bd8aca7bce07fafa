// The name conversion through Windows' own code page 932 table, by way of UTF-16.
#include "platform/TextEncoding.h"

#include <windows.h>

namespace tv {

namespace {

std::optional<std::wstring> ToWide(UINT codePage, std::string_view text) {
    if (text.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// UTF-8 takes no default character; for code page 932 one used means the text does not fit.
std::optional<std::string> FromWide(UINT codePage, const std::wstring& wide) {
    if (wide.empty()) return std::string();
    BOOL usedDefault = FALSE;
    BOOL* used = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int n = ::WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                        nullptr, used);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, used);
    return out;
}

} // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
    const auto wide = ToWide(932, cp932);
    if (!wide) return std::nullopt;
    return FromWide(CP_UTF8, *wide);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    const auto wide = ToWide(CP_UTF8, utf8);
    if (!wide) return std::nullopt;
    return FromWide(932, *wide);
}

std::optional<std::string> Utf16ToUtf8(std::string_view utf16, bool bigEndian) {
    if (utf16.size() % 2 != 0) return std::nullopt;
    std::wstring wide(utf16.size() / 2, L'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(utf16[2 * i]), b1 = static_cast<unsigned char>(utf16[2 * i + 1]);
        wide[i] = static_cast<wchar_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
    }
    // A lone surrogate makes the conversion fail under WC_ERR_INVALID_CHARS.
    return FromWide(CP_UTF8, wide);
}

} // namespace tv
