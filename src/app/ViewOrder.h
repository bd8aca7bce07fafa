#pragma once
// The order and filter a front end's list view may put over the rows: sorted by a column (again to
// reverse) and/or only the rows that are not matches. They are the view's alone: the rows keep their
// order and every command sees them as they are.
#include "app/Elements.h"

#include <vector>

namespace tv {

struct ViewOrder {
    int Column = -1; // -1: the rows' own order
    bool Descending = false;
    bool OnlyUnmatched = false;

    bool Arranged() const { return Column >= 0 || OnlyUnmatched; }
};

// Which of the first `count` rows show, in which order (`shown`: view row -> row), and where each row
// shows (`viewOf`: row -> view row, -1 when filtered out). Both are left empty when nothing is arranged.
void ArrangeRows(const std::vector<TListItem>& rows, int count, const ViewOrder& order, std::vector<int>& shown,
                 std::vector<int>& viewOf);

} // namespace tv
