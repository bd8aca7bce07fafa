#pragma once
// The language the user reads, as the system tells it.
#include <functional>
#include <string>

namespace tv {

// The language a user's environment asks for, as gettext reads it on POSIX: the first non-empty of
// LANGUAGE (its first name), LC_ALL, LC_MESSAGES, LANG. Empty for "C", "POSIX" (with or without a
// code set) or none set; otherwise the name as given ("en_US.UTF-8", "ja_JP.UTF-8", "de"). As in
// gettext, LANGUAGE counts only where the locale itself (LC_ALL, LC_MESSAGES or LANG) is not C.
std::string LanguageFromEnvironment(const std::function<const char*(const char*)>& getenv);

// The user's language on this system: the environment on POSIX (empty for C, POSIX or none), the
// user's UI language on Windows ("ja-JP", "en-US", ...; empty when it cannot be told).
std::string UserLanguage();

} // namespace tv
