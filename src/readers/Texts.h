#pragma once
// Status and message texts of list loading.
namespace tv::texts {

inline constexpr const char* ReadStart = "読み取り開始 ";
inline constexpr const char* ReadEnd = "読み取り終了 ";
inline constexpr const char* NothingReadable = "全ての項目が読み取れません";
inline constexpr const char* RestUnreadable = "以降の項目が読み取れません";
inline constexpr const char* UnknownFileStatus = "未知のＣＲＣファイルです ";
inline constexpr const char* IrregularFileStatus = "規格外のＣＲＣファイルです ";
// A digest list (MD5 ... BLAKE3) with no line read as one: the status, and the message's head, then the
// kind ("SHA-256") and the tail; an empty one says so instead.
inline constexpr const char* IrregularListStatus = "規格外のリストファイルです ";
inline constexpr const char* IrregularDigestHead = "［ 規格外のリストファイルです ］\r\r";
inline constexpr const char* IrregularDigestTail = "の「ダイジェスト  ファイル名」の行がひとつも読み取れません\r"
                                                   "メモ帳等でこのファイルを開いて確認して下さい";
inline constexpr const char* EmptyListStatus = "空のリストファイルです ";
inline constexpr const char* EmptyDigestList = "［ 空のリストファイルです ］\r\rこのリストには項目がひとつもありません";
inline constexpr const char* NotAcceptedFormat = "受け付け可能な形式（CRC/SFV/CSV）ではありません => ";
inline constexpr const char* NotFound = "Not Found => ";
inline constexpr const char* Crc1632Title = "FileName, CRC16, CRC32, FileSize, Path";
inline constexpr const char* NotCrc1632File = "CRC1632で作られたファイルではありません　";

inline constexpr const char* IrregularPar2Status = "規格外のPAR2ファイルです ";

} // namespace tv::texts
