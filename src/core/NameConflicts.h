#pragma once
// Rows that give one name two contents: a list that names a file twice with different values (a line
// added after the file was edited, two lists joined) or, where the file system ignores letter case,
// names that differ only in case. At most one of them can be right for the file under that name, and
// which one is the user's call: a repair changes nothing for them.
#include "core/Entry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tv {

struct NameConflict {
    std::int32_t First = 0; // the first of the rows, by table order
    std::int32_t Rows = 0;  // how many rows share the name
};

// The names the first n entries give two contents, each once with the rows that share it; `conflicted`
// (when given) is sized n and marks every such row. Rows of one algorithm conflict when their values
// (or their listed sizes, with a list of sizes) differ; rows of different algorithms only when the
// verification tells their contents apart: one row's file is intact and another's is not, or they
// were found in different files.
// `pace` (when given) runs now and then.
std::vector<NameConflict> NameConflicts(const TEntryTable& t, std::int32_t n, bool listHasSizes,
                                        std::vector<char>* conflicted = nullptr,
                                        const std::function<void()>& pace = {});

} // namespace tv
