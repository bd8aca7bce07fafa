// The list view's own order and filter: a click on a column header sorts the rows shown by it, a
// second one reverses it, and the view may show only the rows that are not matches. Both are the
// view's alone: the logic's rows keep their order and every command sees them as they are.
#include "Win32Window.h"
#include "app/ViewOrder.h"

#include <algorithm>

namespace tv::win32 {

int Win32Window::ListRow(int viewRow) const {
    if (!Arranged()) return viewRow;
    return viewRow >= 0 && static_cast<std::size_t>(viewRow) < shown_.size() ? shown_[static_cast<std::size_t>(viewRow)]
                                                                             : -1;
}

int Win32Window::ViewRow(int listRow) const {
    if (!Arranged()) return listRow < rowCount_ ? listRow : -1;
    return listRow >= 0 && static_cast<std::size_t>(listRow) < viewOf_.size()
               ? viewOf_[static_cast<std::size_t>(listRow)]
               : -1;
}

int Win32Window::ViewCount() const {
    return Arranged() ? static_cast<int>(shown_.size()) : rowCount_;
}

void Win32Window::Arrange() {
    ArrangeRows(form_.CrcList.Items(), rowCount_, ViewOrder{orderColumn_, descending_, onlyUnmatched_}, shown_,
                viewOf_);
}

void Win32Window::Rearrange() {
    syncing_ = true;
    Arrange();
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
    ListView_SetItemCountEx(list_, ViewCount(), LVSICF_NOSCROLL);
    ::InvalidateRect(list_, nullptr, FALSE);
    // The header's arrow shows the order.
    HWND header = ListView_GetHeader(list_);
    for (int c = 0; c < static_cast<int>(columnsShown_); ++c) {
        HDITEMW h{};
        h.mask = HDI_FORMAT;
        Header_GetItem(header, c, &h);
        h.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (c == orderColumn_) h.fmt |= descending_ ? HDF_SORTDOWN : HDF_SORTUP;
        Header_SetItem(header, c, &h);
    }
    syncing_ = false;
    SyncSelection();
}

void Win32Window::ColumnClicked(int column) {
    if (column == orderColumn_)
        descending_ = !descending_;
    else
        orderColumn_ = column, descending_ = false;
    Rearrange();
}

void Win32Window::ApplyViewState(const std::string& states) {
    if (states.find("sorted") != std::string::npos) ColumnClicked(3);
    if (states.find("filtered") != std::string::npos) {
        ShowOnlyUnmatched(true);
        ::CheckMenuItem(::GetMenu(hwnd_), onlyUnmatchedId_, MF_BYCOMMAND | MF_CHECKED);
    }
}

void Win32Window::ShowOnlyUnmatched(bool on) {
    onlyUnmatched_ = on;
    Rearrange();
}

} // namespace tv::win32
