// The list view's own order and filter: a click on a column header sorts the rows shown by it, a
// second one reverses it, and the view may show only the rows that are not matches. Both are the
// view's alone: the logic's rows keep their order and every command sees them as they are.
#include "Win32Window.h"

#include <algorithm>

namespace tv::win32 {

namespace {

// Letter case aside, as the list's own order compares names.
int CompareFolded(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// The size column's number whatever its grouping marks; a row without one sorts first.
long long SizeOf(const std::string& text) {
    long long v = -1;
    for (char c : text)
        if (c >= '0' && c <= '9') v = (v < 0 ? 0 : v * 10) + (c - '0');
    return v;
}

} // namespace

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
    shown_.clear();
    viewOf_.clear();
    if (!Arranged()) return;
    const auto& items = form_.CrcList.Items();
    const int count = std::min(rowCount_, static_cast<int>(items.size()));
    shown_.reserve(static_cast<std::size_t>(count));
    for (int r = 0; r < count; ++r)
        if (!onlyUnmatched_ || items[static_cast<std::size_t>(r)].ImageIndex != 0) shown_.push_back(r);
    auto item = [&items](int r) -> const TListItem& { return items[static_cast<std::size_t>(r)]; };
    std::vector<long long> sizes;
    if (orderColumn_ == 1) {
        sizes.resize(static_cast<std::size_t>(count));
        for (int r : shown_)
            sizes[static_cast<std::size_t>(r)] = SizeOf(item(r).SubItem(0));
    }
    auto compare = [&](int a, int b) {
        switch (orderColumn_) {
        case 0:
            return CompareFolded(item(a).Caption, item(b).Caption);
        case 1: {
            const long long x = sizes[static_cast<std::size_t>(a)], y = sizes[static_cast<std::size_t>(b)];
            return x == y ? 0 : x < y ? -1 : 1;
        }
        case 2:
            return item(a).SubItem(1).compare(item(b).SubItem(1));
        case 3: {
            // By mark first, so the rows found elsewhere come together, then by where they were found.
            const int x = item(a).ImageIndex, y = item(b).ImageIndex;
            if (x != y) return x < y ? -1 : 1;
            return CompareFolded(item(a).SubItem(2), item(b).SubItem(2));
        }
        default:
            return 0;
        }
    };
    if (orderColumn_ >= 0)
        // Equal keys keep the list's order in either direction.
        std::stable_sort(shown_.begin(), shown_.end(), [&](int a, int b) {
            const int c = compare(a, b);
            return descending_ ? c > 0 : c < 0;
        });
    viewOf_.assign(static_cast<std::size_t>(count), -1);
    for (std::size_t v = 0; v < shown_.size(); ++v)
        viewOf_[static_cast<std::size_t>(shown_[v])] = static_cast<int>(v);
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
