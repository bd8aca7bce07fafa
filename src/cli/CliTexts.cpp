#include "cli/CliTexts.h"

#include "app/Language.h"

#include <vector>

namespace tv::cli {

namespace {

std::string& Chosen() {
    static std::string language = "en";
    return language;
}

std::string Fill(const std::string& text, std::initializer_list<std::string_view> values) {
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

} // namespace

void ChooseSentenceLanguage(const std::string& userLanguage) {
    Chosen() = userLanguage.empty() ? "en" : ProgramLanguageFor(userLanguage);
}

const std::string& SentenceLanguage() {
    return Chosen();
}

std::string Say(std::string_view japanese, std::initializer_list<std::string_view> values) {
    return Fill(TrIn(Chosen(), japanese), values);
}

std::string SayN(std::uint64_t n, std::string_view japanese, std::initializer_list<std::string_view> values) {
    return Fill(TrPluralIn(Chosen(), japanese, n), values);
}

} // namespace tv::cli
