#pragma once
// TForm1: the one window of the program as plain C++. It owns the shared state (entry table,
// counters, list path, modes) and the window's elements; its members carry out the commands. The
// members are defined in the .cpp of their subsystem (core/Verify.cpp defines VerifyEntries, ...).
// No GUI toolkit is seen here: a front end renders the elements and implements Ui.
#include "app/Elements.h"
#include "app/Progress.h"
#include "app/WindowBounds.h"
#include "core/Entry.h"
#include "core/HashPool.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/TextEncoding.h"
#include "platform/Ui.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tv {

struct TakenListings;

inline constexpr const char* AppTitle = "Tallyvault";
inline constexpr const char* AppVersionTitle = "Tallyvault V1.32";

class TextLineReader;
struct RepairPlan;
struct Par2SetState;
class EntryFailures;
class IoError;

// How a menu item answers a click before its command runs: not at all, by toggling its tick, or as one
// of the duplicate group's radio items.
enum class MenuClick { Plain, AutoCheck, Radio };

enum class ListDialect {
    ldCsv,
    ldQuickSfv,
    ldSfv32,
    ldEasySfv,
    ldRulerTable,
    ldStrictSfv,
    ldPlainSfv,
    ldCrcEx,
    ldCrc1632,
    ldDigest, // MD5, SHA-1 and SHA-2 lists in GNU or BSD lines
    ldUnknown,
    ldPar2, // a PAR 2.0 recovery set, read from its .par2 files
};

class TForm1 {
public:
    TForm1(Ui& ui, FileSystem& fs);
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    Ui& ui;
    FileSystem& fs;

    // ---- shared state ----
    TEntryTable EntryTable;
    std::int32_t EntryCount = 0;
    std::int32_t GoodCount = 0, BadCount = 0, MissingCount = 0, SameFileCount = 0;
    std::int32_t CheckCycle = 0;
    std::string ListPath;
    std::string BaseFolder;
    std::string ReadErrorText;
    // Lines of the list that were passed over although they were neither blank nor comments: the
    // files they name, if any, were not checked.
    std::int32_t UnreadLineCount = 0;
    // Why the first of them was passed over, when the reader says ("line 4: 31 hex digits").
    std::string UnreadReason;
    bool ListHasSizes = false;
    ListDialect Dialect = ListDialect::ldUnknown;
    // The algorithms the list's lines name (CRC-32 for every list of the CRC dialects), and the one its
    // third column is headed by (the first a digest list names).
    AlgorithmSet ListAlgorithms = HashAlgorithm::Crc32;
    HashAlgorithm ListAlgorithm = HashAlgorithm::Crc32;
    // Sets both, and the key column's heading and width for them.
    void SetListAlgorithms(AlgorithmSet algorithms, HashAlgorithm shown);
    // The digest list was read from BSD tag lines ("SHA256 (name) = ..."): a request list made from it
    // is written in that form too. Set by the loader of digest lists.
    bool ListTagged = false;
    // The hashing workers beneath the walks (core/KeyAhead.h): how many, and how the disks are read.
    HashWorkers Hashing;
    ListEncoding Encoding = ListEncoding::Utf8; // of the list being read or shown
    bool IsCreateMode = false;
    bool SearchRunning = false;
    std::string FixedComplementFolder;
    // Set when a kept duplicate ends the program: the front end closes the window once the command returns.
    bool CloseRequested = false;
    // The duplicates the last verification met and left in the list's folder (kept by the user's answer,
    // or not deletable), each with the file kept as the original.
    std::vector<std::pair<std::string, std::string>> KeptDuplicates;
    // Told of each duplicate deleted (for good or to the trash), with the file kept as the original: the
    // command line names them, as nothing else would.
    std::function<void(const std::string& duplicate, const std::string& kept)> DuplicateDeleted;
    // The user closed the window while a command ran. The command's long work (a load, a verification, a
    // scan, a search) ends at its next progress point, nothing more is written, and the front end closes
    // the window once the command has returned. Steps that change files in several moves run to their end.
    bool CloseAsked = false;
    void AskToClose() { CloseAsked = true; }
    // The window is to close once the running command, if any, has returned.
    bool ClosePending() const { return CloseRequested || CloseAsked; }
    // Set when a rename and move was refused, its list's plan held by another running repair.
    bool RepairRefused = false;

