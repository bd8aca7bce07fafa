#pragma once
// The kinds of list the loader recognises, and the reader that reads each.
#include "app/TallyvaultMain.h"
#include "platform/Paths.h"
#include "readers/ListParsers.h"

#include <functional>
#include <string>
#include <string_view>

namespace tv {

// The dialect named by the signatures in a list's first line (case-sensitive, anywhere in the line;
// the one lowest in the table wins), or ldUnknown.
ListDialect RecogniseDialect(std::string_view firstLine);

// Runs the reader of a dialect; irregularLineCount is passed to the lenient plain reader.
void RunDialectReader(TForm1& form, ListDialect dialect, std::int32_t& irregularLineCount);

// Appends one entry a list gave to the window's table, its name in one spelling (TidyListName): a list
// that names "./a.bin" or "sub//b.bin" names the files "a.bin" and "sub/b.bin" of every other command.
void AppendListEntry(TForm1& form, ListRecord&& r);

// Puts what a parser read into the window's table: its entries after those there (names converted
// from the list's encoding), whether the list gives sizes, its unread lines, and the status text of
// where it stopped.
void ApplyParsedList(TForm1& form, ParsedList&& list);

// Parses the list file straight into the window's table: each entry a parser has read whole is
// appended at once, so a long list is never held whole beside the table. `read` sees the count of
// entries read so far.
template <class Parser>
auto ParseIntoTable(TForm1& form, Parser parse, std::function<void(std::int32_t)> read = {}) {
    ParseProgress progress;
    progress.Read = std::move(read);
    progress.Take = [&form](ListRecord&& r) { AppendListEntry(form, std::move(r)); };
    return ParseListFile(form.fs, form.ListPath, parse, progress);
}

// Whether the first line of the file that is neither blank nor a comment is a digest list's line (a
// read failure raises IoError).
bool LooksLikeDigestListFile(FileSystem& fs, const std::string& path);
// A name whose list kind only its content tells: a ".txt" file or one without an extension.
bool MayHoldDigestsByContent(const std::string& path);
// A digest list by its name (".sha256", "SHA256SUMS", ...), or a .txt or extension-less file of
// digest lines: what the command line and a drop take as a list besides the CRC kinds.
bool AcceptedAsDigestList(FileSystem& fs, const std::string& path);

// The encoding of a list file, from all of its bytes; a read failure raises IoError.
ListEncoding DetectEncoding(FileSystem& fs, const std::string& path);

} // namespace tv
