#pragma once
// The window's elements as plain value objects. The logic writes them; a front end reads them when it
// syncs and writes back only what the user changes (a row's tick, the selected row, a menu tick).
// Every element keeps a change counter that moves whenever something visible changes.
#include "core/Entry.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tv {

class TElement {
public:
    std::uint64_t Changes() const { return changes_; }

protected:
    void Touch() { ++changes_; }

private:
    std::uint64_t changes_ = 0;
};

// A label, panel, counter, button or status bar: caption, hint, visible, enabled.
class TControl : public TElement {
public:
    TControl() = default;
    TControl(std::string caption, std::string hint) : caption_(std::move(caption)), hint_(std::move(hint)) {}

    const std::string& Caption() const { return caption_; }
    const std::string& Hint() const { return hint_; }
    bool Visible() const { return visible_; }
    bool Enabled() const { return enabled_; }

    void SetCaption(std::string s) {
        if (s != caption_) caption_ = std::move(s), Touch();
    }
    void SetHint(std::string s) {
        if (s != hint_) hint_ = std::move(s), Touch();
    }
    void SetVisible(bool v) {
        if (v != visible_) visible_ = v, Touch();
    }
    void SetEnabled(bool v) {
        if (v != enabled_) enabled_ = v, Touch();
    }

private:
    std::string caption_, hint_;
    bool visible_ = true, enabled_ = true;
};

class TMenuItem : public TElement {
public:
    TMenuItem() = default;
    TMenuItem(std::string caption, bool autoCheck = false, bool radio = false, std::string shortCut = {})
        : caption_(std::move(caption)), shortCut_(std::move(shortCut)), autoCheck_(autoCheck), radio_(radio) {}

    const std::string& Caption() const { return caption_; }
    const std::string& ShortCut() const { return shortCut_; }
    bool Checked() const { return checked_; }
    bool Enabled() const { return enabled_; }
    bool AutoCheck() const { return autoCheck_; }
    bool RadioItem() const { return radio_; }

    void SetCaption(std::string s) {
        if (s != caption_) caption_ = std::move(s), Touch();
    }
    void SetChecked(bool v) {
        if (v != checked_) checked_ = v, Touch();
    }
    void SetEnabled(bool v) {
        if (v != enabled_) enabled_ = v, Touch();
    }

private:
    std::string caption_, shortCut_;
    bool checked_ = false, enabled_ = true, autoCheck_ = false, radio_ = false;
};

class TListView;

// A CRC as the list shows it: eight upper-case hex digits.
std::string Hex8(std::uint32_t v);

// One row of the list: caption (column FileName), sub-items (FileSize, CRC, Same File), icon, tick.
// A row holds only the index of the entry it shows: the texts are made from the entry table when asked
// for, so a list of a million entries keeps its names once, not once more per row.
struct TListItem {
    std::int32_t Entry = -1; // the row's entry in the table its view shows
    std::int16_t ImageIndex = -1;
    bool Checked = false;
    const TListView* View = nullptr;

    // The name as shown: decoded, U+FFFD for a byte that does not decode.
    std::string Caption() const;
    // The name's bytes in the file system's encoding.
    const EntryName& FileName() const;
    // The name's bytes in a CP932 list the row was read from; empty when they are FileName's.
    const std::string& ListBytes() const;
    // The sub-item at `i` (size, CRC, where the content was found), or an empty text.
    std::string SubItem(std::size_t i) const;
    std::vector<std::string> SubItems() const;

private:
    const TCrcTable* Source() const;
};

struct TListColumn {
    std::string Caption;
    int Width = 0;
    enum class Align { Left, Right, Center } Alignment = Align::Left;
};

// The check-box list view. Rows() changes bump Changes(); a front end that only needs to repaint the
// ticks can compare CheckChanges().
class TListView : public TElement {
public:
    std::vector<TListColumn> Columns;

    const std::vector<TListItem>& Items() const { return items_; }
    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
    const TListItem& Item(std::int32_t i) const { return items_[static_cast<std::size_t>(i)]; }
    // Write access to a row (counts as a change of the rows).
    TListItem& EditItem(std::int32_t i) {
        Touch();
        return items_[static_cast<std::size_t>(i)];
    }

    TListView() = default;
    // Rows point back at their view.
    TListView(const TListView&) = delete;
    TListView& operator=(const TListView&) = delete;

    // The table the rows' texts come from, and whether the size column shows the entries' sizes.
    void ShowTable(const TEntryTable& table, bool sizes) {
        table_ = &table;
        sizes_ = sizes;
        Touch();
    }
    const TEntryTable* Table() const { return table_; }
    bool ShowsSizes() const { return sizes_; }

    // The key column holds `digits` hex digits (8 for a CRC). Its saved width is that of a CRC
    // column; a digest list shows it as much wider as its digests are longer, so one saved width
    // suits every kind of list.
    static constexpr std::size_t KeyColumn = 2;
    void SetKeyDigits(int digits) {
        if (digits > 0 && digits != keyDigits_) keyDigits_ = digits, Touch();
    }
    int KeyDigits() const { return keyDigits_; }
    // The width column c is shown with, and a width the user gave it on screen.
    int ShownWidth(std::size_t c) const {
        const int w = c < Columns.size() ? Columns[c].Width : 0;
        return c == KeyColumn ? static_cast<int>(std::int64_t{w} * keyDigits_ / 8) : w;
    }
    void SetShownWidth(std::size_t c, int w) {
        if (c >= Columns.size()) return;
        Columns[c].Width = c == KeyColumn ? static_cast<int>((std::int64_t{w} * 8 + keyDigits_ / 2) / keyDigits_) : w;
    }

    void Clear() {
        items_.clear();
        selected_ = -1;
        Touch();
    }
    void Reserve(std::size_t n) { items_.reserve(n); }
    // A row for entry `entry` of the table.
    TListItem& Add(std::int32_t entry) {
        Touch();
        TListItem& row = items_.emplace_back();
        row.Entry = entry;
        row.View = this;
        return row;
    }

    // Puts the rows in the order of `less` (equal rows keep their order); the selection is dropped.
    template <class Less>
    void Sort(Less less) {
        std::stable_sort(items_.begin(), items_.end(), less);
        selected_ = -1;
        Touch();
    }

    bool Checked(std::int32_t i) const { return items_[static_cast<std::size_t>(i)].Checked; }
    void SetChecked(std::int32_t i, bool v) {
        auto& item = items_[static_cast<std::size_t>(i)];
        if (item.Checked != v) item.Checked = v, ++checkChanges_;
    }
    std::uint64_t CheckChanges() const { return checkChanges_; }

    // The selected row, -1 when none.
    std::int32_t Selected() const { return selected_; }
    void SetSelected(std::int32_t i) { selected_ = (i >= 0 && i < Count()) ? i : -1; }

private:
    std::vector<TListItem> items_;
    const TEntryTable* table_ = nullptr;
    bool sizes_ = false;
    int keyDigits_ = 8;
    std::int32_t selected_ = -1;
    std::uint64_t checkChanges_ = 0;
};

} // namespace tv
