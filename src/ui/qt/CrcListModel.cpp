#include "CrcListModel.h"

#include "Icons.h"
#include "app/ViewOrder.h"

#include <algorithm>
#include <numeric>

namespace tv::qt {

namespace {
QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

Qt::Alignment AlignmentOf(TListColumn::Align a) {
    switch (a) {
    case TListColumn::Align::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case TListColumn::Align::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}
} // namespace

CrcListModel::CrcListModel(TListView& list, std::function<bool()> mayEdit, QObject* parent)
    : QAbstractTableModel(parent), list_(list), mayEdit_(std::move(mayEdit)), rowsSeen_(list.Changes()),
      checksSeen_(list.CheckChanges()), rowCount_(list.Count()) {}

// The count the view was last told about: between syncs the logic may have added or removed rows.
int CrcListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return !Arranged() ? rowCount_ : static_cast<int>(shown_.size());
}

int CrcListModel::ListRow(int viewRow) const {
    if (!Arranged()) return viewRow;
    return viewRow >= 0 && static_cast<std::size_t>(viewRow) < shown_.size() ? shown_[static_cast<std::size_t>(viewRow)]
                                                                             : -1;
}

int CrcListModel::ViewRow(int listRow) const {
    if (!Arranged()) return listRow < rowCount_ ? listRow : -1;
    return listRow >= 0 && static_cast<std::size_t>(listRow) < viewOf_.size()
               ? viewOf_[static_cast<std::size_t>(listRow)]
               : -1;
}

void CrcListModel::SetOrder(int column, Qt::SortOrder order) {
    if (column >= columnCount()) column = -1;
    beginResetModel();
    orderColumn_ = column;
    order_ = order;
    Arrange();
    endResetModel();
}

void CrcListModel::SetOnlyUnmatched(bool on) {
    beginResetModel();
    onlyUnmatched_ = on;
    Arrange();
    endResetModel();
}

// Works out which rows show in which order; called inside a reset.
void CrcListModel::Arrange() {
    QElapsedTimer took;
    took.start();
    struct Cost {
        QElapsedTimer& took;
        CrcListModel& m;
        ~Cost() {
            m.arrangeCostMs_ = took.elapsed();
            m.sinceArranged_.start();
        }
    } cost{took, *this};
    ArrangeRows(list_.Items(), rowCount_, ViewOrder{orderColumn_, order_ == Qt::DescendingOrder, onlyUnmatched_},
                shown_, viewOf_);
}

int CrcListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.Columns.size());
}

QVariant CrcListModel::data(const QModelIndex& index, int role) const {
    const int row = index.isValid() ? ListRow(index.row()) : -1;
    if (row < 0 || row >= list_.Count()) return {};
    const TListItem& item = list_.Item(row);
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return col == 0 ? Q(item.Caption()) : Q(item.SubItem(static_cast<std::size_t>(col - 1)));
    case Qt::DecorationRole:
        if (col == 0) return StateIcon(item.ImageIndex);
        return {};
    case Qt::CheckStateRole:
        if (col == 0) return item.Checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole:
        return static_cast<int>(AlignmentOf(list_.Columns[static_cast<std::size_t>(col)].Alignment));
    default:
        return {};
    }
}

QVariant CrcListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    const TListColumn& c = list_.Columns[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return Q(c.Caption);
    if (role == Qt::TextAlignmentRole) return static_cast<int>(AlignmentOf(c.Alignment));
    return {};
}

Qt::ItemFlags CrcListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

bool CrcListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int row = index.isValid() ? ListRow(index.row()) : -1;
    if (role != Qt::CheckStateRole || index.column() != 0 || row < 0 || row >= list_.Count()) return false;
    if (mayEdit_ && !mayEdit_()) return false;
    list_.SetChecked(row, value.toInt() == Qt::Checked);
    checksSeen_ = list_.CheckChanges();
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

bool CrcListModel::Sync(bool settled) {
    const bool rowsMoved = list_.Changes() != rowsSeen_ || list_.Count() != rowCount_;
    if (rowsMoved && !settled && Arranged() && sinceArranged_.isValid() &&
        sinceArranged_.elapsed() < 20 * arrangeCostMs_)
        return false;
    if (rowsMoved) {
        beginResetModel();
        rowsSeen_ = list_.Changes();
        checksSeen_ = list_.CheckChanges();
        rowCount_ = list_.Count();
        Arrange();
        endResetModel();
        return true;
    }
    if (list_.CheckChanges() != checksSeen_) {
        checksSeen_ = list_.CheckChanges();
        if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
    }
    return false;
}

} // namespace tv::qt
