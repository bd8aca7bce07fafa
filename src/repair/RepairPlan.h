#pragma once
// The plan of a rename pass, kept on disk beside the list while the pass runs: every parking, rename,
// move and copy in the order they are made, written and synced before the first of them, and each one
// marked when it is done. A pass that is killed leaves the plan behind; the next repair of the list
// finishes it (or, when asked, undoes it), so no content stays only under a "_Temp" name. The plan is
// removed when the pass ends.
//
// The file is "." + the list's name + ".tallyvault-plan" in the list's folder. It is text, one step a
// line, its fields separated by TAB with "%", TAB, CR and LF written as "%25", "%09", "%0D", "%0A":
//   tallyvault-plan 1
//   base <the list's folder>
//   park <name> <parking name>
//   move|copy <source's root> <source below it> <name>
//   rebuild <temporary name> <name> <kept as> keep|purge <MD5 in hex> <length>
//   planned
//   done|failed|undone <step number from 0>
//   upto <step number>
// A plan holding a rebuild starts "tallyvault-plan 2" (a reader of plans of version 1 takes it for one cut
// off while written). A rebuild is one step: the rebuilt file written to its temporary name (beside the
// file, made new), put on the disk and checked against its MD5; the damaged file renamed to its "kept as"
// name (empty: the file was missing); the temporary file renamed to the file's name; with "purge" the kept
// file deleted. A recovery tells how far it came from the files alone: a temporary file whose content is
// not the rebuilt one was cut off, and the MD5 tells the rebuilt file under the file's name from the
// damaged one.
// A plan without its "planned" line was cut off while written: nothing was changed for it yet.
// The pass makes its steps in order. A parking or a copy is marked as soon as it is made, before the next
// step begins. A run of moves is marked as one window: before its first move an "upto E" line says that
// the steps before E may be begun, and the done marks of its moves are written together when it ends
// (before the next step outside it, or before a failed or undone mark). After a kill, a recovery looks
// at the disk for the window's unmarked moves: each one's target was free at its turn (a file in the way
// was parked by an earlier, marked step, and a source is moved by one step only), so a move whose target
// is there was made, and moves taken back last first undo a chain (b to c, then a to b) soundly. A
// parking could not be judged so (later moves may refill its name and empty its parking place), which is
// why it is never part of a window.
// Each recovery writes its own marks, in the same form, to a new file of the plan's name + ".N" (N from
// 1, made new, never replacing); the next recovery reads the plan and every ".N" as one record, so a
// recovery that is killed in turn can be run again. The plan goes first at the end, then the ".N" files.
// The plan is held under an exclusive lock from its writing to its removal, by the pass and then by
// each recovery: a plan whose lock is held belongs to a running repair, and nothing else reads it as
// the plan of a killed one. The lock dies with a killed process.
#include "platform/FileSystem.h"
#include "repair/Confine.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tv {

struct PlanStep {
    enum class Kind { Park, Move, Copy, Rebuild };
    PlanStep() = default;
    PlanStep(Kind what, std::string root, std::string from, std::string to)
        : What(what), Root(std::move(root)), From(std::move(from)), To(std::move(to)) {}
    Kind What = Kind::Move;
    std::string Root; // a move's or copy's source root; a parking happens in the list's folder
    std::string From; // below Root (a parking, a rebuild's temporary file: below the list's folder), "/"-separated
    std::string To;   // below the list's folder
    // A rebuild: where the damaged file goes (below the list's folder; empty when it was missing), whether
    // it is deleted once the rebuilt one is in place, and the rebuilt content's MD5 and length.
    std::string KeptAs;
    bool Purge = false;
    std::array<unsigned char, 16> Md5{};
    std::uint64_t Length = 0;
};

// One change on the disk, as the command-line tool shows it: "park", "rename" (within the list's
// folder), "move", "copy", "delete" or "rebuild", the file's path, and but for a deletion the path it gets
// (a rebuild: the rebuilt file's temporary path and the file's).
struct PlanChange {
    std::string Verb;
    std::string From, To;
};

struct RepairPlan {
    std::string Base; // the list's folder
    std::vector<PlanStep> Steps;
    // What stood at each step's From when the pass was planned, by step (not kept in the plan file; empty
    // for a plan read back).
    std::vector<FileIdentity> Sources;

    std::string Text() const;
    // The change step k makes.
    PlanChange Change(std::size_t k) const;
};

// What a plan file holds: the plan and how far its run came.
struct PlanRecord {
    RepairPlan Plan;
    bool Complete = false; // the "planned" line was written: steps may have been made
    std::vector<char> Done, Failed, Undone;
    // The end of the last window the run announced: steps before it may have been begun (0: none).
    std::size_t Upto = 0;
};

// The plan file of a list.
std::string PlanPath(const std::string& listPath);

// Another repair of the list holds its plan: this one is refused before it changes anything.
class RepairRunning : public std::runtime_error {
public:
    explicit RepairRunning(const std::string& listPath);
};

// Reads a plan file's text; a line cut off by a kill is left out.
PlanRecord ParsePlan(std::string_view text);
// Reads a plan file with the marks of every recovery of it so far; RepairRunning when its repair is
// running (the plan is not final then).
PlanRecord ReadPlan(FileSystem& fs, const std::string& path, const std::string& listPath);
// The steps of a read plan that finishing it still makes, in order: those without a mark, less the moves
// of its last window that the disk shows made.
std::vector<std::size_t> StepsLeft(FileSystem& fs, const PlanRecord& r);

// The plan file of one running pass: written and synced (file and folder) when made, marked as the
// steps go, removed by Finish.
class PlanJournal {
public:
    // Refuses (RepairRunning) when a plan file is there already; IoError when it cannot be written.
    PlanJournal(FileSystem& fs, std::string path, const RepairPlan& plan);
    ~PlanJournal();
    PlanJournal(const PlanJournal&) = delete;
    PlanJournal& operator=(const PlanJournal&) = delete;

    // Step k is about to be made: the marks held so far are written first, and the first move of a
    // run of moves announces its window.
    void Starting(std::size_t k);
    void Done(std::size_t k);
    void Failed(std::size_t k) { Mark("failed", k); }
    void Undone(std::size_t k) { Mark("undone", k); }
    // Every step is made or given up: the plan goes.
    void Finish();
    // A step is left half made and could not be set right: the plan stays (its lock goes) for the next
    // repair's recovery, which looks at the files.
    void Leave();

private:
    void Mark(const char* what, std::size_t k);
    // Writes the held marks and then `text`, in one write(); false when that failed.
    bool Write(std::string text = {});
    FileSystem& fs_;
    std::string path_;
    std::unique_ptr<OutputFile> out_;
    std::vector<char> move_;                     // by step: a move, which may be part of a window
    std::size_t windowFrom_ = 0, windowEnd_ = 0; // the open window's steps
    std::string held_;                           // the done marks of its moves, not written yet
};

// Finishes the plan a killed pass left beside the list, or undoes its steps (last first); every step
// looks at the files first and is marked in the recovery's own marks file, so a recovery that is
// killed itself can be run again. Never replaces a
// file. False when there was no plan; failures name the steps that could not be made, and `made` (when
// given) hears of each change made, in order. The plan goes at the end, but stays when a step of an
// undo failed, so that the undo can be run again. RepairRunning when the plan's repair is running.
bool RecoverPlan(FileSystem& fs, const std::string& listPath, bool undo, EntryFailures& failures,
                 std::vector<PlanChange>* made = nullptr);

} // namespace tv
