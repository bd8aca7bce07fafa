// tallyvault-cli repair: load a list, optionally search a folder tree for the contents that are not
// found (the × and － rows), then put every found same file in place and print the rows. A plan left
// beside the list by a killed repair is finished first, or reversed with --undo; --dry-run prints the
// changes a repair would make and makes none.
#include "CliCommon.h"
#include "CliTexts.h"
#include "ProgressLine.h"
#include "DryRunFileSystem.h"
#include "app/TallyvaultMain.h"
#include "cli/HeadlessUi.h"
#include "core/EntryNames.h"
#include "core/FileCompare.h"
#include "core/FolderTree.h"
#include "platform/Paths.h"
#include "readers/Dialects.h"
#include "readers/Par2List.h"
#include "repair/Confine.h"
#include "repair/RepairPlan.h"

#include <chrono>
#include <ctime>
#include <iostream>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace tv::cli {

namespace {

int RepairUsage() {
    std::cerr << Say("使い方:") << " tallyvault-cli repair LIST [--search ROOT] [--copy] [--delete-duplicates] [--times] "
                 "[--dry-run] [--keep-going] [--purge]\n"
                 "       tallyvault-cli repair LIST --undo\n";
    return Failed;
}

// A name as the changes are printed: below the list's folder relative to it, else in full.
std::string Shown(const std::string& folder, const std::string& path) {
    std::optional<std::string> rel = RelativeBeneath(folder, path);
    return OneLine(rel ? *rel : path);
}

// One change on one line: what is done, TAB, the file, and for a rename, move or copy TAB where it goes.
void PrintChange(std::ostream& out, const std::string& folder, const PlanChange& c) {
    out << c.Verb << '\t' << Shown(folder, c.From);
    if (!c.To.empty()) out << '\t' << Shown(folder, c.To);
    out << '\n';
}

std::string Changes(std::size_t n) {
    return SayN(n, "%1 件の変更", {std::to_string(n)});
}

// The list's plan belongs to a repair that is running now: nothing is changed.
int Refused(const RepairRunning& e) {
    std::cerr << "tallyvault-cli: " << OneLine(e.what()) << '\n';
    return Failed;
}

// --undo: the plan a killed repair left beside the list is reversed, last step first.
int Undo(const std::string& list) {
    const std::string listPath = ExpandLongPath(list);
    const std::string folder = ExtractFileDir(listPath);
    const std::string shownList = OneLine(ExtractFileName(listPath));
    FileSystem& fs = RealFs();
    if (!fs.FileExists(PlanPath(listPath))) {
        std::cerr << "tallyvault-cli: "
                  << Say("元に戻すものはありません: %1 の横に強制終了された修復の計画がありません", {shownList}) << '\n';
        return NoPlan;
    }
    HeadlessUi ui(std::cerr);
    EntryFailures failures;
    std::vector<PlanChange> made;
    bool recovered = false;
    try {
        recovered = RecoverPlan(fs, listPath, true, failures, &made);
    } catch (const IoError& e) {
        // The plan could not be read or removed: said, with its cause, and left for another try.
        failures.Add(e, PlanPath(listPath));
    } catch (const RepairRunning& e) {
        return Refused(e);
    }
    for (const PlanChange& c : made)
        PrintChange(std::cout, folder, c);
    std::cout.flush();
    failures.Report(ui);
    if (!recovered && failures.Empty()) {
        std::cerr << "tallyvault-cli: "
                  << Say("%1 の横の計画は書き込みの途中で途切れていました（変更の前です）。計画は削除しました。元に戻す"
                         "ものはありません",
                         {shownList})
                  << '\n';
        return AllMatch;
    }
    const std::string done = Changes(made.size());
    std::cerr << "tallyvault-cli: "
              << (failures.Empty()
                      ? Say("強制終了された %1 の修復を元に戻しました: %2を行いました", {shownList, done})
                      : Say("強制終了された %1 の修復を元に戻しました: %2を行い、%3 件は失敗しました。計画はリストの横"
                            "に残っています: 原因を直してから repair --undo をもう一度実行してください",
                            {shownList, done, std::to_string(failures.Count())}))
              << '\n';
    return failures.Empty() ? AllMatch : Failed;
}

// --dry-run with a plan of a killed repair beside the list: what the real run starts with is that
// plan's steps not yet made; the rest of it cannot be planned before they are.
int DryRunOfKilledPlan(const std::string& listPath) {
    const std::string folder = ExtractFileDir(listPath);
    PlanRecord r;
    try {
        r = ReadPlan(RealFs(), PlanPath(listPath), listPath);
    } catch (const RepairRunning& e) {
        return Refused(e);
    }
    const std::vector<std::size_t> left = StepsLeft(RealFs(), r);
    for (std::size_t k : left)
        PrintChange(std::cout, folder, r.Plan.Change(k));
    std::cout.flush();
    std::cerr << "tallyvault-cli: "
              << Say("試行のため何も変更していません: %1 の修復は強制終了されています。修復はまず、その計画のうちまだ"
                     "行っていない %2を行い（上に示したもの。代わりに repair --undo で行ったものを元に戻せます）、"
                     "残りはその後で計画します",
                     {OneLine(ExtractFileName(listPath)), Changes(left.size())})
              << '\n';
    return SomeNotMatched;
}

} // namespace

