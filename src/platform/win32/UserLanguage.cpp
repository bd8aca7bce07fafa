#include "platform/UserLanguage.h"
#include "platform/win32/WideText.h"

namespace tv {

std::string UserLanguage() {
    const LANGID id = GetUserDefaultUILanguage();
    if (PRIMARYLANGID(id) == LANG_JAPANESE) return "ja-JP";
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(MAKELCID(id, SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) <= 0) return {};
    return win32::Narrow(name);
}

} // namespace tv
