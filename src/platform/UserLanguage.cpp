#include "platform/UserLanguage.h"

#include <string_view>

namespace tv {

std::string LanguageFromEnvironment(const std::function<const char*(const char*)>& getenv) {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = getenv(name);
        if (!v || !*v) continue;
        std::string value = v;
        // LANGUAGE lists names by preference: the first is the user's language.
        if (std::string_view(name) == "LANGUAGE") value = value.substr(0, value.find(':'));
        if (value.empty()) continue;
        const std::string_view base = std::string_view(value).substr(0, value.find('.'));
        if (base == "C" || base == "POSIX") return {};
        return value;
    }
    return {};
}

} // namespace tv
