#pragma once
// The one rule of which files of a folder a list leaves out. Create (the window's create mode and the
// command line), update ("新規ファイルを追加") and the report of unlisted files all ask it, so that an
// update right after a create adds nothing and the unlisted files are those an update would add.
//
// Every list leaves out: the list itself (the caller knows its path), any other checksum list or
// recovery file this program reads (SFV, CSV and .crc lists, digest and BLAKE lists by extension or
// *SUMS name, .par2, .par and .p01 to .p99), hidden files and folders, and the program's own temporary,
// plan and lock files. An SFV or CSV list also leaves out the extensions create mode has always left
// unticked (ExcludedExtensions, taken as a piece of that text: ".txt", ".ini", ".db", also ".c", ".s").
// A digest list leaves out nothing else.
#include <string_view>

namespace tv {

enum class LeftOutBy {
    Nothing,       // the file belongs in the list
    ChecksumList,  // a checksum list or recovery file of its own
    HiddenOrOwn,   // a hidden file, or one of the program's own
    ExtensionRule, // SFV and CSV lists: an excluded extension
};

// Why a file of a folder, named relative to it (native separators), is left out of a new or updated
// list; `hidden` as the folder's listing tells it (a dot name on POSIX, the attribute on Windows).
// `digestList`: the list is a digest list (MD5 ... BLAKE3), not an SFV or CSV list.
LeftOutBy LeftOutOfList(std::string_view relName, bool hidden, bool digestList);

// A checksum list or recovery file by its name alone (its last part).
bool IsChecksumOrRecoveryFile(std::string_view relName);

} // namespace tv
