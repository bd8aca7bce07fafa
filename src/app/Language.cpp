// Catalogues and the shown language. A .po file is read by the rules of gettext's own format: entries
// of msgctxt, msgid and msgstr, each a run of quoted strings with C escapes; "#," comments carry flags,
// and a fuzzy entry is no translation yet.
#include "app/Language.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>

namespace tv {

namespace {

constexpr int MaxDepth = 8;

bool StartsWith(std::string_view s, std::string_view head) {
    return s.size() >= head.size() && s.substr(0, head.size()) == head;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// A quoted .po string ("...") without its quotes, escapes resolved; false when it is not one.
bool Unquote(std::string_view s, std::string& out) {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') return false;
    s = s.substr(1, s.size() - 2);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') return false;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == s.size()) return false;
        switch (s[i]) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case '"':
            out += '"';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            return false;
        }
    }
    return true;
}

} // namespace

Catalogue Catalogue::FromPo(std::string_view po, std::vector<std::string>* problems) {
    Catalogue c;
    auto problem = [&](int line, const std::string& what) {
        if (problems) problems->push_back("line " + std::to_string(line) + ": " + what);
    };
    struct Pending {
        std::string Context, Id, Str;
        bool HasId = false, HasStr = false, Fuzzy = false, Plural = false;
        int Line = 0;
    } e;
    std::string* field = nullptr;
    auto finish = [&] {
        if (e.HasId && !e.HasStr) problem(e.Line, "msgid without msgstr");
        if (e.HasId && e.HasStr && !e.Id.empty() && !e.Str.empty() && !e.Fuzzy && !e.Plural)
            c.entries_.push_back({e.Context, e.Id, e.Str, e.Line});
        e = Pending{};
        field = nullptr;
    };
    int lineNo = 0;
    std::size_t at = 0;
    while (at <= po.size()) {
        const std::size_t end = std::min(po.find('\n', at), po.size());
        const std::string_view line = Trim(po.substr(at, end - at));
        ++lineNo;
        at = end + 1;
        if (line.empty()) {
            if (e.HasStr || e.HasId) finish();
            continue;
        }
        if (line.front() == '#') {
            if (e.HasStr) finish();
            if (StartsWith(line, "#,") && line.find("fuzzy") != std::string_view::npos) e.Fuzzy = true;
            continue;
        }
        std::string_view keyword = line.substr(0, line.find_first_of(" \t"));
        std::string_view rest = keyword.size() < line.size() ? Trim(line.substr(keyword.size())) : std::string_view();
        if (line.front() == '"') {
            keyword = {};
            rest = line;
        } else if (keyword == "msgctxt" || keyword == "msgid") {
            if (e.HasStr || e.HasId) finish();
        }
        if (keyword == "msgctxt") {
            field = &e.Context;
        } else if (keyword == "msgid") {
            e.HasId = true;
            e.Line = lineNo;
            field = &e.Id;
        } else if (keyword == "msgid_plural" || StartsWith(keyword, "msgstr[")) {
            e.Plural = true;
            e.HasStr = true;
            field = nullptr;
            continue;
        } else if (keyword == "msgstr") {
            if (!e.HasId) problem(lineNo, "msgstr without msgid");
            e.HasStr = true;
            field = &e.Str;
        } else if (!keyword.empty()) {
            problem(lineNo, "unknown keyword " + std::string(keyword));
            field = nullptr;
            continue;
        }
        if (!field) {
            problem(lineNo, "a string outside an entry");
            continue;
        }
        if (!Unquote(rest, *field)) problem(lineNo, "not a quoted string");
    }
    finish();

    // Splits a pattern's text at its placeholders.
    auto pieces = [&](const std::string& text, int line, bool source, std::vector<Piece>& out) {
        std::string literal;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '%' && i + 1 < text.size()) {
                const bool translated = text[i + 1] == 't';
                const std::size_t digit = i + (translated ? 2 : 1);
                if (digit < text.size() && text[digit] >= '1' && text[digit] <= '9') {
                    if (source && literal.empty() && !out.empty())
                        problem(line, "two placeholders side by side cannot be told apart");
                    out.push_back({std::move(literal), text[digit] - '1', translated});
                    literal.clear();
                    i = digit;
                    continue;
                }
                if (text[i + 1] == '%') ++i;
            }
            literal += text[i];
        }
        out.push_back({std::move(literal), -1, false});
    };
    for (const Entry& entry : c.entries_) {
        if (entry.Context.empty()) {
            if (!c.exact_.emplace(entry.Source, entry.Translation).second)
                problem(entry.Line, "a second translation of one text");
            continue;
        }
        if (entry.Context != "pattern") {
            problem(entry.Line, "unknown context " + entry.Context);
            continue;
        }
        Pattern p;
        pieces(entry.Source, entry.Line, true, p.Source);
        pieces(entry.Translation, entry.Line, false, p.Translation);
        std::array<int, 9> used{};
        for (const Piece& s : p.Source)
            if (s.Slot >= 0) used[static_cast<std::size_t>(s.Slot)] = s.Translated ? 2 : 1;
        bool fits = p.Source.size() > 1;
        if (!fits) problem(entry.Line, "a pattern without a placeholder");
        for (const Piece& t : p.Translation)
            if (t.Slot >= 0 && used[static_cast<std::size_t>(t.Slot)] != (t.Translated ? 2 : 1)) {
                problem(entry.Line, "msgstr has a placeholder that msgid has not");
                fits = false;
            }
        if (fits) c.patterns_.push_back(std::move(p));
    }
    return c;
}

