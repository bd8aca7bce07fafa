#include "core/NameConflicts.h"

#include "core/EntryNames.h"
#include "platform/Paths.h"

#include <functional>
#include <string_view>

namespace tv {

namespace {

// The name as the file system compares names, every separator spelled alike.
std::string NameKey(const TCrcTable& e) {
    std::string key = FileNameKey(EntryNativeName(e));
    for (char& c : key)
        if (IsPathDelim(c)) c = '/';
    return key;
}

bool Intact(const TCrcTable& e, bool listHasSizes) {
    return StateOf(e, listHasSizes) == VerifyResult::Match;
}

} // namespace

std::vector<NameConflict> NameConflicts(const TEntryTable& t, std::int32_t n, bool listHasSizes,
                                        std::vector<char>* conflicted, const std::function<void()>& pace) {
    if (conflicted) conflicted->assign(static_cast<std::size_t>(std::max(n, 0)), 0);
    std::vector<NameConflict> out;
    if (n < 2) return out;
    // Each name's first row; a later row with the name is compared with the first one of its algorithm,
    // so that a name a hostile list repeats a million times costs one look a row. The names are found in
    // an open table of first rows (no allocation a row); a name's first rows of each algorithm are
    // chained from its first row.
    const auto count = static_cast<std::size_t>(n);
    std::vector<std::string> keys(count);
    std::vector<std::int32_t> firstOf(count);  // the name's first row, by row
    std::vector<std::int32_t> rows(count);     // by a name's first row: the rows with the name
    std::vector<char> conflict(count);         // by a name's first row
    std::vector<std::int32_t> nextAlgorithm(count, -1); // the next first row of another algorithm
    std::vector<std::int32_t> lastAlgorithm(count);     // by a name's first row: the chain's last
    std::size_t slots = 1;
    while (slots < 2 * count)
        slots *= 2;
    std::vector<std::int32_t> table(slots, -1);
    const std::hash<std::string_view> hash;
    for (std::int32_t i = 0; i < n; ++i) {
        if (pace && i % 1024 == 1023) pace();
        const TCrcTable& e = t[i];
        const auto at = static_cast<std::size_t>(i);
        keys[at] = NameKey(e);
        std::size_t slot = hash(keys[at]) & (slots - 1);
        while (table[slot] >= 0 && keys[static_cast<std::size_t>(table[slot])] != keys[at])
            slot = (slot + 1) & (slots - 1);
        if (table[slot] < 0) {
            table[slot] = i;
            firstOf[at] = i;
            rows[at] = 1;
            lastAlgorithm[at] = i;
            continue;
        }
        const std::int32_t first = table[slot];
        const auto f = static_cast<std::size_t>(first);
        firstOf[at] = first;
        ++rows[f];
        if (conflict[f]) continue;
        const HashAlgorithm a = t.AlgorithmOf(e);
        bool sameAlgorithmMet = false;
        for (std::int32_t j = first; j >= 0; j = nextAlgorithm[static_cast<std::size_t>(j)]) {
            const TCrcTable& o = t[j];
            if (t.AlgorithmOf(o) == a) {
                sameAlgorithmMet = true;
                const bool sizesDiffer =
                    listHasSizes && e.FileSize != NoSize && o.FileSize != NoSize && e.FileSize != o.FileSize;
                if (sizesDiffer || !t.Carries(o, t.KeyOf(e))) conflict[f] = 1;
            } else {
                // Other algorithms: only what the verification saw tells the contents apart.
                const bool foundApart = e.Found && o.Found && !e.Exists && !o.Exists && !(e.SameFile == o.SameFile);
                if (Intact(e, listHasSizes) != Intact(o, listHasSizes) || foundApart) conflict[f] = 1;
            }
        }
        if (!sameAlgorithmMet) {
            nextAlgorithm[static_cast<std::size_t>(lastAlgorithm[f])] = i;
            lastAlgorithm[f] = i;
        }
    }
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t first = firstOf[static_cast<std::size_t>(i)];
        if (!conflict[static_cast<std::size_t>(first)]) continue;
        if (conflicted) (*conflicted)[static_cast<std::size_t>(i)] = 1;
        if (first == i) out.push_back({i, rows[static_cast<std::size_t>(first)]});
    }
    return out;
}

} // namespace tv