    // ---- window elements ----
    std::string Caption = AppTitle; // the window caption
    TControl OpenButton{"開", "CRCファイル読込み"};
    TControl CheckButton{"選", "チェックON/OFF"};
    TControl RenameButton{"改", "SameFileを改名または移動"};
    TControl SearchButton{"補", ""};
    TControl ModeButton{"読", "モード変更（現在：読取モード）"};
    TControl CloseButton{"終", "終了"};
    TControl Label1{"全", ""}, Label2{"○", ""}, Label3{"×", ""}, Label4{"－", ""};
    TControl TotalCounter{"0", "全体数"};
    TControl GoodCounter{"0", "CRC一致数"};
    TControl BadCounter{"0", "CRC不一致数"};
    TControl NotingCounter{"0", "欠落数"};
    TControl Status{"Tallyvault", "読込ﾓｰﾄﾞ時ｸﾘｯｸで再読込"};
    TListView CrcList;

    // Main menu.
    TMenuItem CrcOpenCmd{"CRCﾌｧｲﾙを開く(&O)"};
    TMenuItem FileChangeCmd{"ファイル改名・移動(&R)"};
    TMenuItem Complement{"補完(&S)"};
    TMenuItem MakeRequestCmd{"リクエストＣＲＣファイルを作成(&Q)"};
    TMenuItem FolderOpenCmd{"フォルダを開く(&D)"};
    TMenuItem MakeCrcCmd{"CRCファイルを作成(&M)"};
    TMenuItem Exit1{"終了(&X)", false, false, "Alt+F4"};
    TMenuItem AllOn{"全てＯＮ(&Y)"};
    TMenuItem AllOff{"全てＯＦＦ(&N)"};
    TMenuItem ON0{"○をﾁｪｯｸ(&0)", true}, ON1{"！をﾁｪｯｸ(&1)", true}, ON2{"×をﾁｪｯｸ(&2)", true},
        ON3{"－をﾁｪｯｸ(&3)", true};
    TMenuItem ModeChangeCmd{"モード変更(&M)", false, false, "Ctrl+M"};
    TMenuItem CopyComplement{"補完時コピー(&C)", true};
    TMenuItem FixFolder{"補完フォルダ固定(&F)"};
    TMenuItem AutoMove{"自動補完(&A)", true};
    TMenuItem DubbleAction{"重複ファイルの処置(&D)"}; // the submenu of the three options below
    TMenuItem DblNop{"そのまま(&N)", true, true};
    TMenuItem DblInq{"問い合わせ(&I)", true, true};
    TMenuItem DblDel{"削除(&D)", true, true};
    TMenuItem TashUse{"ごみ箱へ削除(&T)", true};
    TMenuItem WriteCp932{"CRCファイルをShift-JISで作成(&J)", true}; // unticked: lists are written in UTF-8
    // The kind of list create mode makes, chosen before the scan so that each file is read once for
    // what the list needs: one radio item per algorithm (CRC-32 writes SFV or CSV), in the order of
    // Algorithms[]; and whether digest lists are written as BSD tag lines.
    TMenuItem ListKindMenu{"作成するリストの種類(&L)"}; // the submenu of the items below
    TMenuItem ListKinds[HashAlgorithmCount] = {{"CRC-32 (SFV, CSV)(&C)", true, true},
                                               {"MD5(&5)", true, true},
                                               {"SHA-1(&1)", true, true},
                                               {"SHA-224(&2)", true, true},
                                               {"SHA-256(&6)", true, true},
                                               {"SHA-384(&3)", true, true},
                                               {"SHA-512(&4)", true, true},
                                               {"BLAKE2b(&K)", true, true},
                                               {"BLAKE3(&E)", true, true}};
    // A PAR2 recovery set of the ticked files, one more item of the radio group: the scan reads each file's
    // MD5 as the set lists it, and the set is written with Par2Redundancy percent of recovery data.
    TMenuItem ListKindPar2{"PAR2 復旧セット(&P)", true, true};
    TMenuItem Par2RedundancyCmd{"PAR2 の冗長度(&R)..."};
    TMenuItem WriteBsdTags{"BSD形式（タグ付き）で作成(&B)", true};
    // How files are hashed (core/KeyAhead.h): the number of threads (the machine's cores, or a fixed
    // number; one reads and hashes each file in turn) and how the disk is read (asked of the system, one
    // file at a time as a spinning disk wants, or several at once as a solid-state disk allows).
    TMenuItem WorkersMenu{"ハッシュ計算(&H)"}; // the submenu of the items below
    static constexpr int ThreadCounts[5] = {0, 1, 2, 4, 8};
    TMenuItem ThreadChoices[5] = {{"スレッド数：コア数(&A)", true, true},
                                  {"1 スレッド(&1)", true, true},
                                  {"2 スレッド(&2)", true, true},
                                  {"4 スレッド(&4)", true, true},
                                  {"8 スレッド(&8)", true, true}};
    TMenuItem DiskChoices[3] = {{"ディスク：自動判別(&D)", true, true},
                                {"HDD：1ファイルずつ読む(&H)", true, true},
                                {"SSD：複数ファイルを同時に読む(&S)", true, true}};
    // A click on one of them: ticks it alone in its group, and the hashing follows.
    void ClickWorkerChoice(TMenuItem& item);
    // The hashing as the ticked items say (the first ticked of each group; none: the first item).
    void UseWorkerChoices();
    // Create mode lists the files of the folder's sub-folders too, named by their relative paths.
    TMenuItem IncludeSubFolders{"サブフォルダも含める(&S)", true};
    // A file that cannot be read (no access, locked, an I/O error, gone or shorter while read) is passed
    // over and named, its rows marked by what was seen, and the rest is checked; unticked, it ends the
    // command as any failed file operation does.
    TMenuItem KeepGoing{"読めないファイルを飛ばして続ける(&K)", true};
    // With KeepGoing ticked: notes the file (named relative to the folder checked) in PassedOverPaths and
    // answers true; unticked, false, and the caller lets the error end the command.
    bool PassOverUnreadable(const IoError& e, const std::string& name);
    // The language the windows speak: the user's own (automatic), Japanese or English; one is ticked.
    TMenuItem LanguageMenu{"言語(&G)"}; // the submenu of the items below
    TMenuItem LanguageAuto{"自動(&A)", true, true};
    TMenuItem LanguageJa{"日本語(&J)", true, true};
    TMenuItem LanguageEn{"&English", true, true};
    // Read mode: shows the files of the list's folder (and tree) that the list does not name.
    TMenuItem UnlistedCmd{"リストにないファイルを表示(&U)"};
    // Read mode: adds the files the list does not name to it, each read once.
    TMenuItem AddNewFilesCmd{"新規ファイルを追加(&A)"};
    TMenuItem NoteView{"メモ帳で表示(&V)"};
    TMenuItem version{"ﾊﾞｰｼﾞｮﾝ情報(&A)"};
    TMenuItem Homepage1{"Homepage(&P)"};
    TMenuItem ReadMe{"説明書の表示(&T)"};
    // Pop-up menu over the list.
    TMenuItem CopyName{"ファイル名のコピー(&N)"};
    TMenuItem CopyCRC{"CRCのコピー(&C)"};

