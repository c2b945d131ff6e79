#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vyr::app {

// The rows behind ListView1: each a check box and the texts of its cells, kept in one vector so
// that appending a row costs the same for the first row and for the 32,767th. Appended rows wait
// until ShowPending() announces them to the views in one insertion; until then they are counted,
// written and ticked like any other row, but no view knows of them. Column 0 holds the tick and
// is the only one the user may edit; an edit reaches the window, never the model (setData takes
// ticks only).
class TrackListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Every row, shown or pending.
    int ItemCount() const { return static_cast<int>(m_rows.size()); }
    int ShownCount() const { return m_shown; }
    bool HasPending() const { return m_shown < ItemCount(); }
    // Appends a pending row, unticked; false when the key is taken (an empty key never is).
    bool AddItem(std::string_view key);
    void ShowPending();
    void RemoveAllItems();

    void SetText(int item, int column, const QString& text);
    QString Text(int item, int column) const;
    void SetTicked(int item, bool ticked);
    bool IsTicked(int item) const;

    // The column that `key` was added under, or -1.
    int ColumnOfKey(std::string_view key) const;
    // Appends a column; returns its position.
    int AddColumn(std::string_view key, const QString& caption);
    // Cells keep their texts, as the rows keep their ticks.
    void RemoveAllColumns();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Row {
        std::vector<QString> cells;
        bool ticked = false;
    };
    struct Column {
        std::string key;
        QString caption;
    };

    bool IsItem(int item) const { return item >= 0 && item < ItemCount(); }
    bool IsShown(int item) const { return item >= 0 && item < m_shown; }
    bool IsCell(const QModelIndex& index) const
    {
        return index.isValid() && index.model() == this && IsShown(index.row()) && index.column() < columnCount();
    }

    std::vector<Row> m_rows;
    int m_shown = 0;
    std::vector<Column> m_columns;
    std::unordered_set<std::string> m_keys;
};

}  // namespace vyr::app
