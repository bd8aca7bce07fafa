#include "writers/LeftOut.h"

#include "core/FolderTree.h"
#include "platform/Paths.h"
#include "readers/DigestLines.h"
#include "writers/ListFormat.h"

namespace tv {

namespace {

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

// A part of the name starting with "." (a hidden file on POSIX, or a file in a hidden folder); Windows
// tells hidden files by their attribute alone.
bool DotPart(std::string_view relName) {
#ifdef _WIN32
    (void)relName;
    return false;
#else
    std::size_t at = 0;
    while (at < relName.size()) {
        if (relName[at] == '.') return true;
        const std::size_t next = relName.find('/', at);
        if (next == std::string_view::npos) break;
        at = next + 1;
    }
    return false;
#endif
}

} // namespace

bool IsChecksumOrRecoveryFile(std::string_view relName) {
    const std::string name = ExtractFileName(relName);
    const std::string ext = UpperAscii(ExtractFileExt(name));
    if (ext == ".SFV" || ext == ".CSV" || ext == ".CRC" || ext == ".PAR2" || ext == ".PAR") return true;
    // Recovery volumes .p01 to .p99.
    if (ext.size() == 4 && ext[1] == 'P' && Digit(ext[2]) && Digit(ext[3]) && ext != ".P00") return true;
    return AlgorithmOfListName(name).has_value();
}

LeftOutBy LeftOutOfList(std::string_view relName, bool hidden, bool digestList) {
    // The names a listing gives are never empty; a sub-folder's file is judged by its own name too.
    if (hidden || DotPart(relName) || IsProgramFile(relName)) return LeftOutBy::HiddenOrOwn;
    if (IsChecksumOrRecoveryFile(relName)) return LeftOutBy::ChecksumList;
    if (!digestList && HasExcludedExtension(ExtractFileName(relName))) return LeftOutBy::ExtensionRule;
    return LeftOutBy::Nothing;
}

} // namespace tv
