#include "readers/Dialects.h"

namespace tv {

void RunDialectReader(TForm1& form, ListDialect dialect, std::int32_t& irregularLineCount) {
    switch (dialect) {
    case ListDialect::ldStrictSfv: form.ReadStrictSfvList(); break;
    case ListDialect::ldPlainSfv: form.ReadPlainSfvList(irregularLineCount); break;
    case ListDialect::ldCrc1632: form.LoadList(); break;
    // The commented, ruler-table and CSV readers come later; until then their lists are read as
    // plain SFV, which passes over the comment lines.
    default: form.ReadPlainSfvList(irregularLineCount); break;
    }
}

} // namespace tv
