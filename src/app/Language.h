#pragma once
// The languages the program speaks. Japanese is its own language: every text in the code is Japanese,
// and a translation is looked up by that text in a gettext catalogue (po/<language>.po, compiled in).
// The logic never translates; the front ends translate what they show (captions, hints, menus, boxes,
// the command line's status) at the moment they show it, so a change of language redraws at once.
//
// A catalogue entry is an exact text, or a pattern (context "pattern") for a text composed at run
// time: %1..%9 stand for data kept as it is (names, paths, numbers), %t1..%t9 for a part that is
// itself translated. Patterns are tried in the order they stand in the catalogue.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tv {

class Catalogue {
public:
    struct Entry {
        std::string Context; // "" or "pattern"
        std::string Source;  // the Japanese text
        std::string Translation;
        int Line = 0; // of the msgid in the .po text
    };
    // Reads a .po file's text. Fuzzy and untranslated entries and the header are left out; what cannot
    // be read is described in `problems` (line and what), and the rest still read.
    static Catalogue FromPo(std::string_view po, std::vector<std::string>* problems = nullptr);
    // The translation of `text`, or `text` itself when the catalogue has none.
    std::string Translate(std::string_view text) const;
    // The form of `text` for a count of `n`: an entry with msgid_plural, whose msgstr[0..] the header's
    // Plural-Forms choose among (as gettext does); `text` itself when the catalogue has none.
    std::string TranslatePlural(std::string_view text, std::uint64_t n) const;
    // The catalogue translates `text` wholly (an exact entry or a pattern matches it).
    bool Covers(std::string_view text) const;
    const std::vector<Entry>& Entries() const { return entries_; }

private:
    struct Piece {
        std::string Literal; // the text before the placeholder (or the tail, after the last one)
        int Slot = -1;       // 0..8; -1 for the tail
        bool Translated = false;
    };
    struct Pattern {
        std::vector<Piece> Source;      // the literal texts and placeholders of the msgid
        std::vector<Piece> Translation; // of the msgstr
    };
    bool TryTranslate(std::string_view text, int depth, std::string& out) const;
    bool Match(const Pattern& p, std::string_view text, int depth, std::string& out) const;
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::string> exact_;
    std::vector<Pattern> patterns_;
    std::unordered_map<std::string, std::vector<std::string>> plurals_;
    std::string pluralRule_ = "n != 1"; // the "plural=" of the header's Plural-Forms
};

// The index gettext's Plural-Forms expression `rule` (C syntax over n) gives for n; nullopt when the
// rule cannot be read.
std::optional<std::uint64_t> PluralIndex(std::string_view rule, std::uint64_t n);

// The catalogues compiled into the program: language code ("en") and .po text.
struct EmbeddedCatalogue {
    const char* Code;
    std::string_view Po;
};
const std::vector<EmbeddedCatalogue>& EmbeddedCatalogues();

// The program's language for a user's language name: "ja" for Japanese names and for an empty one, the
// code of a catalogue that serves the name ("en_GB" -> "en"), else "en" (English stands in for every
// language without a catalogue of its own).
std::string ProgramLanguageFor(std::string_view name);

// The language the front ends show, process-wide: "ja" (no translation) until UseLanguage says other.
void UseLanguage(std::string_view code);
const std::string& ShownLanguage();
// Moves whenever the shown language changes: a front end redraws everything when it sees it move.
std::uint64_t LanguageGeneration();
// `japanese` in the shown language.
std::string Tr(std::string_view japanese);
// `japanese` in the language `code`, whatever is shown: "ja" gives it as it is, a language without a
// catalogue English. The plural form for a count of `n` with TrPluralIn.
std::string TrIn(std::string_view code, std::string_view japanese);
std::string TrPluralIn(std::string_view code, std::string_view japanese, std::uint64_t n);

// The language of the command-line tool's own words (its sentences and its progress line), process-wide:
// "en" until UseSentenceLanguage says other. Apart from the shown language, since with no language set
// the tool says its sentences in English while the logic's texts stay Japanese.
void UseSentenceLanguage(std::string_view code);
const std::string& SentenceLanguage();
// `text` with %1..%9 replaced by `values`, which are kept as they are.
std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> values);

} // namespace tv