    // ---- command plumbing ----
    // Runs a command's body: refuses it while another command runs, shows the hourglass when `busy`,
    // and turns IoError/ConvertError (and running out of memory) into the error box with the normal
    // pointer restored and the rows agreeing with the table.
    // Returns false when the command was refused. `evenWhileRunning` lets a stop click through.
    bool RunCommand(const std::function<void()>& body, bool busy = false, bool evenWhileRunning = false);
    // Thrown by ReportProgress once CloseAsked: it unwinds the running command, which leaves the table and
    // the rows agreeing (or both empty) and shows no error.
    struct CommandStopped {};
    // While it lives, ReportProgress does not stop the command: for steps that move, copy or write files,
    // which are not to be left half done.
    class Unstoppable {
    public:
        explicit Unstoppable(TForm1& f) : form_(f) { ++form_.unstoppable_; }
        ~Unstoppable() { --form_.unstoppable_; }
        Unstoppable(const Unstoppable&) = delete;
        Unstoppable& operator=(const Unstoppable&) = delete;

    private:
        TForm1& form_;
    };
    bool CommandRunning() const { return commandDepth_ > 0; }
    // A long loop calls this at every step instead of handling events itself: at most once every
    // ProgressIntervalMs (and always when `last`) it runs `captions`, which show how far the loop is,
    // and lets the window repaint and take clicks. Formatting captions on every step of 100,000 would
    // cost more than the step.
    void ReportProgress(const std::function<void()>& captions = {}, bool last = false);
    static constexpr std::int64_t ProgressIntervalMs = 20;
    // How far the running command's long work is; sampled by ReportProgress, rendered by the front ends.
    // Each command starts with none, and none is left when it ends.
    ProgressModel Progress;
    // Reading waits `ms` after each block, as on a slow disk, so that the progress can be watched.
    void SlowDownReads(std::int64_t ms) { pacer_.BlockDelayMs = ms; }
    // The clock that paces ReportProgress; tests put a scripted one here.
    std::function<std::int64_t()> SteadyClock = SteadyMs;
    // Clicks on a radio item of the duplicate group: ticks it and unticks the others, or unticks it when
    // it was ticked.
    void ClickDuplicateOption(TMenuItem& item);
    // Clicks on a list kind: ticks it and unticks the others (one is always ticked).
    void ClickListKind(TMenuItem& item);
    // A menu item's click as both windows take it: its tick first, then its command, if any.
    void ClickMenuItem(TMenuItem& item, MenuClick click, const std::function<void()>& command);
    // The state of an entry by its flags and ListHasSizes.
    VerifyResult EntryState(std::int32_t i) const { return StateOf(EntryTable[i], ListHasSizes); }
    // Makes room for and appends one entry (name, size, CRC) at EntryCount.
    void AppendEntry(std::string name, std::int64_t size, std::uint32_t crc);
    // An entry of a digest list (a CRC-32 key is the CRC itself).
    void AppendEntry(std::string name, std::int64_t size, const ContentKey& key);

