#include "platform/UserLanguage.h"

#include <cstdlib>

namespace tv {

std::string UserLanguage() {
    return LanguageFromEnvironment([](const char* name) { return std::getenv(name); });
}

} // namespace tv
