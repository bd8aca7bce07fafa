#pragma once
// Rebuilding the damaged and missing files of a PAR 2.0 recovery set from its recovery slices.
//
// The set's descriptions come from its index file (and from its volume files when the index lacks some).
// Each file of the recovery set is checked slice by slice at the slices' own places (CRC-32 first, MD5
// on a CRC hit); a file whose whole MD5 holds is intact. With k slices lost and at least k independent
// recovery slices at hand, the lost slices are solved for, reading only the slices needed: the present
// input slices and k recovery slices. Each rebuilt file is written to a temporary file beside its target,
// put on the disk, and its whole MD5 checked before it takes the target's place; the damaged file is
// kept as NAME.1 (NAME.2, ... when taken) unless purged, and purged only once the rebuilt one is in place.
// These changes are the steps of the list's plan (repair/RepairPlan.h), on the disk before the first of
// them: a rebuild killed at any point is finished or undone by the next repair. With too few recovery
// slices nothing is written.
#include "core/HashPool.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tv {

struct Par2RebuildOptions {
    bool Purge = false;   // damaged files are replaced, not kept as NAME.1
    bool DryRun = false;  // count only: nothing is written
    unsigned Workers = 0; // threads for the code and the checks; 0: one a processor
    // How the set's files are checked: a spinning disk one file at a time (unless they come from the page
    // cache), a solid-state one several at once; Auto asks the system.
    DiskChoice Disk = DiskChoice::Auto;
    // Names of files a verification just found whole (their MD5 holds): they are not read to be checked
    // again, only for their slices. Empty: every file is checked.
    std::function<bool(const std::string& name)> KnownIntact;
    // Called now and then with the bytes read and computed so far; false stops (nothing more is written;
    // a file half rebuilt is removed, its target left as it was).
    std::function<bool(std::uint64_t done, std::uint64_t total)> Progress;
};

struct Par2FileOutcome {
    std::string Name;          // as the set names it
    enum State { Intact, Rebuilt, Damaged, Missing, Refused, Failed } Result = Intact;
    std::string KeptAs;        // where the damaged file went (empty: none, or purged)
    std::string Reason;        // why a file was refused or its rebuild failed
};

struct Par2RebuildResult {
    std::vector<Par2FileOutcome> Files; // the recovery set's files in the set's order
    std::uint64_t InputSlices = 0, LostSlices = 0, RecoverySlices = 0;
    std::uint64_t MoreNeeded = 0;       // recovery slices lacking for a rebuild (0: enough)
    bool Stopped = false;
    std::string Creator;
};

// The set cannot be used: no Main packet, files without descriptions, a slice size beyond what can be
// held. The message says why (and names the creator when known).
class Par2SetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Checks the set of the index file `indexPath` and rebuilds what it can. File-system failures of one
// file's rebuild are recorded in its outcome; the others go on.
Par2RebuildResult RebuildPar2Set(FileSystem& fs, const std::string& indexPath, const Par2RebuildOptions& options);

} // namespace tv