    // ---- entries and verification (core/) ----
    void VerifyEntries();
    void ShowEntries();
    void CheckButtonClick();
    // In create mode the 選 counter shows how many rows are ticked: after every tick command, and after
    // a tick the user sets on a row (the front ends call it). `known`: the count, when the caller has it.
    void ShowTickedCount(std::optional<std::int32_t> known = std::nullopt);
    void ON0Click();
    void AllOnClick();
    void AllOffClick();
    void HandleDuplicate(const std::string& kept, const std::string& duplicate, bool& autoDelete, bool& skipAll);
    // Check the whole tree below the list's folder, as when the list names a file in a sub-folder.
    bool VerifyTree = false;
    // A sub-folder that could not be listed, or a file that vanished before it was read: passed over.
    struct TPassedOver {
        std::string Path; // relative to the folder scanned or the list's folder
        std::string Reason;
        bool IsFolder = false;
        bool Unreadable = false; // a file that is there but could not be read whole (KeepGoing)
    };
    std::vector<TPassedOver> PassedOverPaths; // of the last scan, verification or unlisted listing
    // Names that rows of the last verification give two contents (the first row's name of each), and how
    // many rows share them: a repair changes nothing for those rows.
    std::vector<std::string> ConflictNames;
    std::int32_t ConflictRows = 0;
    // The status bar's words on them; empty without any.
    std::string ConflictText() const;
    // Some entry names a file in a sub-folder.
    bool ListNamesSubFolders() const;
    // The plain files of the list's folder (its tree when the list names a sub-folder entry, or with
    // VerifyTree) that no entry names nor found as its same file; names relative to the folder, by name.
    // Nothing is read: names only. Empty in create mode or without a list.
    std::vector<std::string> ListUnlisted();
    // The tree the verification walked is kept, and ListUnlisted finds the unlisted files in it instead
    // of walking the tree again: for a run where nothing changes the tree in between (the command line
    // without deletions).
    bool KeepVerifiedTree = false;
    void UnlistedCmdClick();

