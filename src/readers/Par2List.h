#pragma once
// A PAR 2.0 set as a list: one row per file of the set (name, size, whole-file MD5), read from the
// .par2 file and the volumes beside it (NAME.par2, NAME.vol0+1.par2, NAME.vol1-3.par2, ...). The set also
// gives the MD5 of each file's first 16 KiB, which rules out a renamed candidate without reading it whole,
// and a CRC-32 and MD5 of every slice, by which the damage of a bad file is counted in slices.
#include "platform/FileSystem.h"
#include "readers/Par2Reader.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tv {

struct Par2SetState {
    struct File {
        std::string Name;    // the row's name: the Unicode name where the set has one
        par2::SetFile Set;   // its description and slices
        std::string Refusal; // why the name is never written or renamed into; empty when it is safe
    };
    std::uint64_t SliceSize = 0;
    std::vector<File> Files; // described files, in the Main packet's order
    std::unordered_map<std::string, std::size_t> ByName;
    std::size_t RecoveryBlocks = 0; // distinct recovery slices in the files beside the list
    std::size_t Undescribed = 0;    // files of the Main packet no good description names
    std::size_t Refused = 0;        // rows whose names are refused
    std::string Creator;
    std::vector<std::string> SetFilesRead; // the .par2 files read, the list first
    // Sizes and first-16-KiB MD5s of the files, sorted: what a candidate file is tested against.
    std::vector<std::pair<std::int64_t, par2::Md5Bytes>> Heads;

    // After the verification: slices of the recovery set, and how many of them are damaged or missing.
    std::uint64_t Blocks = 0, Damaged = 0;
    bool Counted = false;
    // Recovery slices still wanting for a repair (0 when the damage can be repaired).
    std::uint64_t Wanting() const { return Damaged > RecoveryBlocks ? Damaged - RecoveryBlocks : 0; }
};

// The base name of a set's file: "photos" for "photos.par2", "photos.vol03+04.par2" and
// "photos.vol3-7.PAR2"; nothing for a name that does not end in ".par2" in any letter case.
std::optional<std::string> Par2BaseName(std::string_view fileName);
// Whether `path` names a .par2 file (any letter case, volumes too).
bool IsPar2Name(std::string_view path);

// The files of the set the list at `listPath` belongs to, in its folder: the list first, then the others
// of its base name (any letter case of the extension) by name.
std::vector<std::string> Par2SetFiles(FileSystem& fs, const std::string& listPath);

// Why a name from a set must never be written or renamed into: it is absolute ("/x", "//x", "C:\x"),
// leads out of the folder (".."), is empty or holds a character the file system cannot hold. Empty when
// the name is safe.
std::string Par2NameRefusal(std::string_view name);

// Reads the files of the set: the rows, the recovery slices present, what could not be read. `pace` runs
// after every MiB read (a window takes its events there).
Par2SetState ReadPar2Set(FileSystem& fs, const std::vector<std::string>& setFiles,
                         const std::function<void()>& pace = {});

// Whether the file at `path` (`size` bytes) begins as some file of the set of that size does: the MD5 of
// its first 16 KiB (or of the whole of a shorter file) is theirs. Reads at most 16 KiB.
bool HeadMatches(FileSystem& fs, const Par2SetState& set, const std::string& path, std::int64_t size);

// The slices of `file` in the file at `path` that do not hold what the set says, at their aligned places:
// CRC-32 first, MD5 only where the CRC holds; slices past the file's end count as damaged.
std::uint64_t DamagedSlices(FileSystem& fs, const Par2SetState& set, const Par2SetState::File& file,
                            const std::string& path, const std::function<void()>& pace = {});

// The CLI's lines: "blocks damaged D of N; recovery blocks R", then "repair possible" or
// "repair needs K more recovery blocks".
std::string Par2DamageLines(const Par2SetState& set);
// The same as one Japanese sentence for the status bar.
std::string Par2DamageSentence(const Par2SetState& set);

// The message about a .par2 file without a usable Main packet, naming the program that made it.
std::string IrregularPar2Message(const std::string& creator);
// What the status bar adds for files without a description and for refused names.
std::string Par2UndescribedNote(std::size_t count);
std::string Par2RefusedNote(std::size_t count);

} // namespace tv