// The files a repair's own verification afterwards deletes as duplicates (with --delete-duplicates): a
// file it parked in the list's folder itself, named by no row and no longer taken from its parking by a
// later step, that is a second copy of a file some row then holds (an intact row's file, or what a step
// brings in). The dry run lists them, as the run deletes them.
std::vector<std::string> ParkedDuplicates(TForm1& form, const RepairPlan& plan, FileSystem& fs) {
    std::vector<std::string> out;
    const std::string& base = form.BaseFolder;
    std::vector<std::size_t> parks;
    std::unordered_set<std::string> takenAgain; // parkings a later move takes the file from
    for (std::size_t k = 0; k < plan.Steps.size(); ++k) {
        const PlanStep& s = plan.Steps[k];
        if (s.What == PlanStep::Kind::Park) {
            if (!InSubFolder(s.To) && s.To.front() != '.' && !IsProgramFile(s.To) && k < plan.Sources.size() &&
                plan.Sources[k].IsFile)
                parks.push_back(k);
        } else if (s.What == PlanStep::Kind::Move && SameFileName(s.Root, base)) {
            takenAgain.insert(FileNameKey(s.From));
        }
    }
    if (parks.empty()) return out;
    std::unordered_set<std::string> named;
    for (std::int32_t j = 0; j < form.EntryCount; ++j)
        named.insert(FileNameKey(EntryNativeName(form.EntryTable[j])));
    // What rows hold afterwards, by size: intact files, and the sources of the moves and copies in.
    std::unordered_map<std::int64_t, std::vector<std::string>> held;
    for (std::int32_t j = 0; j < form.EntryCount; ++j)
        if (form.EntryState(j) == VerifyResult::Match) {
            const std::string path = EntryFullPath(base, form.EntryTable[j]);
            held[fs.Identify(path, true).Size].push_back(path);
        }
    for (std::size_t k = 0; k < plan.Steps.size(); ++k)
        if (plan.Steps[k].What != PlanStep::Kind::Park && k < plan.Sources.size())
            held[plan.Sources[k].Size].push_back(FolderFile(plan.Steps[k].Root, plan.Steps[k].From));
    for (const std::size_t k : parks) {
        const PlanStep& s = plan.Steps[k];
        if (takenAgain.count(FileNameKey(s.To)) || named.count(FileNameKey(s.To))) continue;
        const auto same = held.find(plan.Sources[k].Size);
        if (same == held.end()) continue;
        const std::string parked = FolderFile(base, s.From);
        for (const std::string& kept : same->second) {
            const FileIdentity a = fs.Identify(kept, true), b = fs.Identify(parked);
            if (!a.IsFile || !b.IsFile || a.SameObject(b) || !FilesIdentical(fs, kept, parked)) continue;
            out.push_back(FolderFile(base, s.To));
            break;
        }
    }
    return out;
}

