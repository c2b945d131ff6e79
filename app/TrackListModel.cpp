#include "app/TrackListModel.h"

namespace vyr::app {

bool TrackListModel::AddItem(std::string_view key)
{
    if (!key.empty() && !m_keys.emplace(key).second) return false;
    m_rows.emplace_back();
    return true;
}

void TrackListModel::ShowPending()
{
    if (!HasPending()) return;
    beginInsertRows(QModelIndex(), m_shown, ItemCount() - 1);
    m_shown = ItemCount();
    endInsertRows();
}

void TrackListModel::RemoveAllItems()
{
    if (m_shown > 0) beginRemoveRows(QModelIndex(), 0, m_shown - 1);
    const bool announced = m_shown > 0;
    m_rows.clear();
    m_keys.clear();
    m_shown = 0;
    if (announced) endRemoveRows();
}

void TrackListModel::SetText(int item, int column, const QString& text)
{
    if (!IsItem(item) || column < 0) return;
    std::vector<QString>& cells = m_rows[static_cast<std::size_t>(item)].cells;
    if (static_cast<std::size_t>(column) >= cells.size()) cells.resize(static_cast<std::size_t>(column) + 1);
    cells[static_cast<std::size_t>(column)] = text;
    if (IsShown(item) && column < columnCount()) {
        const QModelIndex cell = index(item, column);
        emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
    }
}

QString TrackListModel::Text(int item, int column) const
{
    if (!IsItem(item) || column < 0) return {};
    const std::vector<QString>& cells = m_rows[static_cast<std::size_t>(item)].cells;
    return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)] : QString();
}

void TrackListModel::SetTicked(int item, bool ticked)
{
    if (!IsItem(item) || m_rows[static_cast<std::size_t>(item)].ticked == ticked) return;
    m_rows[static_cast<std::size_t>(item)].ticked = ticked;
    if (IsShown(item) && columnCount() > 0) {
        const QModelIndex cell = index(item, 0);
        emit dataChanged(cell, cell, {Qt::CheckStateRole});
    }
}

bool TrackListModel::IsTicked(int item) const { return IsItem(item) && m_rows[static_cast<std::size_t>(item)].ticked; }

int TrackListModel::ColumnOfKey(std::string_view key) const
{
    for (std::size_t c = 0; c < m_columns.size(); ++c)
        if (m_columns[c].key == key) return static_cast<int>(c);
    return -1;
}

int TrackListModel::AddColumn(std::string_view key, const QString& caption)
{
    const int column = columnCount();
    beginInsertColumns(QModelIndex(), column, column);
    m_columns.push_back({std::string(key), caption});
    endInsertColumns();
    return column;
}

void TrackListModel::RemoveAllColumns()
{
    if (m_columns.empty()) return;
    beginRemoveColumns(QModelIndex(), 0, columnCount() - 1);
    m_columns.clear();
    endRemoveColumns();
}

int TrackListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_shown; }

int TrackListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const
{
    if (!IsCell(index)) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return Text(index.row(), index.column());
    case Qt::CheckStateRole:
        if (index.column() == 0) return IsTicked(index.row()) ? Qt::Checked : Qt::Unchecked;
        return {};
    default: return {};
    }
}

bool TrackListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !IsCell(index) || index.column() != 0) return false;
    SetTicked(index.row(), static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked);
    return true;
}

QVariant TrackListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) return {};
    return m_columns[static_cast<std::size_t>(section)].caption;
}

Qt::ItemFlags TrackListModel::flags(const QModelIndex& index) const
{
    if (!IsCell(index)) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (index.column() == 0) flags |= Qt::ItemIsUserCheckable | Qt::ItemIsEditable;
    return flags;
}

}  // namespace vyr::app
