#pragma once
// Sorting a large range in pieces, so that a window can handle its events between them.
#include <algorithm>
#include <cstddef>
#include <functional>
#include <iterator>

namespace tv {

// Sorts [first, last) by `less` (a strict weak order) in runs of a few thousand elements, then merges
// the runs pairwise, calling `pace` between the pieces of work. Still O(n log n); the result equals
// std::stable_sort's, so for a total order it is the same as any sort's.
template <class It, class Less>
void PacedSort(It first, It last, Less less, const std::function<void()>& pace) {
    constexpr std::ptrdiff_t Run = 4096;
    const std::ptrdiff_t n = std::distance(first, last);
    if (!pace || n <= Run) {
        std::stable_sort(first, last, less);
        return;
    }
    for (std::ptrdiff_t at = 0; at < n; at += Run) {
        std::stable_sort(first + at, first + std::min(at + Run, n), less);
        pace();
    }
    for (std::ptrdiff_t width = Run; width < n; width *= 2) {
        for (std::ptrdiff_t at = 0; at + width < n; at += 2 * width) {
            std::inplace_merge(first + at, first + at + width, first + std::min(at + 2 * width, n), less);
            pace();
        }
    }
}

} // namespace tv
