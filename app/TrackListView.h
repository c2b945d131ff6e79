#pragma once

#include <QStringList>
#include <QTreeWidget>

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class QMimeData;

namespace vyr::app {

// ListView1: a report-style list with a check box per row. Only the first column (the file
// name) is ever edited in place; the edited text goes to the window, which decides whether the
// name is taken, instead of straight into the list. Files dropped on it are handed on as paths.
// Items and columns are also reached as the core's commands name them: items by position and
// key, cells by column key, texts as UTF-8.
class TrackListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TrackListView(QWidget* parent = nullptr);

    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }
    void SetDropsAccepted(bool accepted) { m_dropsAccepted = accepted; }

    int ItemCount() const { return topLevelItemCount(); }
    void RemoveAllItems();
    // Appends an item with a check box; false when the key is already taken.
    bool AddItem(std::string_view key);
    void SetItemText(int item, std::string_view text);
    void SetItemCell(int item, std::string_view columnKey, std::string_view text);
    void EnsureVisible(int item);
    void SetTicked(int item, bool ticked);
    bool IsTicked(int item) const;
    void RemoveAllColumns();
    void AddColumn(std::string_view key, std::string_view caption, int widthPixels);

signals:
    // In-place editing of `row` ended with `text` (UTF-16 as typed).
    void renameRequested(int row, const QString& text);
    // Local files dropped, in the order the drag offered them.
    void filesDropped(const QStringList& paths);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Drop feedback: a list of files may be dropped, as a copy; anything else may not.
    void AcceptFiles(QDragMoveEvent* event) const;
    QTreeWidgetItem* Item(int item) const;

    bool m_dropsAccepted = true;
    std::vector<std::string> m_columnKeys;
    std::unordered_set<std::string> m_itemKeys;
};

// The local files of a drag, or none when it carries no file list.
QStringList DroppedFiles(const QMimeData* data);

}  // namespace vyr::app
