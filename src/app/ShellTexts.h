#pragma once
// Texts of the application shell: settings keys, status texts, the version box and the dialogs.
namespace tv::shelltexts {

// Settings file sections and keys, spelt as stored files have them.
inline constexpr const char* SecTitle = "Title";
inline constexpr const char* SecWindow = "Window Position";
inline constexpr const char* SecMain = "Tallyvault";
inline constexpr const char* KeyVersion = "Program Version";
inline constexpr const char* KeyLastUpdate = "IniFile Last Update";
inline constexpr const char* KeyTop = "Top";
inline constexpr const char* KeyLeft = "Left";
inline constexpr const char* KeyWidth = "Whdth";
inline constexpr const char* KeyHeight = "Height";
inline constexpr const char* KeyCopy = "Complement Copy";
inline constexpr const char* KeyAutoMove = "Auto Complement";
inline constexpr const char* KeyFixUse = "Complement Fix Folder Use";
inline constexpr const char* KeyFixName = "Complement Fix Folder Name";
inline constexpr const char* KeyColumnWidth[4] = {"List FileName Width", "List FileSize Width", "List CRC Width",
                                                  "List Same File Width"};
inline constexpr const char* KeyDblNop = "Redundant File Detect <No Action>";
inline constexpr const char* KeyDblInq = "Redundant File Detect <Inquire>";
inline constexpr const char* KeyDblDel = "Redundant File Detect <Delete>";
inline constexpr const char* KeyTrash = "Redundant File Detect <Tash Use>";
inline constexpr const char* KeyCp932Lists = "Write Lists <CP932>";
// The kind of list create mode makes, one key per item of the radio group (in the order of
// Algorithms[]), and the form of digest lists.
inline constexpr const char* KeyListKinds[] = {
    "Write Lists <CRC-32>",  "Write Lists <MD5>",     "Write Lists <SHA-1>",  "Write Lists <SHA-224>",
    "Write Lists <SHA-256>", "Write Lists <SHA-384>", "Write Lists <SHA-512>", "Write Lists <BLAKE2b>",
    "Write Lists <BLAKE3>"};
inline constexpr const char* KeyBsdTags = "Write Lists <BSD Tags>";
inline constexpr const char* KeyPar2Kind = "Write Lists <PAR2>";
inline constexpr const char* KeyPar2Redundancy = "PAR2 Redundancy";
// The hashing: one key per item of each radio group, in the order of TForm1's items.
inline constexpr const char* KeyThreads[] = {"Hash Threads <Cores>", "Hash Threads <1>", "Hash Threads <2>",
                                             "Hash Threads <4>", "Hash Threads <8>"};
inline constexpr const char* KeyDisks[] = {"Hash Disk <Auto>", "Hash Disk <HDD>", "Hash Disk <SSD>"};
inline constexpr const char* KeySubFolders = "Create Lists <Include Sub Folders>";
inline constexpr const char* KeyKeepGoing = "Skip Unreadable Files";
// The language of the windows: "auto", or a language code ("ja", "en").
inline constexpr const char* KeyLanguage = "Language";

// The complement summary and the status texts of the option commands.
inline constexpr const char* CopyPrefix = "複写補完 ";
inline constexpr const char* MovePrefix = "移動補完 ";
inline constexpr const char* SourceIs = "補完元=";
inline constexpr const char* SourceAsked = "補完元=随時指定";
inline constexpr const char* SummaryAutoMove = " 自動補完";
inline constexpr const char* SummaryDblNop = " 重複-無視";
inline constexpr const char* SummaryDblInq = " 重複-確認";
inline constexpr const char* SummaryDblDel = " 重複-削除";
inline constexpr const char* SummaryHead = "設定状態  ";
inline constexpr const char* FolderFixed = "補完フォルダを固定しました ";
inline constexpr const char* FolderAsked = "補完フォルダは随時指定します";

// Dialogs.
// The open dialog's kinds of list: a filter of each, after one that shows them all (the dialog starts
// on that one), and the one of all files last.
struct OpenKind {
    const char* Text;
    const char* Patterns;
};
inline constexpr OpenKind CrcKind{"CRC Check File (sfv,crc,csv)", "*.CRC;*.SFV;*.CSV"};
inline constexpr OpenKind Crc1632Kind{"CRC1632 File (*.txt)", "*.TXT"};
inline constexpr OpenKind DigestKind{
    "Digest List (md5,sha1,sha224,sha256,sha384,sha512,b2,b3)",
    "*.MD5;*.SHA1;*.SHA224;*.SHA256;*.SHA384;*.SHA512;*.B2;*.BLAKE2;*.B3;*.BLAKE3;*.BK3;*SUMS;*SUMS.*"};
inline constexpr OpenKind Par2Kind{"PAR2 Recovery Set (par2)", "*.PAR2"};
inline constexpr const char* AnyListText = "Checksum List (all kinds)";
inline constexpr const char* AllFilesFilter = "All Files (*.*)|*";

// Viewers.
inline constexpr const char* VersionText =
    "Tallyvault V1.32\r\r\nV1.31からの変更点\r\nメニュー「自動補完」、「重複ファイルの処置」＋ごみ箱削除、\r"
    "「メモ帳で表示」、ポップアップメニュ（リスト項目コピー）の追加\r処理速度の改善（多量ＣＲＣ項目処理時の速度アップ）"
    "\r"
    "ＣＲＣ読み込み形式追加（CRC-EX/ヘッダーなしSFV/CRC1632(D&D操作以外)）";
inline constexpr const char* HomepageAddress = "https://tallyvault.example.org/";
inline constexpr const char* ReadMeName = "Tallyvault.txt";
// Nothing on this machine could open the list, the read-me or the home page.
inline constexpr const char* NoTextEditor = "テキストファイルを開くアプリケーションが見つかりません";
inline constexpr const char* NoBrowser = "ホームページを開くブラウザが見つかりません";
inline constexpr const char* ReadMeMissing = "\"Tallyvault.txt\"がインストールフォルダに有りません";

} // namespace tv::shelltexts
