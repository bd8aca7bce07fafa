// tallyvault-cli create FOLDER OUT: list the files of FOLDER as create mode does, tick what the check
// button ticks (every file but the excluded ones), write OUT with the window's writer, then read the new
// list back and verify it as the return to read mode does. OUT's name chooses the kind before the scan,
// so each file is read once: .sfv or .csv (CRC-32), .md5 .sha1 .sha224 .sha256 .sha384 .sha512 .b2 .b3 or
// a *SUMS name (a digest list, GNU lines; BSD tag lines with --tag).
#include "CliCommon.h"
#include "CliTexts.h"
#include "app/Language.h"
#include "ProgressLine.h"
#include "app/TallyvaultMain.h"
#include "cli/HeadlessUi.h"
#include "platform/Paths.h"
#include "readers/Dialects.h"
#include "readers/Par2List.h"
#include "writers/LeftOut.h"
#include "writers/ListFormat.h"
#include "writers/Par2Create.h"
#include "writers/WriterTexts.h"

#include <algorithm>
#include <iostream>

namespace tv::cli {

namespace {

int CreateUsage() {
    std::cerr << Say("使い方:")
              << " tallyvault-cli create FOLDER OUT [--recursive] [--tag] [--encoding utf-8|cp932] [--quiet|--progress]\n"
              << Say("       （OUT の名前は .sfv .csv .md5 .sha1 .sha224 .sha256 .sha384 .sha512 .b2 .b3 で終わるか、\n"
                     "        MD5SUMS ... SHA512SUMS、B2SUMS、B3SUMS。--tag: BSD のタグ付きの行のダイジェストリスト）\n");
    return 2;
}

// The save dialog answers with the list named on the command line.
class SavingUi : public HeadlessUi {
public:
    SavingUi(std::ostream& err, std::string out) : HeadlessUi(err), out_(std::move(out)) {}
    std::optional<std::string> SaveFileDialog(const std::string&, const std::string&, const std::string&,
                                              const std::string&) override {
        return out_;
    }

private:
    std::string out_;
};

// The absolute folder without a trailing separator (a root keeps its own).
std::string FolderArgument(const std::string& arg) {
    std::string folder = ExpandLongPath(arg);
    while (folder.size() > 1 && IsPathDelim(folder.back()))
        folder.pop_back();
    return folder;
}

int Par2Usage() {
    std::cerr << Say("使い方:") << " tallyvault-cli create FOLDER SET.par2 [--recursive] [--redundancy PCT] [--block-size BYTES]\n"
                 "                             [--volumes N] [--quiet|--progress]\n";
    return 2;
}

// A whole number argument within [low, high].
std::optional<std::uint64_t> Number(const std::string& text, std::uint64_t low, std::uint64_t high) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const std::uint64_t n = std::stoull(text);
    if (n < low || n > high) return std::nullopt;
    return n;
}

// create FOLDER SET.par2: the recovery set of the folder's files, then one line for each file written.
int CreatePar2(const std::vector<std::string>& given) {
    std::vector<std::string> args;
    Par2CreateOptions options;
    ProgressOptions progress;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const std::string& a = given[i];
        if (progress.Take(a)) continue;
        if (a == "--recursive") {
            options.Recursive = true;
            continue;
        }
        if (a == "--redundancy" || a == "--block-size" || a == "--volumes") {
            if (i + 1 == given.size()) return Par2Usage();
            const std::string& value = given[++i];
            std::optional<std::uint64_t> n;
            if (a == "--redundancy") {
                n = Number(value, 0, MaxRedundancy);
                if (n) options.Redundancy = static_cast<unsigned>(*n);
            } else if (a == "--block-size") {
                n = Number(value, 4, std::uint64_t{1} << 30);
                if (n) options.SliceSize = *n;
            } else {
                n = Number(value, 1, 65535);
                if (n) options.Volumes = static_cast<unsigned>(*n);
            }
            if (!n) return Par2Usage();
            continue;
        }
        if (!a.empty() && a[0] == '-') return Par2Usage();
        args.push_back(a);
    }
    if (args.size() != 2 || args[0].empty()) return Par2Usage();
    const std::string out = ExpandLongPath(args[1]);
    const std::string folder = FolderArgument(args[0]);
    options.Workers = WorkerThreads();
    options.Disk = WorkerDisk();
    Par2CreateResult result;
    Par2Progress line(progress, std::cerr);
    options.Progress = line.Callback();
    try {
        result = CreatePar2Set(RealFs(), folder, out, options);
        line.Clear();
    } catch (const Par2CreateError& e) {
        std::cerr << "tallyvault-cli: " << OneLine(e.what()) << '\n';
        return Failed;
    } catch (const IoError& e) {
        std::cerr << "tallyvault-cli: " << OneLine(e.what()) << '\n';
        return Failed;
    }
    if (result.Stopped) {
        std::cerr << "tallyvault-cli: " << Say("作成を中止しました。復旧セットのファイルは書き込んでいません") << '\n';
        return Failed;
    }
    for (const std::string& name : result.Unnamable)
        std::cerr << "tallyvault-cli: " << Say("除外しました: %1 (%2)", {OneLine(name), writertexts::NotReadBack})
                  << '\n';
    for (const std::string& name : result.LeftOut)
        std::cerr << Say("空のため除外しました（保護するものがありません）: %1", {OneLine(name)}) << '\n';
    for (const std::string& path : result.Written)
        std::cout << "wrote\t" << OneLine(ExtractFileName(path)) << '\n';
    std::cout << "blocks " << result.InputSlices << " of " << result.SliceSize << " bytes; recovery blocks "
              << result.RecoverySlices << '\n';
    return AllMatch;
}

