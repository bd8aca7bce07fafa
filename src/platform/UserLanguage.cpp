#include "platform/UserLanguage.h"

#include <string_view>

namespace tv {

std::string LanguageFromEnvironment(const std::function<const char*(const char*)>& getenv) {
    // The locale of messages first: in the C locale gettext translates nothing, whatever LANGUAGE says.
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = getenv(name);
        if (v && *v) {
            locale = v;
            break;
        }
    }
    const std::string_view base = std::string_view(locale).substr(0, locale.find('.'));
    if (locale.empty() || base == "C" || base == "POSIX") return {};
    // LANGUAGE lists languages by preference: the first is the user's.
    if (const char* v = getenv("LANGUAGE"); v && *v && *v != ':') {
        const std::string list = v;
        return list.substr(0, list.find(':'));
    }
    return locale;
}

} // namespace tv