    // ---- adding new files to the list (writers/) ----
    // A load that reads names only: the listed files are neither looked up nor read, nor their contents
    // looked for (adding new files needs no more, and must not read every listed file); every row shows
    // as missing.
    bool NamesOnly = false;
    struct TRefusedName {
        std::string Name;
        std::string Reason;
    };
    struct TNewFiles {
        std::vector<std::string> Names;      // to add, by name
        std::vector<TRefusedName> Refused;   // not added, with why
        std::string ListText;                // the list as it was read, in its own bytes (UTF-16 decoded)
        bool WasUtf16 = false;               // written again in UTF-8, with a byte order mark
    };
    // Why the list shown cannot take new files; empty when it can.
    std::string UpdateRefusal() const;
    // The list's unlisted files that its encoding and line form can hold; the others are refused.
    TNewFiles FindNewFiles();
    // Reads each of found.Names once with the list's algorithm and, unless `dryRun`, writes the list
    // again with their entries after its own, through the replacing write under the list's lock. A file
    // that turns out to hold the content of an entry whose own file is missing or differs is that entry's
    // same file, not a new one. found.Names is left holding the files added (or that would be added).
    void AddNewFiles(TNewFiles& found, bool dryRun = false);
    void AddNewFilesCmdClick();

    // ---- create mode, list writing, request lists (writers/) ----
    // The local date and time that an SFV list's header names; tests put a fixed clock here.
    std::function<FileTime()> LocalClock = LocalNow;
    // Write the ticked rows, in row order, to the list file at `path`, replacing a file there only once
    // the new list is complete. Report the outcome in the status bar; failures raise IoError.
    void WriteSfvList(const std::string& path, ListEncoding encoding = ListEncoding::Utf8);
    void WriteCsvList(const std::string& path, ListEncoding encoding = ListEncoding::Utf8);
    // A digest list of the ticked rows, each with its entry's digest: GNU lines ("hex  name"), or BSD
    // tag lines when `tagged`; names escaped as coreutils does, lines ending in LF.
    void WriteDigestList(const std::string& path, ListEncoding encoding, bool tagged);
    // Writes the list the save dialog named, by its extension or name (.sfv, .csv, .md5 ... .sha512, .b2,
    // .b3, MD5SUMS ... B3SUMS), when the ticked rows' keys serve that kind; `tagged`: digest lists as
    // BSD tag lines. True when a list file now stands there.
    bool WriteChosenList(const std::string& path, ListEncoding encoding, bool tagged = false);
    // The kind of list create mode makes: the ticked item of ListKinds (MD5 for a PAR2 set).
    HashAlgorithm CreateAlgorithm() const;
    // Recovery data of a PAR2 set create mode writes, in percent of the files' data (0 to MaxRedundancy).
    int Par2Redundancy = 10;
    // Takes a redundancy as the user typed it: false, with the reason shown, for anything but a whole number
    // within the bounds; the value is kept then.
    bool SetPar2Redundancy(const std::string& text);
    // Asks for the redundancy, the current one proposed.
    void Par2RedundancyCmdClick();
    // Writes the ticked rows' files as a PAR2 set whose index file is `path`. The window's stop button (the
    // search button, 止 meanwhile) or a close stops it while the files are read, and nothing is written.
    // True when the set now stands there.
    bool WritePar2Set(const std::string& path);
    bool Par2Creating = false; // while the set's files are read
    bool Par2StopAsked = false;
    void SetCreateAlgorithm(HashAlgorithm algorithm);
    // A click on a list kind: in create mode the folder is scanned again for the new kind.
    void ListKindClick();
    void ModeButtonClick();
    void ModeChangeCmdClick();
    // Lists the plain files of BaseFolder with size and CRC, sorted by name, none ticked.
    void ScanFolder();
    void FolderOpenCmdClick();
    void MakeCrcCmdClick();
    void MakeRequestCmdClick();

