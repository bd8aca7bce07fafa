#include "CrcListModel.h"

#include "Icons.h"

namespace tv::qt {

namespace {
QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

Qt::Alignment AlignmentOf(TListColumn::Align a) {
    switch (a) {
    case TListColumn::Align::Right: return Qt::AlignRight | Qt::AlignVCenter;
    case TListColumn::Align::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}
} // namespace

CrcListModel::CrcListModel(TListView& list, std::function<bool()> mayEdit, QObject* parent)
    : QAbstractTableModel(parent), list_(list), mayEdit_(std::move(mayEdit)), rowsSeen_(list.Changes()),
      checksSeen_(list.CheckChanges()), rowCount_(list.Count()) {}

// The count the view was last told about: between syncs the logic may have added or removed rows.
int CrcListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rowCount_; }

int CrcListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.Columns.size());
}

QVariant CrcListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.Count()) return {};
    const TListItem& item = list_.Item(index.row());
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return col == 0 ? Q(item.Caption) : Q(item.SubItem(static_cast<std::size_t>(col - 1)));
    case Qt::DecorationRole:
        if (col == 0) return StateIcon(item.ImageIndex);
        return {};
    case Qt::CheckStateRole:
        if (col == 0) return item.Checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole:
        return static_cast<int>(AlignmentOf(list_.Columns[static_cast<std::size_t>(col)].Alignment));
    default: return {};
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
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0 || index.row() >= list_.Count())
        return false;
    if (mayEdit_ && !mayEdit_()) return false;
    list_.SetChecked(index.row(), value.toInt() == Qt::Checked);
    checksSeen_ = list_.CheckChanges();
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

bool CrcListModel::Sync() {
    if (list_.Changes() != rowsSeen_ || list_.Count() != rowCount_) {
        beginResetModel();
        rowsSeen_ = list_.Changes();
        checksSeen_ = list_.CheckChanges();
        rowCount_ = list_.Count();
        endResetModel();
        return true;
    }
    if (list_.CheckChanges() != checksSeen_) {
        checksSeen_ = list_.CheckChanges();
        if (rowCount_ > 0) emit dataChanged(index(0, 0), index(rowCount_ - 1, 0), {Qt::CheckStateRole});
    }
    return false;
}

} // namespace tv::qt
