#include "app/TrackListView.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QUrl>

#include "app/QtText.h"
#include "app/TrackListModel.h"

namespace vyr::app {

namespace {

// How long a fill adds rows before the list shows them: often enough that the window visibly
// fills, rarely enough that laying out the rows again for each batch stays a small share.
constexpr qint64 kBatchIntervalMs = 50;

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

TrackListView::TrackListView(QWidget* parent)
    : QTreeView(parent), m_model(new TrackListModel(this)), m_batchIntervalMs(kBatchIntervalMs)
{
    setModel(m_model);
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
    return QTreeView::edit(name, trigger, event);
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

int TrackListView::ItemCount() const { return m_model->ItemCount(); }

void TrackListView::RemoveAllItems()
{
    m_model->RemoveAllItems();
    m_scrollTarget = -1;
}

bool TrackListView::AddItem(std::string_view key)
{
    if (!m_model->AddItem(key)) return false;
    if (!m_sinceBatch.isValid()) m_sinceBatch.start();
    QueueShowPending();
    if (m_sinceBatch.elapsed() >= m_batchIntervalMs) {
        ShowPending();
        emit batchShown();
    }
    return true;
}

void TrackListView::SetItemText(int item, std::string_view text) { m_model->SetText(item, 0, ToQString(text)); }

void TrackListView::SetItemCell(int item, std::string_view columnKey, std::string_view text)
{
    const int column = m_model->ColumnOfKey(columnKey);
    if (column >= 0) m_model->SetText(item, column, ToQString(text));
}

void TrackListView::EnsureVisible(int item)
{
    if (item < 0 || item >= ItemCount()) return;
    m_scrollTarget = item;
    QueueShowPending();
}

void TrackListView::SetTicked(int item, bool ticked) { m_model->SetTicked(item, ticked); }

bool TrackListView::IsTicked(int item) const { return m_model->IsTicked(item); }

void TrackListView::RemoveAllColumns() { m_model->RemoveAllColumns(); }

void TrackListView::AddColumn(std::string_view key, std::string_view caption, int widthPixels)
{
    setColumnWidth(m_model->AddColumn(key, ToQString(caption)), widthPixels);
}

QString TrackListView::Text(int item, int column) const { return m_model->Text(item, column); }

int TrackListView::SelectedItem() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void TrackListView::StartEditing(int item)
{
    // Opening an editor over an open one fails, and Qt says so on stderr for every key typed.
    if (IsEditing() || item < 0 || item >= m_model->ShownCount() || m_model->columnCount() < 1) return;
    edit(m_model->index(item, 0), QAbstractItemView::AllEditTriggers, nullptr);
}

void TrackListView::QueueShowPending()
{
    if (m_showQueued) return;
    m_showQueued = true;
    QMetaObject::invokeMethod(this, &TrackListView::ShowPending, Qt::QueuedConnection);
}

void TrackListView::ShowPending()
{
    m_showQueued = false;
    m_sinceBatch.invalidate();
    m_model->ShowPending();
    if (m_scrollTarget >= 0 && m_scrollTarget < m_model->ShownCount() && m_model->columnCount() > 0)
        scrollTo(m_model->index(m_scrollTarget, 0));
    m_scrollTarget = -1;
}

}  // namespace vyr::app
