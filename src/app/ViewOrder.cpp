#include "app/ViewOrder.h"

#include <algorithm>
#include <string>

namespace tv {

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

void ArrangeRows(const std::vector<TListItem>& rows, int count, const ViewOrder& order, std::vector<int>& shown,
                 std::vector<int>& viewOf) {
    shown.clear();
    viewOf.clear();
    if (!order.Arranged()) return;
    count = std::min(count, static_cast<int>(rows.size()));
    shown.reserve(static_cast<std::size_t>(count));
    for (int r = 0; r < count; ++r)
        if (!order.OnlyUnmatched || rows[static_cast<std::size_t>(r)].ImageIndex != 0) shown.push_back(r);
    auto item = [&rows](int r) -> const TListItem& { return rows[static_cast<std::size_t>(r)]; };
    // The keys once per row: the rows make their texts when asked.
    std::vector<long long> sizes;
    std::vector<std::string> keys;
    if (order.Column == 1) {
        sizes.resize(static_cast<std::size_t>(count));
        for (int r : shown)
            sizes[static_cast<std::size_t>(r)] = SizeOf(item(r).SubItem(0));
    } else if (order.Column == 0 || order.Column == 3) {
        keys.resize(static_cast<std::size_t>(count));
        for (int r : shown)
            keys[static_cast<std::size_t>(r)] = order.Column == 0 ? item(r).Caption() : item(r).SubItem(2);
    }
    auto key = [&keys](int r) -> const std::string& { return keys[static_cast<std::size_t>(r)]; };
    auto compare = [&](int a, int b) {
        switch (order.Column) {
        case 0:
            return CompareFolded(key(a), key(b));
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
            return CompareFolded(key(a), key(b));
        }
        default:
            return 0;
        }
    };
    if (order.Column >= 0 && order.Column <= 3)
        // Equal keys keep the rows' order in either direction.
        std::stable_sort(shown.begin(), shown.end(), [&](int a, int b) {
            const int c = compare(a, b);
            return order.Descending ? c > 0 : c < 0;
        });
    viewOf.assign(static_cast<std::size_t>(count), -1);
    for (std::size_t v = 0; v < shown.size(); ++v)
        viewOf[static_cast<std::size_t>(shown[v])] = static_cast<int>(v);
}

} // namespace tv
