#pragma once
// How an entry's name meets the file system and the window. A name from a CP932 list is held
// converted (FileName) beside the list's bytes (ListBytes). When those bytes did not convert, or when
// they are what names the file on disk (a set unpacked with CP932 byte names), the entry uses the
// bytes: their "\" separators are found character by character, so that the second byte of a
// double-byte character (0x5C in 表, ソ, 十) never splits the name.
#include "core/Entry.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tv {

// The entry's name in the native form: "/" separators, relative to the list's folder.
std::string EntryNativeName(const TCrcTable& e);

// Whether the entry's native name has a folder in it (InSubFolder of EntryNativeName), mostly without
// making that name.
bool EntryInSubFolder(const TCrcTable& e);

// folder + the entry's native name; an absolute name (IsAbsoluteName) is its own path.
std::string EntryFullPath(std::string_view folder, const TCrcTable& e);

// Whether the entry names its file by an absolute path, which is verified where it points and never
// changed by a repair.
bool EntryIsAbsolute(const TCrcTable& e);

// The text of the entry's row: its name decoded (a file name that is no UTF-8 but whole CP932 in its CP932
// reading), every byte that does not decode shown as U+FFFD.
std::string ShownName(const TCrcTable& e);

// The native form of the list's bytes, when they could name the file on disk instead of the
// converted name; empty when they are the same as FileName or there are none.
std::string ListBytesNativeName(const TCrcTable& e);

// Switches the entry to its list bytes as the name of its file.
void UseListBytes(TCrcTable& e);

// True when a file of the entry's folder named `diskName` is the entry's own file: the same name
// as the file system compares names, or a name that is not UTF-8 and decodes as CP932 to the entry's text.
bool IsOwnFileName(const TCrcTable& e, const std::string& diskName);

// Which entries name a given file, without comparing it with every entry: the entries are kept by a
// hash of their names as compared without regard to ASCII case, and each candidate is confirmed with
// IsOwnFileName. The indices are those of the table when the index was made.
class NameIndex {
public:
    NameIndex(const TEntryTable& t, std::int32_t n);
    // The entries whose own file a file named `diskName` (relative to their folder, native form) is.
    std::vector<std::int32_t> Named(const std::string& diskName) const;
    // Whether Named would name any entry.
    bool NamesAny(const std::string& diskName) const;

private:
    const TCrcTable* At(std::int32_t i) const { return &(*t_)[i]; }
    const TEntryTable* t_;
    // Sorted. 32 bits of hash are plenty to find the candidates, which IsOwnFileName then decides, and
    // keep a pair at 8 bytes.
    std::vector<std::pair<std::uint32_t, std::int32_t>> byHash_;
    // Where the hashes of each value of their top `bits_` bits begin in byHash_ (one more at the end):
    // a look-up reads one short run instead of searching the whole table.
    std::vector<std::uint32_t> start_;
    int bits_ = 0;
    std::vector<std::pair<std::uint32_t, std::int32_t>>::const_iterator First(std::uint32_t h) const;
};

// For each disk name, the entries whose own file it is, ascending. They lie in one array: a million
// names take 8 bytes each, not a vector each.
class NameOwners {
public:
    NameOwners() : start_(1, 0) {}
    // From pairs of (disk name, entry), `names` disk names in all; a pair may come twice.
    NameOwners(std::size_t names, const std::vector<std::pair<std::uint32_t, std::int32_t>>& pairs);
    std::span<const std::int32_t> operator[](std::size_t k) const {
        return {entries_.data() + start_[k], entries_.data() + start_[k + 1]};
    }
    std::size_t size() const { return start_.size() - 1; }
    // The next disk name, k (counting from 0), with its entries as given.
    void Append(std::size_t k, std::span<const std::int32_t> more);
    // Room for this many names and entries, so that appending does not grow twice over.
    void Reserve(std::size_t names, std::size_t entries);
    // Adds these pairs of (disk name, entry) to the ones held.
    void Add(const std::vector<std::pair<std::uint32_t, std::int32_t>>& pairs);

private:
    std::vector<std::uint32_t> start_; // where each name's entries begin in entries_, and one past the last
    std::vector<std::int32_t> entries_;
};

// For each disk name, what NameIndex::Named gives for it, indexing whichever side is smaller: a
// verification of a million entries beside a few files indexes the files, not the entries. `pace` runs
// after each name or entry looked up.
NameOwners OwnersOf(const TEntryTable& t, std::int32_t n, const std::vector<const std::string*>& diskNames,
                    const std::function<void()>& pace);

// For each disk name, whether some entry names it (OwnersOf not empty), without collecting the entries.
std::vector<bool> NamedByEntries(const TEntryTable& t, std::int32_t n, const std::vector<const std::string*>& diskNames,
                                 const std::function<void()>& pace);

} // namespace tv
