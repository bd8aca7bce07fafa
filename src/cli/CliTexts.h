#pragma once
// The command line's own sentences (usage, what was not checked or passed over, what a repair did),
// written in Japanese like every text of the program and said in the user's language through the
// catalogue. With no language set (C, POSIX or none) they are English, as the tool has always spoken,
// while the logic's texts stay Japanese there. Marks, TAB-separated fields and the counters' words are
// no sentences: scripts read them, and they never change.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tv::cli {

// The language of the sentences (SentenceLanguage()) for the user's language name, as UserLanguage()
// gives it: English for none.
void ChooseSentenceLanguage(const std::string& userLanguage);

// The sentence `japanese` in that language, with %1..%9 replaced by `values` as they are.
std::string Say(std::string_view japanese, std::initializer_list<std::string_view> values = {});
// The same in its form for a count of `n` (a plural entry of the catalogue).
std::string SayN(std::uint64_t n, std::string_view japanese, std::initializer_list<std::string_view> values = {});

} // namespace tv::cli