int Repair(const std::vector<std::string>& args) {
    std::string list;
    std::optional<std::string> root;
    bool copy = false, deleteDuplicates = false, times = false, dryRun = false, undo = false, keepGoing = false,
         purge = false;
    ProgressOptions progress;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (progress.Take(a)) continue;
        if (a == "--search" && k + 1 < args.size() && !root)
            root = args[++k];
        else if (a == "--copy")
            copy = true;
        else if (a == "--delete-duplicates")
            deleteDuplicates = true;
        else if (a == "--times")
            times = true;
        else if (a == "--dry-run")
            dryRun = true;
        else if (a == "--undo")
            undo = true;
        else if (a == "--keep-going")
            keepGoing = true;
        else if (a == "--purge")
            purge = true;
        else if (list.empty() && !a.empty() && a[0] != '-')
            list = a;
        else
            return RepairUsage();
    }
    if (list.empty() || (root && root->empty()) || (purge && !IsPar2Name(list))) return RepairUsage();
    // An undo only reverses what the killed run made: it searches, copies and deletes nothing else.
    if (undo) return root || copy || deleteDuplicates || times || dryRun || keepGoing ? RepairUsage() : Undo(list);

    HeadlessUi ui(std::cerr, DuplicateAnswer::No);
    // A search root that cannot be listed (a mistyped path, a file, a folder without the right to read it)
    // stops the repair before it changes anything: the renames in the list's folder wait for the search
    // the user asked for. The error is the one the search's walk would report.
    if (root) {
        try {
            (void)RealFs().ListFolder(ExpandLongPath(*root));
        } catch (const IoError& e) {
            EntryFailures failures;
            failures.Add(e, ExpandLongPath(*root));
            failures.Report(ui);
            return Failed;
        }
    }
    // --times: the wall time of each step on stderr, so a benchmark can tell the search from the moves.
    // The processor time beside it tells the work from the waiting on a busy machine.
    using Clock = std::chrono::steady_clock;
    auto mark = Clock::now();
    std::clock_t cpuMark = std::clock();
    auto step = [&](const char* name) {
        const auto now = Clock::now();
        const std::clock_t cpu = std::clock();
        ui.Quiet();
        if (times)
            std::cerr << "time " << name << ' ' << std::chrono::duration<double>(now - mark).count() << " s wall "
                      << static_cast<double>(cpu - cpuMark) / CLOCKS_PER_SEC << " s cpu\n";
        mark = now;
        cpuMark = cpu;
    };
    const std::string listPath = ExpandLongPath(list);
    const std::string folder = ExtractFileDir(listPath);
    // One repair of a list at a time, from its first look at the files to its last change: a second one
    // started meanwhile would plan from what it saw before the first made its changes, and undo them.
    std::unique_ptr<FileLock> held;
    if (!dryRun) {
        bool lockable = true;
        try {
            held = RealFs().TryLock(listPath);
        } catch (const IoError&) {
            // A list that cannot be locked (a link, a missing file) goes on as before: the load says what
            // is wrong, and the plan's own lock still keeps two passes apart.
            lockable = false;
        }
        if (lockable && !held) return Refused(RepairRunning(listPath));
    }
    if (RealFs().FileExists(PlanPath(listPath))) {
        if (dryRun) return DryRunOfKilledPlan(listPath);
        // A killed repair is finished before this one looks at the files.
        EntryFailures failures;
        std::vector<PlanChange> made;
        bool finished = false;
        try {
            finished = RecoverPlan(RealFs(), listPath, false, failures, &made);
        } catch (const IoError& e) {
            failures.Add(e, PlanPath(listPath));
        } catch (const RepairRunning& e) {
            return Refused(e);
        }
        if (finished)
            std::cerr << "tallyvault-cli: "
                      << Say("強制終了された %1 の修復を先に完了しました: %2を行いました",
                             {OneLine(ExtractFileName(listPath)), Changes(made.size())})
                      << '\n';
        for (const PlanChange& c : made) {
            std::cerr << "  ";
            PrintChange(std::cerr, folder, c);
        }
        failures.Report(ui);
        step("finish-killed-repair");
    }
    // A dry run reads the real files and changes none: the duplicates it would delete are noted.
    DryRunFileSystem dry(RealFs());
    TForm1 form(ui, dryRun ? static_cast<FileSystem&>(dry) : RealFs());
    UseWorkerOptions(form);
    ProgressLine line(ui, form, progress, std::cerr);
    // Duplicates met by the search are deleted, or kept without a question.
    form.ClickDuplicateOption(deleteDuplicates ? form.DblDel : form.DblNop);
    // A dry run lists them with its changes instead.
    if (!dryRun) NameDeletedDuplicates(form, ui);
    form.CopyComplement.SetChecked(copy);
    form.KeepGoing.SetChecked(keepGoing);
    form.RebuildAfterRenames = false; // rebuilt below, with --purge and a line for each file
    form.ListPath = listPath;
    form.RunCommand([&] { form.OpenListFile(); }, true);
    step("load");

    // A kept duplicate ends the window's program; here keeping it is what the command line asked for
    // (without --delete-duplicates), and the repair goes on.
    for (const auto& [duplicate, kept] : form.KeptDuplicates)
        std::cerr << "tallyvault-cli: "
                  << (deleteDuplicates
                          ? Say("重複を残しました: %1 は %2 と同じ内容ですが、削除できませんでした。修復は続けます",
                                {OneLine(duplicate), OneLine(kept)})
                          : Say("重複を残しました: %1 は %2 と同じ内容です。修復は続けます",
                                {OneLine(duplicate), OneLine(kept)}))
                  << '\n';
    form.CloseRequested = false;
    std::optional<RepairPlan> plan;
    if (form.CrcList.Count() == 0)
        std::cerr << "tallyvault-cli: "
                  << Say("何も修復していません: %1 には修復する行がありません", {OneLine(ExtractFileName(listPath))})
                  << '\n';
    if (form.CrcList.Count() > 0) {
        if (root) {
            form.FixFolder.SetChecked(true);
            form.FixedComplementFolder = ExpandLongPath(*root);
            form.RunCommand([&] {
                form.CheckCycle = 1; // the rows whose content was not found
                form.CheckButtonClick();
                form.SearchButtonClick();
            });
            step("search");
        }
        if (form.SameFileCount > 0)
            form.RunCommand(
                [&] {
                    form.CheckCycle = 0; // the rows whose content was found under another name or elsewhere
                    form.CheckButtonClick();
                    if (dryRun)
                        plan = form.PlannedFileChanges();
                    else
                        form.FileChangeCmdClick();
                },
                true);
        step(dryRun ? "plan" : "rename-and-move");
        if (form.RepairRefused) return Failed; // said by the message box on standard error
    }
    line.Clear();
    if (dryRun) {
        // In the order a repair makes them: the duplicates go during the verification and the search,
        // the renames after.
        for (const DryRunFileSystem::Removal& r : dry.Removals())
            PrintChange(std::cout, folder, {r.Trash ? "trash" : "delete", r.Path, {}});
        const std::size_t steps = plan ? plan->Steps.size() : 0;
        for (std::size_t k = 0; k < steps; ++k)
            PrintChange(std::cout, folder, plan->Change(k));
        // The verification after the renames deletes what they parked if it is a duplicate by then.
        std::vector<std::string> after;
        if (plan && deleteDuplicates) after = ParkedDuplicates(form, *plan, dry);
        for (const std::string& path : after)
            PrintChange(std::cout, folder, {"delete", path, {}});
        std::cerr << "tallyvault-cli: "
                  << Say("試行のため何も変更していません: 修復は %1を行います",
                         {Changes(dry.Removals().size() + steps + after.size())})
                  << '\n';
    }
    line.Clear();
    // A PAR2 set rebuilds from its recovery slices what the renames could not give back.
    bool rebuildFailed = false;
    const Par2SetState* set = form.Par2Set.get();
    if (!dryRun && set && set->Counted && set->Damaged > 0 && set->Wanting() == 0 && !form.CloseRequested) {
        const Par2RebuildRun run = RebuildPar2Files(form, purge, progress);
        rebuildFailed = run.Failed;
        step("rebuild");
        if (run.Rebuilt) form.RunCommand([&] { form.RecheckAfterRebuild(); }, true);
        line.Clear();
    }
    PrintPassedOver(form);
    return PrintRows(form, ui.ErrorsShown() > 0 || PassedOverUnreadable(form) || rebuildFailed);
}

} // namespace tv::cli
