#include "app/TrackListView.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QUrl>

namespace vyr::app {

namespace {

// Hands the edited text to the list's renameRequested instead of writing it into the model:
// the window may refuse a name, and then the row keeps showing the old one.
class RenameDelegate : public QStyledItemDelegate {
public:
    explicit RenameDelegate(TrackListView* view) : QStyledItemDelegate(view), m_view(view) {}

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line) return;
        // Queued: the window may show a message box, which must not open inside the editor's
        // own focus handling.
        QMetaObject::invokeMethod(m_view, "renameRequested", Qt::QueuedConnection, Q_ARG(int, index.row()),
                                  Q_ARG(QString, line->text()));
    }

private:
    TrackListView* m_view;
};

}  // namespace

QStringList DroppedFiles(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

TrackListView::TrackListView(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new RenameDelegate(this));
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
}

bool TrackListView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // A second click on a selected row edits its file name whichever cell was clicked.
    const QModelIndex name = index.isValid() ? index.sibling(index.row(), 0) : index;
    return QTreeWidget::edit(name, trigger, event);
}

void TrackListView::AcceptFiles(QDragMoveEvent* event) const
{
    if (m_dropsAccepted && !DroppedFiles(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TrackListView::dragEnterEvent(QDragEnterEvent* event) { AcceptFiles(event); }

void TrackListView::dragMoveEvent(QDragMoveEvent* event) { AcceptFiles(event); }

void TrackListView::dropEvent(QDropEvent* event)
{
    const QStringList paths = m_dropsAccepted ? DroppedFiles(event->mimeData()) : QStringList();
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit filesDropped(paths);
}

}  // namespace vyr::app
