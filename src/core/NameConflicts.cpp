#include "core/NameConflicts.h"

#include "core/EntryNames.h"
#include "platform/Paths.h"

#include <unordered_map>

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
                                        std::vector<char>* conflicted) {
    if (conflicted) conflicted->assign(static_cast<std::size_t>(std::max(n, 0)), 0);
    std::vector<NameConflict> out;
    if (n < 2) return out;
    // Each name's first row; a later row with the name is compared with the first one of its algorithm,
    // so that a name a hostile list repeats a million times costs one look a row.
    struct Seen {
        std::int32_t First = -1;
        std::int32_t Rows = 0;
        bool Conflict = false;
        std::vector<std::int32_t> ByAlgorithm; // the first row of each algorithm met
    };
    std::unordered_map<std::string, Seen> names;
    names.reserve(static_cast<std::size_t>(n));
    std::vector<std::string> keys(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        const TCrcTable& e = t[i];
        keys[static_cast<std::size_t>(i)] = NameKey(e);
        Seen& s = names[keys[static_cast<std::size_t>(i)]];
        ++s.Rows;
        if (s.First < 0) {
            s.First = i;
            s.ByAlgorithm.push_back(i);
            continue;
        }
        if (s.Conflict) continue;
        const HashAlgorithm a = t.AlgorithmOf(e);
        bool sameAlgorithmMet = false;
        for (std::int32_t j : s.ByAlgorithm) {
            const TCrcTable& o = t[j];
            if (t.AlgorithmOf(o) == a) {
                sameAlgorithmMet = true;
                const bool sizesDiffer =
                    listHasSizes && e.FileSize != NoSize && o.FileSize != NoSize && e.FileSize != o.FileSize;
                if (sizesDiffer || !t.Carries(o, t.KeyOf(e))) s.Conflict = true;
            } else {
                // Other algorithms: only what the verification saw tells the contents apart.
                const bool foundApart = e.Found && o.Found && !e.Exists && !o.Exists && !(e.SameFile == o.SameFile);
                if (Intact(e, listHasSizes) != Intact(o, listHasSizes) || foundApart) s.Conflict = true;
            }
        }
        if (!sameAlgorithmMet) s.ByAlgorithm.push_back(i);
    }
    for (std::int32_t i = 0; i < n; ++i) {
        const Seen& s = names.at(keys[static_cast<std::size_t>(i)]);
        if (!s.Conflict) continue;
        if (conflicted) (*conflicted)[static_cast<std::size_t>(i)] = 1;
        if (s.First == i) out.push_back({i, s.Rows});
    }
    return out;
}

} // namespace tv
