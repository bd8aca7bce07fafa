#include "core/EntryNames.h"

#include "platform/Paths.h"
#include "platform/TextEncoding.h"

namespace tv {

std::string EntryNativeName(const TCrcTable& e) {
    return e.ByListBytes ? Cp932Separators(e.FileName) : NativeName(e.FileName);
}

std::string EntryFullPath(std::string_view folder, const TCrcTable& e) { return FolderFile(folder, EntryNativeName(e)); }

std::string ShownName(const TCrcTable& e) {
    return e.ListBytes.empty() ? DisplayText(e.FileName, ListEncoding::Utf8)
                               : DisplayText(e.ListBytes, ListEncoding::Cp932);
}

std::string ListBytesNativeName(const TCrcTable& e) {
    if (e.ListBytes.empty() || e.ByListBytes) return {};
    return Cp932Separators(e.ListBytes);
}

void UseListBytes(TCrcTable& e) {
    e.FileName = e.ListBytes;
    e.ByListBytes = true;
}

bool IsOwnFileName(const TCrcTable& e, const std::string& diskName) {
    const std::string own = EntryNativeName(e);
    if (SameFileName(own, diskName)) return true;
    if (IsValidUtf8(diskName)) return false;
    const std::optional<std::string> decoded = Cp932ToUtf8(diskName);
    if (!decoded) return false;
    const std::optional<std::string> text = e.ByListBytes ? Cp932ToUtf8(e.ListBytes) : NativeName(e.FileName);
    return text && SameFileName(NativeName(*decoded), NativeName(*text));
}

} // namespace tv