    // ---- repair: rename and move, complement search, dropped files (repair/) ----
    void RenameButtonClick();
    void FileChangeCmdClick();
    // After the renames of 改 on a PAR2 set: its damaged and missing files rebuilt from the recovery slices
    // when enough are there, the damaged ones kept as NAME.1, and the rows verified again. Off for the
    // command-line tool, which rebuilds with its own options and output.
    bool RebuildAfterRenames = true;
    void RebuildFromRecovery();
    // After a rebuild: the rows that were not ○ checked again against their own files (the others were
    // read whole by the verification and not changed), the PAR2 damage counted again, the rows shown.
    void RecheckAfterRebuild();
    // The rename pass's steps for the ticked rows, in order, as --dry-run prints them; the same files of
    // later rows follow a file the plan parks. Rows that could not be changed are named in `failures`.
    void PlanFileChanges(RepairPlan& plan, std::vector<std::int32_t>& rowOfStep, EntryFailures& failures,
                         std::int32_t& passedOver);
    // The changes the rename would make, planned and none made (a dry run): the table is left as it was,
    // and the rows that could not be changed are reported as the rename reports them.
    RepairPlan PlannedFileChanges();
    void SearchButtonClick();
    void ComplementClick();
    void FilesDropped(const std::vector<std::string>& paths);

    // ---- application shell: settings, start-up, small commands, viewers (app/) ----
    // The program file's full path (the read-me and, by default, the settings file lie beside it).
    std::string ProgramPath;
    // The settings file; when empty at start-up it is chosen beside the program (SettingsFilePath).
    std::string SettingsFile;
    // The window's geometry: read and clamped by the settings pass, applied and read back by the front end.
    TWindowBounds Bounds;
    void ReadSettings();
    void ShowSettingsSummary();
    // Writes every setting; a file that cannot be written is passed over silently.
    void FormDestroy();
    void FixFolderClick();
    void CopyComplementClick();
    // The language chosen in the settings: "" for the user's own, or a language code ("ja", "en").
    std::string LanguageSetting;
    // Shows the windows in the language of LanguageSetting (the user's own when it is empty), with its
    // item ticked; the front ends redraw when they see the language change.
    void ApplyLanguage();
    // A click on one of the language items: ticks it and applies its language at once.
    void LanguageClick(TMenuItem& item);
    // Creation of the window: PrepareWindow, then OpenStartList. A front end that shows the window
    // while the start list loads calls the two itself.
    void FormCreate(const std::vector<std::string>& args);
    // Settings, menu state, caption and the settings summary.
    void PrepareWindow();
    // Loads the list named by the first command-line argument, if there is one.
    void OpenStartList(const std::vector<std::string>& args);
    // Restores a minimised or maximised window first, so that the normal bounds are saved.
    void FormClose();
    void OpenButtonClick();
    void CrcOpenCmdClick();
    void StatusClick();
    void CopyNameClick();
    void CopyCRCClick();
    void versionClick();
    void Homepage1Click();
    void ReadMeClick();
    void NoteViewClick();
    // Opens the selected row's file (repair/), then clears the selection.
    void CrcListDblClick();

    // ---- list loading (readers/) ----
    // Opens the list and runs its dialect's reader, which parses it (readers/ListParsers.h), puts the
    // result into the table and verifies it.
    void OpenCommandLineList(const std::string& argument);
    void OpenListFile();

    // ---- repair: the search's state the suites look at, and shared helpers (repair/) ----
    // The front end lets SearchButtonClick and ComplementClick through RunCommand even while a command
    // runs: during a walk the click is the stop request; during any other command it does nothing.
    // Every other command (a drop too) is refused until the walk and any rename have ended.
    bool SearchActive = false;                // from the walk's start until its rows are rebuilt
    std::vector<std::string> PendingFolders;  // folders still to walk, a stack; valid up to PendingCount
    void MoveCheckedToFront();
    // Two paths name the same file or folder: equal without regard to letter case, or one object on disk.
    bool SamePlace(const std::string& a, const std::string& b);

    // When the last verification of the table began, in nanoseconds since 1970: a file whose change time
    // is well before it still holds what that verification, or a search after it, read.
    std::int64_t VerifiedAt = 0;
    // How long before it: file systems keep times in ticks of up to two seconds.
    static constexpr std::int64_t UnchangedMargin = std::int64_t{3} * 1000000000;

