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
        std::string Context, Id, Str, IdPlural;
        std::vector<std::string> Forms; // msgstr[0], msgstr[1], ...
        bool HasId = false, HasStr = false, Fuzzy = false, Plural = false;
        int Line = 0;
    } e;
    std::string* field = nullptr;
    std::string header;
    int headerLine = 0;
    auto finish = [&] {
        if (e.HasId && !e.HasStr) problem(e.Line, "msgid without msgstr");
        if (e.HasId && e.HasStr && e.Id.empty() && e.Context.empty() && !e.Plural) {
            header = e.Str;
            headerLine = e.Line;
        }
        const bool complete =
            e.Plural ? !e.Forms.empty() && std::none_of(e.Forms.begin(), e.Forms.end(),
                                                        [](const std::string& f) { return f.empty(); })
                     : !e.Str.empty();
        if (e.HasId && e.HasStr && !e.Id.empty() && complete && !e.Fuzzy) {
            if (!e.Plural)
                c.entries_.push_back({e.Context, e.Id, e.Str, e.Line});
            else if (!e.Context.empty())
                problem(e.Line, "a plural entry with a context");
            else if (!c.plurals_.emplace(e.Id, e.Forms).second)
                problem(e.Line, "a second translation of one text");
        }
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
        } else if (keyword == "msgid_plural") {
            e.Plural = true;
            field = &e.IdPlural;
        } else if (StartsWith(keyword, "msgstr[") && keyword.size() == 9 && keyword[7] >= '0' && keyword[7] <= '9' &&
                   keyword[8] == ']') {
            if (!e.Plural) problem(lineNo, "msgstr[n] without msgid_plural");
            e.HasStr = true;
            const std::size_t form = static_cast<std::size_t>(keyword[7] - '0');
            if (e.Forms.size() <= form) e.Forms.resize(form + 1);
            field = &e.Forms[form];
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
    // "Plural-Forms: nplurals=2; plural=(n != 1);"
    if (const std::size_t found = header.find("Plural-Forms:"); found != std::string::npos) {
        const std::string forms = header.substr(found, header.find('\n', found) - found);
        if (const std::size_t rule = forms.find("plural="); rule != std::string::npos) {
            const std::string text = forms.substr(rule + 7, forms.find(';', rule) - rule - 7);
            if (PluralIndex(text, 1))
                c.pluralRule_ = text;
            else
                problem(headerLine, "a Plural-Forms rule that cannot be read: " + text);
        }
    }

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

std::string Catalogue::TranslatePlural(std::string_view text, std::uint64_t n) const {
    const auto it = plurals_.find(std::string(text));
    if (it == plurals_.end()) return std::string(text);
    const std::uint64_t index = PluralIndex(pluralRule_, n).value_or(0);
    return it->second[std::min<std::size_t>(static_cast<std::size_t>(index), it->second.size() - 1)];
}

namespace {

// gettext's plural expressions: C's ?:, ||, &&, comparisons, + - * / %, !, parentheses, n and numbers.
class PluralExpression {
public:
    PluralExpression(std::string_view text, std::uint64_t n) : s_(text), n_(n) {}
    std::optional<std::uint64_t> Value() {
        const std::uint64_t v = Conditional();
        Blanks();
        if (failed_ || at_ != s_.size()) return std::nullopt;
        return v;
    }

private:
    void Blanks() {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t'))
            ++at_;
    }
    bool Take(std::string_view op) {
        Blanks();
        if (s_.substr(at_, op.size()) != op) return false;
        // "<" is not the start of "<=", nor "!" of "!=".
        if (op.size() == 1 && (op == "<" || op == ">" || op == "!" || op == "=") && s_.substr(at_ + 1, 1) == "=")
            return false;
        at_ += op.size();
        return true;
    }
    std::uint64_t Conditional() {
        const std::uint64_t test = Or();
        if (!Take("?")) return test;
        const std::uint64_t yes = Conditional();
        if (!Take(":")) failed_ = true;
        const std::uint64_t no = Conditional();
        return test ? yes : no;
    }
    std::uint64_t Or() {
        std::uint64_t v = And();
        while (Take("||")) {
            const std::uint64_t r = And();
            v = (v || r) ? 1 : 0;
        }
        return v;
    }
    std::uint64_t And() {
        std::uint64_t v = Equality();
        while (Take("&&")) {
            const std::uint64_t r = Equality();
            v = (v && r) ? 1 : 0;
        }
        return v;
    }
    std::uint64_t Equality() {
        std::uint64_t v = Relation();
        for (;;) {
            if (Take("=="))
                v = v == Relation() ? 1 : 0;
            else if (Take("!="))
                v = v != Relation() ? 1 : 0;
            else
                return v;
        }
    }
    std::uint64_t Relation() {
        std::uint64_t v = Sum();
        for (;;) {
            if (Take("<="))
                v = v <= Sum() ? 1 : 0;
            else if (Take(">="))
                v = v >= Sum() ? 1 : 0;
            else if (Take("<"))
                v = v < Sum() ? 1 : 0;
            else if (Take(">"))
                v = v > Sum() ? 1 : 0;
            else
                return v;
        }
    }
    std::uint64_t Sum() {
        std::uint64_t v = Product();
        for (;;) {
            if (Take("+"))
                v += Product();
            else if (Take("-"))
                v -= Product();
            else
                return v;
        }
    }
    std::uint64_t Product() {
        std::uint64_t v = Unary();
        for (;;) {
            const bool times = Take("*"), over = !times && Take("/"), rest = !times && !over && Take("%");
            if (!times && !over && !rest) return v;
            const std::uint64_t r = Unary();
            if ((over || rest) && r == 0) {
                failed_ = true;
                return 0;
            }
            v = times ? v * r : over ? v / r : v % r;
        }
    }
    std::uint64_t Unary() {
        if (Take("!")) return Unary() == 0 ? 1 : 0;
        if (++depth_ > 64) failed_ = true;
        if (failed_) return 0;
        std::uint64_t v = 0;
        if (Take("(")) {
            v = Conditional();
            if (!Take(")")) failed_ = true;
        } else if (Take("n")) {
            v = n_;
        } else if (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') {
            while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9')
                v = v * 10 + static_cast<std::uint64_t>(s_[at_++] - '0');
        } else {
            failed_ = true;
        }
        --depth_;
        return v;
    }
    std::string_view s_;
    std::uint64_t n_;
    std::size_t at_ = 0;
    int depth_ = 0;
    bool failed_ = false;
};

} // namespace

std::optional<std::uint64_t> PluralIndex(std::string_view rule, std::uint64_t n) {
    return PluralExpression(rule, n).Value();
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

// The catalogue that serves `code` (English for a language without one), read once; null for Japanese.
const Catalogue* CatalogueFor(std::string_view code, std::string& chosen) {
    Shown& s = TheShown();
    chosen = "ja";
    if (code == "ja") return nullptr;
    for (const std::string_view wanted : {code, std::string_view("en")}) {
        for (const EmbeddedCatalogue& c : EmbeddedCatalogues()) {
            if (wanted != c.Code) continue;
            auto it = s.Read.find(wanted);
            if (it == s.Read.end())
                it = s.Read.emplace(std::string(wanted), std::make_unique<Catalogue>(Catalogue::FromPo(c.Po))).first;
            chosen = c.Code;
            return it->second.get();
        }
    }
    return nullptr;
}

} // namespace

void UseLanguage(std::string_view code) {
    Shown& s = TheShown();
    std::string chosen;
    const Catalogue* catalogue = CatalogueFor(code, chosen);
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

std::string TrIn(std::string_view code, std::string_view japanese) {
    std::string chosen;
    const Catalogue* c = CatalogueFor(code, chosen);
    return c ? c->Translate(japanese) : std::string(japanese);
}

std::string TrPluralIn(std::string_view code, std::string_view japanese, std::uint64_t n) {
    std::string chosen;
    const Catalogue* c = CatalogueFor(code, chosen);
    return c ? c->TranslatePlural(japanese, n) : std::string(japanese);
}

namespace {

std::string& SentenceCode() {
    static std::string code = "en";
    return code;
}

} // namespace

void UseSentenceLanguage(std::string_view code) {
    SentenceCode() = std::string(code);
}

const std::string& SentenceLanguage() {
    return SentenceCode();
}

std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> values) {
    const std::vector<std::string_view> v(values);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const std::size_t slot = static_cast<std::size_t>(text[i + 1] - '1');
            if (slot < v.size()) {
                out += v[slot];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

} // namespace tv
