#include "app/TrackListModel.h"

#include <utility>

#include "album/TrackList.h"
#include "app/QtText.h"

namespace vyr::app {

TrackListModel::TrackListModel(const album::AlbumState& state, std::string groupSeparator, QObject* parent)
    : QAbstractTableModel(parent), m_state(state), m_groupSeparator(std::move(groupSeparator))
{
}

void TrackListModel::ListChanged()
{
    // The views ask again for what they show, and nothing else: a reset costs the same for a
    // list of 3 items and of 32,767.
    beginResetModel();
    endResetModel();
}

void TrackListModel::ItemsChanged(int first, int last)
{
    if (first > last || first < 0 || last >= rowCount() || columnCount() == 0) return;
    emit dataChanged(index(first, 0), index(last, columnCount() - 1),
                     {Qt::DisplayRole, Qt::EditRole, Qt::CheckStateRole});
}

int TrackListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_state.list.items; }

int TrackListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_state.list.columns.size());
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const
{
    if (!IsCell(index)) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const album::Column column = m_state.list.columns[static_cast<std::size_t>(index.column())].column;
        return ToQString(album::CellText(album::ListedRows(m_state)[index.row()], column, m_groupSeparator));
    }
    case Qt::CheckStateRole:
        if (index.column() == 0) return album::IsTicked(m_state, index.row()) ? Qt::Checked : Qt::Unchecked;
        return {};
    default: return {};
    }
}

bool TrackListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !IsCell(index) || index.column() != 0) return false;
    emit tickRequested(index.row(), static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked);
    return true;
}

QVariant TrackListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) return {};
    return ToQString(m_state.list.columns[static_cast<std::size_t>(section)].caption);
}

Qt::ItemFlags TrackListModel::flags(const QModelIndex& index) const
{
    if (!IsCell(index)) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (index.column() == 0) flags |= Qt::ItemIsUserCheckable | Qt::ItemIsEditable;
    return flags;
}

}  // namespace vyr::app