    // The PAR2 set the rows were read from (its slices, recovery blocks and the damage counted), or
    // nothing for a list of another kind. Its deleter comes with it from the reader, where the type is whole.
    std::unique_ptr<Par2SetState, void (*)(Par2SetState*)> Par2Set{nullptr, nullptr};
    // Counts the damaged slices of a PAR2 set's rows after a verification and says so in the status bar.
    void CountPar2Damage();
    // A list that knows more of its files than size and content (a PAR2 set knows the MD5 of each file's
    // first 16 KiB) rules out a file of the folder before the scan reads it whole: false when no entry
    // can have the content of the file at `path`, `size` bytes long. Empty for the other lists.
    std::function<bool(const std::string& path, std::int64_t size)> ContentPrecheck;

private:
    // ---- each subsystem's own steps and state: used only by the members above ----
    // Command plumbing and the table.
    // How many commands are running, the caller's own included.
    int CommandDepth() const { return commandDepth_; }
    // Empties the table and the rows together, counters at 0 (after a failed load or verification).
    void ClearTableAndRows();
    // A load or verification that may leave the table and the rows out of step marks it; the row
    // building clears the mark. A command that fails while it is set empties both.
    void BeginTableChange() { rowsOutOfStep_ = true; }
    void EndTableChange() { rowsOutOfStep_ = false; }
    int commandDepth_ = 0;
    int unstoppable_ = 0;
    bool stopThrown_ = false; // the running command was stopped once; its clean-up runs to its end
    std::optional<std::int64_t> progressAt_; // when ReportProgress last let events through
    // Moves Progress within a big file and lets the window's events through there too.
    ProgressPacer pacer_{Progress, [this] { ReportProgress(); }};
    bool rowsOutOfStep_ = false;

    // Verification (core/).
    // `files`: the plain files of `folder` from its one listing, ordered by name.
    void ScanFolderForContent(const std::string& folder, const std::vector<FolderEntry>& files, bool& autoDelete,
                              bool& skipAll, bool& stop);
    // The files the verification's scan reads from: the folder's plain files, or its tree's. A walk of the
    // tree takes the folders listed already from `taken`, the folder itself from `listing`.
    std::vector<FolderEntry> FilesToVerify(const std::string& folder, std::vector<FolderEntry> listing,
                                           TakenListings* taken = nullptr);
    std::vector<FolderEntry> PlainFilesToCheck(const std::string& folder, std::vector<FolderEntry> listing, bool tree,
                                               TakenListings* taken = nullptr);
    std::optional<std::vector<FolderEntry>> verifiedTree_; // with KeepVerifiedTree
    // Names what was passed over in the status bar.
    void ShowPassedOver();
    // Fills ConflictNames and ConflictRows from the table.
    void NoteNameConflicts();
    void FindSameFilesBySize(const std::string& folder, const std::vector<FolderEntry>& files, bool& autoDelete,
                             bool& skipAll, bool& stop);
    void FindSameFilesByCrc(const std::string& folder, const std::vector<FolderEntry>& files, bool& autoDelete,
                            bool& skipAll, bool& stop);
    // Every entry among the first n with the file's content (but the one whose own file it is).
    std::vector<std::int32_t> FindEntryBySize(const std::string& path, std::int32_t n);
    std::vector<std::int32_t> FindEntryByCrc(const std::string& path, std::int32_t n);
    void MoveToRecycleBin(const std::string& path);
    // `duplicate` is a separate plain file from `kept` (not the same one through a link, a hard link or
    // a bind mount), so that deleting it cannot lose the kept content.
    bool TrueSecondCopy(const std::string& kept, const std::string& duplicate);
    // The full path of entry i's own file.
    std::string EntryPath(std::int32_t i) const;

