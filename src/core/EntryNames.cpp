#include "core/EntryNames.h"

#include "platform/Paths.h"
#include "platform/TextEncoding.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace tv {

std::string EntryNativeName(const TCrcTable& e) {
    // A digest list's escaped name spells its backslashes out: they stay characters of the name.
    if (e.LiteralBackslash) return e.FileName.str();
    return e.ByListBytes ? Cp932Separators(e.FileName) : NativeName(e.FileName);
}

bool EntryInSubFolder(const TCrcTable& e) {
    const std::string_view name = e.FileName;
    // A list's bytes have their separators told from the second bytes of characters one by one.
    if (e.ByListBytes && !e.LiteralBackslash) return std::any_of(name.begin(), name.end(), IsPathDelim) ||
                                                      FindCp932Separator(name, 0) != std::string_view::npos;
    if (e.LiteralBackslash) return std::any_of(name.begin(), name.end(), IsPathDelim);
    return name.find_first_of("/\\") != std::string_view::npos;
}

std::string EntryFullPath(std::string_view folder, const TCrcTable& e) {
    std::string native = EntryNativeName(e);
    // An absolute name is the file's path: the list's folder has no part in it.
    if (IsAbsoluteName(native)) return native;
    return FolderFile(folder, native);
}

bool EntryIsAbsolute(const TCrcTable& e) {
    const std::string_view name = e.FileName;
    return !name.empty() && (IsPathDelim(name[0]) || name[0] == '\\' || (name.size() > 2 && name[1] == ':')) &&
           IsAbsoluteName(EntryNativeName(e));
}

std::string ShownName(const TCrcTable& e) {
    if (!e.ListBytes.empty()) return DisplayText(e.ListBytes, ListEncoding::Cp932);
    // A file's own name that is no UTF-8 but whole CP932 came from an archive made on Windows: shown as
    // Windows showed it, not as a row of replacement marks.
    const std::string& name = e.FileName;
    if (!IsValidUtf8(name))
        if (std::optional<std::string> cp932 = Cp932ToUtf8(name)) return *cp932;
    return DisplayText(name, ListEncoding::Utf8);
}

std::string ListBytesNativeName(const TCrcTable& e) {
    if (e.ListBytes.empty() || e.ByListBytes) return {};
    return Cp932Separators(e.ListBytes);
}

void UseListBytes(TCrcTable& e) {
    e.FileName = e.ListBytes;
    e.ByListBytes = true;
}

namespace {

// Whether the entry's native name is its FileName as it stands, with nothing to convert.
bool NativeAsStored(const TCrcTable& e) {
    return !e.ByListBytes && std::string_view(e.FileName).find('\\') == std::string_view::npos;
}

} // namespace

bool IsOwnFileName(const TCrcTable& e, const std::string& diskName) {
    if (NativeAsStored(e) && SameFileName(e.FileName, diskName)) return true;
    const std::string own = EntryNativeName(e);
    if (SameFileName(own, diskName)) return true;
    if (IsValidUtf8(diskName)) return false;
    const std::optional<std::string> decoded = Cp932ToUtf8(diskName);
    if (!decoded) return false;
    const std::optional<std::string> text = e.ByListBytes ? Cp932ToUtf8(e.ListBytes) : std::optional(own);
    return text && SameFileName(NativeName(*decoded), NativeName(*text));
}

