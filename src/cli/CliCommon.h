#pragma once
// What the command-line tool's commands share: printing the rows as the list shows them.
#include "app/TallyvaultMain.h"
#include "core/Entry.h"

#include <string>
#include <vector>

namespace tv {
class HeadlessUi;
}

namespace tv::cli {

// A name on one line: TAB, CR and LF are shown as \t, \r and \n, so a row stays one line of
// tab-separated fields whatever the names hold.
std::string OneLine(const std::string& name);

// Empty when the list was read to its end; else one sentence (in the tool's language) saying which of
// its entries were not checked and why.
std::string UncheckedSummary(const TForm1& form);

// Exit status of every command.
enum ExitStatus : int {
    AllMatch = 0,         // the list was read whole and every row is ○
    SomeNotMatched = 1,   // the list was read whole and some row is ×, － or ！
    Failed = 2,           // an error: bad arguments, no list, nothing read, a file operation failed
    ListNotReadWhole = 3, // some entries of the list were never checked, whatever the rows show
    NoPlan = 4,           // repair --undo: no plan of a killed repair beside the list
};

// One line a row (mark, name, size, CRC, same file), the counters and the status text on standard
// output; when the list was not read whole, one line on standard error saying what was not checked.
int PrintRows(const TForm1& form, bool failed);
// The same with the unlisted files after the rows and their count on the counters' line.
int PrintRows(const TForm1& form, bool failed, const std::vector<std::string>* unlisted);

// One line on standard error for each sub-folder or file the last scan or verification passed over.
void PrintPassedOver(const TForm1& form);
// Some file was there but could not be read (--keep-going): the command exits 2.
bool PassedOverUnreadable(const TForm1& form);

// Each duplicate the form deletes is named on standard error as it goes, with the file kept: a file
// the tool deletes is never gone unsaid.
void NameDeletedDuplicates(TForm1& form, tv::HeadlessUi& ui);

// The unlisted files after the rows: "＋", TAB and the name, one a line.
void PrintUnlisted(const std::vector<std::string>& names);

// --threads N and --disk auto|hdd|ssd, which every command takes, are taken out of `args`; false when one
// is malformed. UseWorkerOptions gives a command's form what they chose.
bool TakeWorkerOptions(std::vector<std::string>& args);
void UseWorkerOptions(TForm1& form);
// The threads --threads chose for the work of a command without a form (a recovery set's code); 0: one
// a processor.
unsigned WorkerThreads();
// What --disk chose (auto unless given).
DiskChoice WorkerDisk();

// tallyvault-cli repair LIST [--search ROOT] [--copy] [--delete-duplicates] [--times] [--dry-run],
// and tallyvault-cli repair LIST --undo
int Repair(const std::vector<std::string>& args);

// After the rename pass of a PAR2 set's repair: its damaged and missing files rebuilt from its recovery
// slices, a line for each on standard output.
struct Par2RebuildRun {
    bool Rebuilt = false; // some file was rebuilt: the rows are to be verified again
    bool Failed = false;  // some rebuild failed (said on standard error)
};
struct ProgressOptions;
Par2RebuildRun RebuildPar2Files(const TForm1& form, bool purge, const ProgressOptions& progress);

// tallyvault-cli create FOLDER OUT
int Create(const std::vector<std::string>& args);

// tallyvault-cli update LIST [--recursive] [--dry-run]
int Update(const std::vector<std::string>& args);

} // namespace tv::cli