    // List loading (readers/).
    // The one place that picks a dialect's reader by the kind the list was recognised as.
    friend void RunDialectReader(TForm1& form, ListDialect dialect, std::int32_t& irregularLineCount);
    void LoadList();
    // LoadList's reading and verification; returns the message to show about the list, if any.
    std::string ReadListFile();
    // What every load does before its reader runs: caption, BaseFolder, empty table, status texts,
    // counters at "0", one repaint.
    void PrepareLoad();
    void ReadPlainSfvList(std::int32_t& irregularLineCount);
    void ReadStrictSfvList();
    void ReadQuickSfvList();
    void ReadSfv32List();
    void ReadEasySfvList();
    void ReadCrcExList();
    void ReadRulerTableList();
    void ReadCsvList();
    void ReadCrc1632List();
    // A digest list; `byName` is the algorithm its file name gives, if any.
    void ReadDigestList(std::optional<HashAlgorithm> byName);
    // A PAR2 set from the .par2 file at ListPath and the files of its set beside it; returns the message
    // to show when the set cannot be read.
    std::string ReadPar2List();

    // Create mode (writers/) and the settings (app/).
    // Empties the rows and the counters.
    void ClearList();
    // Gives the ticked rows' entries their key of `algorithm`, each file read once (a list saved as
    // another kind than the one scanned).
    void KeyTickedRows(HashAlgorithm algorithm);
    // Whether a row's file is the list file at `path`, which a write is about to replace.
    std::function<bool(const TListItem&)> IsWrittenList(const std::string& path);
    // Every ticked row's entry carries a key of the kind `wanted` needs (tag lines: any digest).
    bool ServesKind(HashAlgorithm wanted, bool tagged) const;
    // The listing of BaseFolder the scan hashes: its entries, or with IncludeSubFolders its tree's files.
    std::vector<FolderEntry> CreateModeListing();
    // The file's key of `kind`; false, with the file named in PassedOverPaths, when it vanished since the
    // listing.
    bool HashScannedFile(const FolderEntry& e, HashAlgorithm kind, ContentKey& key);
    // The hint of SearchButton: how and from where the complement search works.
    std::string ComplementHint() const;

    // Repair (repair/).
    // The folder the last complement search walked: files found there are moved or copied from beneath it.
    std::string SearchRoot;
    std::int32_t CheckedCount = 0; // ticked rows when the search started: the search set
    std::int32_t PendingCount = 0; // the valid part of PendingFolders
    struct TRepairRun;             // the lookup of one search or drop and the files it had to pass over
    TRepairRun* RepairRun = nullptr;
    // A file the rename pass moved to its row's name, unchanged since it was read, with the row's content.
    struct MovedFile {
        std::string Path;
        FileStamp Stamp;
        std::uint32_t Crc = 0, DigestSlot = 0;
    };
    // Taken by the next verification (and then forgotten): a row whose own file still has the stamp it
    // had as it was moved there is found without being read again.
    std::vector<MovedFile> MovedIntact;
    void TakeMovedFilesAsFound(const std::vector<FolderEntry>& listing);
    // The plain files the last verification listed, kept while some row's content was found as a same
    // file: a rename pass takes their identities from here instead of looking at each file again (a file
    // changed since is refused by its move, which compares identities).
    std::vector<FolderEntry> ListedForRepair;
    void KeepListingForRepair(std::vector<FolderEntry> files);
    void SearchFolder(const std::string& folder, std::int32_t n, bool& autoDelete, bool& skipAll);
    // Records that the file at `path` carries the content of the entries `found`: a new find for each of
    // them whose content was not found yet (their count is returned); when it serves none, it is a second
    // copy handed to HandleDuplicate once. The copy already known, or a file an entry names, is never
    // offered as a duplicate.
    std::int32_t RecordFind(const std::vector<std::int32_t>& found, const std::string& path, bool& autoDelete,
                            bool& skipAll);
    // The rename pass itself; RepairRunning when another repair holds the list's plan.
    void RenameAndMove(std::optional<BusyCursor>& hourglass);
    // Makes the plan's steps with the plan on the disk beside the list, each marked as done.
    void RunPlan(const RepairPlan& plan, const std::vector<std::int32_t>& rowOfStep, EntryFailures& failures,
                 std::vector<std::int32_t>& changed);
    // Checks entry i against its own file alone (after a rename brought it there).
    void RecheckOwnFile(std::int32_t i);
    void RecheckOwnFiles(const std::vector<std::int32_t>& rows);
};

} // namespace tv
