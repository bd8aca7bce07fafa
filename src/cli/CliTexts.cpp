#include "cli/CliTexts.h"

#include "app/Language.h"

namespace tv::cli {

void ChooseSentenceLanguage(const std::string& userLanguage) {
    UseSentenceLanguage(userLanguage.empty() ? "en" : ProgramLanguageFor(userLanguage));
}

std::string Say(std::string_view japanese, std::initializer_list<std::string_view> values) {
    return FillPlaceholders(TrIn(SentenceLanguage(), japanese), values);
}

std::string SayN(std::uint64_t n, std::string_view japanese, std::initializer_list<std::string_view> values) {
    return FillPlaceholders(TrPluralIn(SentenceLanguage(), japanese, n), values);
}

} // namespace tv::cli
