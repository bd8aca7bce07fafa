#include "readers/Dialects.h"

#include "readers/DigestLines.h"
#include "readers/Texts.h"

namespace tv {

void RunDialectReader(TForm1& form, ListDialect dialect, std::int32_t& irregularLineCount) {
    switch (dialect) {
    case ListDialect::ldCsv: form.ReadCsvList(); break;
    case ListDialect::ldQuickSfv: form.ReadQuickSfvList(); break;
    case ListDialect::ldSfv32: form.ReadSfv32List(); break;
    case ListDialect::ldEasySfv: form.ReadEasySfvList(); break;
    case ListDialect::ldRulerTable: form.ReadRulerTableList(); break;
    case ListDialect::ldStrictSfv: form.ReadStrictSfvList(); break;
    case ListDialect::ldPlainSfv: form.ReadPlainSfvList(irregularLineCount); break;
    case ListDialect::ldCrcEx: form.ReadCrcExList(); break;
    case ListDialect::ldCrc1632: form.ReadCrc1632List(); break;
    case ListDialect::ldDigest: form.ReadDigestList(AlgorithmOfListName(ExtractFileName(form.ListPath))); break;
    case ListDialect::ldPar2: form.ReadPar2List(); break;
    case ListDialect::ldUnknown: form.ReadPlainSfvList(irregularLineCount); break;
    }
}

void AppendListEntry(TForm1& form, ListRecord&& r) {
    TidyListNameInPlace(r.Name, r.LiteralBackslash, form.Encoding == ListEncoding::Cp932);
    form.AppendEntry(std::move(r.Name), r.Size, r.Crc);
    form.EntryTable[form.EntryCount - 1].LiteralBackslash = r.LiteralBackslash;
}

void ApplyParsedList(TForm1& form, ParsedList&& list) {
    // Entries handed over while the list was read are in the table already.
    const std::int32_t first = form.EntryCount - static_cast<std::int32_t>(list.Taken);
    form.ListHasSizes = list.HasSizes;
    for (std::size_t k = 0; k < list.Entries.size(); ++k) {
        ListRecord& r = list.Entries[k];
        AppendListEntry(form, std::move(r));
        if (k % 256 == 255) form.ReportProgress();
    }
    form.UnreadLineCount += list.UnreadLines;
    if (list.Stop == ListStop::None) return;
    // The status names the last entry read whole as the window shows it (converted), or the cut line.
    const std::int32_t named = first + static_cast<std::int32_t>(list.ReadWhole) - 1;
    if (list.StopText)
        form.ReadErrorText = *list.StopText + texts::RestUnreadable;
    else if (list.Stop == ListStop::RestUnreadable && named >= first && named < form.EntryCount)
        form.ReadErrorText = form.EntryTable[named].FileName.str() + texts::RestUnreadable;
    else
        form.ReadErrorText = texts::NothingReadable;
}

} // namespace tv
