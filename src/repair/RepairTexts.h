#pragma once
// Status texts, captions and messages of the repair commands.
namespace tv::texts {

inline constexpr const char* SearchCaption = "補";
inline constexpr const char* StopCaption = "止";
inline constexpr const char* ChooseFolderTitle = "ディレクトリの選択";
inline constexpr const char* NothingTicked = "リスト項目が選択されていません";
inline constexpr const char* Searching = "検索中 ";
inline constexpr const char* SearchDone = "検索終了";
inline constexpr const char* SearchStopped = "検索中止";
inline constexpr const char* NoneFound = " （補完ファイルは有りません）";
inline constexpr const char* FoundHead = " （";
inline constexpr const char* FoundTail = "件見つかりました）";
inline constexpr const char* RenameStart = "処理開始　";
inline constexpr const char* RenameEnd = "処理終了　";
inline constexpr const char* DropFoundHead = "ドロップファイル一致 (";
inline constexpr const char* DropFoundTail = "件ありました)";
inline constexpr const char* DropNothing = "無効ファイルまたは重複ファイルがドロップされました";
// Shown after a rename run that passed over entries whose names lead out of the list's folder.
inline constexpr const char* OutsideNamesHead = "リストのフォルダの外を指す項目は改名・移動しませんでした（";
inline constexpr const char* OutsideNamesTail = "件）";
// Shown when a rename pass found the plan of one that was cut off, and finished it instead.
inline constexpr const char* PlanFinished = "中断された前回の改名・移動を完了しました。結果を確認してから、もう一度実行してください";

// The rebuild of a PAR2 set's damaged and missing files after the renames.
inline constexpr const char* RebuildStart = "修復ブロックから再構築中　";
inline constexpr const char* RebuiltHead = "修復ブロックから再構築しました（";
inline constexpr const char* RebuiltTail = "個）。壊れていたファイルは名前に番号（.1 など）を付けて残しました";
inline constexpr const char* RebuildFailed = "再構築できませんでした： ";
inline constexpr const char* RebuildTooFewHead = "修復ブロックが足りないため再構築できません（あと ";
inline constexpr const char* RebuildTooFewTail = " 個必要です）";

} // namespace tv::texts
