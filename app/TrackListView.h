#pragma once

#include <QStringList>
#include <QTreeWidget>

class QMimeData;

namespace vyr::app {

// ListView1: a report-style list with a check box per row. Only the first column (the file
// name) is ever edited in place; the edited text goes to the window, which decides whether the
// name is taken, instead of straight into the list. Files dropped on it are handed on as paths.
class TrackListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TrackListView(QWidget* parent = nullptr);

    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }
    void SetDropsAccepted(bool accepted) { m_dropsAccepted = accepted; }

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
    bool m_dropsAccepted = true;
};

// The local files of a drag, or none when it carries no file list.
QStringList DroppedFiles(const QMimeData* data);

}  // namespace vyr::app
