#pragma once

#include <QElapsedTimer>
#include <QStringList>
#include <QTreeView>

#include <string_view>

class QMimeData;

namespace vyr::app {

class TrackListModel;

// ListView1: a report-style list with a check box per row, over a TrackListModel. Only the first
// column (the file name) is ever edited in place; the edited text goes to the window, which
// decides whether the name is taken, instead of straight into the list. Files dropped on it are
// handed on as paths. Items and columns are also reached as the core's commands name them: items
// by position and key, cells by column key, texts as UTF-8.
//
// A fill appends rows one by one and asks for each to be scrolled into view. The list shows new
// rows in batches instead: whenever a batch interval has passed during a fill (then it says so
// with batchShown, so the window can repaint), and once control is back in the event loop. The
// scroll is made once per batch, to the last row asked for.
class TrackListView : public QTreeView {
    Q_OBJECT
public:
    explicit TrackListView(QWidget* parent = nullptr);

    TrackListModel& Model() const { return *m_model; }
    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }
    void SetDropsAccepted(bool accepted) { m_dropsAccepted = accepted; }

    int ItemCount() const;
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
    // The text of a cell (column by position), shown or not yet.
    QString Text(int item, int column) const;

    // The selected row, or -1.
    int SelectedItem() const;
    // In-place editing of the row's file name, unless an editor is open already.
    void StartEditing(int item);
    // Shows the rows added since the last batch and makes the scroll asked for.
    void ShowPending();
    // How long a fill adds rows before it shows them.
    void SetBatchInterval(qint64 milliseconds) { m_batchIntervalMs = milliseconds; }

signals:
    // In-place editing of `row` ended with `text` (UTF-16 as typed).
    void renameRequested(int row, const QString& text);
    // Local files dropped, in the order the drag offered them.
    void filesDropped(const QStringList& paths);
    // A batch of a running fill is on the list: a repaint would show it.
    void batchShown();

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Drop feedback: a list of files may be dropped, as a copy; anything else may not.
    void AcceptFiles(QDragMoveEvent* event) const;
    void QueueShowPending();

    TrackListModel* m_model = nullptr;
    bool m_dropsAccepted = true;
    bool m_showQueued = false;
    int m_scrollTarget = -1;
    qint64 m_batchIntervalMs;
    QElapsedTimer m_sinceBatch;
};

// The local files of a drag, or none when it carries no file list.
QStringList DroppedFiles(const QMimeData* data);

}  // namespace vyr::app
