// tallyvault-cli: the window's logic without a window. Each command drives the same TForm1 the
// window uses and prints the rows as the list shows them.
#include "CliCommon.h"
#include "CliTexts.h"
#include "JapaneseHelp.h"
#include "ProgressLine.h"
#include "app/Language.h"
#include "app/TallyvaultMain.h"
#include "core/Entry.h"
#include "platform/BuildInfo.h"
#include "cli/HeadlessUi.h"
#include "platform/Process.h"
#include "platform/UserLanguage.h"
#include "readers/Dialects.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

using namespace tv;
using tv::cli::PrintPassedOver;
using tv::cli::PrintRows;
using tv::cli::Say;

namespace {

int Usage() {
    // The commands' syntax is the same in every language.
    std::cerr
        << Say("使い方:")
        << " tallyvault-cli verify LIST [--delete-duplicates] [--unlisted] [--recursive] [--keep-going]\n"
           "                             [--quiet|--progress]\n"
           "       tallyvault-cli repair LIST [--search ROOT] [--copy] [--delete-duplicates] [--times] [--dry-run]\n"
           "                             [--keep-going] [--quiet|--progress]\n"
           "       tallyvault-cli repair LIST --undo\n"
           "       tallyvault-cli create FOLDER OUT [--recursive] [--tag] [--encoding utf-8|cp932] [--keep-going]\n"
           "                             [--quiet|--progress]\n"
           "       tallyvault-cli update LIST [--recursive] [--dry-run] [--quiet|--progress]\n"
           "       tallyvault-cli create FOLDER SET.par2 [--recursive] [--redundancy PCT] [--block-size BYTES] [--volumes N]\n"
           "       tallyvault-cli repair SET.par2 [--purge] [--dry-run]\n"
           "       tallyvault-cli COMMAND ... [--threads N] [--disk auto|hdd|ssd]\n";
    return 2;
}

#ifdef _WIN32
#define PATH_SEP "\\"
#else
#define PATH_SEP "/"
#endif

constexpr const char* HelpText = // untranslated: cli::JapaneseHelpText is its counterpart
    "Usage: tallyvault-cli COMMAND ARGUMENTS...\n"
    "Checks sets of files against checksum lists without a window. Lists read: SFV in its dialects,\n"
    ".CRC tables, CSV and CRC1632 text lists (CRC-32); MD5, SHA-1, SHA-224/256/384/512, BLAKE2b and\n"
    "BLAKE3 lists as md5sum, sha*sum, b2sum, b3sum, RHash and the BSD tools write them (plain or\n"
    "tagged lines); in UTF-8, CP932 or UTF-16; PAR2 sets from their .par2 files. Every command drives\n"
    "the same logic as the window and prints one line a row (mark, name, size, CRC or digest, same\n"
    "file), the counters and the status.\n"
    "\n"
    "Commands:\n"
    "  verify LIST [--delete-duplicates] [--unlisted] [--recursive] [--keep-going]\n"
    "      load LIST and check the files of its folder (and of its sub-folders when LIST names a file\n"
    "      in one, or with --recursive); a PAR2 set (LIST.par2, read with the volumes of its set beside\n"
    "      it) also prints \"blocks damaged D of N; recovery blocks R\" after the counters, then \"repair\n"
    "      possible\" or \"repair needs K more recovery blocks\"\n"
    "  repair LIST [--search ROOT] [--copy] [--delete-duplicates] [--times] [--dry-run] [--keep-going]\n"
    "      with --search, look under ROOT for the contents of bad and missing rows; then give each\n"
    "      file found its entry's name in the list's folder (moved, or copied with --copy); a repair\n"
    "      of LIST that was killed is finished first, from the plan it left beside LIST\n"
    "  repair LIST --undo\n"
    "      reverse the changes of a killed repair of LIST, from the plan it left beside LIST\n"
    "  create FOLDER OUT [--recursive] [--tag] [--encoding utf-8|cp932] [--keep-going]\n"
    "      list the plain files of FOLDER into OUT, then verify OUT; OUT's name chooses the kind:\n"
    "      .sfv or .csv (CRC-32), .md5 .sha1 .sha224 .sha256 .sha384 .sha512 .b2 .b3 or MD5SUMS ...\n"
    "      SHA512SUMS, B2SUMS, B3SUMS (a digest list of coreutils' lines, which md5sum -c, sha256sum -c,\n"
    "      b2sum -c, b3sum -c and the like check);\n"
    "      with --recursive every plain file below FOLDER, named by its path relative to FOLDER with \"" PATH_SEP "\";\n"
    "      left out: other checksum lists and recovery files, hidden files, and for SFV and CSV lists the\n"
    "      extensions the window leaves unticked (.txt, .ini, .db, .c, ...), named on standard error\n"
    "  create FOLDER SET.par2 [--recursive] [--redundancy PCT] [--block-size BYTES] [--volumes N]\n"
    "      write a PAR 2.0 recovery set for the files of FOLDER: SET.par2 and volume files\n"
    "      SET.volA+B.par2 with PCT % recovery blocks (10 unless given)\n"
    "  repair SET.par2 [--purge] [--dry-run]\n"
    "      rebuild the damaged and missing files of a PAR 2.0 set from its recovery blocks; each damaged\n"
    "      file is kept as NAME.1 unless --purge; --dry-run only counts the damaged blocks\n"
    "  update LIST [--recursive] [--dry-run]\n"
    "      add the files that LIST does not name (as verify --unlisted finds them) to LIST: each is read\n"
    "      once with LIST's algorithm and gets an entry after LIST's own, which stay as they are and are\n"
    "      not read; LIST keeps its kind and encoding (a UTF-16 list is written in UTF-8). A name the list\n"
    "      cannot hold is named on standard error and left out. Prints \"＋\", TAB and each name added,\n"
    "      then \"added N\"; exits 0 when LIST was written, 1 when there was nothing to add, 2 on an error\n"
    "\n"
    "Options:\n"
    "  --delete-duplicates  delete further copies of listed files (kept otherwise)\n"
    "  --unlisted           verify also prints the files that no row names, after the rows, one a\n"
    "                       line as \"＋\", TAB, name, and adds \" unlisted N\" to the counters' line;\n"
    "                       names only, nothing is read, and the exit status stays that of the rows\n"
    "  --recursive          create lists the whole tree below FOLDER; verify checks and reports\n"
    "                       (update adds) the whole tree below the list's folder. Hidden files and folders, links,\n"
    "                       junctions and other file systems' mount points are left out, and a\n"
    "                       sub-folder that cannot be read is named on standard error and passed over\n"
    "  --tag                create writes a digest list as BSD tag lines (SHA256 (name) = ...), as\n"
    "                       sha256sum --tag does\n"
    "  --encoding ENC       create writes names in utf-8 (the default) or cp932\n"
    "  --search ROOT        where repair looks for missing contents (links not followed)\n"
    "  --copy               repair copies found files instead of moving them\n"
    "  --times              repair prints the wall time of each step on stderr\n"
    "  --dry-run            update changes nothing: it prints the names it would add and\n"
    "                       \"would add N\"; repair changes nothing: it prints the changes it would make, one a line\n"
    "                       before the rows (park, rename, move or copy NAME TAB NEW-NAME; delete\n"
    "                       NAME; names below the list's folder relative to it), and exits as the\n"
    "                       rows are now\n"
    "  --undo               repair reverses a killed repair and prints the changes it made, one a\n"
    "                       line as --dry-run does; it exits 0 when all went well, 2 when some change\n"
    "                       failed (standard error says which and why), 4 when there is no plan\n"
    "  --keep-going         verify, repair, create: a file that cannot be read (no access, locked, an\n"
    "                       I/O error, gone or shorter while read) is named with the reason on\n"
    "                       standard error and passed over, and every other file is checked: its rows\n"
    "                       show x where the file is there, - where it is gone; the exit status is 2.\n"
    "                       create lists the rest and leaves that file out. Without it the first such\n"
    "                       file ends the command, named with the reason on standard error\n"
    "  --quiet              verify, repair, create, update: no progress line on standard error\n"
    "  --progress           verify, repair, create, update: the progress even when standard error is no\n"
    "                       terminal, as one line a second\n"
    "  --threads N          hash with N threads (default: one a processor core); 1 reads and hashes every\n"
    "                       file in turn on one thread, as without workers. A recovery set's code is\n"
    "                       computed with the same threads\n"
    "  --disk auto|hdd|ssd  how the disk is read: hdd one file at a time in the list's order (threads\n"
    "                       seeking over a spinning disk make it slower), ssd several files at once; auto\n"
    "                       (the default) asks the system what the disk is, and a disk it cannot tell is\n"
    "                       read as hdd. A network or FUSE file system is read a few files at a time\n"
    "  -h, --help           show this help and exit\n"
    "      --version        show the version and exit\n"
    "\n"
    "Names are printed with TAB, CR and LF shown as \\t, \\r and \\n, so that a row is one line.\n"
    "\n"
    "When standard error is a terminal, work that runs longer than half a second shows its progress\n"
    "there on one line, redrawn in place and cleared at the end: files and bytes done of the total,\n"
    "the share, the rate and the time left (folders and files seen while repair --search looks).\n"
    "Standard output is the same either way.\n"
    "\n"
    "Exit status:\n"
    "  0  the list was read whole and every row matches\n"
    "  1  the list was read whole and some row is bad, missing or found only under another name\n"
    "  2  an error: the list could not be read or is empty, a file operation failed, bad arguments,\n"
    "     or with --keep-going a file was passed over unread (named on standard error)\n"
    "  3  the list was not read whole (it stops being readable, or lines that are no entries were\n"
    "     passed over): some files it names were never checked, whatever the rows show; standard\n"
    "     error says what was not checked and why\n"
    "  4  repair --undo: no plan of a killed repair is beside the list, nothing was changed\n";

int Verify(const std::vector<std::string>& args) {
    std::string list;
    bool deleteDuplicates = false, unlisted = false, recursive = false, keepGoing = false;
    cli::ProgressOptions progress;
    for (const std::string& a : args) {
        if (progress.Take(a)) continue;
        if (a == "--keep-going")
            keepGoing = true;
        else if (a == "--delete-duplicates")
            deleteDuplicates = true;
        else if (a == "--unlisted")
            unlisted = true;
        else if (a == "--recursive")
            recursive = true;
        else if (list.empty() && !a.empty() && a[0] != '-')
            list = a;
        else
            return Usage();
    }
    if (list.empty()) return Usage();
    HeadlessUi ui(std::cerr, DuplicateAnswer::No);
    TForm1 form(ui, RealFs());
    cli::UseWorkerOptions(form);
    cli::ProgressLine line(ui, form, progress, std::cerr);
    if (deleteDuplicates) form.ClickDuplicateOption(form.DblDel);
    cli::NameDeletedDuplicates(form, ui);
    form.ListPath = ExpandLongPath(list);
    form.VerifyTree = recursive;
    form.KeepGoing.SetChecked(keepGoing);
    // Nothing changes the tree between the verification and the listing of the unlisted files, unless
    // duplicates are deleted: its walk serves both.
    form.KeepVerifiedTree = unlisted && !deleteDuplicates;
    form.RunCommand([&] { form.OpenListFile(); }, true);
    line.Clear();
    // The question of each duplicate met stands on standard error unanswered: what became of it follows.
    for (const auto& [duplicate, kept] : form.KeptDuplicates)
        std::cerr << "tallyvault-cli: "
                  << cli::Say(deleteDuplicates ? "重複を残しました: %1 は %2 と同じ内容ですが、削除できませんでした"
                                               : "重複を残しました: %1 は %2 と同じ内容です",
                              {cli::OneLine(duplicate), cli::OneLine(kept)})
                  << '\n';
    // A file passed over unread leaves its rows unproven: an error, whatever they show.
    const bool unread = cli::PassedOverUnreadable(form);
    if (!unlisted || ui.ErrorsShown() > 0 || form.CrcList.Count() == 0) {
        PrintPassedOver(form);
        return PrintRows(form, ui.ErrorsShown() > 0 || unread);
    }
    // The same walk as the verification's: what it passes over is said once, after it.
    std::vector<std::string> names;
    std::vector<TForm1::TPassedOver> unreadFiles;
    for (const TForm1::TPassedOver& p : form.PassedOverPaths)
        if (p.Unreadable) unreadFiles.push_back(p);
    form.RunCommand([&] { names = form.ListUnlisted(); }, true);
    line.Clear();
    // The listing of the unlisted files names what it passes over itself; the files the verification
    // could not read are named with them.
    for (TForm1::TPassedOver& p : unreadFiles)
        if (std::none_of(form.PassedOverPaths.begin(), form.PassedOverPaths.end(),
                         [&](const TForm1::TPassedOver& q) { return q.Unreadable && q.Path == p.Path; }))
            form.PassedOverPaths.push_back(std::move(p));
    PrintPassedOver(form);
    return PrintRows(form, ui.ErrorsShown() > 0 || unread, &names);
}

} // namespace

int main(int argc, char** argv) {
    // The rows go out through std::cout alone; unsynchronised streams print 100,000 rows much faster.
    std::ios::sync_with_stdio(false);
    UseUtf8Console();
    // The status line, the logic's messages, the tool's own sentences and the help in the user's
    // language; with none (or C) as always: the help and the sentences in English, the logic's texts in
    // Japanese. Marks, fields and the counters' words are the same in every language.
    const std::string language = UserLanguage();
    UseLanguage(ProgramLanguageFor(language));
    cli::ChooseSentenceLanguage(language);
    std::vector<std::string> args = ProgramArguments(argc, argv);
    if (args.empty()) return Usage();
    KeepFreedMemory(args.front() == "update");
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << (SentenceLanguage() == "ja" ? cli::JapaneseHelpText : HelpText);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "tallyvault-cli " << buildinfo::Version << '\n';
        return 0;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (!cli::TakeWorkerOptions(args)) return Usage();
    if (command == "verify") return Verify(args);
    if (command == "repair") return cli::Repair(args);
    if (command == "create") return cli::Create(args);
    if (command == "update") return cli::Update(args);
    return Usage();
}
