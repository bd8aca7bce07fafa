#include "readers/Dialects.h"

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
    case ListDialect::ldUnknown: form.ReadPlainSfvList(irregularLineCount); break;
    }
}

} // namespace tv
