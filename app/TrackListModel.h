#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <string>

#include "album/AlbumState.h"

namespace vyr::app {

// ListView1's rows as Qt's views ask for them: a view over the state's list (AlbumState::list),
// which holds the columns, the items and their ticks. It keeps nothing of its own but the digit
// grouping of the user's locale; a click on a check box is handed on as tickRequested, and the
// tick shows once the commands have set it. Column 0 holds the tick and is the only one the user
// may edit; an edit reaches the window, never the model.
class TrackListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TrackListModel(const album::AlbumState& state, std::string groupSeparator, QObject* parent = nullptr);

    // The state's columns or items were replaced or emptied.
    void ListChanged();
    // Items first to last changed their text or tick.
    void ItemsChanged(int first, int last);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The user clicked the check box of `item`.
    void tickRequested(int item, bool ticked);

private:
    bool IsCell(const QModelIndex& index) const
    {
        return index.isValid() && index.model() == this && index.row() < rowCount() && index.column() < columnCount();
    }

    const album::AlbumState& m_state;
    std::string m_groupSeparator;
};

}  // namespace vyr::app
