#pragma once
// The rows of TForm1's list view as a Qt model. The rows stay in the logic; the model only reads
// them, and writes back a tick the user sets. Sync() tells the view what moved since the last call.
#include "app/Elements.h"

#include <QAbstractTableModel>
#include <cstdint>
#include <functional>

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
    // Returns true when the rows were reset.
    bool Sync();

private:
    TListView& list_;
    std::function<bool()> mayEdit_;
    std::uint64_t rowsSeen_ = 0;
    std::uint64_t checksSeen_ = 0;
    int rowCount_ = 0;
};

} // namespace tv::qt