// Names on standard error the files the scan found that the list leaves out for a reason the user may
// not expect: the extension rule of SFV and CSV lists (a count and the first few), and each name the list
// could not hold so that it reads back. Other lists, hidden files and the program's own go unsaid.
void PrintLeftOut(const TForm1& form, bool digestList) {
    constexpr std::size_t Shown = 5;
    std::vector<std::string> byExtension;
    for (const TListItem& row : form.CrcList.Items()) {
        const std::string name = row.FileName().str();
        const LeftOutBy by = LeftOutOfList(name, false, digestList);
        if (by == LeftOutBy::ExtensionRule)
            byExtension.push_back(name);
        else if (by == LeftOutBy::Nothing && !ListCanHoldName(name, form.ListAlgorithm))
            std::cerr << "tallyvault-cli: " << Say("除外しました: %1 (%2)", {OneLine(name), writertexts::NotReadBack})
                      << '\n';
    }
    if (byExtension.empty()) return;
    std::string names;
    for (std::size_t k = 0; k < byExtension.size() && k < Shown; ++k)
        names += (k == 0 ? "" : ", ") + OneLine(byExtension[k]);
    if (byExtension.size() > Shown) names += ", ...";
    std::cerr << "tallyvault-cli: "
              << SayN(byExtension.size(), "SFV・CSV リストの拡張子の規則で %1 個のファイルを除外しました: %2",
                      {std::to_string(byExtension.size()), names})
              << '\n';
}

// Unticks each ticked file whose name the list's encoding cannot hold (a CP932 byte name in a UTF-8 list, a
// name outside CP932 in a CP932 list) and names it on standard error: one such file leaves the rest listed
// instead of refusing the whole list.
void LeaveOutUnwritableNames(TForm1& form, ListEncoding encoding) {
    for (std::int32_t i = 0; i < form.CrcList.Count(); ++i) {
        const std::string name = form.CrcList.Item(i).FileName().str();
        if (!form.CrcList.Checked(i) || NameInEncoding(name, encoding)) continue;
        form.CrcList.SetChecked(i, false);
        std::cerr << "tallyvault-cli: "
                  << Say("除外しました: %1 (%2)",
                         {OneLine(name),
                          encoding == ListEncoding::Cp932 ? writertexts::NotInCp932 : writertexts::NotInUtf8})
                  << '\n';
    }
}

} // namespace

int Create(const std::vector<std::string>& given) {
    // A set named NAME.par2 is a recovery set, with options of its own.
    if (std::any_of(given.begin(), given.end(), [](const std::string& a) { return IsPar2Name(a); }))
        return CreatePar2(given);
    std::vector<std::string> args;
    ListEncoding encoding = ListEncoding::Utf8;
    ProgressOptions progress;
    bool tagged = false, recursive = false, keepGoing = false;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (progress.Take(given[i])) continue;
        if (given[i] == "--keep-going") {
            keepGoing = true;
            continue;
        }
        if (given[i] == "--recursive") {
            recursive = true;
            continue;
        }
        if (given[i] == "--tag") {
            tagged = true;
            continue;
        }
        if (given[i] != "--encoding") {
            args.push_back(given[i]);
            continue;
        }
        const std::optional<ListEncoding> named = i + 1 < given.size() ? EncodingFromName(given[++i]) : std::nullopt;
        if (!named) return CreateUsage();
        encoding = *named;
    }
    if (args.size() != 2 || args[0].empty() || args[1].empty()) return CreateUsage();
    const std::optional<HashAlgorithm> kind = AlgorithmOfSavedList(args[1]);
    if (!kind || (tagged && *kind == HashAlgorithm::Crc32)) return CreateUsage();

    const std::string out = ExpandLongPath(args[1]);
    const std::string folder = FolderArgument(args[0]);
    // A list names its files relative to its own folder: written elsewhere, it will not find them.
    if (!RealFs().SameObject(ExtractFileDir(out), folder))
        std::cerr << Say("警告: %1 は %2 の中にありません。リストの名前はリスト自身のフォルダで探します", {out, folder})
                  << '\n';
    SavingUi ui(std::cerr, out);
    TForm1 form(ui, RealFs());
    UseWorkerOptions(form);
    ProgressLine line(ui, form, progress, std::cerr);
    form.WriteCp932.SetChecked(encoding == ListEncoding::Cp932);
    form.SetCreateAlgorithm(*kind);
    form.WriteBsdTags.SetChecked(tagged);
    form.IncludeSubFolders.SetChecked(recursive);
    form.KeepGoing.SetChecked(keepGoing);
    form.RunCommand(
        [&] {
            form.ModeButtonClick(); // no list yet: an empty create mode
            form.BaseFolder = folder;
            form.ScanFolder();
        },
        true);
    PrintPassedOver(form);
    // The files that could not be read are not in the list: the rest is written, and the status says so.
    const bool unread = PassedOverUnreadable(form);
    if (ui.ErrorsShown() == 0) PrintLeftOut(form, *kind != HashAlgorithm::Crc32);
    if (ui.ErrorsShown() == 0)
        form.RunCommand(
            [&] {
                form.CheckButtonClick();
                LeaveOutUnwritableNames(form, encoding);
                form.MakeCrcCmdClick();
            },
            true);
    line.Clear();
    // Still in create mode: nothing was ticked, or the scan or the write failed.
    if (form.IsCreateMode) {
        std::cout << "status " << Tr(form.Status.Caption()) << '\n';
        return 2;
    }
    return PrintRows(form, ui.ErrorsShown() > 0 || unread);
}

} // namespace tv::cli