bool Catalogue::Match(const Pattern& p, std::string_view text, int depth, std::string& out) const {
    const std::vector<Piece>& src = p.Source;
    if (!StartsWith(text, src.front().Literal)) return false;
    std::array<std::string_view, 9> values{};
    std::size_t pos = src.front().Literal.size();
    for (std::size_t j = 1; j < src.size(); ++j) {
        const std::string& literal = src[j].Literal;
        std::size_t found;
        if (j + 1 == src.size()) {
            if (text.size() < pos + literal.size() || text.substr(text.size() - literal.size()) != literal)
                return false;
            found = text.size() - literal.size();
        } else {
            found = text.find(literal, pos);
            if (found == std::string_view::npos) return false;
        }
        values[static_cast<std::size_t>(src[j - 1].Slot)] = text.substr(pos, found - pos);
        pos = found + literal.size();
    }
    std::string result;
    for (const Piece& t : p.Translation) {
        result += t.Literal;
        if (t.Slot < 0) continue;
        const std::string_view value = values[static_cast<std::size_t>(t.Slot)];
        if (!t.Translated || value.empty()) {
            result += value;
            continue;
        }
        // A part the catalogue does not know is shown as it is.
        std::string part;
        result += TryTranslate(value, depth + 1, part) ? part : std::string(value);
    }
    out = std::move(result);
    return true;
}

bool Catalogue::TryTranslate(std::string_view text, int depth, std::string& out) const {
    if (depth > MaxDepth) return false;
    if (const auto it = exact_.find(std::string(text)); it != exact_.end()) {
        out = it->second;
        return true;
    }
    for (const Pattern& p : patterns_)
        if (Match(p, text, depth, out)) return true;
    return false;
}

std::string Catalogue::Translate(std::string_view text) const {
    std::string out;
    if (TryTranslate(text, 0, out)) return out;
    return std::string(text);
}

bool Catalogue::Covers(std::string_view text) const {
    std::string out;
    return TryTranslate(text, 0, out);
}

std::string ProgramLanguageFor(std::string_view name) {
    if (name.empty()) return "ja";
    std::string lower;
    for (const char ch : name)
        lower += (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
    if (StartsWith(lower, "ja")) return "ja";
    const std::string full = lower.substr(0, lower.find_first_of(".@"));
    const std::string language = full.substr(0, full.find_first_of("_-"));
    std::string region = full;
    std::replace(region.begin(), region.end(), '-', '_');
    for (const EmbeddedCatalogue& c : EmbeddedCatalogues()) {
        std::string code = c.Code;
        for (char& ch : code)
            ch = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
        if (code == region) return c.Code;
    }
    for (const EmbeddedCatalogue& c : EmbeddedCatalogues())
        if (language == c.Code) return c.Code;
    return "en";
}

namespace {

struct Shown {
    std::string Code = "ja";
    const Catalogue* Current = nullptr;
    std::uint64_t Generation = 0;
    std::map<std::string, std::unique_ptr<Catalogue>, std::less<>> Read;
};

Shown& TheShown() {
    static Shown shown;
    return shown;
}

} // namespace

void UseLanguage(std::string_view code) {
    Shown& s = TheShown();
    const Catalogue* catalogue = nullptr;
    std::string chosen = "ja";
    if (code != "ja") {
        for (const std::string_view wanted : {code, std::string_view("en")}) {
            for (const EmbeddedCatalogue& c : EmbeddedCatalogues()) {
                if (wanted != c.Code) continue;
                auto it = s.Read.find(wanted);
                if (it == s.Read.end())
                    it =
                        s.Read.emplace(std::string(wanted), std::make_unique<Catalogue>(Catalogue::FromPo(c.Po))).first;
                catalogue = it->second.get();
                chosen = c.Code;
                break;
            }
            if (catalogue) break;
        }
    }
    if (chosen == s.Code) return;
    s.Code = chosen;
    s.Current = catalogue;
    ++s.Generation;
}

const std::string& ShownLanguage() {
    return TheShown().Code;
}

std::uint64_t LanguageGeneration() {
    return TheShown().Generation;
}

std::string Tr(std::string_view japanese) {
    const Catalogue* c = TheShown().Current;
    return c ? c->Translate(japanese) : std::string(japanese);
}

} // namespace tv
