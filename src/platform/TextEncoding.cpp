#include "platform/TextEncoding.h"

#include <cstdint>
#include <cstring>

namespace tv {

namespace {

// One step of strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
struct Utf8Step {
    int pending = 0;
    unsigned lowest = 0x80, highest = 0xBF;

    // False when byte b cannot stand here.
    bool Take(unsigned char b) {
        if (pending > 0) {
            if (b < lowest || b > highest) return false;
            lowest = 0x80;
            highest = 0xBF;
            --pending;
            return true;
        }
        if (b < 0x80) return true;
        if (b >= 0xC2 && b <= 0xDF) {
            pending = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            pending = 2;
            if (b == 0xE0) lowest = 0xA0;
            if (b == 0xED) highest = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            pending = 3;
            if (b == 0xF0) lowest = 0x90;
            if (b == 0xF4) highest = 0x8F;
        } else {
            return false;
        }
        return true;
    }
};

// The length of the valid UTF-8 sequence at i; 0 when the byte there starts none.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i) {
    Utf8Step step;
    std::size_t j = i;
    do {
        if (j >= s.size() || !step.Take(static_cast<unsigned char>(s[j]))) return 0;
        ++j;
    } while (step.pending > 0);
    return j - i;
}

constexpr std::string_view Replacement = "\xEF\xBF\xBD";

} // namespace

bool IsValidUtf8(std::string_view s) {
    EncodingDetector d;
    d.Feed(s);
    return d.Result() == ListEncoding::Utf8;
}

void EncodingDetector::Feed(std::string_view block) {
    static constexpr unsigned char Bom[3] = {0xEF, 0xBB, 0xBF};
    std::size_t i = 0;
    while (i < block.size()) {
        // Past the first bytes and between sequences, a run of ASCII only counts: a list of a hundred
        // thousand names is megabytes of it, passed over eight bytes at a time.
        if (seen_ >= 3 && pending_ == 0) {
            std::size_t j = i;
            for (std::uint64_t word = 0; j + 8 <= block.size(); j += 8) {
                std::memcpy(&word, block.data() + j, 8);
                if ((word & 0x8080808080808080ull) != 0) break;
            }
            while (j < block.size() && static_cast<unsigned char>(block[j]) < 0x80)
                ++j;
            seen_ += j - i;
            i = j;
            if (i == block.size()) break;
        }
        const auto b = static_cast<unsigned char>(block[i++]);
        if (seen_ < 2) first_[seen_] = b;
        if (seen_ < 3) bom_ = (seen_ == 0 || bom_) && b == Bom[seen_];
        ++seen_;
        if (invalid_) continue;
        Utf8Step step{pending_, lowest_, highest_};
        invalid_ = !step.Take(b);
        pending_ = step.pending;
        lowest_ = step.lowest;
        highest_ = step.highest;
    }
}

ListEncoding EncodingDetector::Result() const {
    if (Utf16()) return first_[0] == 0xFF ? ListEncoding::Utf16Le : ListEncoding::Utf16Be;
    if (bom_ && seen_ >= 3) return ListEncoding::Utf8;
    return invalid_ || pending_ > 0 ? ListEncoding::Cp932 : ListEncoding::Utf8;
}

std::string Cp932Separators(std::string_view s) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); i = NextCp932Char(out, i))
        if (out[i] == '\\') out[i] = '/';
    return out;
}

std::size_t FindCp932Separator(std::string_view s, std::size_t from) {
    for (std::size_t i = 0; i < s.size(); i = NextCp932Char(s, i))
        if (i >= from && (s[i] == '\\' || s[i] == '/')) return i;
    return std::string_view::npos;
}

std::string UpperCp932(std::string_view s) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); i = NextCp932Char(out, i))
        if (out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
    return out;
}

std::string DisplayText(std::string_view bytes, ListEncoding encoding) {
    std::string out;
    out.reserve(bytes.size());
    if (encoding != ListEncoding::Cp932) {
        for (std::size_t i = 0; i < bytes.size();) {
            const std::size_t n = Utf8SequenceAt(bytes, i);
            if (n == 0) {
                out += Replacement;
                ++i;
            } else {
                out.append(bytes.substr(i, n));
                i += n;
            }
        }
        return out;
    }
    if (auto whole = Cp932ToUtf8(bytes)) return *whole;
    // Character by character: a pair that does not convert gives up only its first byte, so that an
    // ASCII byte after a stray lead byte still shows.
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t next = NextCp932Char(bytes, i);
        if (auto one = Cp932ToUtf8(bytes.substr(i, next - i))) {
            out += *one;
            i = next;
        } else {
            out += Replacement;
            ++i;
        }
    }
    return out;
}

const char* EncodingName(ListEncoding encoding) {
    switch (encoding) {
    case ListEncoding::Cp932: return "cp932";
    case ListEncoding::Utf16Le: return "utf-16le";
    case ListEncoding::Utf16Be: return "utf-16be";
    case ListEncoding::Utf8: break;
    }
    return "utf-8";
}

std::optional<ListEncoding> EncodingFromName(std::string_view name) {
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower == "utf-8" || lower == "utf8") return ListEncoding::Utf8;
    if (lower == "cp932" || lower == "shift_jis" || lower == "sjis") return ListEncoding::Cp932;
    return std::nullopt;
}

} // namespace tv
