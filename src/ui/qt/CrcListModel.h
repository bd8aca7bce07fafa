#pragma once
// The rows of TForm1's list view as a Qt model. The rows stay in the logic; the model only reads
// them, and writes back a tick the user sets. Sync() tells the view what moved since the last call.
// The model may show the rows in another order, or only those that are not matches: both are the
// view's alone, the logic's rows keep their order and every command sees them as they are.
#include "app/Elements.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <cstdint>
#include <functional>
#include <vector>

namespace tv::qt {

class CrcListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // `mayEdit` says whether a tick may change now (not while a command is running).
    CrcListModel(TListView& list, std::function<bool()> mayEdit, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Catches up with the list: a reset when the rows changed, a repaint of the ticks when only they did.
    // Returns true when the rows were reset. While a command is still changing the rows (`settled`
    // false) a sorted or filtered view is re-arranged only now and then, so that sorting stays a
    // small part of the command's time; until then it shows the rows it had.
    bool Sync(bool settled = true);

    // Shows the rows ordered by `column` (-1: the list's own order); kept over every later reset.
    void SetOrder(int column, Qt::SortOrder order);
    int OrderColumn() const { return orderColumn_; }
    // Shows only the rows whose mark is not a match.
    void SetOnlyUnmatched(bool on);
    bool OnlyUnmatched() const { return onlyUnmatched_; }
    // The logic's row shown at `viewRow`, and the view row of a logic row (-1 when it is not shown).
    int ListRow(int viewRow) const;
    int ViewRow(int listRow) const;

private:
    void Arrange();
    bool Arranged() const { return orderColumn_ >= 0 || onlyUnmatched_; }

    TListView& list_;
    std::function<bool()> mayEdit_;
    std::uint64_t rowsSeen_ = 0;
    std::uint64_t checksSeen_ = 0;
    int rowCount_ = 0;
    int orderColumn_ = -1;
    Qt::SortOrder order_ = Qt::AscendingOrder;
    bool onlyUnmatched_ = false;
    // Empty while the rows are shown as the list has them; else view row -> list row and back.
    std::vector<int> shown_;
    std::vector<int> viewOf_;
    QElapsedTimer sinceArranged_;
    qint64 arrangeCostMs_ = 0;
};

} // namespace tv::qt