namespace {

// A hash of a name as SameText compares it (ASCII letters in either case, either separator on Windows). Two names with one hash are
// only candidates: IsOwnFileName decides.
std::uint32_t FoldedNameHash(std::string_view name) {
    std::uint64_t h = 14695981039346656037ull;
    for (char c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        // On Windows "/" and "\\" are one separator: a list made elsewhere meets the disk's names.
        if (IsPathDelim(c)) c = '/';
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// The native text a name may also be met by: the CP932 decoding of a name that is not UTF-8.
std::optional<std::string> DecodedNative(const std::string& name) {
    if (IsValidUtf8(name)) return std::nullopt;
    std::optional<std::string> decoded = Cp932ToUtf8(name);
    if (!decoded) return std::nullopt;
    return NativeName(*decoded);
}

} // namespace

NameIndex::NameIndex(const TEntryTable& t, std::int32_t n) : t_(&t) {
    byHash_.reserve(static_cast<std::size_t>(n > 0 ? n : 0));
    for (std::int32_t i = 0; i < n; ++i) {
        const TCrcTable& e = t[i];
        // Most names need no conversion: their text is met under their one hash.
        if (NativeAsStored(e)) {
            byHash_.emplace_back(FoldedNameHash(e.FileName), i);
            continue;
        }
        const std::string native = EntryNativeName(e);
        byHash_.emplace_back(FoldedNameHash(native), i);
        // A disk name that decodes as CP932 is met by the entry's text.
        const std::optional<std::string> text = e.ByListBytes ? Cp932ToUtf8(e.ListBytes) : std::optional(native);
        if (text && NativeName(*text) != native) byHash_.emplace_back(FoldedNameHash(NativeName(*text)), i);
    }
    std::sort(byHash_.begin(), byHash_.end());
    byHash_.erase(std::unique(byHash_.begin(), byHash_.end()), byHash_.end());
    while (bits_ < 24 && (std::size_t{1} << bits_) < byHash_.size())
        ++bits_;
    start_.assign((std::size_t{1} << bits_) + 1, static_cast<std::uint32_t>(byHash_.size()));
    for (std::size_t k = byHash_.size(); k-- > 0;)
        start_[bits_ == 0 ? 0 : byHash_[k].first >> (32 - bits_)] = static_cast<std::uint32_t>(k);
    // A value no hash has begins where the next one does.
    for (std::size_t b = start_.size() - 1; b-- > 0;)
        start_[b] = std::min(start_[b], start_[b + 1]);
}

std::vector<std::pair<std::uint32_t, std::int32_t>>::const_iterator NameIndex::First(std::uint32_t h) const {
    const std::size_t b = bits_ == 0 ? 0 : h >> (32 - bits_);
    auto it = byHash_.begin() + start_[b];
    const auto end = byHash_.begin() + start_[b + 1];
    while (it != end && it->first < h)
        ++it;
    return it;
}

std::vector<std::int32_t> NameIndex::Named(const std::string& diskName) const {
    std::vector<std::int32_t> out;
    auto collect = [&](std::uint32_t h) {
        for (auto it = First(h); it != byHash_.end() && it->first == h; ++it)
            if (IsOwnFileName(*At(it->second), diskName)) out.push_back(it->second);
    };
    collect(FoldedNameHash(diskName));
    if (const std::optional<std::string> decoded = DecodedNative(diskName)) collect(FoldedNameHash(*decoded));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

bool NameIndex::NamesAny(const std::string& diskName) const {
    auto any = [&](std::uint32_t h) {
        for (auto it = First(h); it != byHash_.end() && it->first == h; ++it)
            if (IsOwnFileName(*At(it->second), diskName)) return true;
        return false;
    };
    if (any(FoldedNameHash(diskName))) return true;
    const std::optional<std::string> decoded = DecodedNative(diskName);
    return decoded && any(FoldedNameHash(*decoded));
}

std::vector<bool> NamedByEntries(const TEntryTable& t, std::int32_t n, const std::vector<const std::string*>& diskNames,
                                 const std::function<void()>& pace) {
    std::vector<bool> named(diskNames.size());
    if (diskNames.size() < static_cast<std::size_t>(std::max(n, 0))) {
        const NameOwners owners = OwnersOf(t, n, diskNames, pace);
        for (std::size_t k = 0; k < owners.size(); ++k)
            named[k] = !owners[k].empty();
        return named;
    }
    const NameIndex names(t, n);
    for (std::size_t k = 0; k < diskNames.size(); ++k) {
        named[k] = names.NamesAny(*diskNames[k]);
        if (k % 1024 == 1023) pace();
    }
    return named;
}

NameOwners::NameOwners(std::size_t names, const std::vector<std::pair<std::uint32_t, std::int32_t>>& pairs)
    : start_(names + 1, 0) {
    if (pairs.size() >= UINT32_MAX) throw std::length_error("too many names");
    // Counted by name; each count summed into where its run ends, and the entries placed from there back
    // to where it begins.
    for (const auto& [k, i] : pairs)
        ++start_[k];
    std::uint32_t sum = 0;
    for (std::uint32_t& s : start_) {
        sum += s;
        s = sum;
    }
    entries_.resize(pairs.size());
    for (auto it = pairs.rbegin(); it != pairs.rend(); ++it)
        entries_[--start_[it->first]] = it->second;
    // Each name's entries sorted and once each.
    std::uint32_t to = 0;
    for (std::size_t k = 0; k < names; ++k) {
        const std::uint32_t from = start_[k], end = start_[k + 1];
        start_[k] = to;
        std::sort(entries_.begin() + from, entries_.begin() + end);
        for (std::uint32_t j = from; j < end; ++j)
            if (j == from || entries_[j] != entries_[j - 1]) entries_[to++] = entries_[j];
    }
    start_[names] = to;
    entries_.resize(to);
    entries_.shrink_to_fit();
}

void NameOwners::Append(std::size_t k, std::span<const std::int32_t> more) {
    if (k != size()) throw std::logic_error("names are appended in order");
    entries_.insert(entries_.end(), more.begin(), more.end());
    if (entries_.size() >= UINT32_MAX) throw std::length_error("too many names");
    start_.push_back(static_cast<std::uint32_t>(entries_.size()));
}

void NameOwners::Reserve(std::size_t names, std::size_t entries) {
    start_.reserve(names + 1);
    entries_.reserve(entries);
}

void NameOwners::Add(const std::vector<std::pair<std::uint32_t, std::int32_t>>& pairs) {
    if (pairs.empty()) return;
    std::vector<std::pair<std::uint32_t, std::int32_t>> all;
    all.reserve(entries_.size() + pairs.size());
    for (std::size_t k = 0; k < size(); ++k)
        for (const std::int32_t i : (*this)[k])
            all.emplace_back(static_cast<std::uint32_t>(k), i);
    all.insert(all.end(), pairs.begin(), pairs.end());
    *this = NameOwners(size(), all);
}

NameOwners OwnersOf(const TEntryTable& t, std::int32_t n, const std::vector<const std::string*>& diskNames,
                    const std::function<void()>& pace) {
    if (diskNames.size() >= static_cast<std::size_t>(std::max(n, 0))) {
        NameOwners owners;
        owners.Reserve(diskNames.size(), diskNames.size());
        const NameIndex names(t, n);
        for (std::size_t k = 0; k < diskNames.size(); ++k) {
            owners.Append(k, names.Named(*diskNames[k]));
            pace();
        }
        return owners;
    }
    // The same pairs of hashes as NameIndex meets, from the other side: each disk name under its own
    // hash and its decoding's, each entry under its native name's and its text's.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> byHash;
    for (std::size_t k = 0; k < diskNames.size(); ++k) {
        byHash.emplace_back(FoldedNameHash(*diskNames[k]), static_cast<std::uint32_t>(k));
        if (const std::optional<std::string> decoded = DecodedNative(*diskNames[k]))
            byHash.emplace_back(FoldedNameHash(*decoded), static_cast<std::uint32_t>(k));
    }
    std::sort(byHash.begin(), byHash.end());
    byHash.erase(std::unique(byHash.begin(), byHash.end()), byHash.end());
    std::vector<std::pair<std::uint32_t, std::int32_t>> pairs;
    auto meet = [&](std::uint32_t h, std::int32_t i) {
        auto it = std::lower_bound(byHash.begin(), byHash.end(), std::make_pair(h, std::uint32_t{0}));
        for (; it != byHash.end() && it->first == h; ++it)
            if (IsOwnFileName(t[i], *diskNames[it->second])) pairs.emplace_back(it->second, i);
    };
    for (std::int32_t i = 0; i < n; ++i) {
        const TCrcTable& e = t[i];
        const std::string native = EntryNativeName(e);
        meet(FoldedNameHash(native), i);
        const std::optional<std::string> text = e.ByListBytes ? Cp932ToUtf8(e.ListBytes) : std::optional(native);
        if (text && NativeName(*text) != native) meet(FoldedNameHash(NativeName(*text)), i);
        pace();
    }
    return NameOwners(diskNames.size(), pairs);
}

} // namespace tv
