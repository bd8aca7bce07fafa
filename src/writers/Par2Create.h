#pragma once
// Writing a PAR 2.0 recovery set for the files of a folder: an index file NAME.par2 with the descriptions
// of the files (Main, FileDesc, IFSC and Creator packets) and volume files NAME.volA+B.par2 holding B
// recovery slices from exponent A on, each with a copy of the descriptions, so that any one file of the
// set can stand for it. Every file is read once; only the recovery slices are held in memory.
#include "core/HashPool.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tv {

// The most recovery data a set may have: it is held in memory while the files are read.
inline constexpr std::uint64_t MaxRecoveryBytes = std::uint64_t{4} << 30;
// The redundancies (in percent) a set may be asked for, on the command line and in the window.
inline constexpr unsigned MaxRedundancy = 1000;

struct Par2CreateOptions {
    bool Recursive = false;       // every plain file below the folder, not only its own
    // The files to protect, named relative to the folder (native separators); empty: the folder's plain
    // files as found (with Recursive, its tree's).
    std::vector<std::string> Files;
    unsigned Redundancy = 10;     // recovery slices as a share of the input slices, in percent
    std::uint64_t SliceSize = 0;  // bytes (a multiple of 4); 0: chosen for about 2000 input slices
    unsigned Volumes = 0;         // volume files; 0: sizes doubling from 1 (1, 2, 4, ...) until all are held
    unsigned Workers = 0;         // threads for the code; 0: one a processor
    DiskChoice Disk = DiskChoice::Auto; // how the files' disk is read (hdd: one file at a time)
    // Called now and then with the bytes read and computed so far of the whole; false stops the work and
    // nothing is written.
    std::function<bool(std::uint64_t done, std::uint64_t total)> Progress;
};

struct Par2CreateResult {
    std::vector<std::string> Written;      // the set's files, index first
    std::vector<std::string> LeftOut;      // empty files (they have no slices), by name
    // Files a set cannot name so that its readers find them again (a "\" in a POSIX name, which they take for
    // a folder separator), left out, by name.
    std::vector<std::string> Unnamable;
    std::uint64_t SliceSize = 0;
    std::uint32_t InputSlices = 0, RecoverySlices = 0;
    bool Stopped = false;                  // Progress said stop: nothing was written
};

// A set that cannot be made as asked (no files, a slice size that is no multiple of 4 or gives too many
// slices, a folder outside the index's folder): the message says why.
class Par2CreateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes the set for the plain files of `folder` (hidden files, links and the set's own files left out),
// named relative to the index file's folder, which must hold `folder`. Each file is written beside its
// final name; they take their names only when all are whole, the index last, and a failure on the way
// removes what this run named (never a file that was there before). Failures of the file system raise
// IoError.
Par2CreateResult CreatePar2Set(FileSystem& fs, const std::string& folder, const std::string& indexPath,
                               const Par2CreateOptions& options);

// The slice size for files of these lengths: the smallest multiple of 4 that gives at most `count` slices
// (at least one per non-empty file; at most 32768).
std::uint64_t ChooseSliceSize(const std::vector<std::uint64_t>& lengths, std::uint32_t count);

// How many recovery slices each volume file holds, as par2cmdline splits them: `volumes` = 0 doubles from
// 1 (the last one takes the rest), else `volumes` files of equal share (the first ones one more).
std::vector<std::uint32_t> VolumeSizes(std::uint32_t recovery, unsigned volumes);

// The name of the volume file holding `count` slices from `first` on: "set.vol03+04.par2" for the index
// "set.par2", the numbers zero-padded to the digits of the set's recovery count and of its largest volume.
std::string VolumeName(const std::string& indexPath, std::uint32_t first, std::uint32_t count,
                       std::uint32_t recovery, std::uint32_t largest);

} // namespace tv
